// Opening split sets and self-extracting files: volume-mode detection, the
// naming scheme found by flipping AdvancedNaming, probes that must end, the
// fallback of a salvage to the named file, and creating through the
// blank-volume request.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "TestArchiver.h"
#include "archiver/CVExcept.h"
#include "directory/DirManager.h"
#include "support/FakeEnv.h"
#include "support/PeerTools.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

namespace {

namespace fs = std::filesystem;

const std::string EmptyArchive = std::string("PK\x05\x06", 4) + std::string(18, '\0');

std::string Pattern(size_t Size, uint32_t Seed) {
  std::string S(Size, '\0');
  uint32_t X = Seed;
  for (char& C : S) {
    X = X * 1103515245u + 12345u;
    C = static_cast<char>(X >> 24);
  }
  return S;
}

void WriteBytes(const std::string& Path, const TBytes& Bytes) {
  FILE* F = std::fopen(Path.c_str(), "wb");
  ASSERT_NE(F, nullptr) << Path;
  std::fwrite(Bytes.data(), 1, Bytes.size(), F);
  std::fclose(F);
}

std::vector<std::string> ItemNames(const TTestArchiver& Z) {
  std::vector<std::string> Names;
  const TCVDirArray& Items = Z.DirManager()->DirItems;
  for (int32_t I = 0; I < Items.Count(); ++I) Names.push_back(Items.ItemPtr(I).FileName);
  return Names;
}

int32_t NativeErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const ECVException& E) {
    return E.NativeError;
  }
  return -1;
}

// Three entries over two volumes of at most 40000 bytes: b.bin's data crosses
// the boundary, c.txt's local header and the directory lie on the last one.
void MakeTwoVolumeSet(ZipBuilder& B) {
  B.Add("a.bin", Pattern(30000, 1));
  B.Add("b.bin", Pattern(30000, 2));
  B.Add("c.txt", "hello");
  B.Split(40000);
}

const std::vector<std::string> TwoVolumeNames = {"a.bin", "b.bin", "c.txt"};

class OpenVolumesTest : public ::testing::Test {
 protected:
  OpenVolumesTest() { Z.SetName("z"); }

  TTempFolder Dir;
  TTestArchiver Z;
};

TEST_F(OpenVolumesTest, SplitSetsAreFoundUnderEitherNamingScheme) {
  struct TCase {
    TVolumeNaming Naming;
    bool AdvancedNamingBefore;
    bool AdvancedNamingAfter;
  };
  const TCase Cases[] = {
      {vnNumbered, true, true},   {vnNumbered, false, true}, {vnZ01Upper, true, false},
      {vnZ01Upper, false, false}, {vnZ01Lower, true, false}, {vnZ01Lower, false, false},
  };
  ZipBuilder B;
  MakeTwoVolumeSet(B);
  for (const TCase& C : Cases) {
    SCOPED_TRACE("naming " + std::to_string(C.Naming) + ", AdvancedNaming before " +
                 std::to_string(C.AdvancedNamingBefore));
    TTempFolder Here;
    const std::vector<std::string> Paths = B.WriteVolumes(Here / "set.zip", C.Naming);
    ASSERT_EQ(Paths.size(), 2u);
    Z.SpanningOptions().AdvancedNaming = C.AdvancedNamingBefore;
    Z.SetOpenDamaged(false);
    Z.SetFileName(Here / "set.zip");
    Z.OpenArchive();
    EXPECT_EQ(Z.SpanningMode(), smSplitting);
    EXPECT_EQ(Z.SpanningOptions().AdvancedNaming, C.AdvancedNamingAfter);
    EXPECT_EQ(ItemNames(Z), TwoVolumeNames);
    Z.CloseArchive();
    // Closing does not reset what was detected.
    EXPECT_EQ(Z.SpanningMode(), smSplitting);
    Z.SetSpanningMode(smNone);
  }
}

