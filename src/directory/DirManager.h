#pragma once

#include "directory/DirArray.h"

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

  // The entries, in directory order.
  TCVDirArray DirItems;

 private:
  TCVBaseArchiver& FArchiver;
};
