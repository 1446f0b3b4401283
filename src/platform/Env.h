#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Stream.h"

// The seams between the component and the operating system that tests replace:
// opening files and asking drives. The component reaches files only through
// FileSystem() and drives only through Drives(), so a test can refuse a
// read-write open, fail a create, cut writes short, or pretend a path lies on a
// removable disk with little free space.

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // Opens FileName with a 16-bit mode (Stream.h). Raises EFCreateError for
  // fmCreate, EFOpenError otherwise, each naming the file and the reason.
  virtual std::unique_ptr<TFileStream> OpenFile(const std::string& FileName, uint16_t Mode) = 0;
  // Creates FileName exclusively (it must not exist; a link there is not
  // followed), read-write, permissions 0666 under the umask. Raises
  // EFCreateError.
  virtual std::unique_ptr<TFileStream> CreateNewFile(const std::string& FileName) = 0;
  // Whether FileName, an existing regular file, could be opened for writing;
  // false for anything else. Nothing is truncated or written. Opening an
  // archive asks this to choose between 0x22 and 0x40.
  virtual bool CanOpenForWriting(const std::string& FileName) = 0;
};

class IDrives {
 public:
  virtual ~IDrives() = default;
  // The block device behind Path's file system reports itself removable.
  virtual bool IsRemovable(const std::string& Path) = 0;
  // Bytes free to an unprivileged user on Path's file system (nearest existing
  // folder), or -1 when it cannot be told.
  virtual int64_t FreeSpace(const std::string& Path) = 0;
  // Labels the volume holding Path. Not available on this platform: false.
  virtual bool SetVolumeLabel(const std::string& Path, const std::string& Label) = 0;
};

// The process-wide instances: POSIX unless a test installed others.
IFileSystem& FileSystem();
IDrives& Drives();
IFileSystem& PosixFileSystem();
IDrives& PosixDrives();

// The POSIX drives, reading sysfs below SysfsRoot ("/sys" for the real one):
// dev/block/MAJ:MIN/removable of the device holding the path's nearest existing
// folder, or of its parent device ("../removable") for a partition.
class TPosixDrives : public IDrives {
 public:
  explicit TPosixDrives(std::string SysfsRoot = "/sys");
  bool IsRemovable(const std::string& Path) override;
  int64_t FreeSpace(const std::string& Path) override;
  bool SetVolumeLabel(const std::string& Path, const std::string& Label) override;

 private:
  std::string FSysfsRoot;
};

// Installs a replacement for the lifetime of the guard (tests only; not
// thread-safe). Nests: the previous one comes back on destruction.
class TScopedFileSystem {
 public:
  explicit TScopedFileSystem(IFileSystem& Replacement);
  ~TScopedFileSystem();
  TScopedFileSystem(const TScopedFileSystem&) = delete;
  TScopedFileSystem& operator=(const TScopedFileSystem&) = delete;

 private:
  IFileSystem* FPrevious;
};

class TScopedDrives {
 public:
  explicit TScopedDrives(IDrives& Replacement);
  ~TScopedDrives();
  TScopedDrives(const TScopedDrives&) = delete;
  TScopedDrives& operator=(const TScopedDrives&) = delete;

 private:
  IDrives* FPrevious;
};
