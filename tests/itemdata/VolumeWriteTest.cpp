#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "VolumeTestArchiver.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "support/FakeEnv.h"
#include "support/ScriptedDialogs.h"
#include "support/TempFolder.h"

namespace {

TCVVolumeNumberInfo Numbered(int32_t Number) {
  TCVVolumeNumberInfo I;
  I.SetNumber(Number);
  return I;
}

// A component writing a new split or spanned set into a temporary folder
// whose free space the fake drives report.
struct TNewSet {
  TTempFolder Dir;
  TFakeDrives Drives;
  TScopedDrives InstalledDrives{Drives};
  TVolumeArchiver Z;

  explicit TNewSet(TCVSpanningMode Mode, int64_t FreeSpace = 1 << 30) {
    Drives.SetFreeSpace(Dir.Path(), FreeSpace);
    Z.SetFileName(Dir / "data.zip");
    Z.SetSpanningMode(Mode);
    Z.SpanningOptions().AdvancedNaming = false;
    Z.SetArchiveOpenMode(fmCreate);
  }
};

std::string Pattern(size_t Size) {
  std::string S(Size, '\0');
  for (size_t I = 0; I < Size; ++I) S[I] = static_cast<char>('a' + (I * 7 + I / 251) % 26);
  return S;
}

}  // namespace

TEST(OpenVolumeWriting, FreeSpaceDecidesBetweenCreatingAndTheDiskFullNotice) {
  static constexpr struct {
    int64_t Free;
    TCVVolumeSize Size;
    bool DiskFull;
  } Cases[] = {
      {65536, vsAutoDetect, true},    {65537, vsAutoDetect, false}, {0, vsAutoDetect, true},
      {1457663, vs1_44MB, true},      {1457664, vs1_44MB, false},   {-1, vs1_44MB, false},
      {-1, vsAutoDetect, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "free " << C.Free << " size " << int(C.Size));
    TNewSet S(smSplitting, C.Free);
    S.Z.SpanningOptions().VolumeSize = C.Size;
    std::vector<std::string> Events;
    S.Z.SetOnRequestBlankVolume([&](TCVBaseArchiver&, int32_t N, std::string& Name, bool&) {
      Events.push_back("blank " + std::to_string(N) + " " + Name);
    });
    S.Z.SetOnDiskFull([&](TCVBaseArchiver&, int32_t N, const std::string& Name, bool& Cancel) {
      Events.push_back("full " + std::to_string(N) + " " + Name);
      Cancel = true;
    });
    const int32_t Error = NativeErrorOf([&] { S.Z.OpenVolume(Numbered(1)); });
    std::vector<std::string> Expected = {"blank 2 " + S.Dir / "data.Z02"};
    if (C.DiskFull) Expected.push_back("full 2 " + S.Dir / "data.Z02");
    EXPECT_EQ(Events, Expected);
    EXPECT_EQ(Error, C.DiskFull ? 45 : -1);
    EXPECT_EQ(FileExists(S.Dir / "data.Z02"), !C.DiskFull);
  }
}

TEST(OpenVolumeWriting, ADiskFullNoticeThatIsNotCancelledOffersABlankVolumeAgain) {
  TNewSet S(smSplitting, 1000);
  int Blank = 0, Full = 0;
  S.Z.SetOnRequestBlankVolume([&](TCVBaseArchiver&, int32_t, std::string& Name, bool&) {
    // The second offer names a folder with room.
    if (++Blank == 2) {
      S.Drives.SetFreeSpace(S.Dir / "roomy", 1 << 30);
      std::filesystem::create_directory(S.Dir / "roomy");
      Name = S.Dir / "roomy/data.Z01";
    }
  });
  S.Z.SetOnDiskFull([&](TCVBaseArchiver&, int32_t, const std::string&, bool&) { ++Full; });
  S.Z.OpenVolume(Numbered(0));
  EXPECT_EQ(Blank, 2);
  EXPECT_EQ(Full, 1);
  EXPECT_EQ(S.Z.CurrentVolumeName(), S.Dir / "roomy/data.Z01");
  EXPECT_EQ(S.Z.CurrentVolume().Number, 0);
  EXPECT_EQ(S.Z.CurrentVolume().Role, vrNumbered);
}

