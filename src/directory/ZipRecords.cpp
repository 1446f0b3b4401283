#include "directory/ZipRecords.h"

#include <algorithm>
#include <array>

#include "platform/ByteOrder.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"

namespace {

template <typename TRecord>
void ReadRecord(TStream& S, TRecord& R) {
  std::array<uint8_t, TRecord::Size> Buffer;
  S.ReadBuffer(Buffer.data(), TRecord::Size);
  R.Decode(Buffer.data());
}

template <typename TRecord>
void WriteRecord(TStream& S, const TRecord& R) {
  std::array<uint8_t, TRecord::Size> Buffer;
  R.Encode(Buffer.data());
  S.WriteBuffer(Buffer.data(), TRecord::Size);
}

std::string CutAtZero(const std::string& S) { return S.substr(0, S.find('\0')); }

}  // namespace

// APPNOTE 4.3.7: local file header.
void TLocalFileHeader::Decode(const uint8_t* P) {
  Signature = GetLE32(P);
  VersionNeeded = GetLE16(P + 4);
  Flags = GetLE16(P + 6);
  Method = GetLE16(P + 8);
  ModTime = GetLE16(P + 10);
  ModDate = GetLE16(P + 12);
  Crc32 = GetLE32(P + 14);
  CompressedSize = GetLE32(P + 18);
  UncompressedSize = GetLE32(P + 22);
  NameLength = GetLE16(P + 26);
  ExtraLength = GetLE16(P + 28);
}

void TLocalFileHeader::Encode(uint8_t* P) const {
  PutLE32(P, Signature);
  PutLE16(P + 4, VersionNeeded);
  PutLE16(P + 6, Flags);
  PutLE16(P + 8, Method);
  PutLE16(P + 10, ModTime);
  PutLE16(P + 12, ModDate);
  PutLE32(P + 14, Crc32);
  PutLE32(P + 18, CompressedSize);
  PutLE32(P + 22, UncompressedSize);
  PutLE16(P + 26, NameLength);
  PutLE16(P + 28, ExtraLength);
}

void TLocalFileHeader::Read(TStream& S) { ReadRecord(S, *this); }
void TLocalFileHeader::Write(TStream& S) const { WriteRecord(S, *this); }

// APPNOTE 4.3.12: central directory file header.
void TCentralFileHeader::Decode(const uint8_t* P) {
  Signature = GetLE32(P);
  VersionMadeBy = GetLE16(P + 4);
  VersionNeeded = GetLE16(P + 6);
  Flags = GetLE16(P + 8);
  Method = GetLE16(P + 10);
  ModTime = GetLE16(P + 12);
  ModDate = GetLE16(P + 14);
  Crc32 = GetLE32(P + 16);
  CompressedSize = GetLE32(P + 20);
  UncompressedSize = GetLE32(P + 24);
  NameLength = GetLE16(P + 28);
  ExtraLength = GetLE16(P + 30);
  CommentLength = GetLE16(P + 32);
  DiskNumberStart = GetLE16(P + 34);
  InternalAttr = GetLE16(P + 36);
  ExternalAttr = GetLE32(P + 38);
  LocalHeaderOffset = GetLE32(P + 42);
}

void TCentralFileHeader::Encode(uint8_t* P) const {
  PutLE32(P, Signature);
  PutLE16(P + 4, VersionMadeBy);
  PutLE16(P + 6, VersionNeeded);
  PutLE16(P + 8, Flags);
  PutLE16(P + 10, Method);
  PutLE16(P + 12, ModTime);
  PutLE16(P + 14, ModDate);
  PutLE32(P + 16, Crc32);
  PutLE32(P + 20, CompressedSize);
  PutLE32(P + 24, UncompressedSize);
  PutLE16(P + 28, NameLength);
  PutLE16(P + 30, ExtraLength);
  PutLE16(P + 32, CommentLength);
  PutLE16(P + 34, DiskNumberStart);
  PutLE16(P + 36, InternalAttr);
  PutLE32(P + 38, ExternalAttr);
  PutLE32(P + 42, LocalHeaderOffset);
}

void TCentralFileHeader::Read(TStream& S) { ReadRecord(S, *this); }
void TCentralFileHeader::Write(TStream& S) const { WriteRecord(S, *this); }

// APPNOTE 4.3.9: data descriptor, in its signed form.
void TDataDescriptor::Decode(const uint8_t* P) {
  Signature = GetLE32(P);
  Crc32 = GetLE32(P + 4);
  CompressedSize = GetLE32(P + 8);
  UncompressedSize = GetLE32(P + 12);
}

void TDataDescriptor::Encode(uint8_t* P) const {
  PutLE32(P, Signature);
  PutLE32(P + 4, Crc32);
  PutLE32(P + 8, CompressedSize);
  PutLE32(P + 12, UncompressedSize);
}

void TDataDescriptor::Read(TStream& S) { ReadRecord(S, *this); }
void TDataDescriptor::Write(TStream& S) const { WriteRecord(S, *this); }

