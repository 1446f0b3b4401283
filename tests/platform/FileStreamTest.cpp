#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Stream.h"
#include "support/TempFolder.h"

namespace {

// The message an EFOpenError / EFCreateError carries, or "" when none was raised.
template <typename E>
std::string MessageOf(const std::string& FileName, uint16_t Mode) {
  try {
    TFileStream S(FileName, Mode);
  } catch (const E& Error) {
    return Error.what();
  }
  return "";
}

}  // namespace

TEST(FileStream, RefusesWhatIsNotARegularFile) {
  TTempFolder T;
  std::string Fifo = T / "fifo";
  ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
  std::string Folder = T.Path();
  struct {
    std::string Name;
    uint16_t Mode;
  } Cases[] = {
      {Folder, 0x40}, {Folder, 0x22}, {Folder, fmOpenReadWrite}, {Fifo, 0x40},
      {Fifo, 0x22},   {Fifo, fmOpenWrite}, {"/dev/null", 0x40}, {"/dev/null", fmOpenReadWrite},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name + " mode " + std::to_string(C.Mode));
    EXPECT_EQ(MessageOf<EFOpenError>(C.Name, C.Mode), "Cannot open file \"" + C.Name + "\". Not a regular file");
  }
  for (const std::string& Name : {Folder, Fifo, std::string("/dev/null")}) {
    SCOPED_TRACE(Name + " fmCreate");
    EXPECT_EQ(MessageOf<EFCreateError>(Name, fmCreate), "Cannot create file \"" + Name + "\". Not a regular file");
  }
}

TEST(FileStream, OpenErrorsNameTheFileAndTheReason) {
  TTempFolder T;
  std::string Missing = T / "missing.zip";
  EXPECT_EQ(MessageOf<EFOpenError>(Missing, 0x40), "Cannot open file \"" + Missing + "\". No such file or directory");
  std::string InMissingFolder = T / "no/such.zip";
  EXPECT_EQ(MessageOf<EFCreateError>(InMissingFolder, fmCreate),
            "Cannot create file \"" + InMissingFolder + "\". No such file or directory");
}

TEST(FileStream, ArchiveModesNeverWrite) {
  TTempFolder T;
  std::string Name = T.WriteFile("a.zip", "PK\x05\x06");
  for (uint16_t Mode : {uint16_t{0x22}, uint16_t{0x40}}) {
    SCOPED_TRACE(Mode);
    TFileStream S(Name, Mode);
    EXPECT_EQ(S.Size(), 4);
    EXPECT_EQ(S.Write("xx", 2), 0);
    EXPECT_THROW(S.WriteBuffer("xx", 2), EWriteError);
    char Buf[4];
    S.SetPosition(0);
    S.ReadBuffer(Buf, 4);
    EXPECT_EQ(std::string(Buf, 4), std::string("PK\x05\x06"));
  }
  EXPECT_EQ(TTempFolder::ReadFile(Name), std::string("PK\x05\x06"));
  {
    TFileStream S(Name, fmOpenReadWrite);
    S.WriteBuffer("pk", 2);
  }
  EXPECT_EQ(TTempFolder::ReadFile(Name), std::string("pk\x05\x06"));
}

TEST(FileStream, CreateTruncatesAndReadsBack) {
  TTempFolder T;
  std::string Name = T.WriteFile("out.bin", "old contents");
  TFileStream S(Name, fmCreate);
  EXPECT_EQ(S.Size(), 0);
  S.WriteBuffer("hello", 5);
  S.SetPosition(1);
  char Buf[8];
  EXPECT_EQ(S.Read(Buf, 8), 4);
  EXPECT_EQ(std::string(Buf, 4), "ello");
  S.SetPosition(3);
  EXPECT_THROW(S.ReadBuffer(Buf, 3), EReadError);
  S.SetSize(2);
  EXPECT_EQ(S.Position(), 2);
  EXPECT_EQ(S.Size(), 2);
  EXPECT_THROW(S.Seek(-1, soBeginning), EStreamError);
}

TEST(FileStream, PositionsBeyond4GiBOnASparseFile) {
  TTempFolder T;
  constexpr int64_t FiveGiB = int64_t{5} << 30;
  TFileStream S(T / "big.bin", fmCreate);
  EXPECT_EQ(S.Seek(FiveGiB, soBeginning), FiveGiB);
  S.WriteBuffer("tail", 4);
  EXPECT_EQ(S.Size(), FiveGiB + 4);
  EXPECT_EQ(S.Seek(-4, soEnd), FiveGiB);
  char Buf[4];
  S.ReadBuffer(Buf, 4);
  EXPECT_EQ(std::string(Buf, 4), "tail");
  S.SetPosition((int64_t{4} << 30) + 1);
  S.ReadBuffer(Buf, 1);
  EXPECT_EQ(Buf[0], 0);
  S.SetSize(FiveGiB);
  EXPECT_EQ(S.Size(), FiveGiB);
}

// A file-size limit makes the system take part of a write and refuse the
// next: the same short-then-nothing pattern as a full disk.
TEST(FileStream, WriteReturnsAShortCountAtAFileSizeLimit) {
  TTempFolder T;
  TFileStream S(T / "limited.bin", fmCreate);
  struct rlimit Old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Old), 0);
  auto OldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit Limited = Old;
  Limited.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Limited), 0);
  std::vector<char> Data(3000, 'x');
  int64_t First = S.Write(Data.data(), 3000);
  int64_t Second = S.Write(Data.data(), 10);
  bool Raised = false;
  try {
    S.WriteBuffer(Data.data(), 10);
  } catch (const EWriteError& E) {
    Raised = std::strcmp(E.what(), "Stream write error") == 0;
  }
  setrlimit(RLIMIT_FSIZE, &Old);
  signal(SIGXFSZ, OldHandler);
  EXPECT_EQ(First, 1000);
  EXPECT_EQ(Second, 0);
  EXPECT_TRUE(Raised);
  EXPECT_EQ(S.Size(), 1000);
}
