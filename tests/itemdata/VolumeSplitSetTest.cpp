// Walking the volumes of split sets written by other tools, which spell the
// volume names in lower case (.z01, .zip).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "VolumeTestArchiver.h"
#include "platform/ByteOrder.h"
#include "platform/Stream.h"
#include "support/ScriptedDialogs.h"
#include "support/TempFolder.h"

namespace {

// Opens every volume of the set whose last volume is LastVolume, forwards and
// then backwards, through the default requests (no handlers: a volume that
// could not be found would raise code 45).
void WalkSplitSet(const std::string& LastVolume) {
  const std::string Base = LastVolume.substr(0, LastVolume.size() - 4);
  std::vector<std::string> Volumes;
  for (int N = 1; std::filesystem::exists(Base + (N < 10 ? ".z0" : ".z") + std::to_string(N)); ++N)
    Volumes.push_back(Base + (N < 10 ? ".z0" : ".z") + std::to_string(N));
  ASSERT_GE(Volumes.size(), 2u);
  Volumes.push_back(LastVolume);
  const int32_t LastNumber = static_cast<int32_t>(Volumes.size()) - 1;

  TScriptedDialogs D;
  TVolumeArchiver Z;
  Z.SetFileName(LastVolume);
  Z.SetSpanningMode(smSplitting);
  Z.SpanningOptions().AdvancedNaming = false;
  Z.SetArchiveOpenMode(fmShareDenyNone);

  auto Open = [&](int32_t Number) {
    SCOPED_TRACE(Number);
    TCVVolumeNumberInfo Info;
    Info.LastNumber = LastNumber;
    if (Number == LastNumber)
      Info.SetLast(true);
    else
      Info.SetNumber(Number);
    Z.OpenVolume(Info);
    EXPECT_EQ(Z.CurrentVolumeName(), Volumes[static_cast<size_t>(Number)]);
    EXPECT_EQ(Z.ArchiveStream()->Size(),
              static_cast<int64_t>(std::filesystem::file_size(Volumes[static_cast<size_t>(Number)])));
  };

  for (int32_t N = 0; N <= LastNumber; ++N) Open(N);
  // The end record on the last volume counts the volumes before it.
  uint8_t End[22];
  Z.ArchiveStream()->Seek(-22, soEnd);
  Z.ArchiveStream()->ReadBuffer(End, 22);
  EXPECT_EQ(GetLE32(End), 0x06054B50u);
  if (GetLE16(End + 4) != 0xFFFF) {
    EXPECT_EQ(GetLE16(End + 4), LastNumber);
  }

  for (int32_t N = LastNumber; N >= 0; --N) Open(N);
  // The first volume starts with the split marker.
  uint8_t Marker[4];
  Z.ArchiveStream()->SetPosition(0);
  Z.ArchiveStream()->ReadBuffer(Marker, 4);
  EXPECT_EQ(GetLE32(Marker), 0x08074B50u);
  EXPECT_TRUE(D.Calls().empty());
}

bool HaveZip() { return std::system("command -v zip >/dev/null 2>&1") == 0; }

}  // namespace

TEST(SplitSets, CorpusSetsFromOtherToolsAreWalked) {
  const std::string Corpus = SALVOR_CORPUS_DIR;
  for (const char* Set : {"commons-compress-split_zip_created_by_zip", "commons-compress-split_zip_created_by_winrar",
                          "commons-compress-split_zip_created_by_zip_zip64"}) {
    SCOPED_TRACE(Set);
    const std::string Last = Corpus + "/" + Set + ".zip";
    if (!std::filesystem::exists(Last)) GTEST_SKIP() << "corpus not found: " << Last;
    WalkSplitSet(Last);
  }
}

TEST(SplitSets, ASetMadeByZipIsWalked) {
  if (!HaveZip()) GTEST_SKIP() << "zip is not installed";
  TTempFolder Dir;
  // Data that does not compress, so 64 KiB splits give several volumes.
  std::string Payload(300000, '\0');
  uint32_t State = 12345;
  for (char& C : Payload) {
    State = State * 1103515245u + 12345u;
    C = static_cast<char>(State >> 24);
  }
  Dir.WriteFile("payload.bin", Payload);
  const std::string Command = "cd '" + Dir.Path() + "' && zip -q -s 64k data.zip payload.bin >/dev/null 2>&1";
  ASSERT_EQ(std::system(Command.c_str()), 0);
  ASSERT_TRUE(std::filesystem::exists(Dir / "data.z04"));
  WalkSplitSet(Dir / "data.zip");
}
