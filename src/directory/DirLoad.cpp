#include <algorithm>
#include <limits>
#include <memory>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "directory/ReadAhead.h"
#include "directory/SignatureScan.h"

namespace {

// Every central record is at least this long; a directory of N bytes holds
// at most N / 46 of them.
constexpr int64_t MinCentralRecord = static_cast<int64_t>(TCentralFileHeader::Size);
constexpr int64_t MaxInt32 = std::numeric_limits<int32_t>::max();

int64_t ClampToInt64(uint64_t V) {
  return V > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) ? -1 : static_cast<int64_t>(V);
}

}  // namespace

void TCVDirManager::LoadDirectory() {
  ResetDirectory();
  DataStart = 0;
  IsZip64 = false;
  Rebuilt = false;
  FFirstHeaderFound = false;
  FDirectoryShift = 0;

  TEndRecord Found;
  int64_t P = -1;
  if (!FindEndRecord(Found, P, TEndRecord::SignatureValue)) {
    if (FArchiver.SpanningMode() != smNone) throw ECVException(44, &FArchiver);
    RebuildDirectory();
    return;
  }
  EndRecord = Found;
  if (LoadStoredDirectory(P) == slLoaded) return;

  // The stored directory cannot be read: the same state as an archive
  // without an end record, then the rebuild.
  ResetDirectory();
  ArchiveComment.clear();
  DataStart = 0;
  IsZip64 = false;
  FFirstHeaderFound = false;
  RebuildDirectory();
}

TCVDirManager::TStoredLoad TCVDirManager::LoadStoredDirectory(int64_t P) {
  const bool SingleFile = FArchiver.SpanningMode() == smNone;
  const bool MayRebuild = SingleFile && FArchiver.OpenDamaged();

  ReadZip64Locator(P);
  if (IsZip64 && !ReadZip64EndRecord(P)) {
    if (MayRebuild) return slUnreadable;
    throw ECVException(40, &FArchiver);
  }

  // Volume numbers. A locator that counts no disks describes one.
  TCVVolumeNumberInfo Volume;
  int64_t DirVolume;
  int64_t LastVolume;
  if (IsZip64) {
    DirVolume = Zip64EndRecord.DirDisk;
    LastVolume = static_cast<int64_t>(std::max<uint32_t>(Zip64Locator.TotalDisks, 1)) - 1;
  } else {
    if (EndRecord.DirDisk == Zip64Marker16) EndRecord.DirDisk = 0;
    if (EndRecord.DiskNumber == Zip64Marker16) EndRecord.DiskNumber = 0;
    DirVolume = EndRecord.DirDisk;
    LastVolume = EndRecord.DiskNumber;
  }
  Volume.LastNumber = static_cast<int32_t>(std::min(LastVolume, MaxInt32));
  Volume.SetNumber(static_cast<int32_t>(std::min(DirVolume, MaxInt32)));
  if (!SingleFile) SwitchVolume(Volume);

  // A single-file directory ends where the (ZIP64) end record begins,
  // whatever its stored offset says: that also places it right behind a
  // prefix the offsets do not count.
  const uint64_t DirSize = IsZip64 ? Zip64EndRecord.DirSize : EndRecord.DirSize;
  int64_t Start;
  if (SingleFile)
    Start = DirSize > static_cast<uint64_t>(P) ? -1 : P - static_cast<int64_t>(DirSize);
  else
    Start = ClampToInt64(IsZip64 ? Zip64EndRecord.DirOffset : EndRecord.DirOffset);
  if (Start < 0) {
    if (MayRebuild) return slUnreadable;
    throw EReadError();
  }
  // How far the directory lies behind where its stored offset says: the
  // length of a prefix the stored offsets do not count.
  const int64_t StoredStart = ClampToInt64(IsZip64 ? Zip64EndRecord.DirOffset : EndRecord.DirOffset);
  FDirectoryShift = SingleFile && StoredStart >= 0 ? Start - StoredStart : 0;

  // The count sizes the array before any record is read: bound it by what
  // the directory's bytes can hold, so a lying count costs no memory. Only
  // the low 32 bits of a ZIP64 count are taken, as a signed count.
  const int64_t Stated = IsZip64 ? static_cast<int32_t>(static_cast<uint32_t>(Zip64EndRecord.TotalEntries))
                                 : static_cast<int64_t>(EndRecord.TotalEntries);
  const uint64_t Room = SingleFile ? std::min<uint64_t>(DirSize, static_cast<uint64_t>(P)) : DirSize;
  const int64_t Fits = static_cast<int64_t>(std::min<uint64_t>(Room / MinCentralRecord, MaxInt32));
  // More records than that would run past the end records.
  if (MayRebuild && Stated > Fits) return slUnreadable;
  const int64_t Count = std::min(Stated, Fits);
  DirItems.SetCount(static_cast<int32_t>(std::max<int64_t>(Count, 0)));

  const int64_t Limit = MayRebuild ? P : Stream->Size();
  if (ReadCentralRecords(Volume, Start, Limit, DirItems.Count(), MayRebuild) == slUnreadable)
    return slUnreadable;

  if (LastVolume == 0) FFirstHeaderFound = LocateFirstLocalHeader(P);
  if (!OffsetsAreAbsolute()) ShiftLocalOffsets(LocalOffsetShift());
  return slLoaded;
}

