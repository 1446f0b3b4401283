#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "VolumeTestArchiver.h"
#include "itemdata/VolumeFiles.h"
#include "support/TempFolder.h"

namespace {

enum TStub : uint8_t { NoStub, StubFile, DataStartSet };

struct TNameCase {
  const char* FileName;
  TCVSpanningMode Mode;
  bool Advanced;
  int32_t Index;
  TStub Stub;
  const char* Expected;
};

constexpr TNameCase NameCases[] = {
    // Split, both schemes; -1 is the archive's own name.
    {"/x/data.zip", smSplitting, true, 0, NoStub, "/x/data_001.zip"},
    {"/x/data.zip", smSplitting, true, 9, NoStub, "/x/data_010.zip"},
    {"/x/data.zip", smSplitting, true, 999, NoStub, "/x/data_1000.zip"},
    {"/x/data.zip", smSplitting, true, -1, NoStub, "/x/data.zip"},
    {"/x/data.zip", smSplitting, false, 0, NoStub, "/x/data.Z01"},
    {"/x/data.zip", smSplitting, false, 9, NoStub, "/x/data.Z10"},
    {"/x/data.zip", smSplitting, false, 99, NoStub, "/x/data.Z100"},
    {"/x/data.zip", smSplitting, false, -1, NoStub, "/x/data.zip"},
    // The extension is what follows the last "." of the file-name part.
    {"/x/backup.tar.zip", smSplitting, false, 1, NoStub, "/x/backup.tar.Z02"},
    {"/x.d/data", smSplitting, false, 0, NoStub, "/x.d/data.Z01"},
    {"/x.d/data", smSplitting, true, 0, NoStub, "/x.d/data_001"},
    {"data.zip", smSplitting, false, 2, NoStub, "data.Z03"},
    // A split self-extractor: the program first, the archive last.
    {"/x/data.exe", smSplitting, true, 0, NoStub, "/x/data.exe"},
    {"/x/data.exe", smSplitting, false, 0, NoStub, "/x/data.exe"},
    {"/x/data.exe", smSplitting, true, -1, NoStub, "/x/data.ZIP"},
    {"/x/data.exe", smSplitting, false, -1, NoStub, "/x/data.ZIP"},
    {"/x/data.exe", smSplitting, true, 1, NoStub, "/x/data_002.exe"},
    {"/x/data.exe", smSplitting, false, 1, NoStub, "/x/data.Z02"},
    {"/x/DATA.EXE", smSplitting, false, -1, NoStub, "/x/DATA.ZIP"},
    {"/x/data.zip", smSplitting, false, 0, StubFile, "/x/data.exe"},
    {"/x/data.zip", smSplitting, false, -1, StubFile, "/x/data.ZIP"},
    {"/x/data.zip", smSplitting, false, 0, DataStartSet, "/x/data.exe"},
    {"/x/data.zip", smSplitting, true, -1, DataStartSet, "/x/data.ZIP"},
    // Spanned: numbered names, or the same name on every disk.
    {"/x/data.zip", smSpanning, true, 0, NoStub, "/x/data_001.zip"},
    {"/x/data.zip", smSpanning, true, 11, NoStub, "/x/data_012.zip"},
    {"/x/data.zip", smSpanning, true, -1, NoStub, "/x/data.zip"},
    {"/x/data.zip", smSpanning, false, 0, NoStub, "/x/data.zip"},
    {"/x/data.zip", smSpanning, false, 7, NoStub, "/x/data.zip"},
    {"/x/data.zip", smSpanning, true, 2, StubFile, "/x/data_003.exe"},
    {"/x/data.zip", smSpanning, false, 2, StubFile, "/x/data.exe"},
    // A single file has one name.
    {"/x/data.zip", smNone, true, 0, NoStub, "/x/data.zip"},
    {"/x/data.zip", smNone, false, 5, NoStub, "/x/data.zip"},
    {"/x/data.exe", smNone, false, -1, StubFile, "/x/data.exe"},
};

class VolumeNames : public testing::TestWithParam<TNameCase> {};

}  // namespace

TEST_P(VolumeNames, FollowTheSchemeOfTheMode) {
  const TNameCase& C = GetParam();
  TVolumeArchiver Z;
  Z.SetFileName(C.FileName);
  Z.SetSpanningMode(C.Mode);
  Z.SpanningOptions().AdvancedNaming = C.Advanced;
  if (C.Stub == StubFile) Z.SetSFXStub("/stubs/sfx.bin");
  if (C.Stub == DataStartSet) Z.SetDataStart(1000);
  EXPECT_EQ(Z.VolumeName(C.Index), C.Expected);
}

INSTANTIATE_TEST_SUITE_P(Table, VolumeNames, testing::ValuesIn(NameCases));

TEST(VolumeNames, AnEmptyDirectoryManagerMakesNothingSelfExtracting) {
  TVolumeArchiver Z;
  Z.SetFileName("/x/data.zip");
  Z.SetSpanningMode(smSplitting);
  Z.SetDataStart(0);
  EXPECT_EQ(Z.VolumeName(-1), "/x/data.zip");
  EXPECT_EQ(Z.VolumeName(0), "/x/data_001.zip");
}

