// Entries whose data runs on into the next volumes of a split archive.

#include <gtest/gtest.h>

#include <filesystem>

#include "ReaderFixture.h"
#include "support/PeerTools.h"
#include "support/TempFolder.h"

namespace {

struct TRequests {
  // One line per request: "first", "middle N" (N from 1), "last".
  std::vector<std::string> Log;
  // The middle volume (from 1) whose request is cancelled; 0 for none.
  int32_t Refuse = 0;

  void Install(TReaderArchiver& A) {
    A.SetOnRequestFirstVolume([this](TCVBaseArchiver&, std::string&, bool&) { Log.push_back("first"); });
    A.SetOnRequestLastVolume([this](TCVBaseArchiver&, std::string&, bool&) { Log.push_back("last"); });
    A.SetOnRequestMiddleVolume([this](TCVBaseArchiver&, int32_t Number, std::string&, bool& Cancel) {
      Log.push_back("middle " + std::to_string(Number));
      Cancel = Number == Refuse;
    });
  }
};

// Three entries over volumes of 100,000 bytes: "span.bin" starts on the
// first volume and ends on the last, the third.
struct TSplitSet {
  explicit TSplitSet(TReaderArchiver& A) {
    B.Add("small.txt", "on the first volume");
    B.Add("span.bin", Data);
    B.Add("tail.txt", "after the long one").Deflated();
    B.Split(100000);
    const TBytes Undamaged = B.Build();
    Volumes = B.WriteVolumes(Folder / "set.zip", vnNumbered);
    A.SetFileName(Folder / "set.zip");
    A.SetSpanningMode(smSplitting);
    A.AttachSplit(B, Undamaged, static_cast<int32_t>(Volumes.size()));
  }

  const TBytes Data = Noise(250000, 41);
  ZipBuilder B;
  TTempFolder Folder;
  std::vector<std::string> Volumes;
};

TEST(VolumeReader, AnEntryCrossingVolumesAsksOncePerVolumeAndResumesAtTheirStart) {
  TReaderArchiver A;
  TSplitSet Set(A);
  ASSERT_EQ(Set.Volumes.size(), 3u);
  ASSERT_EQ(Set.B.Layout().Entries[1].Disk, 0u);
  TRequests Requests;
  Requests.Install(A);
  TMemoryStream Dest;
  EXPECT_NO_THROW(A.ExtractItemToStream(1, Dest));
  EXPECT_TRUE(Dest.Bytes() == Set.Data);
  EXPECT_EQ(Requests.Log, (std::vector<std::string>{"first", "middle 2", "last"}));
  EXPECT_EQ(A.CurrentVolume().Number, 2);
}

TEST(VolumeReader, AMissingOrRefusedNextVolumeEndsTheEntryLikeDataCutShort) {
  struct TCase {
    const char* Title;
    bool Delete;     // the second volume's file is gone (no handler: the request fails)
    int32_t Refuse;  // a handler cancels this volume's request
  };
  for (TCase C : {TCase{"missing", true, 0}, TCase{"refused", false, 2}}) {
    SCOPED_TRACE(C.Title);
    for (bool Keep : {false, true}) {
      TReaderArchiver A;
      TSplitSet Set(A);
      if (C.Delete) std::filesystem::remove(Set.Volumes[1]);
      TRequests Requests;
      Requests.Refuse = C.Refuse;
      if (C.Refuse != 0) Requests.Install(A);
      A.SetExtractCorruptedFiles(Keep);
      TReaderRecorder R(A);
      TMemoryStream Dest;
      EXPECT_EQ(RaisedNativeError([&] { A.ExtractItemToStream(1, Dest); }), Keep ? -1 : 8);
      // What the first volume held of the entry is kept.
      const size_t OnFirst =
          static_cast<size_t>(Set.B.Layout().VolumeSizes[0] - Set.B.Layout().Entries[1].Data);
      EXPECT_TRUE(Dest.Bytes() == TBytes(Set.Data.begin(), Set.Data.begin() + OnFirst)) << Dest.Size();
      if (Keep) {
        EXPECT_EQ(R.DamageReasons(),
                  std::vector<std::string>{
                      Format("data cut short at compressed offset %d of %d (volume 2 not available)", OnFirst,
                             Set.Data.size())});
      }
    }
  }
}

TEST(VolumeReader, DataCutShortOnTheLastVolumeAsksForNoVolumeAfterIt) {
  const TBytes Data = Noise(250000, 42);
  TTempFolder Folder;
  TReaderArchiver A;
  ZipBuilder B;
  B.Add("small.txt", "on the first volume");
  B.Add("last.bin", Data);
  B.Split(200000);
  const TBytes Intact = B.Build();
  const ZipLayout L = B.Layout();
  ASSERT_EQ(L.VolumeSizes.size(), 2u);
  ASSERT_LT(L.Entries[1].Data + 60000, L.VolumeSizes[0]);
  // Cut inside the entry's data on the last volume.
  const int64_t Cut = L.VolumeSizes[0] + 1000;
  B.Truncate(Cut);
  const std::vector<std::string> Volumes = B.WriteVolumes(Folder / "set.zip", vnNumbered);
  ASSERT_EQ(Volumes.size(), 2u);
  A.SetFileName(Folder / "set.zip");
  A.SetSpanningMode(smSplitting);
  A.AttachSplit(B, Intact, 2);
  A.SetExtractCorruptedFiles(true);
  TRequests Requests;
  Requests.Install(A);
  TMemoryStream Dest;
  EXPECT_NO_THROW(A.ExtractItemToStream(1, Dest));
  EXPECT_TRUE(Dest.Bytes() == TBytes(Data.begin(), Data.begin() + (Cut - L.Entries[1].Data)));
  EXPECT_EQ(Requests.Log, (std::vector<std::string>{"first", "last"}));
}

}  // namespace

