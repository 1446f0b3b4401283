#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Stream.h"

// The fixed-size ZIP records (PKWARE's APPNOTE, section 4.3), decoded and
// encoded field by field, little-endian, never by copying memory over a
// struct. Each record has Decode/Encode over Size bytes, and Read/Write over a
// stream; Read raises EReadError when the stream ends inside the record and
// Write raises EWriteError on a short write. Decode does not check the
// signature: callers decide what a wrong one means.

// ZIP64 markers: the real value lives in a ZIP64 record or extra field.
constexpr uint32_t Zip64Marker32 = 0xFFFFFFFF;
constexpr uint16_t Zip64Marker16 = 0xFFFF;

// General purpose flag bits the system looks at.
constexpr uint16_t zfEncrypted = 0x0001;
constexpr uint16_t zfFolderEntry = 0x0002;
constexpr uint16_t zfDataDescriptor = 0x0008;
constexpr uint16_t zfUtf8Names = 0x0800;

constexpr uint16_t Zip64ExtraId = 0x0001;

struct TLocalFileHeader {
  static constexpr size_t Size = 30;
  static constexpr uint32_t SignatureValue = 0x04034B50;

  uint32_t Signature = 0;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;

  void Decode(const uint8_t* P);
  void Encode(uint8_t* P) const;
  void Read(TStream& S);
  void Write(TStream& S) const;
};

struct TCentralFileHeader {
  static constexpr size_t Size = 46;
  static constexpr uint32_t SignatureValue = 0x02014B50;

  uint32_t Signature = 0;
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalAttr = 0;
  uint32_t ExternalAttr = 0;
  uint32_t LocalHeaderOffset = 0;

  void Decode(const uint8_t* P);
  void Encode(uint8_t* P) const;
  void Read(TStream& S);
  void Write(TStream& S) const;
};

// Only the form with its signature; 32-bit sizes.
struct TDataDescriptor {
  static constexpr size_t Size = 16;
  static constexpr uint32_t SignatureValue = 0x08074B50;

  uint32_t Signature = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;

  void Decode(const uint8_t* P);
  void Encode(uint8_t* P) const;
  void Read(TStream& S);
  void Write(TStream& S) const;
};

struct TEndRecord {
  static constexpr size_t Size = 22;
  static constexpr uint32_t SignatureValue = 0x06054B50;

  uint32_t Signature = 0;
  uint16_t DiskNumber = 0;
  uint16_t DirDisk = 0;
  uint16_t DiskEntries = 0;
  uint16_t TotalEntries = 0;
  uint32_t DirSize = 0;
  uint32_t DirOffset = 0;
  uint16_t CommentLength = 0;

  void Decode(const uint8_t* P);
  void Encode(uint8_t* P) const;
  void Read(TStream& S);
  void Write(TStream& S) const;
};

// Always exactly 56 bytes: an extensible data sector is neither read nor
// written.
struct TZip64EndRecord {
  static constexpr size_t Size = 56;
  static constexpr uint32_t SignatureValue = 0x06064B50;

  uint32_t Signature = 0;
  uint64_t RecordSize = 0;
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint32_t DiskNumber = 0;
  uint32_t DirDisk = 0;
  uint64_t DiskEntries = 0;
  uint64_t TotalEntries = 0;
  uint64_t DirSize = 0;
  uint64_t DirOffset = 0;

  void Decode(const uint8_t* P);
  void Encode(uint8_t* P) const;
  void Read(TStream& S);
  void Write(TStream& S) const;
};

struct TZip64Locator {
  static constexpr size_t Size = 20;
  static constexpr uint32_t SignatureValue = 0x07064B50;

  uint32_t Signature = 0;
  uint32_t EndRecordDisk = 0;
  uint64_t EndRecordOffset = 0;
  uint32_t TotalDisks = 0;

  void Decode(const uint8_t* P);
  void Encode(uint8_t* P) const;
  void Read(TStream& S);
  void Write(TStream& S) const;
};

// One sub-record of an extra field. Size is its header (HeaderId, DataSize);
// Data holds the DataSize bytes that follow it.
struct TExtraField {
  static constexpr size_t Size = 4;

  uint16_t HeaderId = 0;
  uint16_t DataSize = 0;
  std::vector<uint8_t> Data;

  // The header only.
  void Decode(const uint8_t* P);
  void Encode(uint8_t* P) const;
  // Header and data. Read raises EReadError, before allocating, when fewer
  // than DataSize bytes follow the header in S. Write puts Data's length
  // (at most 65535) in the header.
  void Read(TStream& S);
  void Write(TStream& S) const;
};

// The stored bytes of a name become FileName: cut at the first zero byte; with
// OEMFileNames, taken as UTF-8 unchanged when flag bit 11 is set or the bytes
// are valid UTF-8 holding a multi-byte sequence, else converted from CP437;
// without it the bytes pass through. Every "\" becomes "/". The name is kept
// whole: a path may be far longer than 256 bytes here, and a cut would
// write the entry under another name.
std::string DecodeStoredName(const std::string& Stored, uint16_t Flags, bool OEMFileNames);

// Entry comments keep at most their first 256 bytes, cut at the first zero
// byte, without code-page conversion.
constexpr size_t MaxEntryCommentLength = 256;
std::string DecodeStoredComment(const std::string& Stored);

// The archive comment is kept whole, cut at its first zero byte.
std::string DecodeArchiveComment(const std::string& Stored);
