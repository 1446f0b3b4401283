#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/Files.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t Dos(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  return static_cast<uint32_t>((Year - 1980) << 25 | Month << 21 | Day << 16 | Hour << 11 | Minute << 5 | Second / 2);
}

// Runs a test in central European time, which has daylight saving.
class InBerlinTime : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* Old = std::getenv("TZ")) FOldTZ = Old;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    // Without the zone database the same rules written out.
    if (!InSummerTime()) {
      setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
      tzset();
    }
    ASSERT_TRUE(InSummerTime());
  }
  void TearDown() override {
    if (FOldTZ)
      setenv("TZ", FOldTZ->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  static bool InSummerTime() {
    time_t July = 1689422400;  // 2023-07-15 12:00 UTC
    struct tm Tm;
    return localtime_r(&July, &Tm) != nullptr && Tm.tm_isdst > 0 && Tm.tm_hour == 14;
  }
  std::optional<std::string> FOldTZ;
};

int64_t MTime(const std::string& Name) {
  struct stat St;
  return stat(Name.c_str(), &St) == 0 ? St.st_mtime : -1;
}

}  // namespace

TEST_F(InBerlinTime, DosStampsAreLocalTime) {
  struct {
    uint32_t Stamp;
    int64_t Unix;
  } Cases[] = {
      {Dos(2023, 7, 15, 14, 30, 58), 1689424258},   // summer: UTC+2
      {Dos(2023, 1, 10, 8, 0, 0), 1673334000},      // winter: UTC+1
      {Dos(1980, 1, 1, 0, 0, 0), 315529200},
      {Dos(2107, 12, 31, 23, 59, 58), 4354815598},
      {Dos(2024, 2, 29, 12, 0, 2), 1709204402},
      {Dos(2023, 3, 26, 2, 30, 0), 1679794200},     // skipped by the clock change: 03:30 summer time
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Stamp);
    EXPECT_EQ(DosDateTimeToUnixTime(C.Stamp), C.Unix);
  }
  EXPECT_EQ(UnixTimeToDosDateTime(1689424258), Dos(2023, 7, 15, 14, 30, 58));
  EXPECT_EQ(UnixTimeToDosDateTime(1689424259), Dos(2023, 7, 15, 14, 30, 58));
}

TEST_F(InBerlinTime, FileDateRoundTripsExactly) {
  TTempFolder T;
  std::string Name = T.WriteFile("f.txt", "x");
  const uint32_t Stamps[] = {
      Dos(2023, 7, 15, 14, 30, 58), Dos(2023, 1, 10, 8, 0, 0),      Dos(1980, 1, 1, 0, 0, 0),
      Dos(2107, 12, 31, 23, 59, 58), Dos(2024, 2, 29, 12, 0, 2),    Dos(2023, 10, 29, 2, 30, 0),
  };
  for (uint32_t Stamp : Stamps) {
    SCOPED_TRACE(Stamp);
    ASSERT_TRUE(FileSetDate(Name, Stamp));
    EXPECT_EQ(static_cast<uint32_t>(FileGetDate(Name)), Stamp);
    EXPECT_EQ(MTime(Name), DosDateTimeToUnixTime(Stamp));
    ASSERT_TRUE(FileSetDate(Name, Dos(2000, 1, 1, 0, 0, 0)));
    int Fd = open(Name.c_str(), O_RDWR);
    ASSERT_GE(Fd, 0);
    EXPECT_TRUE(FileSetDate(Fd, Stamp));
    close(Fd);
    EXPECT_EQ(static_cast<uint32_t>(FileGetDate(Name)), Stamp);
  }
}

