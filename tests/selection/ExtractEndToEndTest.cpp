// Archives made at test time by other tools, extracted intact, cut short and
// without their directory.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ExtractFixture.h"
#include "platform/ByteOrder.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "support/PeerTools.h"

namespace {

// An even second, so that every tool stores it exactly.
const uint32_t SourceStamp = (static_cast<uint32_t>(DosDate(2021, 5, 6)) << 16) | DosTimeOfDay(7, 8, 10);

struct TSourceFile {
  std::string Name;
  std::string Bytes;
};

std::vector<TSourceFile> SourceFiles() {
  std::string Text;
  for (int I = 0; I < 600; ++I) Text += "line " + std::to_string(I) + " of a text that compresses well\n";
  // Incompressible data in several entries: a cut entry must be smaller than
  // what is left of the archive, or a rebuild cannot accept its header.
  std::mt19937 Random(1234);
  auto Noise = [&Random] {
    std::string Bytes(80000, '\0');
    for (char& C : Bytes) C = static_cast<char>(Random());
    return Bytes;
  };
  return {
      {"readme.txt", Text},
      {"bin/random1.dat", Noise()},
      {"bin/random2.dat", Noise()},
      {"bin/random3.dat", Noise()},
      {"bin/random4.dat", Noise()},
      {"bin/zeros.dat", std::string(2 << 20, '\0')},
      {"empty.txt", ""},
      {"deep/a/b/c/note.md", "# note\n"},
      {"unicode/na\xC3\xAFve caf\xC3\xA9.txt", "accents\n"},
      {"scripts/run.sh", "#!/bin/sh\necho run\n"},
  };
}

const std::vector<std::string> SourceFolders = {"bin/",        "deep/",       "deep/a/",  "deep/a/b/",
                                                "deep/a/b/c/", "deep/empty/", "scripts/", "unicode/"};

enum TMaker : uint8_t { mkInfoZip = 0, mkSevenZip = 1, mkPython = 2 };

std::string SevenZipProgram() {
  for (const char* P : {"7z", "7zz"})
    if (HaveProgram(P)) return P;
  return std::string();
}

const char* PythonMaker =
    "import os, sys, zipfile\n"
    "src, dst = sys.argv[1], sys.argv[2]\n"
    "with zipfile.ZipFile(dst, 'w') as z:\n"
    "    for root, dirs, files in sorted(os.walk(src)):\n"
    "        dirs.sort()\n"
    "        rel = os.path.relpath(root, src)\n"
    "        if rel != '.':\n"
    "            z.write(root, rel + '/')\n"
    "        for f in sorted(files):\n"
    "            p = os.path.join(root, f)\n"
    "            method = zipfile.ZIP_STORED if f.startswith('random') else zipfile.ZIP_DEFLATED\n"
    "            z.write(p, os.path.relpath(p, src), compress_type=method)\n";

class EndToEnd : public ExtractTest, public testing::WithParamInterface<TMaker> {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    Src = Tmp / "src";
    for (const TSourceFile& F : SourceFiles()) {
      ASSERT_TRUE(ForceDirectories(Src + "/" + ExtractFilePath(F.Name)));
      Tmp.WriteFile("src/" + F.Name, F.Bytes);
      ASSERT_TRUE(FileSetDate(Src + "/" + F.Name, SourceStamp));
    }
    ASSERT_TRUE(ForceDirectories(Src + "/deep/empty"));
    ASSERT_EQ(chmod((Src + "/scripts/run.sh").c_str(), 0750), 0);

    const std::string Made = Tmp / "made.zip";
    int Status = -1;
    switch (GetParam()) {
      case mkInfoZip:
        if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
        Status = RunCommand("cd " + ShellQuote(Src) + " && zip -r -q " + ShellQuote(Made) + " .");
        break;
      case mkSevenZip: {
        const std::string Program = SevenZipProgram();
        if (Program.empty()) GTEST_SKIP() << "7-Zip is not installed";
        Status = RunCommand("cd " + ShellQuote(Src) + " && " + Program + " a -tzip -bso0 -bsp0 " +
                            ShellQuote(Made) + " .");
        break;
      }
      case mkPython:
        if (!HavePythonZipfile()) GTEST_SKIP() << "python3 with zipfile is not installed";
        Status = RunCommand("python3 -c " + ShellQuote(PythonMaker) + " " + ShellQuote(Src) + " " +
                            ShellQuote(Made));
        break;
    }
    ASSERT_EQ(Status, 0);
    Bytes = Read(Made);
    ASSERT_GT(Bytes.size(), 300000u);
    Z.SetExtractCorruptedFiles(true);
  }

  void ExtractBytes(const std::string& Image) {
    Tmp.WriteFile("a.zip", Image);
    OpenFile(Archive);
    Extract();
  }

