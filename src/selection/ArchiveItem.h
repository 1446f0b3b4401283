#pragma once

#include <cstdint>
#include <string>

// Search state of FindFirst / FindNext. The caller owns it and passes it back
// unchanged between the calls; the component keeps nothing of a search.
struct TInternalSearchRec {
  // Where the next search step starts; after a match, the matched entry's
  // index (FindNext adds one before searching).
  int32_t ItemIndex = 0;
  // The prepared mask: drive part dropped unless StorePath is
  // spFullPathWithDrive, "\" turned into "/". Any length.
  std::string Mask;
  // Mask holds "*" or "?".
  bool Wildcards = false;
  // DOS attribute bits that admit hidden, system, volume and folder entries.
  int32_t SearchAttr = 0;
  // Kept with the search as given; no search step consults it.
  std::string ExclusionMask;
  // Test names against the component's FileMasks and ExclusionMasks instead of
  // Mask. FindFirst clears it; nothing in the component sets it.
  bool UseMaskLists = false;
};

// One entry found by FindFirst / FindNext, with the search state.
struct TCVArchiveItem {
  // File name part of the stored name (a folder entry: the folder's name).
  std::string FileName;
  // Folder part of the stored name with PathDelim separators and a trailing
  // one; empty at the top level.
  std::string StoredPath;
  int64_t CompressedSize = 0;
  int64_t UncompressedSize = 0;
  // Space saved in percent, 0 to 100 (100 for an empty entry, 0 when the data
  // grew).
  double CompressionRate = 0;
  bool Encrypted = false;
  uint16_t LastModFileDate = 0;
  uint16_t LastModFileTime = 0;
  uint32_t CRC = 0;
  uint32_t ExternalFileAttributes = 0;
  std::string Comment;
  TInternalSearchRec SearchRec;
};