TEST(VolumeNames, SpannedDisksMayCarryTheOtherScheme) {
  // Only in smSpanning, and only when asked to check, is the other scheme
  // tried; its name is taken only when that file is there.
  static constexpr struct {
    TCVSpanningMode Mode;
    bool Advanced;
    bool CheckExists;
    const char* OnDisk;
    const char* Expected;
  } Cases[] = {
      {smSpanning, true, true, "data.zip", "data.zip"},
      {smSpanning, false, true, "data_002.zip", "data_002.zip"},
      {smSpanning, true, true, "", "data_002.zip"},
      {smSpanning, false, true, "", "data.zip"},
      {smSpanning, true, false, "data.zip", "data_002.zip"},
      {smSpanning, true, true, "data_002.zip data.zip", "data_002.zip"},
      {smSplitting, true, true, "data.Z02", "data_002.zip"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int(C.Mode) << " advanced " << C.Advanced << " on disk '"
                                    << C.OnDisk << "'");
    TTempFolder Dir;
    std::string OnDisk = C.OnDisk;
    for (size_t P = 0; !OnDisk.empty();) {
      P = OnDisk.find(' ');
      Dir.WriteFile(OnDisk.substr(0, P), "volume");
      OnDisk = P == std::string::npos ? "" : OnDisk.substr(P + 1);
    }
    TVolumeArchiver Z;
    Z.SetFileName(Dir / "data.zip");
    Z.SetSpanningMode(C.Mode);
    Z.SpanningOptions().AdvancedNaming = C.Advanced;
    EXPECT_EQ(Z.VolumeName(1, C.CheckExists), Dir / C.Expected);
  }
}

TEST(VolumeNames, ExeFileNames) {
  static constexpr struct {
    const char* Name;
    bool Exe;
  } Cases[] = {
      {"setup.exe", true},       {"/x/SETUP.EXE", true}, {"/x/setup.Exe", true}, {"/x/setup.exec", true},
      {"/x/setup.exe.zip", false}, {"/x.exe/setup", false}, {"/x/exe", false},      {"", false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(TCVBaseArchiver::IsExeFileName(C.Name), C.Exe);
  }
}

TEST(VolumeFiles, AnExactNameWinsAndOtherwiseCaseIsIgnored) {
  TTempFolder Dir;
  Dir.WriteFile("data.z01", "lower");
  Dir.WriteFile("data.zip", "last");
  Dir.WriteFile("both.Z01", "upper");
  Dir.WriteFile("both.z01", "lower");
  std::filesystem::create_directory(Dir / "data.Z02");

  static constexpr struct {
    const char* Asked;
    const char* Found;  // "" for none
  } Cases[] = {
      {"data.Z01", "data.z01"}, {"data.ZIP", "data.zip"}, {"DATA.Z01", "data.z01"}, {"data.zip", "data.zip"},
      {"both.Z01", "both.Z01"}, {"both.z01", "both.z01"}, {"BOTH.Z01", "both.Z01"}, {"data.Z03", ""},
      // A folder is no volume, whatever its name.
      {"data.Z02", ""},         {"data.z02", ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Asked);
    const std::string Found = FindVolumeFile(Dir / C.Asked);
    EXPECT_EQ(Found, *C.Found ? Dir / C.Found : "");
    EXPECT_EQ(VolumeFileExists(Dir / C.Asked), *C.Found != 0);
  }
  EXPECT_EQ(FindVolumeFile(Dir / "missing/data.Z01"), "");
  EXPECT_EQ(FindVolumeFile(""), "");
}

TEST(TCVSpanningOptions, VolumeSizeFor) {
  static constexpr struct {
    TCVVolumeSize Size;
    int64_t Limit;
  } Sizes[] = {
      {vsAutoDetect, -1},       {vsCustom, 100000},       {vs1_44MB, 1457664},     {vs100MB, 104857600},
      {vs200MB, 209715200},     {vs250MB, 262144000},     {vs600MB, 629145600},    {vs650MB, 681574400},
      {vs700MB, 734003200},
  };
  TCVVolumeNumberInfo First, Middle, Last, Unknown;
  First.SetFirst(true);
  Middle.SetNumber(3);
  Last.LastNumber = 4;
  Last.SetLast(true);
  for (const auto& S : Sizes) {
    SCOPED_TRACE(int(S.Size));
    TCVSpanningOptions O;
    O.VolumeSize = S.Size;
    O.SetCustomVolumeSize(100000);
    // Without a first-volume size every volume has the table's limit.
    for (const auto* Info : {&First, &Middle, &Last, &Unknown}) EXPECT_EQ(O.VolumeSizeFor(*Info), S.Limit);
    // A first-volume size applies to the first volume only.
    O.FirstVolumeSize = 70000;
    EXPECT_EQ(O.VolumeSizeFor(First), 70000);
    for (const auto* Info : {&Middle, &Last, &Unknown}) EXPECT_EQ(O.VolumeSizeFor(*Info), S.Limit);
    O.FirstVolumeSize = -5;
    EXPECT_EQ(O.VolumeSizeFor(First), S.Limit);
  }
}
