#include "platform/Env.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

#include "platform/Exceptions.h"
#include "platform/Path.h"

namespace {

// Gives the file system access to the adopt-handle constructor.
class TAdoptedFileStream : public TFileStream {
 public:
  TAdoptedFileStream(const std::string& FileName, int Handle) : TFileStream(FileName, TAdoptHandle{Handle}) {}
};

class TPosixFileSystem : public IFileSystem {
 public:
  std::unique_ptr<TFileStream> OpenFile(const std::string& FileName, uint16_t Mode) override {
    return std::make_unique<TFileStream>(FileName, Mode);
  }

  std::unique_ptr<TFileStream> CreateNewFile(const std::string& FileName) override {
    int Fd;
    do Fd = open(FileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    while (Fd < 0 && errno == EINTR);
    if (Fd < 0) RaiseFileError(feCreate, FileName, errno);
    return std::make_unique<TAdoptedFileStream>(FileName, Fd);
  }

  bool CanOpenForWriting(const std::string& FileName) override {
    struct stat St;
    if (stat(FileName.c_str(), &St) != 0 || !S_ISREG(St.st_mode)) return false;
    // Opening for writing without O_TRUNC changes neither the bytes nor the
    // modification time.
    int Fd = open(FileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (Fd < 0) return false;
    bool Regular = fstat(Fd, &St) == 0 && S_ISREG(St.st_mode);
    close(Fd);
    return Regular;
  }
};

// The path itself when it exists, else its nearest existing parent folder
// (lexically, from the absolute form). "/" always exists.
std::string NearestExisting(const std::string& Path, struct stat& St) {
  std::string P = ExcludeTrailingPathDelimiter(ExpandFileName(Path.empty() ? "." : Path));
  while (!P.empty() && stat(P.c_str(), &St) != 0) P = ExcludeTrailingPathDelimiter(ExtractFilePath(P));
  if (P.empty()) return stat("/", &St) == 0 ? std::string(1, PathDelim) : std::string();
  return P;
}

bool ReadFlag(const std::string& FileName, bool& Value) {
  std::ifstream In(FileName);
  int V = 0;
  if (!(In >> V)) return false;
  Value = V != 0;
  return true;
}

IFileSystem* InstalledFileSystem = nullptr;
IDrives* InstalledDrives = nullptr;

}  // namespace

TPosixDrives::TPosixDrives(std::string SysfsRoot) : FSysfsRoot(std::move(SysfsRoot)) {}

bool TPosixDrives::IsRemovable(const std::string& Path) {
  struct stat St;
  if (NearestExisting(Path, St).empty()) return false;
  std::string Dev = IncludeTrailingPathDelimiter(FSysfsRoot) + "dev/block/" + std::to_string(major(St.st_dev)) +
                    ":" + std::to_string(minor(St.st_dev)) + "/";
  bool Removable = false;
  // A whole disk has the flag itself; a partition's entry sits inside its
  // disk's folder, so the disk's flag is one level up.
  if (ReadFlag(Dev + "removable", Removable)) return Removable;
  if (ReadFlag(Dev + "../removable", Removable)) return Removable;
  return false;
}

int64_t TPosixDrives::FreeSpace(const std::string& Path) {
  struct stat St;
  std::string P = NearestExisting(Path, St);
  struct statvfs Vfs;
  if (P.empty() || statvfs(P.c_str(), &Vfs) != 0) return -1;
  uint64_t Blocks = Vfs.f_bavail;
  uint64_t BlockSize = Vfs.f_frsize;
  if (BlockSize != 0 && Blocks > static_cast<uint64_t>(INT64_MAX) / BlockSize) return INT64_MAX;
  return static_cast<int64_t>(Blocks * BlockSize);
}

bool TPosixDrives::SetVolumeLabel(const std::string&, const std::string&) { return false; }

IFileSystem& PosixFileSystem() {
  static TPosixFileSystem Instance;
  return Instance;
}

IDrives& PosixDrives() {
  static TPosixDrives Instance;
  return Instance;
}

IFileSystem& FileSystem() { return InstalledFileSystem ? *InstalledFileSystem : PosixFileSystem(); }
IDrives& Drives() { return InstalledDrives ? *InstalledDrives : PosixDrives(); }

TScopedFileSystem::TScopedFileSystem(IFileSystem& Replacement) : FPrevious(InstalledFileSystem) {
  InstalledFileSystem = &Replacement;
}
TScopedFileSystem::~TScopedFileSystem() { InstalledFileSystem = FPrevious; }

TScopedDrives::TScopedDrives(IDrives& Replacement) : FPrevious(InstalledDrives) { InstalledDrives = &Replacement; }
TScopedDrives::~TScopedDrives() { InstalledDrives = FPrevious; }