TCVDirManager::TStoredLoad TCVDirManager::ReadCentralRecords(TCVVolumeNumberInfo& Volume, int64_t Start,
                                                             int64_t Limit, int32_t Count, bool MayRebuild) {
  const bool SingleFile = FArchiver.SpanningMode() == smNone;
  const bool OEMFileNames = FArchiver.Options().OEMFileNames;
  auto Reader = std::make_unique<TReadAheadStream>(*Stream, Start, Limit);
  for (int32_t I = 0; I < Count; ++I) {
    if (!SingleFile && Reader->Size() - Reader->Position() < MinCentralRecord) {
      Volume.SetNumber(Volume.Number + 1);
      SwitchVolume(Volume);
      Reader = std::make_unique<TReadAheadStream>(*Stream, 0, Stream->Size());
    }
    TDirItem& Item = DirItems.ItemPtr(I);
    if (!MayRebuild) {
      // The bytes are taken as they are; a short stream raises its read error.
      ReadDirItem(*Reader, Item, OEMFileNames);
      continue;
    }
    try {
      ReadDirItem(*Reader, Item, OEMFileNames);
    } catch (const EReadError&) {
      return slUnreadable;
    }
    if (Item.Signature != TCentralFileHeader::SignatureValue) return slUnreadable;
  }
  return slLoaded;
}

void TCVDirManager::ReadZip64Locator(int64_t& P) {
  if (P <= static_cast<int64_t>(TZip64Locator::Size)) return;
  uint8_t Bytes[TZip64Locator::Size];
  const int64_t At = P - static_cast<int64_t>(TZip64Locator::Size);
  if (ReadStreamAt(*Stream, At, Bytes, sizeof Bytes) != static_cast<int64_t>(sizeof Bytes)) return;
  Zip64Locator.Decode(Bytes);
  if (Zip64Locator.Signature != TZip64Locator::SignatureValue) return;
  IsZip64 = true;
  P = At;
}

bool TCVDirManager::ReadZip64EndRecord(int64_t& P) {
  // The record may start the volume: the last volume of a split set can
  // hold nothing but the end records.
  if (P < static_cast<int64_t>(TZip64EndRecord::Size)) return false;
  const int64_t At = ClampToInt64(Zip64Locator.EndRecordOffset);
  uint8_t Bytes[TZip64EndRecord::Size];
  // A record the file cannot hold is as missing as one without its signature.
  if (At < 0 || ReadStreamAt(*Stream, At, Bytes, sizeof Bytes) != static_cast<int64_t>(sizeof Bytes))
    return false;
  Zip64EndRecord.Decode(Bytes);
  if (Zip64EndRecord.Signature != TZip64EndRecord::SignatureValue) return false;
  P -= static_cast<int64_t>(TZip64EndRecord::Size);
  return true;
}

