#pragma once

#include <cstdint>

#include "directory/DirArray.h"
#include "directory/ZipRecords.h"

class TCVBaseArchiver;

// The loaded directory of the open archive. The component owns one while an
// archive is open and destroys it on closing.
class TCVDirManager {
 public:
  explicit TCVDirManager(TCVBaseArchiver& Archiver);
  ~TCVDirManager();
  TCVDirManager(const TCVDirManager&) = delete;
  TCVDirManager& operator=(const TCVDirManager&) = delete;

  TCVBaseArchiver& Archiver() const { return FArchiver; }

  // The entries, in directory order (file order after a rebuild).
  TCVDirArray DirItems;
  TZip64Locator Zip64Locator;
  TEndRecord EndRecord;
  // File offset at which entry data begins; not 0 when the archive starts
  // with a stub or other leading bytes.
  int64_t DataStart = 0;
  // The loaded archive has a ZIP64 locator before its end record.
  bool IsZip64 = false;

 private:
  TCVBaseArchiver& FArchiver;
};