TEST_F(OpenVolumesTest, InfoZipSplitArchiveLoadsItsDirectoryAcrossVolumes) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  fs::create_directory(Dir / "in");
  std::vector<std::string> Expected = {"in/"};
  for (int I = 0; I < 3; ++I) {
    Dir.WriteFile("in/big" + std::to_string(I) + ".bin", Pattern(50000, 10 + I));
    Expected.push_back("in/big" + std::to_string(I) + ".bin");
  }
  // Long names make the directory itself larger than one volume.
  for (int I = 0; I < 300; ++I) {
    const std::string Name =
        "in/file_with_a_rather_long_name_to_fill_the_directory_" + std::to_string(1000 + I) + ".txt";
    Dir.WriteFile(Name, std::string(static_cast<size_t>(I), 'x'));
    Expected.push_back(Name);
  }
  ASSERT_EQ(RunCommand("cd " + ShellQuote(Dir.Path()) + " && zip -q -s 64k -r out.zip in"), 0);
  ASSERT_TRUE(fs::exists(Dir / "out.z01"));

  for (bool AdvancedNaming : {true, false}) {
    SCOPED_TRACE(AdvancedNaming ? "AdvancedNaming set before" : "AdvancedNaming cleared before");
    Z.SpanningOptions().AdvancedNaming = AdvancedNaming;
    Z.SetOpenDamaged(false);
    Z.SetFileName(Dir / "out.zip");
    Z.OpenArchive();
    EXPECT_EQ(Z.SpanningMode(), smSplitting);
    // Info-ZIP writes out.z01 ...: the scheme without AdvancedNaming.
    EXPECT_FALSE(Z.SpanningOptions().AdvancedNaming);
    const TEndRecord& End = Z.DirManager()->EndRecord;
    EXPECT_LT(End.DirDisk, End.DiskNumber) << "the directory should start on an earlier volume";
    std::vector<std::string> Names = ItemNames(Z);
    std::sort(Names.begin(), Names.end());
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Names, Expected);
    Z.CloseArchive();
    Z.SetSpanningMode(smNone);
  }
}

TEST_F(OpenVolumesTest, CorpusSplitSetsOpenSplit) {
  if (!HaveProgram("zip") || !HavePythonZipfile()) GTEST_SKIP() << "zip or Python's zipfile is missing";
  for (const char* Maker : {"zip", "winrar", "zip_zip64"}) {
    SCOPED_TRACE(Maker);
    const std::string Set =
        std::string(SALVOR_CORPUS_DIR) + "/commons-compress-split_zip_created_by_" + Maker + ".zip";
    if (!fs::exists(Set)) GTEST_SKIP() << Set << " is missing";
    // The oracle: Info-ZIP joins the set, Python lists the joined archive.
    const std::string Joined = Dir / (std::string("joined_") + Maker + ".zip");
    ASSERT_EQ(RunCommand("zip -q -s 0 " + ShellQuote(Set) + " --out " + ShellQuote(Joined)), 0);
    std::string Listing;
    ASSERT_EQ(RunCommand("python3 -c " +
                             ShellQuote("import sys, zipfile\n"
                                        "for n in zipfile.ZipFile(sys.argv[1]).namelist():\n"
                                        "    sys.stdout.buffer.write(n.encode('utf-8') + b'\\n')\n") +
                             " " + ShellQuote(Joined),
                         &Listing),
              0);
    std::vector<std::string> Expected;
    std::istringstream Lines(Listing);
    for (std::string Line; std::getline(Lines, Line);) Expected.push_back(Line);

    Z.SpanningOptions().AdvancedNaming = true;
    Z.SetOpenDamaged(false);
    Z.SetFileName(Set);
    Z.OpenArchive();
    EXPECT_EQ(Z.SpanningMode(), smSplitting);
    EXPECT_FALSE(Z.SpanningOptions().AdvancedNaming);
    EXPECT_EQ(ItemNames(Z), Expected);
    Z.CloseArchive();
    Z.SetSpanningMode(smNone);
  }
}

TEST_F(OpenVolumesTest, DamagedLastVolumeEndsTheProbe) {
  ZipBuilder B;
  MakeTwoVolumeSet(B);
  B.Append("x");  // the end record's comment no longer reaches the end
  struct TCase {
    bool OpenDamaged;
    bool Handler;
    int32_t Code;
  };
  const TCase Cases[] = {{true, true, 44}, {false, true, 48}, {true, false, 44}, {false, false, 48}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(std::string(C.OpenDamaged ? "OpenDamaged" : "intact only") + (C.Handler ? ", handler" : ""));
    TTempFolder Here;
    const std::vector<std::string> Paths = B.WriteVolumes(Here / "set.zip", vnNumbered);
    int Requests = 0;
    if (C.Handler)
      Z.SetOnRequestLastVolume([&](TCVBaseArchiver& Sender, std::string& Name, bool& Cancel) {
        // The probe asks what the file holds, not what a salvage would make of it.
        EXPECT_FALSE(Sender.OpenDamaged());
        EXPECT_EQ(Name, Here / "set.zip");
        // Answering the same file again and again must not keep the probe going;
        // past a few requests, stop it so the failure shows instead of a hang.
        Cancel = ++Requests > 3;
      });
    else
      Z.SetOnRequestLastVolume(nullptr);
    Z.SetOpenDamaged(C.OpenDamaged);
    Z.SetFileName(Here / "set.zip");
    EXPECT_EQ(NativeErrorOf([&] { Z.OpenArchive(); }), C.Code);
    EXPECT_LE(Requests, 1);
    EXPECT_FALSE(Z.Active());
    EXPECT_EQ(Z.OpenDamaged(), C.OpenDamaged);
    EXPECT_EQ(Z.SpanningMode(), smSplitting);
    Z.SetSpanningMode(smNone);
  }
}