  // Where each entry's data starts and ends in the intact archive, from the
  // directory this component loads and the local headers' own lengths.
  struct TSpan {
    int64_t Header;
    int64_t DataStart;
    int64_t DataEnd;
  };
  std::map<std::string, TSpan> Spans() {
    std::map<std::string, TSpan> Result;
    TSearchArchiver Intact;
    Tmp.WriteFile("intact.zip", Bytes);
    Intact.SetFileName(Tmp / "intact.zip");
    Intact.OpenArchive();
    for (int32_t I = 0; I < Intact.Items().Count(); ++I) {
      const TDirItem& Item = Intact.Items().ItemPtr(I);
      const int64_t H = Item.EffectiveLocalHeaderOffset();
      const auto* P = reinterpret_cast<const uint8_t*>(Bytes.data()) + H;
      const int64_t Start = H + 30 + GetLE16(P + 26) + GetLE16(P + 28);
      Result[Item.FileName] = {H, Start, Start + Item.EffectiveCompressedSize()};
    }
    return Result;
  }

  std::vector<std::string> ExpectedTree() const {
    std::vector<std::string> Names = SourceFolders;
    for (const TSourceFile& F : SourceFiles()) Names.push_back(F.Name);
    std::sort(Names.begin(), Names.end());
    return Names;
  }

  std::string Src;
  std::string Bytes;
};

}  // namespace

TEST_P(EndToEnd, IntactArchiveExtractsByteIdentical) {
  ExtractBytes(Bytes);
  EXPECT_TRUE(LogOf("failure").empty()) << testing::PrintToString(Log);
  EXPECT_TRUE(LogOf("damaged").empty()) << testing::PrintToString(Log);
  EXPECT_EQ(Tree(Out), ExpectedTree());
  for (const TSourceFile& F : SourceFiles()) {
    SCOPED_TRACE(F.Name);
    EXPECT_TRUE(Read(Out + "/" + F.Name) == F.Bytes);
    EXPECT_EQ(static_cast<uint32_t>(FileGetDate(Out + "/" + F.Name)), SourceStamp);
  }
  EXPECT_EQ(ModeOf(Out + "/scripts/run.sh"), 0750 & ~Umask());
  EXPECT_EQ(Z.FileCount(), static_cast<int32_t>(SourceFiles().size()));
}

TEST_P(EndToEnd, TruncatedArchiveKeepsEveryCompleteEntryAndTheCutOnesData) {
  const std::map<std::string, TSpan> Span = Spans();
  const int64_t Cut = static_cast<int64_t>(Bytes.size()) * 6 / 10;
  ExtractBytes(Bytes.substr(0, static_cast<size_t>(Cut)));

  int Complete = 0, CutEntries = 0;
  for (const TSourceFile& F : SourceFiles()) {
    SCOPED_TRACE(F.Name);
    const TSpan& S = Span.at(F.Name);
    const std::string Kept = Read(Out + "/" + F.Name);
    if (S.DataEnd <= Cut) {
      ++Complete;
      EXPECT_TRUE(Kept == F.Bytes);
    } else if (S.DataStart < Cut) {
      ++CutEntries;
      // Everything that could be decoded before the cut, and nothing else.
      EXPECT_TRUE(IsRegularFile(Out + "/" + F.Name));
      EXPECT_GT(Kept.size(), 0u);
      EXPECT_LT(Kept.size(), F.Bytes.size());
      EXPECT_TRUE(F.Bytes.compare(0, Kept.size(), Kept) == 0);
      if (F.Name.rfind("bin/random", 0) == 0 && GetParam() == mkPython) {
        EXPECT_EQ(static_cast<int64_t>(Kept.size()), Cut - S.DataStart);
      }
      EXPECT_EQ(LogOf("damaged " + F.Name).size(), 1u);
    } else if (S.Header >= Cut) {
      EXPECT_FALSE(FileExists(Out + "/" + F.Name));
    }
  }
  EXPECT_GT(Complete, 0);
  EXPECT_EQ(CutEntries, 1);
  EXPECT_TRUE(LogOf("failure").empty()) << testing::PrintToString(Log);
}

TEST_P(EndToEnd, WithoutDirectoryExtractsLikeIntact) {
  // The central directory starts where the end record says.
  const size_t End = Bytes.rfind(std::string("PK\x05\x06", 4));
  ASSERT_NE(End, std::string::npos);
  const uint32_t DirOffset = GetLE32(reinterpret_cast<const uint8_t*>(Bytes.data()) + End + 16);
  ASSERT_LT(DirOffset, End);
  ExtractBytes(Bytes.substr(0, DirOffset));

  EXPECT_TRUE(LogOf("failure").empty()) << testing::PrintToString(Log);
  EXPECT_TRUE(LogOf("damaged").empty()) << testing::PrintToString(Log);
  EXPECT_EQ(Tree(Out), ExpectedTree());
  for (const TSourceFile& F : SourceFiles()) {
    SCOPED_TRACE(F.Name);
    EXPECT_TRUE(Read(Out + "/" + F.Name) == F.Bytes);
    // Times live in the local headers too; attributes do not.
    EXPECT_EQ(static_cast<uint32_t>(FileGetDate(Out + "/" + F.Name)), SourceStamp);
  }
}

namespace {

std::string MakerName(const testing::TestParamInfo<TMaker>& Info) {
  static const char* Names[] = {"InfoZip", "SevenZip", "Python"};
  return Names[Info.param];
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Makers, EndToEnd, testing::Values(mkInfoZip, mkSevenZip, mkPython), MakerName);
