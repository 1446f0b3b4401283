// Writing the directory tail: central records, the ZIP64 end record and
// locator when needed, the end record and the archive comment.

#include <algorithm>
#include <array>

#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "platform/ByteOrder.h"
#include "platform/CodePage.h"
#include "platform/Env.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"

namespace {

constexpr int64_t Max32 = Zip64Marker32;

// A volume number in a 16-bit field: the marker from 65535 on, 0 while
// undetermined.
uint16_t VolumeField(int32_t Number) {
  if (Number >= Zip64Marker16) return Zip64Marker16;
  return Number < 0 ? 0 : static_cast<uint16_t>(Number);
}

uint32_t VolumeNumber32(int32_t Number) { return Number < 0 ? 0 : static_cast<uint32_t>(Number); }

uint32_t Field32(int64_t Value) { return Value >= Max32 ? Zip64Marker32 : static_cast<uint32_t>(Value); }

void Append(std::vector<uint8_t>& Out, const void* Data, size_t Count) {
  const auto* P = static_cast<const uint8_t*>(Data);
  Out.insert(Out.end(), P, P + Count);
}

void AppendLE16(std::vector<uint8_t>& Out, uint16_t V) {
  uint8_t B[2];
  PutLE16(B, V);
  Append(Out, B, 2);
}

void AppendLE32(std::vector<uint8_t>& Out, uint32_t V) {
  uint8_t B[4];
  PutLE32(B, V);
  Append(Out, B, 4);
}

void AppendLE64(std::vector<uint8_t>& Out, uint64_t V) {
  uint8_t B[8];
  PutLE64(B, V);
  Append(Out, B, 8);
}

// A 16-bit length field cannot describe more; writing on would corrupt
// every record after it.
uint16_t CheckedLength(size_t Length, const char* What) {
  if (Length > 0xFFFF) throw EWriteError(std::string(What) + " longer than 65535 bytes cannot be written");
  return static_cast<uint16_t>(Length);
}

template <typename TRecord>
void WriteRecord(TStream& S, const TRecord& R) {
  std::array<uint8_t, TRecord::Size> Bytes;
  R.Encode(Bytes.data());
  S.WriteBuffer(Bytes.data(), TRecord::Size);
}

}  // namespace

std::string EncodeStoredName(const std::string& FileName, uint16_t Flags, bool OEMFileNames) {
  if (!OEMFileNames || (Flags & zfUtf8Names) != 0) return FileName;
  const std::string Oem = CharToOem(FileName);
  // A name CP437 cannot hold stays UTF-8, which the reader recognises;
  // question marks in its place would extract under another name.
  if (OemToChar(Oem) != FileName) return FileName;
  return Oem;
}

int32_t TCVDirManager::Zip64ExtraSize(int32_t Index) {
  const TDirItem& Item = DirItems.ItemPtr(Index);
  int32_t Size = 0;
  if (Item.UncompressedSize == Zip64Marker32) Size += 8;
  if (Item.CompressedSize == Zip64Marker32) Size += 8;
  if (Item.LocalHeaderOffset == Zip64Marker32) Size += 8;
  if (Item.DiskNumberStart == Zip64Marker16) Size += 4;
  return Size > 0 ? Size + 4 : 0;
}

int32_t TCVDirManager::ExtraFieldLength(int32_t Index) {
  int32_t Length = Zip64ExtraSize(Index);
  for (const TExtraField& Field : DirItems.ItemPtr(Index).ExtraFields)
    if (Field.HeaderId != Zip64ExtraId) Length += static_cast<int32_t>(Field.Data.size()) + 4;
  return Length;
}

