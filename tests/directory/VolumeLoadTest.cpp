#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "directory/DirTestSupport.h"
#include "platform/Env.h"
#include "platform/Format.h"
#include "support/TempFolder.h"

namespace {

// Opens the last volume of a split set the way the open sequence does and
// loads the directory, switching volumes as it goes.
struct TSplitFixture {
  TLoadArchiver Archiver;
  std::unique_ptr<TCVDirManager> Manager;

  explicit TSplitFixture(const std::string& LastVolume, bool AdvancedNaming = true) {
    Archiver.SetFileName(LastVolume);
    Archiver.SpanningOptions().AdvancedNaming = AdvancedNaming;
    Archiver.SetSpanningMode(smSplitting);
    Archiver.SetOpenDamaged(false);
    Archiver.SetArchiveOpenMode(fmOpenRead | fmShareDenyNone);
    TCVVolumeNumberInfo Last;
    Last.SetLast(true);
    Archiver.OpenVolume(Last);
    Manager = std::make_unique<TCVDirManager>(Archiver);
  }
};

bool LocalHeaderAt(const std::string& Volume, int64_t Offset) {
  auto S = FileSystem().OpenFile(Volume, fmOpenRead | fmShareDenyNone);
  uint8_t Sig[4] = {};
  S->SetPosition(Offset);
  return S->Read(Sig, 4) == 4 && GetLE32(Sig) == TLocalFileHeader::SignatureValue;
}

// Where an offset of the volumes laid end to end lies: volume and offset in it.
std::pair<uint32_t, int64_t> Locate(const ZipLayout& L, int64_t Absolute) {
  uint32_t V = 0;
  while (V + 1 < L.VolumeSizes.size() && Absolute >= L.VolumeSizes[V]) Absolute -= L.VolumeSizes[V++];
  return {V, Absolute};
}

TEST(LoadDirectory, CentralDirectoryAcrossVolumes) {
  TTempFolder Folder;
  ZipBuilder Plain;
  ZipBuilder Zip64;
  for (ZipBuilder* B : {&Plain, &Zip64}) {
    for (int I = 0; I < 12; ++I)
      B->Add(Format("entry%.2d.txt", I), std::string(300, static_cast<char>('a' + I)));
    B->Split(400);
  }
  // Disk numbers of 0xFFFF in the end record: the ZIP64 records tell.
  Zip64.Zip64EndRecord(true);
  const struct {
    const char* Name;
    const ZipBuilder* Builder;
    TVolumeNaming Naming;
    bool AdvancedNaming;
  } Cases[] = {{"numbered", &Plain, vnNumbered, true},
               {"Z01", &Plain, vnZ01Upper, false},
               {"z01", &Plain, vnZ01Lower, false},
               {"ZIP64 records", &Zip64, vnNumbered, true}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const ZipLayout L = C.Builder->Layout();
    const uint32_t LastRecordVolume = Locate(L, L.Entries.back().CentralHeader).first;
    // The fixture is only worth its name when the directory does cross.
    ASSERT_LT(Locate(L, L.Entries.front().CentralHeader).first, LastRecordVolume);
    const std::vector<std::string> Paths =
        C.Builder->WriteVolumes(Folder / Format("set%d.zip", static_cast<int32_t>(&C - Cases)), C.Naming);

    TSplitFixture F(Paths.back(), C.AdvancedNaming);
    F.Manager->LoadDirectory();
    ASSERT_EQ(F.Manager->DirItems.Count(), 12);
    for (int32_t I = 0; I < 12; ++I) {
      const TDirItem& Item = F.Manager->DirItems.ItemPtr(I);
      SCOPED_TRACE(Item.FileName);
      EXPECT_EQ(Item.FileName, Format("entry%.2d.txt", I));
      const auto [Disk, Offset] = Locate(L, L.Entries[I].LocalHeader);
      EXPECT_EQ(Item.EffectiveDiskNumberStart(), Disk);
      EXPECT_EQ(Item.EffectiveLocalHeaderOffset(), Offset);
    }
    EXPECT_EQ(F.Manager->DataStart, 0);
    // Reading ended on the volume holding the last record.
    EXPECT_EQ(F.Archiver.CurrentVolume().Number, static_cast<int32_t>(LastRecordVolume));
  }
}

// Split sets written by Info-ZIP and WinRAR: every item points at a local
// header on its own volume.
TEST(LoadDirectory, CorpusSplitSetsLoadAcrossVolumes) {
  for (const char* Base :
       {"commons-compress-split_zip_created_by_zip", "commons-compress-split_zip_created_by_zip_zip64",
        "commons-compress-split_zip_created_by_winrar"}) {
    SCOPED_TRACE(Base);
    const std::string Prefix = std::string(SALVOR_CORPUS_DIR) + "/" + Base;
    if (!std::filesystem::exists(Prefix + ".zip")) GTEST_SKIP() << "no corpus";
    TSplitFixture F(Prefix + ".zip");
    F.Manager->LoadDirectory();
    const int32_t Last = F.Manager->IsZip64 ? static_cast<int32_t>(F.Manager->Zip64Locator.TotalDisks) - 1
                                            : F.Manager->EndRecord.DiskNumber;
    ASSERT_GT(Last, 0);
    ASSERT_GT(F.Manager->DirItems.Count(), 0);
    for (int32_t I = 0; I < F.Manager->DirItems.Count(); ++I) {
      const TDirItem& Item = F.Manager->DirItems.ItemPtr(I);
      SCOPED_TRACE(Item.FileName);
      const int32_t Disk = static_cast<int32_t>(Item.EffectiveDiskNumberStart());
      ASSERT_LE(Disk, Last);
      const std::string Volume = Disk == Last ? Prefix + ".zip" : Prefix + Format(".z%.2d", Disk + 1);
      EXPECT_TRUE(LocalHeaderAt(Volume, Item.EffectiveLocalHeaderOffset()));
    }
  }
}

}  // namespace