TEST_F(InBerlinTime, InvalidStampsSetNothing) {
  TTempFolder T;
  std::string Name = T.WriteFile("f.txt", "x");
  const uint32_t Good = Dos(2001, 2, 3, 4, 5, 6);
  ASSERT_TRUE(FileSetDate(Name, Good));
  const struct {
    const char* What;
    uint32_t Stamp;
  } Cases[] = {
      {"month 0", Dos(2001, 0, 3, 4, 5, 6)},      {"month 13", Dos(2001, 13, 3, 4, 5, 6)},
      {"day 0", Dos(2001, 2, 0, 4, 5, 6)},        {"30 February", Dos(2004, 2, 30, 4, 5, 6)},
      {"29 February 2023", Dos(2023, 2, 29, 1, 0, 0)}, {"31 April", Dos(2001, 4, 31, 4, 5, 6)},
      {"29 February 2100", Dos(2100, 2, 29, 1, 0, 0)}, {"hour 24", Dos(2001, 2, 3, 24, 0, 0)},
      {"minute 60", Dos(2001, 2, 3, 4, 60, 0)},   {"seconds 60", Dos(2001, 2, 3, 4, 5, 0) | 30},
      {"all ones", 0xFFFFFFFF},                   {"zero", 0},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_FALSE(IsValidDosDateTime(C.Stamp));
    EXPECT_EQ(DosDateTimeToUnixTime(C.Stamp), -1);
    EXPECT_FALSE(FileSetDate(Name, C.Stamp));
    EXPECT_EQ(static_cast<uint32_t>(FileGetDate(Name)), Good);
  }
  EXPECT_TRUE(IsValidDosDateTime(Dos(2000, 2, 29, 23, 59, 58)));
}

TEST_F(InBerlinTime, FileTimesOutsideTheDosRangeReadAsItsEnds) {
  TTempFolder T;
  std::string Name = T.WriteFile("f.txt", "x");
  const struct {
    int64_t Unix;
    uint32_t Want;
  } Cases[] = {
      {0, Dos(1980, 1, 1, 0, 0, 0)},
      {315529199, Dos(1980, 1, 1, 0, 0, 0)},            // 1979-12-31 23:59:59 local
      {4354815599, Dos(2107, 12, 31, 23, 59, 58)},
      {7258118400, Dos(2107, 12, 31, 23, 59, 58)},      // 2200
      {-86400, Dos(1980, 1, 1, 0, 0, 0)},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Unix);
    struct timespec Times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(C.Unix), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Name.c_str(), Times, 0), 0);
    EXPECT_EQ(static_cast<uint32_t>(FileGetDate(Name)), C.Want);
  }
  EXPECT_EQ(FileGetDate(T.Path()), -1);
  EXPECT_EQ(FileGetDate(T / "missing"), -1);
}

TEST(FileSetDate, DoesNotFollowALink) {
  TTempFolder T;
  std::string Target = T.WriteFile("target", "x");
  std::string Link = T / "link";
  ASSERT_EQ(symlink(Target.c_str(), Link.c_str()), 0);
  int64_t Before = MTime(Target);
  FileSetDate(Link, Dos(1999, 9, 9, 9, 9, 8));
  EXPECT_EQ(MTime(Target), Before);
}

