#include "platform/Files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <vector>

#include "platform/Path.h"

namespace {

bool StatIs(const std::string& Name, mode_t Type) {
  struct stat St;
  return stat(Name.c_str(), &St) == 0 && (St.st_mode & S_IFMT) == Type;
}

// umask() can only be read by changing it, which races with other threads
// creating files; the kernel shows it in /proc/self/status since 4.7.
mode_t CurrentUmask() {
  std::ifstream Status("/proc/self/status");
  std::string Line;
  while (std::getline(Status, Line))
    if (Line.compare(0, 6, "Umask:") == 0) return static_cast<mode_t>(std::strtoul(Line.c_str() + 6, nullptr, 8));
  mode_t Mask = umask(022);
  umask(Mask);
  return Mask;
}

// Clamps of out-of-range times: 1980-01-01 00:00:00 and 2107-12-31 23:59:58.
constexpr uint32_t FirstDosDateTime = (1u << 5 | 1u) << 16;
constexpr uint32_t LastDosDateTime = ((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u);

bool ToTimespec(uint32_t DosDateTime, struct timespec& Ts) {
  int64_t T = DosDateTimeToUnixTime(DosDateTime);
  if (T == -1) return false;
  Ts.tv_sec = static_cast<time_t>(T);
  Ts.tv_nsec = 0;
  return true;
}

}  // namespace

bool FileExists(const std::string& Name) { return StatIs(Name, S_IFREG); }

bool DirectoryExists(const std::string& Name) { return StatIs(Name, S_IFDIR); }

bool SameFile(const std::string& A, const std::string& B) {
  struct stat SA, SB;
  return stat(A.c_str(), &SA) == 0 && stat(B.c_str(), &SB) == 0 && SA.st_dev == SB.st_dev &&
         SA.st_ino == SB.st_ino;
}

bool ForceDirectories(const std::string& Dir) {
  std::string D = ExcludeTrailingPathDelimiter(Dir);
  if (D.empty()) return Dir == "/";
  if (DirectoryExists(D)) return true;
  std::string Parent = ExtractFilePath(D);
  if (!Parent.empty() && !ForceDirectories(Parent)) return false;
  // Another process may make it in between: EEXIST is fine when it is a folder.
  return mkdir(D.c_str(), 0777) == 0 || DirectoryExists(D);
}

bool DeleteFile(const std::string& Name) { return unlink(Name.c_str()) == 0; }

bool RenameFile(const std::string& OldName, const std::string& NewName) {
  return rename(OldName.c_str(), NewName.c_str()) == 0;
}

uint32_t FileGetAttr(const std::string& Name) {
  struct stat St;
  if (stat(Name.c_str(), &St) != 0) return faInvalid;
  uint32_t Attr = S_ISDIR(St.st_mode) ? faDirectory : faArchive;
  if ((St.st_mode & S_IWUSR) == 0) Attr |= faReadOnly;
  return Attr;
}

bool FileSetAttr(const std::string& Name, uint32_t Attr) {
  struct stat St;
  if (lstat(Name.c_str(), &St) != 0 || S_ISLNK(St.st_mode)) return false;
  if (S_ISDIR(St.st_mode)) return true;
  mode_t Mode = St.st_mode & 0777;
  uint32_t UnixMode = Attr >> 16;
  // Only a regular file's mode is taken: a folder's or a link's type bits say
  // the entry was made from something this file is not.
  if ((UnixMode & 0xF000) == 0x8000) Mode = static_cast<mode_t>(UnixMode & 0777) & ~CurrentUmask();
  if (Attr & faReadOnly) Mode &= ~static_cast<mode_t>(0222);
  return chmod(Name.c_str(), Mode) == 0;
}

bool IsValidDosDateTime(uint32_t DosDateTime) {
  static constexpr int DaysInMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  uint32_t Time = DosDateTime & 0xFFFF, Date = DosDateTime >> 16;
  int Year = 1980 + static_cast<int>(Date >> 9);
  int Month = static_cast<int>((Date >> 5) & 15), Day = static_cast<int>(Date & 31);
  if (Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth[Month - 1]) return false;
  bool Leap = (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
  if (Month == 2 && Day == 29 && !Leap) return false;
  return (Time >> 11) <= 23 && ((Time >> 5) & 63) <= 59 && (Time & 31) <= 29;
}

int64_t DosDateTimeToUnixTime(uint32_t DosDateTime) {
  if (!IsValidDosDateTime(DosDateTime)) return -1;
  struct tm Tm = {};
  Tm.tm_year = 80 + static_cast<int>(DosDateTime >> 25);
  Tm.tm_mon = static_cast<int>((DosDateTime >> 21) & 15) - 1;
  Tm.tm_mday = static_cast<int>((DosDateTime >> 16) & 31);
  Tm.tm_hour = static_cast<int>((DosDateTime >> 11) & 31);
  Tm.tm_min = static_cast<int>((DosDateTime >> 5) & 63);
  Tm.tm_sec = static_cast<int>(DosDateTime & 31) * 2;
  // Let the zone rules decide whether daylight saving applies on that day.
  Tm.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&Tm));
}

uint32_t UnixTimeToDosDateTime(int64_t UnixTime) {
  time_t T = static_cast<time_t>(UnixTime);
  struct tm Tm;
  if (localtime_r(&T, &Tm) == nullptr) return UnixTime < 0 ? FirstDosDateTime : LastDosDateTime;
  if (Tm.tm_year < 80) return FirstDosDateTime;
  if (Tm.tm_year > 207) return LastDosDateTime;
  uint32_t Date = static_cast<uint32_t>((Tm.tm_year - 80) << 9 | (Tm.tm_mon + 1) << 5 | Tm.tm_mday);
  // A leap second (tm_sec 60) still fits in the 5-bit field as 30.
  uint32_t Time = static_cast<uint32_t>(Tm.tm_hour << 11 | Tm.tm_min << 5 | (Tm.tm_sec > 59 ? 59 : Tm.tm_sec) / 2);
  return Date << 16 | Time;
}

int32_t FileGetDate(const std::string& Name) {
  struct stat St;
  if (stat(Name.c_str(), &St) != 0 || S_ISDIR(St.st_mode)) return -1;
  return static_cast<int32_t>(UnixTimeToDosDateTime(St.st_mtime));
}

bool FileSetDate(const std::string& Name, uint32_t DosDateTime) {
  struct timespec Times[2] = {{0, UTIME_OMIT}, {}};
  if (!ToTimespec(DosDateTime, Times[1])) return false;
  // Outputs are never links; one swapped in must not pass the time on.
  return utimensat(AT_FDCWD, Name.c_str(), Times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool FileSetDate(int Handle, uint32_t DosDateTime) {
  struct timespec Times[2] = {{0, UTIME_OMIT}, {}};
  if (!ToTimespec(DosDateTime, Times[1])) return false;
  return futimens(Handle, Times) == 0;
}

std::string TempDirectory() {
  const char* Dir = std::getenv("TMPDIR");
  return IncludeTrailingPathDelimiter(Dir != nullptr && *Dir != '\0' ? Dir : "/tmp");
}

std::string CreateTempFile(const std::string& Dir, const std::string& Prefix) {
  std::string Pattern = IncludeTrailingPathDelimiter(Dir) + Prefix + "XXXXXX";
  std::vector<char> Buf(Pattern.begin(), Pattern.end());
  Buf.push_back('\0');
  int Fd = mkostemp(Buf.data(), O_CLOEXEC);
  if (Fd < 0) return std::string();
  close(Fd);
  return Buf.data();
}