// APPNOTE 4.5.3: the ZIP64 sub-record holds only the values whose field holds
// the marker, in this order. One read from the archive is never copied: it is
// rebuilt from the item, so it always agrees with the header written.
void TCVDirManager::WriteExtraFields(int32_t Index, std::vector<uint8_t>& Out) {
  const TDirItem& Item = DirItems.ItemPtr(Index);
  const int32_t Zip64Size = Zip64ExtraSize(Index);
  if (Zip64Size > 0) {
    AppendLE16(Out, Zip64ExtraId);
    AppendLE16(Out, static_cast<uint16_t>(Zip64Size - 4));
    if (Item.UncompressedSize == Zip64Marker32)
      AppendLE64(Out, static_cast<uint64_t>(Item.UncompressedSize64));
    if (Item.CompressedSize == Zip64Marker32) AppendLE64(Out, static_cast<uint64_t>(Item.CompressedSize64));
    if (Item.LocalHeaderOffset == Zip64Marker32)
      AppendLE64(Out, static_cast<uint64_t>(Item.LocalHeaderOffset64));
    if (Item.DiskNumberStart == Zip64Marker16) AppendLE32(Out, Item.DiskNumberStart64);
  }
  for (const TExtraField& Field : Item.ExtraFields) {
    if (Field.HeaderId == Zip64ExtraId) continue;
    AppendLE16(Out, Field.HeaderId);
    AppendLE16(Out, CheckedLength(Field.Data.size(), "An extra-field sub-record"));
    Append(Out, Field.Data.data(), Field.Data.size());
  }
}

void TCVDirManager::SaveDirectory(TStream* NewStream) {
  if (NewStream != nullptr) Stream = NewStream;
  TCVBaseArchiver& A = Archiver();
  const int64_t DirStart = Stream->Seek(0, soEnd);
  EndRecord.DirDisk = VolumeField(A.CurrentVolume().Number);
  const uint32_t DirStartVolume = VolumeNumber32(A.CurrentVolume().Number);

  // The volume writer collects what belongs on the current volume here.
  TMemoryStream Pending;
  TCVVolumeNumberInfo Info = A.CurrentVolume();
  int64_t DirSize = 0;
  const int32_t Count = DirItems.Count();
  for (int32_t I = 0; I < Count; ++I) {
    TDirItem& Item = DirItems.ItemPtr(I);
    const std::string Name = EncodeStoredName(Item.FileName, Item.Flags, A.Options().OEMFileNames);
    std::vector<uint8_t> Tail;
    Append(Tail, Name.data(), Name.size());
    WriteExtraFields(I, Tail);
    // The comment: CommentLength bytes, the text padded with zeros.
    const size_t CommentStart = Tail.size();
    Tail.resize(CommentStart + Item.CommentLength, 0);
    std::copy_n(Item.Comment.begin(), std::min<size_t>(Item.Comment.size(), Item.CommentLength),
                Tail.begin() + static_cast<std::ptrdiff_t>(CommentStart));

    // The lengths written are those of the bytes that follow, so a name cut
    // on reading or re-encoded here cannot shift the records after it.
    Item.Signature = TCentralFileHeader::SignatureValue;
    Item.NameLength = CheckedLength(Name.size(), "A stored name");
    Item.ExtraLength = CheckedLength(static_cast<size_t>(ExtraFieldLength(I)), "An extra field");
    std::array<uint8_t, TCentralFileHeader::Size> Header;
    Item.TCentralFileHeader::Encode(Header.data());
    // The whole record stays on one volume: a reader moves on to the next
    // volume only between records.
    A.WriteBufferAcrossVolumes(Header.data(), TCentralFileHeader::Size, &Pending,
                               static_cast<int32_t>(Tail.size()), Info, Stream);
    A.WriteBufferAcrossVolumes(Tail.data(), static_cast<int64_t>(Tail.size()), &Pending, 0, Info, Stream);
    DirSize += static_cast<int64_t>(TCentralFileHeader::Size + Tail.size());
  }
  if (Pending.Size() > 0)
    A.WriteBufferAcrossVolumes(Pending.Memory(), Pending.Size(), nullptr, -1, Info, Stream);

  const uint16_t Entries = Count <= 65534 ? static_cast<uint16_t>(Count) : Zip64Marker16;
  EndRecord.Signature = TEndRecord::SignatureValue;
  EndRecord.DiskEntries = Entries;
  EndRecord.TotalEntries = Entries;
  EndRecord.DirSize = Field32(DirSize);
  EndRecord.DirOffset = Field32(DirStart);
  EndRecord.CommentLength = CheckedLength(ArchiveComment.size(), "An archive comment");
  EndRecord.DiskNumber = VolumeField(A.CurrentVolume().Number);

  // Whenever the end record holds a marker, the real value must be found in
  // the ZIP64 records: a count of 0xFFFF alone would lose every entry past
  // the 65535th.
  const bool NeedZip64 = Stream->Position() >= Max32 || Entries == Zip64Marker16 ||
                         EndRecord.DirSize == Zip64Marker32 || EndRecord.DirOffset == Zip64Marker32 ||
                         EndRecord.DiskNumber == Zip64Marker16 || EndRecord.DirDisk == Zip64Marker16;
  if (NeedZip64) {
    WriteZip64EndRecord(DirStart, DirSize, DirStartVolume);
    WriteZip64Locator();
  }
  WriteRecord(*Stream, EndRecord);
  if (!ArchiveComment.empty())
    Stream->WriteBuffer(ArchiveComment.data(), static_cast<int64_t>(ArchiveComment.size()));

  RenameLastVolume();
}

