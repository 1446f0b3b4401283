#pragma once

#include <cstdint>

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

  // File offset at which entry data begins; not 0 when the archive starts
  // with a stub or other leading bytes.
  int64_t DataStart = 0;

 private:
  TCVBaseArchiver& FArchiver;
};