TEST_F(OpenVolumesTest, ARemovableDriveAloneNeverMakesAnArchiveSpanned) {
  TFakeDrives Drives;
  Drives.SetRemovable(Dir.Path());
  TScopedDrives UseDrives(Drives);
  ZipBuilder NoEndRecord;
  NoEndRecord.Add("a.txt", "hello");
  NoEndRecord.OmitEndRecord();
  ZipBuilder Appended;
  Appended.Add("a.txt", "hello");
  Appended.Append("x");
  struct TCase {
    const char* Title;
    ZipBuilder& Builder;
    bool OpenDamaged;
    int32_t Code;
  };
  const TCase Cases[] = {
      {"no end record, salvaged", NoEndRecord, true, -1},
      {"no end record, intact only", NoEndRecord, false, 48},
      {"end record of disk 0 not valid, salvaged", Appended, true, -1},
      {"end record of disk 0 not valid, intact only", Appended, false, 48},
  };
  int Requests = 0;
  Z.SetOnRequestLastVolume([&](TCVBaseArchiver&, std::string&, bool& Cancel) { Cancel = ++Requests > 0; });
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Title);
    C.Builder.WriteTo(Dir / "stick.zip");
    Z.SetOpenDamaged(C.OpenDamaged);
    Z.SetFileName(Dir / "stick.zip");
    EXPECT_EQ(NativeErrorOf([&] { Z.OpenArchive(); }), C.Code);
    EXPECT_EQ(Requests, 0);
    EXPECT_EQ(Z.SpanningMode(), smNone);
    if (C.Code < 0) {
      EXPECT_EQ(ItemNames(Z), (std::vector<std::string>{"a.txt"}));
    }
    Z.CloseArchive();
  }
}

TEST_F(OpenVolumesTest, CancelledLastVolumeFallsBackToTheNamedFileOnlyForASalvage) {
  ZipBuilder B;
  MakeTwoVolumeSet(B);
  B.Append("x");
  B.WriteVolumes(Dir / "set.zip", vnNumbered);
  Z.SetOnRequestLastVolume([](TCVBaseArchiver&, std::string&, bool& Cancel) { Cancel = true; });
  Z.SetFileName(Dir / "set.zip");

  Z.SetOpenDamaged(false);
  EXPECT_EQ(NativeErrorOf([&] { Z.OpenArchive(); }), 45);
  EXPECT_FALSE(Z.Active());
  EXPECT_FALSE(Z.OpenDamaged());

  Z.SetSpanningMode(smNone);
  Z.SetOpenDamaged(true);
  Z.OpenArchive();
  EXPECT_TRUE(Z.OpenDamaged());
  EXPECT_EQ(Z.SpanningMode(), smNone);
  // The last volume rebuilt on its own: c.txt's header lies there.
  const std::vector<std::string> Names = ItemNames(Z);
  EXPECT_NE(std::find(Names.begin(), Names.end(), "c.txt"), Names.end());
}

