#include <gtest/gtest.h>

#include <string>

#include "directory/DirTestSupport.h"
#include "support/TempFolder.h"

namespace {

TEST(DirManager, MadeOnTheArchiveStreamOrAnother) {
  TLoadArchiver Archiver;
  Archiver.UseArchiveStream(std::make_unique<TMemoryStream>());
  TCVDirManager Own(Archiver);
  EXPECT_FALSE(Own.ExternalStream);
  EXPECT_EQ(Own.Stream, Archiver.ArchiveStream());
  EXPECT_EQ(Own.EndRecord.Signature, TEndRecord::SignatureValue);
  EXPECT_EQ(Own.EndRecord.TotalEntries, 0);
  EXPECT_EQ(Own.DataStart, 0);
  EXPECT_FALSE(Own.IsZip64);

  TMemoryStream Other;
  TCVDirManager External(&Other, Archiver, false);
  EXPECT_TRUE(External.ExternalStream);
  EXPECT_EQ(External.Stream, &Other);
}

struct TStubCase {
  const char* Name;
  TCVSpanningMode Mode;
  int64_t FirstVolumeSize;
  TCVVolumeSize VolumeSize;
  bool Refused;
};

const TStubCase StubCases[] = {
    {"single file ignores the volume limit", smNone, 99, vsAutoDetect, false},
    {"first volume exactly as large as the stub", smSplitting, 100, vsAutoDetect, false},
    {"first volume one byte smaller", smSplitting, 99, vsAutoDetect, true},
    {"no limit on the first volume", smSpanning, 0, vsAutoDetect, false},
    {"a fixed volume size above the stub", smSpanning, 0, vs1_44MB, false},
};

TEST(DirManager, NewArchiveStartsWithItsStub) {
  TTempFolder Folder;
  std::string Stub(100, '\0');
  for (size_t I = 0; I < Stub.size(); ++I) Stub[I] = static_cast<char>(I * 7);
  const std::string StubPath = Folder.WriteFile("stub.bin", Stub);
  for (const TStubCase& C : StubCases) {
    SCOPED_TRACE(C.Name);
    TLoadArchiver Archiver;
    Archiver.SetSpanningMode(C.Mode);
    Archiver.SpanningOptions().FirstVolumeSize = C.FirstVolumeSize;
    Archiver.SpanningOptions().VolumeSize = C.VolumeSize;
    Archiver.SetSFXStub(StubPath);
    auto Stream = std::make_unique<TMemoryStream>();
    Stream->WriteBuffer("old bytes", 9);
    Archiver.UseArchiveStream(std::move(Stream));
    if (C.Refused) {
      EXPECT_EQ(NativeErrorOf([&] { TCVDirManager M(Archiver.ArchiveStream(), Archiver, true); }), 47);
      continue;
    }
    TCVDirManager M(Archiver.ArchiveStream(), Archiver, true);
    EXPECT_EQ(M.DataStart, 100);
    const auto& Bytes = static_cast<TMemoryStream*>(Archiver.ArchiveStream())->Bytes();
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), Stub);
    EXPECT_EQ(Archiver.CurrentVolume().Number, 0);
    EXPECT_EQ(Archiver.CurrentVolume().Role, vrFirst);
  }
}

TEST(DirManager, NewArchiveWithoutStubWritesNothing) {
  TLoadArchiver Archiver;
  Archiver.UseArchiveStream(std::make_unique<TMemoryStream>());
  TCVDirManager M(Archiver.ArchiveStream(), Archiver, true);
  EXPECT_EQ(M.DataStart, 0);
  EXPECT_EQ(Archiver.ArchiveStream()->Size(), 0);
  EXPECT_EQ(Archiver.CurrentVolume().Role, vrFirst);
}

TEST(SwitchVolume, TakesTheComponentsStreamUnlessExternal) {
  TLoadArchiver Archiver;
  Archiver.UseArchiveStream(std::make_unique<TMemoryStream>());
  TCVVolumeNumberInfo Volume;
  Volume.SetNumber(0);

  TMemoryStream Other;
  TCVDirManager External(&Other, Archiver, false);
  External.SwitchVolume(Volume);
  EXPECT_EQ(External.Stream, &Other);
  EXPECT_EQ(Archiver.CurrentVolume().Role, vrUnknown);

  TCVDirManager Own(Archiver);
  Own.Stream = nullptr;
  Own.SwitchVolume(Volume);
  EXPECT_EQ(Own.Stream, Archiver.ArchiveStream());
  EXPECT_EQ(Archiver.CurrentVolume().Number, 0);
  EXPECT_EQ(Archiver.CurrentVolume().Role, vrNumbered);
}

// Without volume requests no other volume of a split archive can be had.
TEST(SwitchVolume, SplitArchiveVolumeCannotBeObtainedYet) {
  TLoadArchiver Archiver;
  Archiver.UseArchiveStream(std::make_unique<TMemoryStream>());
  Archiver.SetSpanningMode(smSplitting);
  TCVDirManager Own(Archiver);
  TCVVolumeNumberInfo Volume;
  Volume.SetNumber(1);
  EXPECT_EQ(NativeErrorOf([&] { Own.SwitchVolume(Volume); }), 45);
}

TEST(VolumeSizeFor, FirstVolumeLimitThenTheTable) {
  struct {
    TCVVolumeSize Size;
    int64_t FirstVolumeSize;
    int32_t Number;
    int64_t Limit;
  } const Cases[] = {
      {vsAutoDetect, 0, 0, -1},       {vsAutoDetect, 5000, 0, 5000}, {vsAutoDetect, 5000, 1, -1},
      {vs1_44MB, 5000, 0, 5000},      {vs1_44MB, 0, 0, 1457664},     {vs1_44MB, 5000, 3, 1457664},
      {vs100MB, 0, 1, 104857600},     {vs200MB, 0, 1, 209715200},    {vs250MB, 0, 1, 262144000},
      {vs600MB, 0, 1, 629145600},     {vs650MB, 0, 1, 681574400},    {vs700MB, 0, 1, 734003200},
      {vsCustom, 0, 1, 65536},        {vsCustom, -4, 0, 65536},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << int(C.Size) << " first " << C.FirstVolumeSize << " volume " << C.Number);
    TCVSpanningOptions Options;
    Options.VolumeSize = C.Size;
    Options.FirstVolumeSize = C.FirstVolumeSize;
    Options.SetCustomVolumeSize(100);
    TCVVolumeNumberInfo Volume;
    Volume.SetNumber(C.Number);
    EXPECT_EQ(Options.VolumeSizeFor(Volume), C.Limit);
  }
}

}  // namespace