TEST(OpenVolumeWriting, DefaultsWithoutHandlers) {
  // Split: created without asking; a full disk cancels without asking.
  {
    TNewSet S(smSplitting);
    TScriptedDialogs D;
    S.Z.OpenVolume(Numbered(0));
    EXPECT_EQ(S.Z.CurrentVolumeName(), S.Dir / "data.Z01");
    S.Drives.SetFreeSpace(S.Dir.Path(), 100);
    EXPECT_EQ(NativeErrorOf([&] { S.Z.OpenVolume(Numbered(1)); }), 45);
    EXPECT_TRUE(D.Calls().empty());
  }
  // Spanned: the user is asked for a blank disk; a full one is reported with
  // the limit and the room found.
  {
    TNewSet S(smSpanning, 65536);
    S.Z.SpanningOptions().VolumeSize = vs1_44MB;
    TScriptedDialogs D;
    D.AnswerMessage(mrOk);
    D.AnswerMessage(mrOk);
    D.AnswerMessage(mrOk);
    D.AnswerMessage(mrCancel);
    EXPECT_EQ(NativeErrorOf([&] { S.Z.OpenVolume(Numbered(2)); }), 45);
    ASSERT_EQ(D.Calls().size(), 4u);
    const std::string Full =
        "Disk is full. Required free space: 1457664 bytes, but available only: 65536 bytes. Clean the disk or find "
        "another blank disk";
    EXPECT_EQ(D.Calls()[0].Text, "Please insert a blank disk #3");
    EXPECT_EQ(D.Calls()[1].Text, Full);
    EXPECT_EQ(D.Calls()[2].Text, "Please insert a blank disk #3");
    EXPECT_EQ(D.Calls()[3].Text, Full);
    for (const auto& Call : D.Calls()) EXPECT_EQ(Call.Buttons, (TMsgDlgButtons{mbOK, mbCancel}));
  }
  // Autodetected size: the limit reads -1.
  {
    TNewSet S(smSpanning, 10);
    TScriptedDialogs D;
    D.AnswerMessage(mrOk);
    D.AnswerMessage(mrCancel);
    EXPECT_EQ(NativeErrorOf([&] { S.Z.OpenVolume(Numbered(0)); }), 45);
    ASSERT_EQ(D.Calls().size(), 2u);
    EXPECT_EQ(D.Calls()[1].Text,
              "Disk is full. Required free space: -1 bytes, but available only: 10 bytes. Clean the disk or find "
              "another blank disk");
  }
}

TEST(OpenVolumeWriting, SpannedVolumesAreLabelledAndNamed) {
  TNewSet S(smSpanning);
  S.Z.SpanningOptions().AdvancedNaming = true;
  std::vector<int32_t> Numbers;
  S.Z.SetOnRequestBlankVolume(
      [&](TCVBaseArchiver&, int32_t N, std::string&, bool&) { Numbers.push_back(N); });
  S.Z.OpenVolume(Numbered(2));
  EXPECT_EQ(S.Z.CurrentVolumeName(), S.Dir / "data_003.zip");
  // A label that cannot be set is no error.
  S.Drives.LabelResult = false;
  ASSERT_EQ(S.Drives.LabelCalls().size(), 1u);
  EXPECT_EQ(S.Drives.LabelCalls()[0].Label, "pkback# 003");
  EXPECT_EQ(S.Drives.LabelCalls()[0].Path, S.Dir.Path() + "/");

  // A negative number asks for the first volume.
  S.Z.OpenVolume(Numbered(-1));
  EXPECT_EQ(S.Z.CurrentVolumeName(), S.Dir / "data_001.zip");
  EXPECT_EQ(Numbers, (std::vector<int32_t>{3, 1}));

  // Split volumes get no label.
  TNewSet Split(smSplitting);
  Split.Z.OpenVolume(Numbered(2));
  EXPECT_TRUE(Split.Drives.LabelCalls().empty());
}

