#include "cli/CliArchiver.h"

#include "directory/DirManager.h"
#include "platform/Files.h"

namespace {

// Every DOS attribute bit the window's run admits, folders included.
constexpr int32_t AllEntries = 0x28BF;

}  // namespace

TCliArchiver::TCliArchiver() : TCorvane(nullptr) {}

int32_t TCliArchiver::SelectMasks(const std::vector<std::string>& Masks) {
  CheckActive();
  TCVDirArray& Items = FDirManager->DirItems;
  Items.ClearMarks();
  for (const std::string& Mask : Masks) {
    TCVArchiveItem F;
    for (bool Found = FindFirst(Mask, F, AllEntries, std::string()); Found; Found = FindNext(F))
      Items.ItemPtr(F.SearchRec.ItemIndex).Marked = true;
  }
  int32_t Marked = 0;
  for (int32_t I = 0; I < Items.Count(); ++I)
    if (Items.ItemPtr(I).Marked) ++Marked;
  return Marked;
}

void TCliArchiver::ProcessMarked(TCVProcessOperation Operation) {
  CheckActive();
  CheckNotInUpdate();
  ProcessSelectedItems(Operation);
}

std::vector<TCliArchiver::TListedItem> TCliArchiver::MarkedItems() const {
  std::vector<TListedItem> List;
  if (!FDirManager) return List;
  const TCVDirArray& Items = FDirManager->DirItems;
  for (int32_t I = 0; I < Items.Count(); ++I) {
    const TDirItem& Item = Items.ItemPtr(I);
    if (!Item.Marked) continue;
    TListedItem L;
    L.Name = Item.FileName;
    L.UncompressedSize = Item.EffectiveUncompressedSize();
    L.CompressedSize = Item.EffectiveCompressedSize();
    L.Method = Item.Method;
    L.Crc32 = Item.Crc32;
    L.Encrypted = (Item.Flags & 1) != 0;
    L.ModDate = Item.ModDate;
    L.ModTime = Item.ModTime;
    L.Folder = (Item.ExternalAttr & faDirectory) != 0;
    L.SizesUnknown = Item.SizesUnknown;
    List.push_back(std::move(L));
  }
  return List;
}

int32_t TCliArchiver::EntryCount() const { return FDirManager ? FDirManager->DirItems.Count() : 0; }

bool TCliArchiver::DirectoryRebuilt() const { return FDirManager && FDirManager->Rebuilt; }

std::string MethodName(uint16_t Method) {
  switch (Method) {
    case 0:
      return "stored";
    case 1:
      return "shrunk";
    case 6:
      return "imploded";
    case 8:
      return "deflate";
    case 9:
      return "deflate64";
    case 12:
      return "bzip2";
    case 14:
      return "lzma";
    case 93:
      return "zstd";
    case 95:
      return "xz";
    case 98:
      return "ppmd";
    case 99:
      return "aes";
  }
  return "method " + std::to_string(Method);
}