void TCVDirManager::WriteZip64EndRecord(int64_t DirStart, int64_t DirSize, uint32_t DirStartVolume) {
  const TCVVolumeNumberInfo& Current = Archiver().CurrentVolume();
  Zip64Locator.EndRecordOffset = static_cast<uint64_t>(Stream->Position());
  Zip64EndRecord.Signature = TZip64EndRecord::SignatureValue;
  Zip64EndRecord.RecordSize = 44;
  Zip64EndRecord.VersionMadeBy = 45;
  Zip64EndRecord.VersionNeeded = 45;
  Zip64EndRecord.DiskNumber = VolumeNumber32(Current.Number);
  Zip64EndRecord.DirDisk = DirStartVolume;
  Zip64EndRecord.DiskEntries = static_cast<uint64_t>(DirItems.Count());
  Zip64EndRecord.TotalEntries = static_cast<uint64_t>(DirItems.Count());
  Zip64EndRecord.DirSize = static_cast<uint64_t>(DirSize);
  Zip64EndRecord.DirOffset = static_cast<uint64_t>(DirStart);
  WriteRecord(*Stream, Zip64EndRecord);
}

void TCVDirManager::WriteZip64Locator() {
  const uint32_t Volume = VolumeNumber32(Archiver().CurrentVolume().Number);
  Zip64Locator.Signature = TZip64Locator::SignatureValue;
  Zip64Locator.EndRecordDisk = Volume;
  Zip64Locator.TotalDisks = Volume + 1;
  WriteRecord(*Stream, Zip64Locator);
}

// A split or spanned archive written anew ends on the volume named like the
// archive (the last-volume name), whichever numbered file it was created as.
void TCVDirManager::RenameLastVolume() {
  TCVBaseArchiver& A = Archiver();
  if (A.SpanningMode() == smNone || Stream != A.FArchiveStream.get()) return;
  // Only a file can be renamed; a memory archive has none, whatever name an
  // earlier open left behind.
  auto* File = dynamic_cast<TFileStream*>(Stream);
  if (File == nullptr || File->FileName() == A.FileName()) return;
  const std::string Current = File->FileName();
  std::string LastName = A.FileName();
  A.MakeVolumeFileName(LastName, -1, false);
  A.FArchiveStream.reset();
  Stream = nullptr;
  // rename(2) replaces a file of that name in one step. When it fails, the
  // volume is opened again under its old name and the failure reported.
  const bool Renamed = RenameFile(Current, LastName);
  const std::string& Name = Renamed ? LastName : Current;
  A.FArchiveStream = FileSystem().OpenFile(Name, fmOpenReadWrite | fmShareDenyNone);
  A.FCurrentVolumeName = Name;
  Stream = A.FArchiveStream.get();
  if (!Renamed) RaiseFileError(feCreate, LastName, "Cannot rename \"" + Current + "\" to it");
}