TEST(OpenVolumeWriting, ABlankVolumeNeverReplacesAFileThatHoldsData) {
  TNewSet S(smSplitting);
  S.Dir.WriteFile("data.Z01", "an earlier volume");
  S.Dir.WriteFile("data.Z02", "");
  EXPECT_EQ(NativeErrorOf([&] { S.Z.OpenVolume(Numbered(0)); }), 45);
  EXPECT_EQ(TTempFolder::ReadFile(S.Dir / "data.Z01"), "an earlier volume");
  // An empty file holds nothing to lose.
  S.Z.OpenVolume(Numbered(1));
  EXPECT_EQ(S.Z.CurrentVolumeName(), S.Dir / "data.Z02");
}

TEST(OpenVolumeWriting, AnEmptyNameCountsAsCancel) {
  TNewSet S(smSplitting);
  S.Z.SetOnRequestBlankVolume([](TCVBaseArchiver&, int32_t, std::string& Name, bool&) { Name.clear(); });
  EXPECT_EQ(NativeErrorOf([&] { S.Z.OpenVolume(Numbered(0)); }), 45);
  EXPECT_EQ(S.Z.ArchiveStream(), nullptr);
}

TEST(WriteAcrossVolumes, ASingleFileTakesEverything) {
  TVolumeArchiver Z;
  TMemoryStream Out, Pending;
  TStream* Stream = &Out;
  TCVVolumeNumberInfo Info = Numbered(0);
  const std::string Data = Pattern(5000);
  Z.WriteBufferAcrossVolumes(Data.data(), 5000, &Pending, 0, Info, Stream);
  EXPECT_EQ(Stream, &Out);
  EXPECT_EQ(Out.Size(), 5000);
  EXPECT_EQ(Pending.Size(), 0);
}

TEST(WriteAcrossVolumes, FullVolumesAreFollowedByNewOnes) {
  TNewSet S(smSplitting);
  S.Z.SpanningOptions().VolumeSize = vsCustom;
  S.Z.SpanningOptions().SetCustomVolumeSize(65536);
  S.Z.SpanningOptions().FirstVolumeSize = 70000;
  TCVVolumeNumberInfo Info = Numbered(0);
  S.Z.OpenVolume(Info);
  TStream* Stream = S.Z.ArchiveStream();
  const std::string Data = Pattern(210000);
  S.Z.WriteBufferAcrossVolumes(Data.data(), 105000, nullptr, -1, Info, Stream);
  S.Z.WriteBufferAcrossVolumes(Data.data() + 105000, 105000, nullptr, -1, Info, Stream);
  EXPECT_EQ(Info.Number, 3);
  EXPECT_EQ(S.Z.CurrentVolume().Number, 3);
  EXPECT_EQ(Stream, S.Z.ArchiveStream());
  S.Z.DropArchiveStream();
  const std::string Z01 = TTempFolder::ReadFile(S.Dir / "data.Z01");
  const std::string Z02 = TTempFolder::ReadFile(S.Dir / "data.Z02");
  const std::string Z03 = TTempFolder::ReadFile(S.Dir / "data.Z03");
  const std::string Z04 = TTempFolder::ReadFile(S.Dir / "data.Z04");
  EXPECT_EQ(Z01.size(), 70000u);
  EXPECT_EQ(Z02.size(), 65536u);
  EXPECT_EQ(Z03.size(), 65536u);
  EXPECT_EQ(Z01 + Z02 + Z03 + Z04, Data);
}

TEST(WriteAcrossVolumes, BytesKeptTogetherMoveToTheNextVolumeWhole) {
  // The first volume has 100 bytes of room left.
  static constexpr struct {
    int64_t Count;
    int32_t KeepTogether;
    int64_t OnFirst;
  } Cases[] = {
      {46, 54, 46}, {46, 55, 0}, {100, 0, 100}, {101, 0, 0}, {150, -1, 100}, {46, -1, 46},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.Count << " bytes, " << C.KeepTogether << " to follow");
    TNewSet S(smSplitting);
    S.Z.SpanningOptions().FirstVolumeSize = 1000;
    TCVVolumeNumberInfo Info = Numbered(0);
    S.Z.OpenVolume(Info);
    TStream* Stream = S.Z.ArchiveStream();
    const std::string Data = Pattern(1100);
    Stream->WriteBuffer(Data.data(), 900);
    S.Z.WriteBufferAcrossVolumes(Data.data() + 900, C.Count, nullptr, C.KeepTogether, Info, Stream);
    S.Z.DropArchiveStream();
    EXPECT_EQ(TTempFolder::ReadFile(S.Dir / "data.Z01").size(), static_cast<size_t>(900 + C.OnFirst));
    EXPECT_EQ(TTempFolder::ReadFile(S.Dir / "data.Z02").size(), static_cast<size_t>(C.Count - C.OnFirst));
    EXPECT_EQ(Info.Number, C.OnFirst == C.Count ? 0 : 1);
  }
}

