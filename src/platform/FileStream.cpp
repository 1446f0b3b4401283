#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/Exceptions.h"
#include "platform/Stream.h"

static_assert(sizeof(off_t) == 8, "file positions must be 64-bit");

namespace {

int OpenFlags(uint16_t Mode) {
  if (Mode == fmCreate) return O_RDWR | O_CREAT | O_TRUNC;
  // The archive is opened with 0x22 when it could be written and 0x40 when
  // not; either way it is only read, so the OS never gets a write handle.
  if (Mode == (fmShareDenyWrite | fmOpenReadWrite) || Mode == fmShareDenyNone) return O_RDONLY;
  switch (Mode & 3) {
    case fmOpenWrite: return O_WRONLY;
    case fmOpenRead: return O_RDONLY;
    default: return O_RDWR;
  }
}

bool IsNonRegular(const std::string& FileName) {
  struct stat St;
  return stat(FileName.c_str(), &St) == 0 && !S_ISREG(St.st_mode);
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : FFileName(FileName) {
  TFileErrorKind Kind = Mode == fmCreate ? feCreate : feOpen;
  // Refuse folders, FIFOs and devices before opening them (opening a device
  // can have effects of its own), and again after, against a swap in between.
  if (IsNonRegular(FileName)) RaiseFileError(Kind, FileName, NotARegularFileReason);
  // O_NONBLOCK keeps a FIFO from blocking the open until it is refused.
  int Fd;
  do Fd = open(FileName.c_str(), OpenFlags(Mode) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  while (Fd < 0 && errno == EINTR);
  if (Fd < 0) {
    int Err = errno;
    if (IsNonRegular(FileName)) RaiseFileError(Kind, FileName, NotARegularFileReason);
    RaiseFileError(Kind, FileName, Err);
  }
  struct stat St;
  if (fstat(Fd, &St) != 0 || !S_ISREG(St.st_mode)) {
    close(Fd);
    RaiseFileError(Kind, FileName, NotARegularFileReason);
  }
  fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) & ~O_NONBLOCK);
  FHandle = Fd;
}

TFileStream::TFileStream(const std::string& FileName, TAdoptHandle Adopted)
    : FFileName(FileName), FHandle(Adopted.Handle) {}

TFileStream::~TFileStream() {
  if (FHandle >= 0) close(FHandle);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  auto* P = static_cast<uint8_t*>(Buffer);
  int64_t Done = 0;
  while (Done < Count) {
    // Linux moves at most about 2 GiB per call; ask for 1 GiB at a time.
    size_t Chunk = static_cast<size_t>(std::min<int64_t>(Count - Done, int64_t{1} << 30));
    ssize_t N = read(FHandle, P + Done, Chunk);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) break;
    Done += N;
  }
  return Done;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  const auto* P = static_cast<const uint8_t*>(Buffer);
  int64_t Done = 0;
  while (Done < Count) {
    size_t Chunk = static_cast<size_t>(std::min<int64_t>(Count - Done, int64_t{1} << 30));
    ssize_t N = write(FHandle, P + Done, Chunk);
    if (N < 0 && errno == EINTR) continue;
    // ENOSPC, EFBIG, EDQUOT, EIO: what got written so far is the answer.
    if (N <= 0) break;
    Done += N;
  }
  return Done;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int Whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t Pos = lseek(FHandle, Offset, Whence);
  if (Pos < 0) throw EStreamError("Seek before the start of a stream");
  return Pos;
}

int64_t TFileStream::Size() {
  struct stat St;
  if (fstat(FHandle, &St) != 0) return TStream::Size();
  return St.st_size;
}

void TFileStream::SetSize(int64_t NewSize) {
  int R;
  do R = ftruncate(FHandle, NewSize);
  while (R != 0 && errno == EINTR);
  if (R != 0)
    throw EStreamError("Cannot change the size of file \"" + FFileName + "\". " + SystemErrorText(errno));
  if (Position() > NewSize) Seek(NewSize, soBeginning);
}

void TFileStream::Flush() {
  // EINVAL and EROFS mean the file cannot be synced at all, not that data was
  // lost; anything else (EIO, ENOSPC, EDQUOT) means a write never landed.
  if (fsync(FHandle) != 0 && errno != EINVAL && errno != EROFS) throw EWriteError();
}
