#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Stream.h"

// Builds ZIP archives for tests, byte by byte and independently of the
// library's record code, so a fixture reads like the archive it makes:
//
//   ZipBuilder B;
//   B.Add("a.txt", "hello").Deflated();
//   B.Add("dir/");
//   B.Add("secret.txt", "data").Encrypt("pw").DataDescriptor();
//   auto Bytes = B.Build();
//
// Damage is applied last, in the order asked for (SetByte, Corrupt, Truncate,
// Append), at offsets taken from Layout(), which describes the undamaged
// image. For split archives every offset counts in the volumes' bytes laid
// end to end.

using TBytes = std::vector<uint8_t>;

TBytes ToBytes(const std::string& S);

// Which values an entry's central ZIP64 extra field carries (the matching
// header fields then hold the marker). The local header carries both sizes
// whenever either size is chosen.
enum TZip64Fields : uint8_t {
  z64Uncompressed = 0x01,
  z64Compressed = 0x02,
  z64Offset = 0x04,
  z64Disk = 0x08,
  z64Sizes = 0x03,
  z64SizesAndOffset = 0x07,
};

// File names of split volumes; the last volume always has the archive's name.
enum TVolumeNaming : uint8_t {
  vnNumbered = 0,  // name_001.zip, name_002.zip, ..., name.zip
  vnZ01Upper = 1,  // name.Z01, name.Z02, ..., name.zip
  vnZ01Lower = 2,  // name.z01, name.z02, ..., name.zip
};

// The component's own block format: a 50-byte header, then blocks of a
// 32-bit length and that many bytes, each block holding BlockSize plain bytes
// (the last one the rest), stored or as one complete zlib stream.
struct ZipBlockFormat {
  uint16_t Method = 50;        // any method but 0, 8 and 9
  int32_t BlockSize = 65536;
  bool Compressed = true;      // header byte 21
  uint8_t Algorithm = 0;       // header byte 20: 0 = zlib
  uint16_t Cipher = 0xFFFF;    // 0xFFFF = not encrypted
  std::array<uint8_t, 16> CheckBytes = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                                        0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  std::optional<uint32_t> CheckCrc;     // default: CRC-32 of CheckBytes
  std::optional<int32_t> BlockCount;    // default: the blocks written
  std::optional<uint32_t> PlainLength;  // header offset 8; default: the data's size
};

// One entry; every setter returns the entry so calls chain.
class ZipEntry {
 public:
  ZipEntry(std::string Name, TBytes Data, size_t Index);

  ZipEntry& Stored();
  ZipEntry& Deflated(int Level = -1);
  // Writes the data as given, as the entry's compressed bytes, under Method.
  ZipEntry& Method(uint16_t Method);
  ZipEntry& BlockFormat(const ZipBlockFormat& Format = {});

  // Replaces the computed flag word (encryption, data descriptor, UTF-8).
  ZipEntry& Flags(uint16_t Flags);
  ZipEntry& Utf8Name();
  ZipEntry& Time(int Year, int Month, int Day, int Hour, int Minute, int Second);
  ZipEntry& DosTime(uint16_t Date, uint16_t Time);
  ZipEntry& ExternalAttr(uint32_t Attr);
  ZipEntry& InternalAttr(uint16_t Attr);
  ZipEntry& VersionMadeBy(uint16_t Version);
  ZipEntry& VersionNeeded(uint16_t Version);
  // Sub-records written after any ZIP64 one, as given.
  ZipEntry& LocalExtra(const std::string& Bytes);
  ZipEntry& CentralExtra(const std::string& Bytes);
  ZipEntry& Extra(const std::string& Bytes);
  ZipEntry& Comment(const std::string& Bytes);
  // A different name in the local header only.
  ZipEntry& LocalName(const std::string& Bytes);

  // Flag bit 3: local CRC and sizes 0, a descriptor after the data (8-byte
  // sizes for a ZIP64 entry).
  ZipEntry& DataDescriptor(bool WithSignature = true);
  ZipEntry& Zip64(uint8_t Fields = z64SizesAndOffset);
  // Traditional encryption; the check byte is the CRC's high byte, or the
  // time's high byte when flag bit 3 is set.
  ZipEntry& Encrypt(const std::string& Password);
  ZipEntry& CheckByte(uint8_t Value);

  // Values written in place of the true ones (local, central, descriptor).
  ZipEntry& StoredCrc32(uint32_t Crc);
  ZipEntry& StoredCompressedSize(uint64_t Size);
  ZipEntry& StoredUncompressedSize(uint64_t Size);
  // Bytes after the compressed data, counted in the compressed size.
  ZipEntry& TrailingData(const std::string& Bytes);

 private:
  friend class ZipBuilder;
  enum TKind : uint8_t { kStored, kDeflated, kRaw, kBlocks };

  std::string FName;
  TBytes FData;
  size_t FIndex;
  TKind FKind = kStored;
  int FLevel = -1;
  uint16_t FMethod = 0;
  ZipBlockFormat FBlocks;
  std::optional<uint16_t> FFlags;
  bool FUtf8 = false;
  uint16_t FDate;
  uint16_t FTime;
  uint32_t FExternalAttr;
  uint16_t FInternalAttr = 0;
  std::optional<uint16_t> FVersionMadeBy;
  std::optional<uint16_t> FVersionNeeded;
  TBytes FLocalExtra;
  TBytes FCentralExtra;
  TBytes FComment;
  std::optional<std::string> FLocalName;
  bool FDescriptor = false;
  bool FDescriptorSignature = true;
  uint8_t FZip64 = 0;
  std::optional<std::string> FPassword;
  std::optional<uint8_t> FCheckByte;
  std::optional<uint32_t> FStoredCrc;
  std::optional<uint64_t> FStoredCompressed;
  std::optional<uint64_t> FStoredUncompressed;
  TBytes FTrailing;
};