bool TCVDirManager::LocateFirstLocalHeader(int64_t P) {
  if (EndRecord.TotalEntries == 0 || DirItems.Count() == 0) {
    DataStart = P;
    return false;
  }
  TSignatureScanner Scanner(*Stream, TLocalFileHeader::SignatureValue);
  const int64_t Stored = std::max<int64_t>(DirItems.ItemPtr(0).EffectiveLocalHeaderOffset(), 0);
  for (int64_t Start = Stored; Start < Scanner.Size();) {
    const int64_t Q = Scanner.Find(Start);
    if (Q < 0) break;
    if (LocalHeaderMatches(Q)) {
      DataStart = Q;
      return true;
    }
    Start = Q + 1;
  }
  // Item 0's sizes may follow its data, so no header matches them. Behind a
  // prefix, the directory's own displacement shows where item 0 went; its
  // header is taken there when it carries item 0's name.
  if (FDirectoryShift > 0 && LocalHeaderNamed(Stored + FDirectoryShift)) {
    DataStart = Stored + FDirectoryShift;
    return true;
  }
  return false;
}

bool TCVDirManager::LocalHeaderNamed(int64_t Q) {
  const TDirItem& First = DirItems.ItemPtr(0);
  uint8_t Bytes[TLocalFileHeader::Size];
  if (ReadStreamAt(*Stream, Q, Bytes, sizeof Bytes) != static_cast<int64_t>(sizeof Bytes)) return false;
  TLocalFileHeader Local;
  Local.Decode(Bytes);
  if (Local.Signature != TLocalFileHeader::SignatureValue || Local.NameLength != First.NameLength)
    return false;
  std::string Name(Local.NameLength, '\0');
  if (ReadStreamAt(*Stream, Q + static_cast<int64_t>(TLocalFileHeader::Size),
                   reinterpret_cast<uint8_t*>(Name.data()), Local.NameLength) != Local.NameLength)
    return false;
  return DecodeStoredName(Name, First.Flags, FArchiver.Options().OEMFileNames) == First.FileName;
}

bool TCVDirManager::LocalHeaderMatches(int64_t Q) {
  if (DirItems.Count() == 0) return false;
  uint8_t Bytes[TLocalFileHeader::Size];
  if (ReadStreamAt(*Stream, Q, Bytes, sizeof Bytes) != static_cast<int64_t>(sizeof Bytes)) return false;
  TLocalFileHeader Local;
  Local.Decode(Bytes);
  // The name must be there too, though it is not compared.
  if (Stream->Size() - Q - static_cast<int64_t>(TLocalFileHeader::Size) < Local.NameLength) return false;
  const TDirItem& First = DirItems.ItemPtr(0);
  return Local.Signature == TLocalFileHeader::SignatureValue && Local.VersionNeeded == First.VersionNeeded &&
         Local.Method == First.Method && Local.ModTime == First.ModTime && Local.ModDate == First.ModDate &&
         Local.Crc32 == First.Crc32 && Local.CompressedSize == First.CompressedSize &&
         Local.UncompressedSize == First.UncompressedSize;
}

int64_t TCVDirManager::SearchSignature(int64_t Start, uint32_t Signature) {
  return TSignatureScanner(*Stream, Signature).Find(Start);
}

int64_t TCVDirManager::LocalOffsetShift() const {
  if (!FFirstHeaderFound || DirItems.Count() == 0) return 0;
  // The search started at 0 for an offset below it.
  return DataStart - std::max<int64_t>(DirItems.ItemPtr(0).EffectiveLocalHeaderOffset(), 0);
}

bool TCVDirManager::OffsetsAreAbsolute() const { return LocalOffsetShift() <= 0; }

void TCVDirManager::ShiftLocalOffsets(int64_t Amount) {
  for (int32_t I = 0; I < DirItems.Count(); ++I) {
    TDirItem& Item = DirItems.ItemPtr(I);
    if (Item.ExternalAttr & 0x10) continue;
    int64_t Shifted;
    if (__builtin_add_overflow(Item.EffectiveLocalHeaderOffset(), Amount, &Shifted)) continue;
    Item.SetEffectiveLocalHeaderOffset(Shifted);
  }
}
