#include "support/ZipBuilder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "support/ZipCipher.h"

// Records are written here with their own little helpers rather than the
// library's encoders, so that a mistake in one is not copied into the other.

namespace {

constexpr uint32_t LocalSignature = 0x04034B50;
constexpr uint32_t CentralSignature = 0x02014B50;
constexpr uint32_t DescriptorSignature = 0x08074B50;
constexpr uint32_t EndSignature = 0x06054B50;
constexpr uint32_t Zip64EndSignature = 0x06064B50;
constexpr uint32_t Zip64LocatorSignature = 0x07064B50;
constexpr uint32_t SplitMarker = 0x08074B50;
constexpr uint32_t SingleSegmentMarker = 0x30304B50;  // "PK00"
constexpr uint32_t Marker32 = 0xFFFFFFFF;
constexpr uint16_t Marker16 = 0xFFFF;

void Put8(TBytes& B, uint8_t V) { B.push_back(V); }
void Put16(TBytes& B, uint16_t V) {
  B.push_back(static_cast<uint8_t>(V));
  B.push_back(static_cast<uint8_t>(V >> 8));
}
void Put32(TBytes& B, uint32_t V) {
  for (int I = 0; I < 4; ++I) B.push_back(static_cast<uint8_t>(V >> (8 * I)));
}
void Put64(TBytes& B, uint64_t V) {
  for (int I = 0; I < 8; ++I) B.push_back(static_cast<uint8_t>(V >> (8 * I)));
}
void PutBytes(TBytes& B, const TBytes& S) { B.insert(B.end(), S.begin(), S.end()); }
void Poke32(TBytes& B, size_t At, uint32_t V) {
  for (int I = 0; I < 4; ++I) B[At + I] = static_cast<uint8_t>(V >> (8 * I));
}

// Lays bytes out over volumes of at most Limit bytes (0: one volume).
class TVolumes {
 public:
  explicit TVolumes(int64_t Limit) : FLimit(Limit) { FVolumes.emplace_back(); }

  // Starts a new volume when N bytes that must stay together do not fit.
  void KeepTogether(size_t N) {
    if (FLimit > 0 && !Current().empty() && static_cast<int64_t>(Current().size() + N) > FLimit)
      FVolumes.emplace_back();
  }
  void PutTogether(const TBytes& B) {
    KeepTogether(B.size());
    PutBytes(Current(), B);
  }
  void PutSplittable(const TBytes& B) {
    size_t Pos = 0;
    while (Pos < B.size()) {
      if (FLimit > 0 && static_cast<int64_t>(Current().size()) >= FLimit) FVolumes.emplace_back();
      size_t Room = FLimit > 0 ? static_cast<size_t>(FLimit) - Current().size() : B.size() - Pos;
      size_t N = std::min(Room, B.size() - Pos);
      Current().insert(Current().end(), B.begin() + Pos, B.begin() + Pos + N);
      Pos += N;
    }
  }
  uint32_t Disk() const { return static_cast<uint32_t>(FVolumes.size() - 1); }
  int64_t Offset() const { return static_cast<int64_t>(FVolumes.back().size()); }
  int64_t Absolute() const {
    int64_t Sum = 0;
    for (const TBytes& V : FVolumes) Sum += static_cast<int64_t>(V.size());
    return Sum;
  }
  std::vector<TBytes>& Volumes() { return FVolumes; }

 private:
  TBytes& Current() { return FVolumes.back(); }
  const TBytes& Current() const { return FVolumes.back(); }

  int64_t FLimit;
  std::vector<TBytes> FVolumes;
};

TBytes BlockPayload(const TBytes& Data, const ZipBlockFormat& F) {
  std::vector<TBytes> Blocks;
  size_t Step = F.BlockSize > 0 ? static_cast<size_t>(F.BlockSize) : std::max<size_t>(Data.size(), 1);
  for (size_t Pos = 0; Pos < Data.size(); Pos += Step) {
    TBytes Plain(Data.begin() + Pos, Data.begin() + std::min(Data.size(), Pos + Step));
    Blocks.push_back(F.Compressed ? ZlibCompress(Plain) : Plain);
  }
  TBytes Check(F.CheckBytes.begin(), F.CheckBytes.end());
  TBytes Out;
  Put32(Out, static_cast<uint32_t>(F.BlockSize));
  Put32(Out, 0);
  Put32(Out, F.PlainLength.value_or(static_cast<uint32_t>(Data.size())));
  Put32(Out, 0);
  Put32(Out, static_cast<uint32_t>(F.BlockCount.value_or(static_cast<int32_t>(Blocks.size()))));
  Put8(Out, F.Algorithm);
  Put8(Out, F.Compressed ? 1 : 0);
  Put16(Out, F.Cipher);
  Put32(Out, F.CheckCrc.value_or(ZlibCrc32(Check)));
  PutBytes(Out, Check);
  Out.resize(50, 0);
  for (const TBytes& B : Blocks) {
    Put32(Out, static_cast<uint32_t>(B.size()));
    PutBytes(Out, B);
  }
  return Out;
}

}  // namespace

