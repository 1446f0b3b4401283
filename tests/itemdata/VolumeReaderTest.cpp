// Entries whose data runs on into the next volumes of a split archive.

#include <gtest/gtest.h>

#include <filesystem>

#include "ReaderFixture.h"
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
      const size_t OnFirst = static_cast<size_t>(Set.B.Layout().VolumeSizes[0] - Set.B.Layout().Entries[1].Data);
      EXPECT_TRUE(Dest.Bytes() == TBytes(Set.Data.begin(), Set.Data.begin() + OnFirst)) << Dest.Size();
      if (Keep) {
        EXPECT_EQ(R.DamageReasons(),
                  std::vector<std::string>{Format("data cut short at compressed offset %d of %d (volume 2 not available)",
                                                  OnFirst, Set.Data.size())});
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