TEST(WriteAcrossVolumes, PendingBytesGoToTheirVolumeBeforeItIsLeft) {
  TNewSet S(smSplitting);
  S.Z.SpanningOptions().FirstVolumeSize = 1000;
  TCVVolumeNumberInfo Info = Numbered(0);
  S.Z.OpenVolume(Info);
  TStream* Stream = S.Z.ArchiveStream();
  TMemoryStream Pending;
  const std::string Data = Pattern(1500);
  Stream->WriteBuffer(Data.data(), 200);
  S.Z.WriteBufferAcrossVolumes(Data.data() + 200, 1300, &Pending, -1, Info, Stream);
  // 800 bytes fitted behind the first 200; the rest waits for the caller.
  EXPECT_EQ(Info.Number, 1);
  EXPECT_EQ(Stream->Size(), 0);
  EXPECT_EQ(Pending.Size(), 500);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Pending.Memory()), 500), Data.substr(1000));
  S.Z.DropArchiveStream();
  EXPECT_EQ(TTempFolder::ReadFile(S.Dir / "data.Z01"), Data.substr(0, 1000));
}

TEST(WriteAcrossVolumes, FreeSpaceThatCannotBeToldDoesNotLimitAVolume) {
  TNewSet S(smSplitting, -1);
  TCVVolumeNumberInfo Info = Numbered(0);
  S.Z.OpenVolume(Info);
  TStream* Stream = S.Z.ArchiveStream();
  TMemoryStream Pending;
  const std::string Data = Pattern(100000);
  S.Z.WriteBufferAcrossVolumes(Data.data(), 100000, &Pending, 0, Info, Stream);
  EXPECT_EQ(Info.Number, 0);
  EXPECT_EQ(Pending.Size(), 100000);
}

TEST(WriteAcrossVolumes, AShortWriteGivesCode46) {
  struct TCase {
    const char* What;
    int64_t FirstTakes;   // bytes data.Z01 accepts; -1: no limit
    int64_t OthersTake;   // bytes every later volume accepts
    int64_t PendingSize;  // bytes already pending
    int64_t Free;
    int64_t Written;      // what WriteAcrossVolumes reports
  };
  static constexpr TCase Cases[] = {
      {"every volume refuses", 0, 0, 0, 1 << 30, 0},
      {"the next volume refuses the rest", 40, 0, 0, 1 << 30, 40},
      {"pending bytes exceed the room", -1, -1, 80000, 70000, 0},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TNewSet S(smSplitting, C.Free);
    TFaultFileSystem Files;
    if (C.FirstTakes >= 0) Files.LimitWrites("data.Z01", C.FirstTakes);
    if (C.OthersTake >= 0) {
      Files.LimitWrites("data.Z02", C.OthersTake);
      Files.LimitWrites("data.Z03", C.OthersTake);
    }
    TScopedFileSystem Installed(Files);
    TCVVolumeNumberInfo Info = Numbered(0);
    S.Z.OpenVolume(Info);
    TStream* Stream = S.Z.ArchiveStream();
    TMemoryStream Pending;
    const std::string Data = Pattern(static_cast<size_t>(std::max<int64_t>(C.PendingSize, 100)));
    Pending.WriteBuffer(Data.data(), C.PendingSize);
    TMemoryStream* PendingArg = C.PendingSize > 0 ? &Pending : nullptr;
    EXPECT_EQ(S.Z.WriteAcrossVolumes(Data.data(), 100, PendingArg, -1, Info, Stream), C.Written);
    EXPECT_EQ(NativeErrorOf([&] { S.Z.WriteBufferAcrossVolumes(Data.data(), 100, PendingArg, -1, Info, Stream); }),
              46);
    // No volume is made for bytes that the one before could not take.
    EXPECT_FALSE(FileExists(S.Dir / "data.Z04"));
  }
}
