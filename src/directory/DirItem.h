#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archiver/CVTypes.h"
#include "directory/ZipRecords.h"
#include "platform/Stream.h"

// One entry of the in-memory directory. It starts with the central header's
// fields (decoding a central record into an item fills them); the rest is
// what the component keeps beside them.
struct TDirItem : TCentralFileHeader {
  std::string FileName;  // decoded, "/" as separator
  std::string Comment;   // at most 256 bytes
  // Every sub-record of the central extra field, ZIP64 included, in file order.
  std::vector<TExtraField> ExtraFields;
  // The extra field held a ZIP64 sub-record, or the item needs one when written.
  bool HasZip64 = false;
  int64_t UncompressedSize64 = 0;
  int64_t CompressedSize64 = 0;
  int64_t LocalHeaderOffset64 = 0;
  uint32_t DiskNumberStart64 = 0;
  // Archive updating: an item added since the archive was opened.
  bool IsNew = false;
  std::string Password;
  // Not owned by the item: TCVDirArray frees it when OwnsSourceStream is set
  // and the slot is released. Copies handed out never own it.
  TStream* SourceStream = nullptr;
  bool OwnsSourceStream = false;
  int32_t SourceStart = 0;
  // Selected for the current processing run.
  bool Marked = false;
  std::string SourceFileName;
  uint8_t CompressionMode = 0;
  TCVProcessOperation Operation = poAdd;
  // Rebuilt from a local header whose sizes follow the data (flag bit 3)
  // without a data descriptor to give them: the recorded sizes are not the
  // entry's, so its data is read to its end and reported as damaged.
  bool SizesUnknown = false;

  // Effective values: the ZIP64 value where the 32-bit (16-bit) field holds
  // the marker, the field itself otherwise.
  int64_t EffectiveCompressedSize() const;
  int64_t EffectiveUncompressedSize() const;
  int64_t EffectiveLocalHeaderOffset() const;
  uint32_t EffectiveDiskNumberStart() const;
  // Stores Offset in the 32-bit field, or as marker plus 64-bit value when
  // the field already holds the marker or Offset does not fit (HasZip64 set).
  void SetEffectiveLocalHeaderOffset(int64_t Offset);
};

// Parses an extra field of Length bytes at Data into Item.ExtraFields, with
// HasZip64 and the ZIP64 values of the fields that hold the marker.
// Sub-records keep file order. A sub-record whose data runs past Length is
// cut to the bytes that remain, one whose header runs past it gets DataSize 0;
// nothing beyond Length is ever looked at.
void ParseExtraField(TDirItem& Item, const uint8_t* Data, size_t Length);

// Reads exactly Length bytes from S and parses them as above. Raises
// EReadError, before allocating, when fewer than Length bytes remain.
void ReadExtraField(TStream& S, TDirItem& Item, uint16_t Length);

// Reads one central record at S's position into Item: the 46 fixed bytes
// (signature not tested), then NameLength, ExtraLength and CommentLength
// bytes; S is left just after the comment. The name is decoded whole
// (DecodeStoredName), the comment cut to 256 bytes. Raises EReadError, before
// allocating, when the stream ends inside the record; Item's fixed fields are
// then already filled.
void ReadDirItem(TStream& S, TDirItem& Item, bool OEMFileNames);