TEST_F(OpenVolumesTest, SelfExtractorWithItsStub) {
  const std::string Stub = "MZ" + Pattern(1998, 7);
  for (bool OffsetsCountStub : {true, false}) {
    SCOPED_TRACE(OffsetsCountStub ? "offsets count the stub" : "offsets ignore the stub");
    ZipBuilder B;
    B.Prefix(Stub, OffsetsCountStub);
    B.Add("a.txt", "hello");
    B.Add("b.txt", "world").Deflated();
    const ZipLayout Layout = B.Layout();
    B.WriteTo(Dir / "setup.exe");
    Z.SetOpenDamaged(false);
    Z.SetFileName(Dir / "setup.exe");
    Z.OpenArchive();
    EXPECT_EQ(Z.SpanningMode(), smNone);
    EXPECT_EQ(ItemNames(Z), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(Z.DirManager()->DataStart, 2000);
    for (int32_t I = 0; I < 2; ++I)
      EXPECT_EQ(Z.DirManager()->DirItems.ItemPtr(I).EffectiveLocalHeaderOffset(),
                Layout.Entries[I].LocalHeader);
    Z.CloseArchive();
  }
}

TEST_F(OpenVolumesTest, SplitSelfExtractorOpensWithItsLastVolume) {
  ZipBuilder B;
  B.Prefix("MZ" + Pattern(998, 3));
  B.Add("a.bin", Pattern(30000, 1));
  B.Add("b.bin", Pattern(30000, 2));
  B.Add("c.txt", "hello");
  B.Split(40000);
  const std::vector<TBytes> Volumes = B.BuildVolumes();
  ASSERT_EQ(Volumes.size(), 2u);
  for (const char* LastName : {"setup.ZIP", "setup.zip"}) {
    SCOPED_TRACE(LastName);
    TTempFolder Here;
    WriteBytes(Here / "setup.exe", Volumes[0]);
    WriteBytes(Here / LastName, Volumes[1]);
    Z.SetOpenDamaged(false);
    Z.SetFileName(Here / "setup.exe");
    Z.OpenArchive();
    EXPECT_EQ(Z.SpanningMode(), smSplitting);
    EXPECT_EQ(ItemNames(Z), TwoVolumeNames);
    Z.CloseArchive();
    Z.SetSpanningMode(smNone);
  }
}

TEST_F(OpenVolumesTest, DamagedSelfExtractorIsRebuiltFromItself) {
  ZipBuilder Single;
  Single.Prefix("MZ" + Pattern(500, 4));
  Single.Add("a.txt", "hello");
  Single.Append("x");
  Single.WriteTo(Dir / "single.exe");

  ZipBuilder Split;
  Split.Prefix("MZ" + Pattern(998, 3));
  Split.Add("a.bin", Pattern(30000, 1));
  Split.Add("b.bin", Pattern(30000, 2));
  Split.Add("c.txt", "hello");
  Split.Split(40000);
  Split.Append("x");
  const std::vector<TBytes> Volumes = Split.BuildVolumes();
  WriteBytes(Dir / "split.exe", Volumes[0]);
  WriteBytes(Dir / "split.ZIP", Volumes[1]);

  struct TCase {
    const char* Name;
    std::string FirstItem;
  };
  // A cancelled request for split.ZIP leaves split.exe to rebuild.
  const TCase Cases[] = {{"single.exe", "a.txt"}, {"split.exe", "a.bin"}};
  Z.SetOnRequestLastVolume([](TCVBaseArchiver&, std::string&, bool& Cancel) { Cancel = true; });
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    Z.SetOpenDamaged(true);
    Z.SetFileName(Dir / C.Name);
    Z.OpenArchive();
    EXPECT_EQ(Z.SpanningMode(), smNone);
    ASSERT_FALSE(ItemNames(Z).empty());
    EXPECT_EQ(ItemNames(Z).front(), C.FirstItem);
    Z.CloseArchive();
  }
}

TEST_F(OpenVolumesTest, StubLargerThanTheFirstVolumeRaises47) {
  const std::string Stub = Dir.WriteFile("stub.bin", Pattern(70000, 5));
  Z.SetSpanningMode(smSplitting);
  Z.SpanningOptions().FirstVolumeSize = 65536;
  Z.SetSFXStub(Stub);
  Z.SetFileName(Dir / "new.zip");
  EXPECT_EQ(NativeErrorOf([&] { Z.OpenArchive(); }), 47);
  EXPECT_FALSE(Z.Active());
  EXPECT_FALSE(Z.HoldsStreamOrManager());

  // Within the limit the stub is the whole of the new archive's first volume.
  Z.SpanningOptions().FirstVolumeSize = 0;
  Z.OpenArchive();
  EXPECT_EQ(Z.DirManager()->DataStart, 70000);
  Z.CloseArchive();
}

TEST_F(OpenVolumesTest, AfterASplitSetAMissingNameIsCreatedThroughTheBlankVolumeRequest) {
  struct TCase {
    TVolumeNaming Naming;
    const char* FirstVolume;
  };
  const TCase Cases[] = {{vnNumbered, "new_001.zip"}, {vnZ01Upper, "new.Z01"}};
  ZipBuilder B;
  MakeTwoVolumeSet(B);
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.FirstVolume);
    TTempFolder Here;
    B.WriteVolumes(Here / "set.zip", C.Naming);
    Z.SetFileName(Here / "set.zip");
    Z.OpenArchive();
    ASSERT_EQ(Z.SpanningMode(), smSplitting);

    std::vector<std::pair<int32_t, std::string>> Requests;
    Z.SetOnRequestBlankVolume([&](TCVBaseArchiver&, int32_t Number, std::string& Name, bool&) {
      Requests.emplace_back(Number, Name);
    });
    Z.SetFileName(Here / "new.zip");
    Z.OpenArchive();
    EXPECT_EQ(Z.ArchiveOpenMode(), 0xFFFF);
    EXPECT_EQ(Z.SpanningMode(), smSplitting);
    EXPECT_EQ(Requests, (std::vector<std::pair<int32_t, std::string>>{{1, Here / C.FirstVolume}}));
    EXPECT_TRUE(fs::exists(Here / C.FirstVolume));
    Z.CloseArchive();
    // The only volume ends under the archive's own name.
    EXPECT_FALSE(fs::exists(Here / C.FirstVolume));
    EXPECT_EQ(TTempFolder::ReadFile(Here / "new.zip"), EmptyArchive);
    Z.SetOnRequestBlankVolume(nullptr);
    Z.SetSpanningMode(smNone);
  }
}