// APPNOTE 4.3.16: end of central directory record.
void TEndRecord::Decode(const uint8_t* P) {
  Signature = GetLE32(P);
  DiskNumber = GetLE16(P + 4);
  DirDisk = GetLE16(P + 6);
  DiskEntries = GetLE16(P + 8);
  TotalEntries = GetLE16(P + 10);
  DirSize = GetLE32(P + 12);
  DirOffset = GetLE32(P + 16);
  CommentLength = GetLE16(P + 20);
}

void TEndRecord::Encode(uint8_t* P) const {
  PutLE32(P, Signature);
  PutLE16(P + 4, DiskNumber);
  PutLE16(P + 6, DirDisk);
  PutLE16(P + 8, DiskEntries);
  PutLE16(P + 10, TotalEntries);
  PutLE32(P + 12, DirSize);
  PutLE32(P + 16, DirOffset);
  PutLE16(P + 20, CommentLength);
}

void TEndRecord::Read(TStream& S) { ReadRecord(S, *this); }
void TEndRecord::Write(TStream& S) const { WriteRecord(S, *this); }

// APPNOTE 4.3.14: ZIP64 end of central directory record, fixed part.
void TZip64EndRecord::Decode(const uint8_t* P) {
  Signature = GetLE32(P);
  RecordSize = GetLE64(P + 4);
  VersionMadeBy = GetLE16(P + 12);
  VersionNeeded = GetLE16(P + 14);
  DiskNumber = GetLE32(P + 16);
  DirDisk = GetLE32(P + 20);
  DiskEntries = GetLE64(P + 24);
  TotalEntries = GetLE64(P + 32);
  DirSize = GetLE64(P + 40);
  DirOffset = GetLE64(P + 48);
}

void TZip64EndRecord::Encode(uint8_t* P) const {
  PutLE32(P, Signature);
  PutLE64(P + 4, RecordSize);
  PutLE16(P + 12, VersionMadeBy);
  PutLE16(P + 14, VersionNeeded);
  PutLE32(P + 16, DiskNumber);
  PutLE32(P + 20, DirDisk);
  PutLE64(P + 24, DiskEntries);
  PutLE64(P + 32, TotalEntries);
  PutLE64(P + 40, DirSize);
  PutLE64(P + 48, DirOffset);
}

void TZip64EndRecord::Read(TStream& S) { ReadRecord(S, *this); }
void TZip64EndRecord::Write(TStream& S) const { WriteRecord(S, *this); }

// APPNOTE 4.3.15: ZIP64 end of central directory locator.
void TZip64Locator::Decode(const uint8_t* P) {
  Signature = GetLE32(P);
  EndRecordDisk = GetLE32(P + 4);
  EndRecordOffset = GetLE64(P + 8);
  TotalDisks = GetLE32(P + 16);
}

void TZip64Locator::Encode(uint8_t* P) const {
  PutLE32(P, Signature);
  PutLE32(P + 4, EndRecordDisk);
  PutLE64(P + 8, EndRecordOffset);
  PutLE32(P + 16, TotalDisks);
}

void TZip64Locator::Read(TStream& S) { ReadRecord(S, *this); }
void TZip64Locator::Write(TStream& S) const { WriteRecord(S, *this); }

// APPNOTE 4.5.1: extra field sub-record header.
void TExtraField::Decode(const uint8_t* P) {
  HeaderId = GetLE16(P);
  DataSize = GetLE16(P + 2);
}

void TExtraField::Encode(uint8_t* P) const {
  PutLE16(P, HeaderId);
  PutLE16(P + 2, DataSize);
}

void TExtraField::Read(TStream& S) {
  ReadRecord(S, *this);
  // The length field may claim more than the stream holds; allocate only
  // what can be read.
  if (DataSize > S.Size() - S.Position()) throw EReadError();
  Data.assign(DataSize, 0);
  S.ReadBuffer(Data.data(), DataSize);
}

void TExtraField::Write(TStream& S) const {
  // The header tells the length actually written.
  std::array<uint8_t, Size> Header;
  PutLE16(Header.data(), HeaderId);
  PutLE16(Header.data() + 2, static_cast<uint16_t>(Data.size()));
  S.WriteBuffer(Header.data(), Size);
  S.WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
}

std::string DecodeStoredName(const std::string& Stored, uint16_t Flags, bool OEMFileNames) {
  std::string Name = CutAtZero(Stored);
  // Names from Linux and macOS are UTF-8 whether or not bit 11 says so; a
  // CP437 name is almost never valid UTF-8 with a multi-byte sequence.
  if (OEMFileNames && (Flags & zfUtf8Names) == 0 && !LooksLikeUtf8(Name)) Name = OemToChar(Name);
  std::replace(Name.begin(), Name.end(), '\\', '/');
  return Name;
}

std::string DecodeStoredComment(const std::string& Stored) {
  return CutAtZero(Stored.substr(0, MaxEntryCommentLength));
}

std::string DecodeArchiveComment(const std::string& Stored) { return CutAtZero(Stored); }
