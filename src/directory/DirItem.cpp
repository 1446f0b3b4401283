#include "directory/DirItem.h"

#include <algorithm>
#include <cstring>

#include "directory/ByteCursor.h"
#include "platform/Exceptions.h"

int64_t TDirItem::EffectiveCompressedSize() const {
  return CompressedSize == Zip64Marker32 ? CompressedSize64 : CompressedSize;
}

int64_t TDirItem::EffectiveUncompressedSize() const {
  return UncompressedSize == Zip64Marker32 ? UncompressedSize64 : UncompressedSize;
}

int64_t TDirItem::EffectiveLocalHeaderOffset() const {
  return LocalHeaderOffset == Zip64Marker32 ? LocalHeaderOffset64 : LocalHeaderOffset;
}

uint32_t TDirItem::EffectiveDiskNumberStart() const {
  return DiskNumberStart == Zip64Marker16 ? DiskNumberStart64 : DiskNumberStart;
}

void TDirItem::SetEffectiveLocalHeaderOffset(int64_t Offset) {
  if (LocalHeaderOffset == Zip64Marker32 || Offset >= static_cast<int64_t>(Zip64Marker32)) {
    LocalHeaderOffset = Zip64Marker32;
    LocalHeaderOffset64 = Offset;
    HasZip64 = true;
  } else {
    LocalHeaderOffset = static_cast<uint32_t>(Offset);
  }
}

namespace {

// APPNOTE 4.5.3: the ZIP64 extended information holds, in this order, only
// the values whose central field holds the marker. Values are taken while
// they lie wholly inside the sub-record.
void TakeZip64Values(TDirItem& Item, const std::vector<uint8_t>& Data) {
  TByteCursor R(Data.data(), Data.size());
  if (Item.UncompressedSize == Zip64Marker32) {
    uint64_t V = R.GetLE64();
    if (R.Ok()) Item.UncompressedSize64 = static_cast<int64_t>(V);
  }
  if (Item.CompressedSize == Zip64Marker32) {
    uint64_t V = R.GetLE64();
    if (R.Ok()) Item.CompressedSize64 = static_cast<int64_t>(V);
  }
  if (Item.LocalHeaderOffset == Zip64Marker32) {
    uint64_t V = R.GetLE64();
    if (R.Ok()) Item.LocalHeaderOffset64 = static_cast<int64_t>(V);
  }
  if (Item.DiskNumberStart == Zip64Marker16) {
    uint32_t V = R.GetLE32();
    if (R.Ok()) Item.DiskNumberStart64 = V;
  }
}

}  // namespace

void ParseExtraField(TDirItem& Item, const uint8_t* Data, size_t Length) {
  Item.HasZip64 = false;
  Item.ExtraFields.clear();
  size_t Consumed = 0;
  while (Consumed < Length) {
    TExtraField Field;
    // A header cut by the end of the field keeps the bytes it has (missing
    // ones read as zero) and no data.
    uint8_t Header[TExtraField::Size] = {};
    size_t HeaderBytes = std::min(TExtraField::Size, Length - Consumed);
    std::memcpy(Header, Data + Consumed, HeaderBytes);
    Field.Decode(Header);
    Consumed += HeaderBytes;
    if (HeaderBytes < TExtraField::Size)
      Field.DataSize = 0;
    else if (Field.DataSize > Length - Consumed)
      Field.DataSize = static_cast<uint16_t>(Length - Consumed);
    Field.Data.assign(Data + Consumed, Data + Consumed + Field.DataSize);
    Consumed += Field.DataSize;
    if (Field.HeaderId == Zip64ExtraId) {
      TakeZip64Values(Item, Field.Data);
      Item.HasZip64 = true;
    }
    Item.ExtraFields.push_back(std::move(Field));
  }
}

namespace {

void CheckRemaining(TStream& S, int64_t Count) {
  if (Count > 0 && Count > S.Size() - S.Position()) throw EReadError();
}

}  // namespace

void ReadExtraField(TStream& S, TDirItem& Item, uint16_t Length) {
  CheckRemaining(S, Length);
  std::vector<uint8_t> Buffer(Length);
  S.ReadBuffer(Buffer.data(), Length);
  ParseExtraField(Item, Buffer.data(), Buffer.size());
}

void ReadDirItem(TStream& S, TDirItem& Item, bool OEMFileNames) {
  Item.TCentralFileHeader::Read(S);
  size_t NameEnd = Item.NameLength;
  size_t ExtraEnd = NameEnd + Item.ExtraLength;
  size_t CommentEnd = ExtraEnd + Item.CommentLength;
  // One read for the variable part, sized only after the stream showed it
  // holds that much.
  CheckRemaining(S, static_cast<int64_t>(CommentEnd));
  std::vector<uint8_t> Buffer(CommentEnd);
  S.ReadBuffer(Buffer.data(), static_cast<int64_t>(CommentEnd));
  const char* Chars = reinterpret_cast<const char*>(Buffer.data());

  Item.FileName = DecodeStoredName(std::string(Chars, NameEnd), Item.Flags, OEMFileNames);
  ParseExtraField(Item, Buffer.data() + NameEnd, Item.ExtraLength);
  // Without a marker the 16-bit field is the volume; keeping the 64-bit one in
  // step means a ZIP64 multi-volume archive never sends an entry to volume 0.
  if (Item.DiskNumberStart != Zip64Marker16) Item.DiskNumberStart64 = Item.DiskNumberStart;
  Item.Comment = DecodeStoredComment(std::string(Chars + ExtraEnd, Item.CommentLength));
}
