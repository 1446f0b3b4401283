#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archiver/Corvane.h"

// The component as salvor-cli drives it: selection by several masks at once,
// test runs, and a read-only view of the loaded directory for listing.
class TCliArchiver : public TCorvane {
 public:
  TCliArchiver();

  // Marks every entry that matches any of Masks (the window's attribute
  // filter: folders and hidden entries included) and returns how many are
  // marked. ECVException code 13 without an open archive.
  int32_t SelectMasks(const std::vector<std::string>& Masks);
  // Runs the processing loop over the marked entries: poExtract writes them
  // below BaseDir, poTest reads them without writing anything.
  void ProcessMarked(TCVProcessOperation Operation);

  struct TListedItem {
    std::string Name;  // stored name, "/" separators
    int64_t UncompressedSize = 0;
    int64_t CompressedSize = 0;
    uint16_t Method = 0;
    uint32_t Crc32 = 0;
    bool Encrypted = false;
    uint16_t ModDate = 0;
    uint16_t ModTime = 0;
    bool Folder = false;
    // Rebuilt without its sizes (they follow the data and were not found).
    bool SizesUnknown = false;
  };
  // The marked entries, in directory order.
  std::vector<TListedItem> MarkedItems() const;
  // Entries in the loaded directory.
  int32_t EntryCount() const;
  // The directory was rebuilt from local headers rather than read.
  bool DirectoryRebuilt() const;
};

// The name of a ZIP compression method ("stored", "deflate", ...), or
// "method N".
std::string MethodName(uint16_t Method);