TEST_F(OpenVolumesTest, ADirectoryWrittenAcrossVolumesLoadsBack) {
  Z.SetSpanningMode(smSplitting);
  Z.SpanningOptions().VolumeSize = vsCustom;
  Z.SpanningOptions().SetCustomVolumeSize(65536);
  Z.SetFileName(Dir / "big.zip");
  Z.OpenArchive();
  // About 170 KB of records: three volumes of at most 64 KiB.
  constexpr int32_t Count = 2000;
  TCVDirArray& Items = Z.DirManager()->DirItems;
  Items.SetCount(Count);
  for (int32_t I = 0; I < Count; ++I) {
    TDirItem& Item = Items.ItemPtr(I);
    Item.FileName = "folder/file_with_a_long_name_" + std::to_string(10000 + I) + ".txt";
    Item.Crc32 = 0x01000193u * static_cast<uint32_t>(I);
    Item.CompressedSize = static_cast<uint32_t>(I);
    Item.UncompressedSize = static_cast<uint32_t>(2 * I);
    Item.LocalHeaderOffset = static_cast<uint32_t>(100 * I);
    if (I % 7 == 0) {
      Item.Comment = "comment " + std::to_string(I);
      Item.CommentLength = static_cast<uint16_t>(Item.Comment.size());
    }
  }
  Z.CloseArchive();
  for (const char* Name : {"big_001.zip", "big_002.zip", "big.zip"}) {
    SCOPED_TRACE(Name);
    ASSERT_TRUE(fs::exists(Dir / Name));
    EXPECT_LE(fs::file_size(Dir / Name), 65536u);
  }
  EXPECT_FALSE(fs::exists(Dir / "big_003.zip"));

  Z.SetSpanningMode(smNone);
  Z.SetOpenDamaged(false);
  Z.OpenArchive();
  EXPECT_EQ(Z.SpanningMode(), smSplitting);
  const TCVDirArray& Read = Z.DirManager()->DirItems;
  ASSERT_EQ(Read.Count(), Count);
  for (int32_t I = 0; I < Count; ++I) {
    const TDirItem& Item = Read.ItemPtr(I);
    EXPECT_EQ(Item.FileName, "folder/file_with_a_long_name_" + std::to_string(10000 + I) + ".txt");
    EXPECT_EQ(Item.Crc32, 0x01000193u * static_cast<uint32_t>(I));
    EXPECT_EQ(Item.UncompressedSize, static_cast<uint32_t>(2 * I));
    EXPECT_EQ(Item.Comment, I % 7 == 0 ? "comment " + std::to_string(I) : "");
  }
  const TEndRecord& End = Z.DirManager()->EndRecord;
  EXPECT_EQ(End.DirDisk, 0);
  EXPECT_EQ(End.DiskNumber, 2);
  EXPECT_EQ(End.TotalEntries, Count);
}

TEST_F(OpenVolumesTest, AMemoryArchiveNeverRenamesTheVolumeOpenedBefore) {
  ZipBuilder B;
  MakeTwoVolumeSet(B);
  const std::vector<std::string> Paths = B.WriteVolumes(Dir / "set.zip", vnNumbered);
  std::vector<std::string> Before;
  for (const std::string& P : Paths) Before.push_back(TTempFolder::ReadFile(P));
  Z.SetFileName(Dir / "set.zip");
  Z.OpenArchive();
  ASSERT_EQ(Z.SpanningMode(), smSplitting);
  // The split mode stays; the name the set was opened under is stale now.
  Z.SetFileName(Dir / "other.zip");
  Z.SetInMemory(true);
  EXPECT_TRUE(Z.Active());
  Z.CloseArchive();
  for (size_t I = 0; I < Paths.size(); ++I) EXPECT_EQ(TTempFolder::ReadFile(Paths[I]), Before[I]) << Paths[I];
  EXPECT_FALSE(fs::exists(Dir / "other.zip"));
}

}  // namespace
