#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "itemdata/ItemReader.h"

void TCVBaseArchiver::ExtractItemToStream(int32_t Index, TStream& Dest) {
  if (!FDirManager || Index < 0 || Index >= FDirManager->DirItems.Count()) throw ECVException(16, this);
  // A copy: handlers run while the entry is read.
  TDirItem Item;
  FDirManager->DirItems.GetItem(Index, Item);

  TCVVolumeNumberInfo Volume = ItemVolume(Item);
  OpenVolume(Volume);
  if (!FArchiveStream) throw ECVException(13, this);
  FArchiveStream->SetPosition(Item.EffectiveLocalHeaderOffset());

  std::string Reason;
  if (ReadItemData(*FArchiveStream, Dest, Item, &Reason)) return;
  if (FCancelRequested || FSkipFileRequested) return;
  // The one place ExtractCorruptedFiles is consulted. It changes nothing in
  // the reading; it only decides whether a failed entry is an error or a
  // kept file, which is then reported, never passed as good.
  if (!ExtractCorruptedFiles()) throw ECVException(8, this);
  DoOnDamagedFile(Item.FileName, Reason);
}

bool TCVBaseArchiver::ReadItemData(TStream& Source, TStream& Dest, const TDirItem& Item,
                                   std::string* DamageReason) {
  TCVItemReader Reader(*this, Source, Dest, Item);
  bool Result = Reader.Run();
  if (DamageReason != nullptr) *DamageReason = Reader.DamageReason();
  return Result;
}

TCVVolumeNumberInfo TCVBaseArchiver::ItemVolume(const TDirItem& Item) const {
  TCVVolumeNumberInfo Info;
  // The 64-bit volume only where the 16-bit field holds the marker: taking
  // it for every item of a ZIP64 archive would read them all from volume 0.
  Info.Number = static_cast<int32_t>(Item.EffectiveDiskNumberStart());
  if (FDirManager) {
    if (FDirManager->IsZip64) {
      // A locator that counts no disks describes a single-file archive.
      uint32_t TotalDisks = FDirManager->Zip64Locator.TotalDisks;
      Info.LastNumber = TotalDisks == 0 ? 0 : static_cast<int32_t>(TotalDisks - 1);
    } else {
      Info.LastNumber = FDirManager->EndRecord.DiskNumber;
    }
  }
  return Info;
}