// Where things start in the undamaged image (-1: not written).
struct ZipEntryOffsets {
  int64_t LocalHeader = -1;
  int64_t Data = -1;     // after the local name and extra (the encryption header if any)
  int64_t DataEnd = -1;
  int64_t Descriptor = -1;
  int64_t CentralHeader = -1;
  uint32_t Disk = 0;     // volume of the local header
  uint32_t Crc32 = 0;    // of the plain data
  uint64_t CompressedSize = 0;  // encryption header included
  uint64_t UncompressedSize = 0;
};

struct ZipLayout {
  std::vector<ZipEntryOffsets> Entries;
  int64_t CentralDirectory = -1;
  int64_t Zip64EndRecord = -1;
  int64_t Zip64Locator = -1;
  int64_t EndRecord = -1;
  int64_t Size = 0;
  std::vector<int64_t> VolumeSizes;
};

class ZipBuilder {
 public:
  ZipBuilder();
  ~ZipBuilder();

  // A name ending in "/" makes a folder entry (stored, attribute 0x10).
  ZipEntry& Add(const std::string& Name, const std::string& Data = {});
  ZipEntry& Add(const std::string& Name, const TBytes& Data);
  ZipEntry& Entry(size_t Index) { return *FEntries.at(Index); }

  ZipBuilder& Comment(const std::string& Bytes);
  // Leading bytes (a self-extractor stub). OffsetsCountPrefix false stores
  // offsets as if the archive started after the prefix.
  ZipBuilder& Prefix(const std::string& Bytes, bool OffsetsCountPrefix = true);
  // The end record still describes the directory as if it were there.
  ZipBuilder& OmitCentralDirectory();
  ZipBuilder& OmitEndRecord();
  // ZIP64 end record and locator; MarkEndRecord puts markers in every field
  // of the end record that has a ZIP64 counterpart.
  ZipBuilder& Zip64EndRecord(bool MarkEndRecord = false);
  // Split into volumes of at most VolumeSize bytes. Headers and the records
  // at the end are never cut; entry data is. The first volume starts with
  // the split marker PK\7\8 (PK00 when everything fits in one volume).
  ZipBuilder& Split(int64_t VolumeSize, bool SplitMarker = true);

  ZipBuilder& SetByte(int64_t Offset, uint8_t Value);
  ZipBuilder& SetLE16(int64_t Offset, uint16_t Value);
  ZipBuilder& SetLE32(int64_t Offset, uint32_t Value);
  // Inverts Count bytes, so each surely changes.
  ZipBuilder& Corrupt(int64_t Offset, int64_t Count = 1);
  ZipBuilder& Truncate(int64_t Size);
  ZipBuilder& Append(const std::string& Bytes);

  ZipLayout Layout() const;
  TBytes Build() const;
  std::unique_ptr<TMemoryStream> BuildStream() const;
  void WriteTo(const std::string& Path) const;
  // The damaged image cut at the undamaged volume boundaries; a volume that
  // damage left empty is dropped from the end.
  std::vector<TBytes> BuildVolumes() const;
  // Writes the volumes beside ArchivePath, the last under ArchivePath itself;
  // returns their paths in order.
  std::vector<std::string> WriteVolumes(const std::string& ArchivePath, TVolumeNaming Naming) const;
  static std::string VolumeName(const std::string& ArchivePath, size_t Index, size_t Count, TVolumeNaming Naming);

 private:
  struct TComposed;
  struct TPrepared;
  static TPrepared Prepare(const ZipEntry& E);
  struct TDamage {
    enum TKind : uint8_t { dSetByte, dCorrupt, dTruncate, dAppend } Kind;
    int64_t Offset;
    int64_t Count;
    uint8_t Value;
    TBytes Bytes;
  };
  TComposed Compose() const;
  void ApplyDamage(TBytes& Image) const;

  std::vector<std::unique_ptr<ZipEntry>> FEntries;
  TBytes FComment;
  TBytes FPrefix;
  bool FPrefixCounted = true;
  bool FOmitDirectory = false;
  bool FOmitEndRecord = false;
  bool FZip64End = false;
  bool FMarkEndRecord = false;
  int64_t FVolumeSize = 0;
  bool FSplitMarker = true;
  std::vector<TDamage> FDamage;
};

// One extra-field sub-record (HeaderId, DataSize, Data) as bytes, for
// LocalExtra, CentralExtra and Extra.
std::string ExtraSubRecord(uint16_t HeaderId, const std::string& Data);

// A DOS date and time.
uint16_t DosDate(int Year, int Month, int Day);
uint16_t DosTimeOfDay(int Hour, int Minute, int Second);

// Raw deflate (window bits -15) and zlib-wrapped compression, for fixtures.
TBytes RawDeflate(const TBytes& Plain, int Level = -1);
TBytes ZlibCompress(const TBytes& Plain, int Level = -1);
uint32_t ZlibCrc32(const TBytes& Data);
