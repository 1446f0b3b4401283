#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "directory/DirTestSupport.h"
#include "platform/Env.h"
#include "support/PeerTools.h"

namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> Files;
  std::error_code Error;
  for (const auto& Entry : std::filesystem::directory_iterator(SALVOR_CORPUS_DIR, Error))
    if (Entry.is_regular_file() && Entry.path().filename() != "PROVENANCE.md")
      Files.push_back(Entry.path().string());
  std::sort(Files.begin(), Files.end());
  return Files;
}

struct TOutcome {
  bool Loaded = false;
  // The directory held every record its end record counts, each with the
  // central signature.
  bool Sound = true;
  int32_t Count = 0;
  std::string Error;
};

// Loads Path as a single-file archive. The component's own errors and the
// stream's are answers; anything else escapes and fails the test.
TOutcome Load(const std::string& Path, bool OpenDamaged) {
  TOutcome Result;
  TLoadFixture F(FileSystem().OpenFile(Path, fmOpenRead | fmShareDenyNone), OpenDamaged);
  try {
    if (!F.Manager->IsValidArchive()) {
      Result.Error = "not valid";
      return Result;
    }
    F.Manager->LoadDirectory();
    Result.Loaded = true;
  } catch (const ECVException& E) {
    Result.Error = E.Message();
  } catch (const EStreamError& E) {
    Result.Error = E.Message();
  }
  Result.Count = F.Items().Count();
  const TCVDirManager& M = *F.Manager;
  const int64_t Stated =
      M.IsZip64 ? static_cast<int32_t>(M.Zip64EndRecord.TotalEntries) : M.EndRecord.TotalEntries;
  Result.Sound = Stated == Result.Count;
  for (int32_t I = 0; I < Result.Count; ++I)
    if (F.Item(I).Signature != TCentralFileHeader::SignatureValue) Result.Sound = false;
  // Every offset a reader will seek to lies inside the file or is marked
  // unusable by its size; none is negative after the shift.
  for (int32_t I = 0; Result.Loaded && I < Result.Count; ++I)
    EXPECT_GE(F.Item(I).EffectiveLocalHeaderOffset(), 0) << F.Item(I).FileName;
  return Result;
}

TEST(Corpus, EveryArchiveLoadsOrFailsCleanly) {
  const std::vector<std::string> Files = CorpusFiles();
  if (Files.empty()) GTEST_SKIP() << "no corpus at " << SALVOR_CORPUS_DIR;
  int Rebuildable = 0;
  for (const std::string& Path : Files) {
    SCOPED_TRACE(Path);
    const TOutcome Strict = Load(Path, false);
    const TOutcome Damaged = Load(Path, true);
    // OpenDamaged changes nothing for a sound stored directory.
    if (Strict.Loaded && Strict.Sound) {
      EXPECT_TRUE(Damaged.Loaded);
      EXPECT_EQ(Damaged.Count, Strict.Count);
    }
    if (Damaged.Loaded) ++Rebuildable;
  }
  EXPECT_GT(Rebuildable, static_cast<int>(Files.size()) / 2);
}

// Archives without a usable end record: the rebuild finds their entries.
TEST(Corpus, DamagedArchivesAreRebuilt) {
  struct {
    const char* File;
    int32_t MinItems;
  } const Cases[] = {
      {"dotnet-EOCDmissing.zip", 1},
      {"go-readme.notzip", 1},
      {"libzip-testfile-truncated.zip", 1},
      {"commons-compress-apache-maven-2.2.1.zip.001", 10},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.File);
    const std::string Path = std::string(SALVOR_CORPUS_DIR) + "/" + C.File;
    if (!std::filesystem::exists(Path)) GTEST_SKIP() << "missing " << Path;
    EXPECT_FALSE(Load(Path, false).Loaded);
    const TOutcome Damaged = Load(Path, true);
    EXPECT_TRUE(Damaged.Loaded) << Damaged.Error;
    EXPECT_GE(Damaged.Count, C.MinItems);
  }
}

}  // namespace

namespace {

// Python's zipfile reads the stored directory and corrects offsets for a
// prefix its own way. Where both readers accept a sound directory, every
// file entry must start at the same place with the same size.
TEST(Corpus, OffsetsAgreeWithPythonZipfile) {
  if (!HavePythonZipfile()) GTEST_SKIP() << "python3 zipfile missing";
  const std::vector<std::string> Files = CorpusFiles();
  if (Files.empty()) GTEST_SKIP() << "no corpus";
  // Python's answer counts only where a local header lies at each offset
  // and each size fits in the file.
  const std::string Script =
      "import sys, zipfile\n"
      "for p in sys.argv[1:]:\n"
      "  try:\n"
      "    z = zipfile.ZipFile(p)\n"
      "    raw = open(p, 'rb').read()\n"
      "  except Exception:\n"
      "    continue\n"
      "  infos = z.infolist()\n"
      "  if any(raw[i.header_offset:i.header_offset + 4] != b'PK\\x03\\x04' or\n"
      "         i.compress_size > len(raw) for i in infos):\n"
      "    continue\n"
      "  print(p, -1, len(infos), sep='\\t')\n"
      "  for i in infos:\n"
      "    if not i.filename.replace('\\\\', '/').endswith('/'):\n"
      "      print(p, i.header_offset, i.compress_size, sep='\\t')\n";
  std::string Command = "python3 -c " + ShellQuote(Script);
  for (const std::string& Path : Files) Command += " " + ShellQuote(Path);
  std::string Output;
  ASSERT_EQ(RunCommand(Command, &Output), 0);

  // Per archive: its record count, then each file entry's offset and size.
  std::map<std::string, std::pair<int64_t, std::vector<std::pair<int64_t, int64_t>>>> Python;
  std::istringstream Lines(Output);
  std::string Line;
  while (std::getline(Lines, Line)) {
    std::istringstream Fields(Line);
    std::string Path;
    int64_t Offset = 0;
    int64_t Size = 0;
    std::getline(Fields, Path, '\t');
    Fields >> Offset >> Size;
    if (Offset < 0)
      Python[Path].first = Size;
    else
      Python[Path].second.emplace_back(Offset, Size);
  }

  int Compared = 0;
  for (const auto& [Path, Listing] : Python) {
    SCOPED_TRACE(Path);
    const auto& [Records, Expected] = Listing;
    TLoadFixture F(FileSystem().OpenFile(Path, fmOpenRead | fmShareDenyNone), false);
    try {
      if (!F.Manager->IsValidArchive()) continue;
      F.Manager->LoadDirectory();
    } catch (const Exception&) {
      continue;
    }
    std::vector<std::pair<int64_t, int64_t>> Ours;
    bool Sound = true;
    for (int32_t I = 0; I < F.Items().Count(); ++I) {
      const TDirItem& Item = F.Item(I);
      Sound = Sound && Item.Signature == TCentralFileHeader::SignatureValue;
      if (Item.FileName.empty() || Item.FileName.back() != '/')
        Ours.emplace_back(Item.EffectiveLocalHeaderOffset(), Item.EffectiveCompressedSize());
    }
    // A directory that holds more or fewer records than its end record
    // counts is read differently on purpose.
    if (!Sound || F.Items().Count() != Records) continue;
    EXPECT_EQ(Ours, Expected);
    ++Compared;
  }
  EXPECT_GT(Compared, 100);
}

}  // namespace