namespace {

// A split set written by Info-ZIP (volumes .z01, .z02, ..., .zip), opened as
// the window opens archives.
struct TInfoZipSplitSet {
  TInfoZipSplitSet() {
    Folder.WriteFile("noise.bin", std::string(Noise.begin(), Noise.end()));
    Folder.WriteFile("mixed.bin", std::string(Text.begin(), Text.end()));
    Status =
        RunCommand("cd " + ShellQuote(Folder.Path()) + " && zip -q -X -s 64k set.zip noise.bin mixed.bin");
  }
  void Open(TReaderArchiver& A) {
    A.SetFileName(Folder / "set.zip");
    A.SpanningOptions().AdvancedNaming = false;
    A.OpenArchive();
  }

  const TBytes Noise = ::Noise(300000, 51);
  const TBytes Text = Mixed(600000, 52);
  TTempFolder Folder;
  int Status = -1;
};

TEST(VolumeReader, AnInfoZipSplitSetExtractsWhole) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  TInfoZipSplitSet Set;
  ASSERT_EQ(Set.Status, 0);
  ASSERT_TRUE(std::filesystem::exists(Set.Folder / "set.z03"));
  TReaderArchiver A;
  Set.Open(A);
  ASSERT_EQ(A.SpanningMode(), smSplitting);
  ASSERT_EQ(A.ItemCount(), 2);
  for (int32_t I = 0; I < 2; ++I) {
    SCOPED_TRACE(A.Item(I).FileName);
    TMemoryStream Dest;
    EXPECT_NO_THROW(A.ExtractItemToStream(I, Dest));
    EXPECT_TRUE(Dest.Bytes() == (A.Item(I).FileName == "noise.bin" ? Set.Noise : Set.Text));
  }
}

TEST(VolumeReader, AnInfoZipSplitSetWithAVolumeMissingKeepsWhatCameBefore) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  TInfoZipSplitSet Set;
  ASSERT_EQ(Set.Status, 0);
  std::filesystem::remove(Set.Folder / "set.z02");
  TReaderArchiver A;
  A.SetExtractCorruptedFiles(true);
  Set.Open(A);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  ASSERT_EQ(A.Item(0).FileName, "noise.bin");
  EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
  // Everything of the entry on the first volume, and nothing else.
  const int64_t First = static_cast<int64_t>(std::filesystem::file_size(Set.Folder / "set.z01"));
  ASSERT_GT(Dest.Size(), 0);
  EXPECT_LT(Dest.Size(), First);
  EXPECT_TRUE(Dest.Bytes() == TBytes(Set.Noise.begin(), Set.Noise.begin() + Dest.Size()));
  ASSERT_EQ(R.DamageReasons().size(), 1u);
  EXPECT_NE(R.DamageReasons()[0].find("(volume 2 not available)"), std::string::npos) << R.DamageReasons()[0];
}

}  // namespace