TEST(FileAttributes, SetAppliesUnixModesAndReadOnly) {
  TTempFolder T;
  const struct {
    const char* What;
    uint32_t Attr;
    mode_t Umask;
    mode_t Want;
  } Cases[] = {
      {"nothing", 0x00, 022, 0600},
      {"read-only", faReadOnly, 022, 0400},
      {"hidden, system, archive", faHidden | faSysFile | faArchive, 022, 0600},
      {"rw-r--r--", 0100644u << 16, 022, 0644},
      {"rwxr-xr-x read-only", 0100755u << 16 | faReadOnly, 022, 0555},
      {"rwxrwxrwx under 022", 0100777u << 16, 022, 0755},
      {"rw-r--r-- under 077", 0100644u << 16, 077, 0600},
      {"set-user-id", 0104755u << 16, 022, 0755},
      {"set-group-id and sticky", 0103777u << 16, 0, 0777},
      {"no permissions", 0100000u << 16, 022, 0000},
      {"folder mode ignored", 040755u << 16, 022, 0600},
      {"folder mode, read-only", 040777u << 16 | faReadOnly, 022, 0400},
      {"link mode ignored", 0120777u << 16, 022, 0600},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    std::string Name = T.WriteFile("f", "x");
    ASSERT_EQ(chmod(Name.c_str(), 0600), 0);
    mode_t Old = umask(C.Umask);
    bool Ok = FileSetAttr(Name, C.Attr);
    umask(Old);
    EXPECT_TRUE(Ok);
    struct stat St;
    ASSERT_EQ(stat(Name.c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & 07777, C.Want);
    EXPECT_EQ(FileGetAttr(Name), faArchive | ((C.Want & 0200) ? 0 : faReadOnly));
    fs::remove(Name);
  }
}

TEST(FileAttributes, FoldersLinksAndMissingNames) {
  TTempFolder T;
  std::string Dir = T / "dir";
  ASSERT_TRUE(ForceDirectories(Dir));
  ASSERT_EQ(chmod(Dir.c_str(), 0755), 0);
  EXPECT_TRUE(FileSetAttr(Dir, faReadOnly | faDirectory));
  EXPECT_TRUE(FileSetAttr(Dir, 0100444u << 16));
  EXPECT_EQ(fs::status(Dir).permissions(), fs::perms(0755));
  EXPECT_EQ(FileGetAttr(Dir), faDirectory);

  std::string Target = T.WriteFile("target", "x");
  ASSERT_EQ(chmod(Target.c_str(), 0644), 0);
  std::string Link = T / "link";
  ASSERT_EQ(symlink(Target.c_str(), Link.c_str()), 0);
  EXPECT_FALSE(FileSetAttr(Link, faReadOnly));
  EXPECT_EQ(fs::status(Target).permissions(), fs::perms(0644));

  EXPECT_EQ(FileGetAttr(T / "missing"), faInvalid);
  EXPECT_FALSE(FileSetAttr(T / "missing", faReadOnly));
}

TEST(Files, ExistenceFoldersAndRemoval) {
  TTempFolder T;
  std::string File = T.WriteFile("f", "x");
  std::string Fifo = T / "fifo";
  ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
  std::string Link = T / "link";
  ASSERT_EQ(symlink(File.c_str(), Link.c_str()), 0);
  const struct {
    std::string Name;
    bool File, Dir;
  } Cases[] = {
      {File, true, false}, {Link, true, false}, {T.Path(), false, true}, {Fifo, false, false}, {T / "missing", false, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(FileExists(C.Name), C.File);
    EXPECT_EQ(DirectoryExists(C.Name), C.Dir);
  }
  EXPECT_TRUE(ForceDirectories(T / "a/b/c/"));
  EXPECT_TRUE(DirectoryExists(T / "a/b/c"));
  EXPECT_TRUE(ForceDirectories(T / "a/b"));
  EXPECT_FALSE(ForceDirectories(File + "/sub"));
  EXPECT_FALSE(DeleteFile(T / "a/b/c"));
  EXPECT_TRUE(DirectoryExists(T / "a/b/c"));
  std::string Other = T.WriteFile("g", "new");
  EXPECT_TRUE(RenameFile(Other, File));
  EXPECT_EQ(TTempFolder::ReadFile(File), "new");
  EXPECT_TRUE(DeleteFile(File));
  EXPECT_FALSE(FileExists(File));
  EXPECT_FALSE(DeleteFile(File));
}

TEST(Files, TemporaryFolderAndFiles) {
  const char* Old = std::getenv("TMPDIR");
  std::string Saved = Old ? Old : "";
  TTempFolder T;
  setenv("TMPDIR", T.Path().c_str(), 1);
  EXPECT_EQ(TempDirectory(), T.Path() + "/");
  unsetenv("TMPDIR");
  EXPECT_EQ(TempDirectory(), "/tmp/");
  if (Old) setenv("TMPDIR", Saved.c_str(), 1);

  std::string A = CreateTempFile(T.Path(), "cv");
  std::string B = CreateTempFile(T.Path() + "/", "cv");
  ASSERT_FALSE(A.empty());
  EXPECT_NE(A, B);
  EXPECT_EQ(A.rfind(T.Path() + "/cv", 0), 0u);
  EXPECT_TRUE(FileExists(A));
  EXPECT_EQ(fs::file_size(A), 0u);
  EXPECT_EQ(CreateTempFile(T / "missing", "cv"), "");
}