TBytes ToBytes(const std::string& S) { return TBytes(S.begin(), S.end()); }

std::string ExtraSubRecord(uint16_t HeaderId, const std::string& Data) {
  TBytes B;
  Put16(B, HeaderId);
  Put16(B, static_cast<uint16_t>(Data.size()));
  return std::string(B.begin(), B.end()) + Data;
}

uint16_t DosDate(int Year, int Month, int Day) {
  return static_cast<uint16_t>(((Year - 1980) << 9) | (Month << 5) | Day);
}

uint16_t DosTimeOfDay(int Hour, int Minute, int Second) {
  return static_cast<uint16_t>((Hour << 11) | (Minute << 5) | (Second / 2));
}

uint32_t ZlibCrc32(const TBytes& Data) {
  return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), Data.data(), static_cast<uInt>(Data.size())));
}

TBytes RawDeflate(const TBytes& Plain, int Level) {
  z_stream Z{};
  if (deflateInit2(&Z, Level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  TBytes Out(deflateBound(&Z, static_cast<uLong>(Plain.size())));
  Z.next_in = const_cast<Bytef*>(Plain.data());
  Z.avail_in = static_cast<uInt>(Plain.size());
  Z.next_out = Out.data();
  Z.avail_out = static_cast<uInt>(Out.size());
  int Result = deflate(&Z, Z_FINISH);
  Out.resize(Z.total_out);
  deflateEnd(&Z);
  if (Result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return Out;
}

TBytes ZlibCompress(const TBytes& Plain, int Level) {
  uLongf Size = compressBound(static_cast<uLong>(Plain.size()));
  TBytes Out(Size);
  if (compress2(Out.data(), &Size, Plain.data(), static_cast<uLong>(Plain.size()), Level) != Z_OK)
    throw std::runtime_error("compress2 failed");
  Out.resize(Size);
  return Out;
}

// ---------------------------------------------------------------- ZipEntry

ZipEntry::ZipEntry(std::string Name, TBytes Data, size_t Index)
    : FName(std::move(Name)),
      FData(std::move(Data)),
      FIndex(Index),
      FDate(DosDate(2021, 6, 15)),
      FTime(DosTimeOfDay(12, 34, 56)),
      FExternalAttr(!FName.empty() && FName.back() == '/' ? 0x10 : 0x20) {}

ZipEntry& ZipEntry::Stored() {
  FKind = kStored;
  return *this;
}
ZipEntry& ZipEntry::Deflated(int Level) {
  FKind = kDeflated;
  FLevel = Level;
  return *this;
}
ZipEntry& ZipEntry::Method(uint16_t Method) {
  FKind = kRaw;
  FMethod = Method;
  return *this;
}
ZipEntry& ZipEntry::BlockFormat(const ZipBlockFormat& Format) {
  FKind = kBlocks;
  FBlocks = Format;
  return *this;
}
ZipEntry& ZipEntry::Flags(uint16_t Flags) {
  FFlags = Flags;
  return *this;
}
ZipEntry& ZipEntry::Utf8Name() {
  FUtf8 = true;
  return *this;
}
ZipEntry& ZipEntry::Time(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  FDate = DosDate(Year, Month, Day);
  FTime = DosTimeOfDay(Hour, Minute, Second);
  return *this;
}
ZipEntry& ZipEntry::DosTime(uint16_t Date, uint16_t Time) {
  FDate = Date;
  FTime = Time;
  return *this;
}
ZipEntry& ZipEntry::ExternalAttr(uint32_t Attr) {
  FExternalAttr = Attr;
  return *this;
}
ZipEntry& ZipEntry::InternalAttr(uint16_t Attr) {
  FInternalAttr = Attr;
  return *this;
}
ZipEntry& ZipEntry::VersionMadeBy(uint16_t Version) {
  FVersionMadeBy = Version;
  return *this;
}
ZipEntry& ZipEntry::VersionNeeded(uint16_t Version) {
  FVersionNeeded = Version;
  return *this;
}
ZipEntry& ZipEntry::LocalExtra(const std::string& Bytes) {
  FLocalExtra = ToBytes(Bytes);
  return *this;
}
ZipEntry& ZipEntry::CentralExtra(const std::string& Bytes) {
  FCentralExtra = ToBytes(Bytes);
  return *this;
}
ZipEntry& ZipEntry::Extra(const std::string& Bytes) { return LocalExtra(Bytes).CentralExtra(Bytes); }
ZipEntry& ZipEntry::Comment(const std::string& Bytes) {
  FComment = ToBytes(Bytes);
  return *this;
}
ZipEntry& ZipEntry::LocalName(const std::string& Bytes) {
  FLocalName = Bytes;
  return *this;
}
ZipEntry& ZipEntry::DataDescriptor(bool WithSignature) {
  FDescriptor = true;
  FDescriptorSignature = WithSignature;
  return *this;
}
ZipEntry& ZipEntry::Zip64(uint8_t Fields) {
  FZip64 = Fields;
  return *this;
}
ZipEntry& ZipEntry::Encrypt(const std::string& Password) {
  FPassword = Password;
  return *this;
}
ZipEntry& ZipEntry::CheckByte(uint8_t Value) {
  FCheckByte = Value;
  return *this;
}
ZipEntry& ZipEntry::StoredCrc32(uint32_t Crc) {
  FStoredCrc = Crc;
  return *this;
}
ZipEntry& ZipEntry::StoredCompressedSize(uint64_t Size) {
  FStoredCompressed = Size;
  return *this;
}
ZipEntry& ZipEntry::StoredUncompressedSize(uint64_t Size) {
  FStoredUncompressed = Size;
  return *this;
}
ZipEntry& ZipEntry::TrailingData(const std::string& Bytes) {
  FTrailing = ToBytes(Bytes);
  return *this;
}

// -------------------------------------------------------------- ZipBuilder

struct ZipBuilder::TPrepared {
  TBytes Payload;  // what follows the local header: encryption header, data, trailing bytes
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint32_t Crc = 0;  // of the plain data
  uint32_t StoredCrc = 0;
  uint64_t StoredCompressed = 0;
  uint64_t StoredUncompressed = 0;
};

struct ZipBuilder::TComposed {
  std::vector<TBytes> Volumes;
  ZipLayout Layout;
};

ZipBuilder::ZipBuilder() = default;
ZipBuilder::~ZipBuilder() = default;

ZipEntry& ZipBuilder::Add(const std::string& Name, const std::string& Data) { return Add(Name, ToBytes(Data)); }

ZipEntry& ZipBuilder::Add(const std::string& Name, const TBytes& Data) {
  FEntries.push_back(std::make_unique<ZipEntry>(Name, Data, FEntries.size()));
  return *FEntries.back();
}

ZipBuilder& ZipBuilder::Comment(const std::string& Bytes) {
  FComment = ToBytes(Bytes);
  return *this;
}
ZipBuilder& ZipBuilder::Prefix(const std::string& Bytes, bool OffsetsCountPrefix) {
  FPrefix = ToBytes(Bytes);
  FPrefixCounted = OffsetsCountPrefix;
  return *this;
}
ZipBuilder& ZipBuilder::OmitCentralDirectory() {
  FOmitDirectory = true;
  return *this;
}
ZipBuilder& ZipBuilder::OmitEndRecord() {
  FOmitEndRecord = true;
  return *this;
}
ZipBuilder& ZipBuilder::Zip64EndRecord(bool MarkEndRecord) {
  FZip64End = true;
  FMarkEndRecord = MarkEndRecord;
  return *this;
}
ZipBuilder& ZipBuilder::Split(int64_t VolumeSize, bool SplitMarker) {
  FVolumeSize = VolumeSize;
  FSplitMarker = SplitMarker;
  return *this;
}
ZipBuilder& ZipBuilder::SetByte(int64_t Offset, uint8_t Value) {
  FDamage.push_back({TDamage::dSetByte, Offset, 1, Value, {}});
  return *this;
}
ZipBuilder& ZipBuilder::SetLE16(int64_t Offset, uint16_t Value) {
  return SetByte(Offset, static_cast<uint8_t>(Value)).SetByte(Offset + 1, static_cast<uint8_t>(Value >> 8));
}
ZipBuilder& ZipBuilder::SetLE32(int64_t Offset, uint32_t Value) {
  return SetLE16(Offset, static_cast<uint16_t>(Value)).SetLE16(Offset + 2, static_cast<uint16_t>(Value >> 16));
}
ZipBuilder& ZipBuilder::Corrupt(int64_t Offset, int64_t Count) {
  FDamage.push_back({TDamage::dCorrupt, Offset, Count, 0, {}});
  return *this;
}
ZipBuilder& ZipBuilder::Truncate(int64_t Size) {
  FDamage.push_back({TDamage::dTruncate, Size, 0, 0, {}});
  return *this;
}
ZipBuilder& ZipBuilder::Append(const std::string& Bytes) {
  FDamage.push_back({TDamage::dAppend, 0, 0, 0, ToBytes(Bytes)});
  return *this;
}

ZipBuilder::TPrepared ZipBuilder::Prepare(const ZipEntry& E) {
  TPrepared P;
  P.Crc = ZlibCrc32(E.FData);
  TBytes Body;
  switch (E.FKind) {
    case ZipEntry::kStored:
      Body = E.FData;
      P.Method = 0;
      break;
    case ZipEntry::kDeflated:
      Body = RawDeflate(E.FData, E.FLevel);
      P.Method = 8;
      break;
    case ZipEntry::kRaw:
      Body = E.FData;
      P.Method = E.FMethod;
      break;
    case ZipEntry::kBlocks:
      Body = BlockPayload(E.FData, E.FBlocks);
      P.Method = E.FBlocks.Method;
      break;
  }
  PutBytes(Body, E.FTrailing);

  uint16_t Flags = 0;
  if (E.FPassword) Flags |= 0x0001;
  if (E.FDescriptor) Flags |= 0x0008;
  if (E.FUtf8) Flags |= 0x0800;
  P.Flags = E.FFlags.value_or(Flags);

  if (E.FPassword) {
    // A real writer derives the check byte from the true CRC, or from the
    // time when it streams (bit 3) and cannot know the CRC yet.
    uint8_t Check = (P.Flags & 0x0008) ? static_cast<uint8_t>(E.FTime >> 8) : static_cast<uint8_t>(P.Crc >> 24);
    P.Payload = EncryptEntryData(Body, *E.FPassword, E.FCheckByte.value_or(Check), static_cast<uint32_t>(E.FIndex + 1));
  } else {
    P.Payload = std::move(Body);
  }

  bool Folder = !E.FName.empty() && E.FName.back() == '/';
  uint16_t Needed = E.FZip64 ? 45 : (P.Method == 0 && !E.FPassword ? 10 : 20);
  if (Folder && !E.FZip64) Needed = 10;
  P.VersionNeeded = E.FVersionNeeded.value_or(Needed);
  P.VersionMadeBy = E.FVersionMadeBy.value_or(E.FZip64 ? 45 : 20);
  P.StoredCrc = E.FStoredCrc.value_or(P.Crc);
  P.StoredCompressed = E.FStoredCompressed.value_or(P.Payload.size());
  P.StoredUncompressed = E.FStoredUncompressed.value_or(E.FData.size());
  return P;
}

ZipBuilder::TComposed ZipBuilder::Compose() const {
  TComposed C;
  TVolumes V(FVolumeSize);
  const int64_t PrefixSize = static_cast<int64_t>(FPrefix.size());
  // Offsets on the first volume leave the prefix out when it is not counted.
  auto Stored = [&](uint32_t Disk, int64_t Offset) {
    return Disk == 0 && !FPrefixCounted ? Offset - PrefixSize : Offset;
  };

  V.PutSplittable(FPrefix);
  int64_t MarkerAt = -1;
  if (FVolumeSize > 0 && FSplitMarker) {
    MarkerAt = V.Offset();
    TBytes Marker;
    Put32(Marker, SplitMarker);
    V.PutTogether(Marker);
  }

  struct TPlaced {
    TPrepared P;
    uint32_t Disk;
    int64_t Offset;
  };
  std::vector<TPlaced> Placed;
  for (const auto& Entry : FEntries) {
    const ZipEntry& E = *Entry;
    TPrepared P = Prepare(E);
    bool Sizes64 = (E.FZip64 & z64Sizes) != 0;
    TBytes Name = ToBytes(E.FLocalName.value_or(E.FName));

    TBytes Extra;
    if (Sizes64) {
      // APPNOTE 4.5.3: the local ZIP64 field holds both sizes.
      Put16(Extra, 0x0001);
      Put16(Extra, 16);
      Put64(Extra, E.FDescriptor ? 0 : P.StoredUncompressed);
      Put64(Extra, E.FDescriptor ? 0 : P.StoredCompressed);
    }
    PutBytes(Extra, E.FLocalExtra);

    TBytes Local;
    Put32(Local, LocalSignature);
    Put16(Local, P.VersionNeeded);
    Put16(Local, P.Flags);
    Put16(Local, P.Method);
    Put16(Local, E.FTime);
    Put16(Local, E.FDate);
    Put32(Local, E.FDescriptor ? 0 : P.StoredCrc);
    Put32(Local, Sizes64 ? Marker32 : E.FDescriptor ? 0 : static_cast<uint32_t>(P.StoredCompressed));
    Put32(Local, Sizes64 ? Marker32 : E.FDescriptor ? 0 : static_cast<uint32_t>(P.StoredUncompressed));
    Put16(Local, static_cast<uint16_t>(Name.size()));
    Put16(Local, static_cast<uint16_t>(Extra.size()));
    PutBytes(Local, Name);
    PutBytes(Local, Extra);

    ZipEntryOffsets O;
    V.KeepTogether(Local.size());
    O.LocalHeader = V.Absolute();
    O.Disk = V.Disk();
    int64_t LocalOffset = V.Offset();
    V.PutTogether(Local);
    O.Data = V.Absolute();
    V.PutSplittable(P.Payload);
    O.DataEnd = V.Absolute();
    if (E.FDescriptor) {
      TBytes D;
      if (E.FDescriptorSignature) Put32(D, DescriptorSignature);
      Put32(D, P.StoredCrc);
      if (Sizes64) {
        Put64(D, P.StoredCompressed);
        Put64(D, P.StoredUncompressed);
      } else {
        Put32(D, static_cast<uint32_t>(P.StoredCompressed));
        Put32(D, static_cast<uint32_t>(P.StoredUncompressed));
      }
      V.KeepTogether(D.size());
      O.Descriptor = V.Absolute();
      V.PutTogether(D);
    }
    O.Crc32 = P.Crc;
    O.CompressedSize = P.Payload.size();
    O.UncompressedSize = E.FData.size();
    C.Layout.Entries.push_back(O);
    Placed.push_back({std::move(P), O.Disk, LocalOffset});
  }

  // Central directory.
  uint32_t DirDisk = V.Disk();
  int64_t DirOffset = V.Offset();
  uint64_t DirSize = 0;
  std::vector<uint32_t> CentralDisks;
  for (size_t I = 0; I < FEntries.size(); ++I) {
    const ZipEntry& E = *FEntries[I];
    const TPlaced& Pl = Placed[I];
    int64_t Offset = Stored(Pl.Disk, Pl.Offset);

    TBytes Extra;
    if (E.FZip64) {
      // APPNOTE 4.5.3: only the marked values, in this order.
      TBytes Z;
      if (E.FZip64 & z64Uncompressed) Put64(Z, Pl.P.StoredUncompressed);
      if (E.FZip64 & z64Compressed) Put64(Z, Pl.P.StoredCompressed);
      if (E.FZip64 & z64Offset) Put64(Z, static_cast<uint64_t>(Offset));
      if (E.FZip64 & z64Disk) Put32(Z, Pl.Disk);
      Put16(Extra, 0x0001);
      Put16(Extra, static_cast<uint16_t>(Z.size()));
      PutBytes(Extra, Z);
    }
    PutBytes(Extra, E.FCentralExtra);

    TBytes R;
    Put32(R, CentralSignature);
    Put16(R, Pl.P.VersionMadeBy);
    Put16(R, Pl.P.VersionNeeded);
    Put16(R, Pl.P.Flags);
    Put16(R, Pl.P.Method);
    Put16(R, E.FTime);
    Put16(R, E.FDate);
    Put32(R, Pl.P.StoredCrc);
    Put32(R, (E.FZip64 & z64Compressed) ? Marker32 : static_cast<uint32_t>(Pl.P.StoredCompressed));
    Put32(R, (E.FZip64 & z64Uncompressed) ? Marker32 : static_cast<uint32_t>(Pl.P.StoredUncompressed));
    Put16(R, static_cast<uint16_t>(E.FName.size()));
    Put16(R, static_cast<uint16_t>(Extra.size()));
    Put16(R, static_cast<uint16_t>(E.FComment.size()));
    Put16(R, (E.FZip64 & z64Disk) ? Marker16 : static_cast<uint16_t>(Pl.Disk));
    Put16(R, E.FInternalAttr);
    Put32(R, E.FExternalAttr);
    Put32(R, (E.FZip64 & z64Offset) ? Marker32 : static_cast<uint32_t>(Offset));
    PutBytes(R, ToBytes(E.FName));
    PutBytes(R, Extra);
    PutBytes(R, E.FComment);

    DirSize += R.size();
    if (FOmitDirectory) {
      CentralDisks.push_back(V.Disk());
      continue;
    }
    V.KeepTogether(R.size());
    if (I == 0) {
      DirDisk = V.Disk();
      DirOffset = V.Offset();
      C.Layout.CentralDirectory = V.Absolute();
    }
    C.Layout.Entries[I].CentralHeader = V.Absolute();
    CentralDisks.push_back(V.Disk());
    V.PutTogether(R);
  }
  if (FEntries.empty() && !FOmitDirectory) C.Layout.CentralDirectory = V.Absolute();

  // The records at the end stay on one volume.
  size_t TailSize = (FZip64End ? 56 + 20 : 0) + (FOmitEndRecord ? 0 : 22 + FComment.size());
  V.KeepTogether(TailSize);
  uint32_t LastDisk = V.Disk();
  uint64_t DiskEntries = static_cast<uint64_t>(std::count(CentralDisks.begin(), CentralDisks.end(), LastDisk));
  uint64_t Total = FEntries.size();
  int64_t StoredDirOffset = Stored(DirDisk, DirOffset);
  TBytes Tail;
  if (FZip64End) {
    C.Layout.Zip64EndRecord = V.Absolute();
    int64_t Zip64EndOffset = Stored(LastDisk, V.Offset());
    Put32(Tail, Zip64EndSignature);
    Put64(Tail, 44);
    Put16(Tail, 45);
    Put16(Tail, 45);
    Put32(Tail, LastDisk);
    Put32(Tail, DirDisk);
    Put64(Tail, DiskEntries);
    Put64(Tail, Total);
    Put64(Tail, DirSize);
    Put64(Tail, static_cast<uint64_t>(StoredDirOffset));
    C.Layout.Zip64Locator = C.Layout.Zip64EndRecord + 56;
    Put32(Tail, Zip64LocatorSignature);
    Put32(Tail, LastDisk);
    Put64(Tail, static_cast<uint64_t>(Zip64EndOffset));
    Put32(Tail, LastDisk + 1);
  }
  if (!FOmitEndRecord) {
    C.Layout.EndRecord = V.Absolute() + static_cast<int64_t>(Tail.size());
    bool M = FMarkEndRecord;
    Put32(Tail, EndSignature);
    Put16(Tail, M ? Marker16 : static_cast<uint16_t>(LastDisk));
    Put16(Tail, M ? Marker16 : static_cast<uint16_t>(DirDisk));
    Put16(Tail, M ? Marker16 : static_cast<uint16_t>(DiskEntries));
    Put16(Tail, M ? Marker16 : static_cast<uint16_t>(Total));
    Put32(Tail, M ? Marker32 : static_cast<uint32_t>(DirSize));
    Put32(Tail, M ? Marker32 : static_cast<uint32_t>(StoredDirOffset));
    Put16(Tail, static_cast<uint16_t>(FComment.size()));
    PutBytes(Tail, FComment);
  }
  V.PutTogether(Tail);

  C.Volumes = std::move(V.Volumes());
  // APPNOTE 8.5.4: a split archive that fits in one segment is marked PK00.
  if (MarkerAt >= 0 && C.Volumes.size() == 1) Poke32(C.Volumes[0], static_cast<size_t>(MarkerAt), SingleSegmentMarker);
  for (const TBytes& Vol : C.Volumes) {
    C.Layout.VolumeSizes.push_back(static_cast<int64_t>(Vol.size()));
    C.Layout.Size += static_cast<int64_t>(Vol.size());
  }
  return C;
}

void ZipBuilder::ApplyDamage(TBytes& Image) const {
  auto Check = [&](int64_t Offset, int64_t Count) {
    if (Offset < 0 || Count < 0 || Offset + Count > static_cast<int64_t>(Image.size()))
      throw std::out_of_range("ZipBuilder: damage outside the archive");
  };
  for (const TDamage& D : FDamage) {
    switch (D.Kind) {
      case TDamage::dSetByte:
        Check(D.Offset, 1);
        Image[static_cast<size_t>(D.Offset)] = D.Value;
        break;
      case TDamage::dCorrupt:
        Check(D.Offset, D.Count);
        for (int64_t I = 0; I < D.Count; ++I) Image[static_cast<size_t>(D.Offset + I)] ^= 0xFF;
        break;
      case TDamage::dTruncate:
        Check(D.Offset, 0);
        Image.resize(static_cast<size_t>(D.Offset));
        break;
      case TDamage::dAppend:
        PutBytes(Image, D.Bytes);
        break;
    }
  }
}

ZipLayout ZipBuilder::Layout() const { return Compose().Layout; }

TBytes ZipBuilder::Build() const {
  TComposed C = Compose();
  TBytes Image;
  for (const TBytes& V : C.Volumes) PutBytes(Image, V);
  ApplyDamage(Image);
  return Image;
}

std::unique_ptr<TMemoryStream> ZipBuilder::BuildStream() const {
  TBytes Image = Build();
  auto S = std::make_unique<TMemoryStream>();
  S->WriteBuffer(Image.data(), static_cast<int64_t>(Image.size()));
  S->SetPosition(0);
  return S;
}

namespace {

void WriteFile(const std::string& Path, const TBytes& Bytes) {
  std::ofstream F(Path, std::ios::binary | std::ios::trunc);
  F.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  if (!F) throw std::runtime_error("ZipBuilder: cannot write " + Path);
}

}  // namespace

void ZipBuilder::WriteTo(const std::string& Path) const { WriteFile(Path, Build()); }

std::vector<TBytes> ZipBuilder::BuildVolumes() const {
  TComposed C = Compose();
  TBytes Image;
  for (const TBytes& V : C.Volumes) PutBytes(Image, V);
  ApplyDamage(Image);
  std::vector<TBytes> Out;
  size_t Start = 0;
  for (size_t I = 0; I < C.Volumes.size(); ++I) {
    size_t End = I + 1 == C.Volumes.size() ? Image.size() : Start + C.Volumes[I].size();
    End = std::min(End, Image.size());
    size_t From = std::min(Start, Image.size());
    Out.emplace_back(Image.begin() + From, Image.begin() + End);
    Start += C.Volumes[I].size();
  }
  while (Out.size() > 1 && Out.back().empty()) Out.pop_back();
  return Out;
}

std::string ZipBuilder::VolumeName(const std::string& ArchivePath, size_t Index, size_t Count, TVolumeNaming Naming) {
  if (Index + 1 >= Count) return ArchivePath;
  size_t Slash = ArchivePath.rfind('/');
  size_t NameStart = Slash == std::string::npos ? 0 : Slash + 1;
  size_t Dot = ArchivePath.rfind('.');
  if (Dot == std::string::npos || Dot < NameStart) Dot = ArchivePath.size();
  std::string Stem = ArchivePath.substr(0, Dot);
  std::string Ext = ArchivePath.substr(Dot);
  char Number[32];
  if (Naming == vnNumbered) {
    std::snprintf(Number, sizeof Number, "_%03zu", Index + 1);
    return Stem + Number + Ext;
  }
  std::snprintf(Number, sizeof Number, Naming == vnZ01Upper ? ".Z%02zu" : ".z%02zu", Index + 1);
  return Stem + Number;
}

std::vector<std::string> ZipBuilder::WriteVolumes(const std::string& ArchivePath, TVolumeNaming Naming) const {
  size_t Count = Compose().Volumes.size();
  std::vector<TBytes> Volumes = BuildVolumes();
  std::vector<std::string> Paths;
  for (size_t I = 0; I < Volumes.size(); ++I) {
    Paths.push_back(VolumeName(ArchivePath, I, Count, Naming));
    WriteFile(Paths.back(), Volumes[I]);
  }
  return Paths;
}
