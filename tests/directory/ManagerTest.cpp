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

}  // namespace
