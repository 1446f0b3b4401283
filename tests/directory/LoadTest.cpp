#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "directory/DirTestSupport.h"

namespace {

constexpr uint32_t LocalSig = TLocalFileHeader::SignatureValue;
constexpr uint32_t CentralSig = TCentralFileHeader::SignatureValue;

// The local-header signature lies at every non-folder item's offset.
void ExpectOffsetsHitHeaders(TLoadFixture& F, const TBytes& Image) {
  for (int32_t I = 0; I < F.Items().Count(); ++I) {
    const TDirItem& Item = F.Item(I);
    if (Item.ExternalAttr & 0x10) continue;
    SCOPED_TRACE(Item.FileName);
    const int64_t At = Item.EffectiveLocalHeaderOffset();
    ASSERT_GE(At, 0);
    ASSERT_LE(At + 4, static_cast<int64_t>(Image.size()));
    EXPECT_EQ(GetLE32(Image.data() + At), LocalSig);
  }
}

TEST(LoadDirectory, ReadsEveryCentralRecord) {
  ZipBuilder B;
  B.Add("a.txt", "alpha alpha alpha").Deflated();
  B.Add("dir/");
  B.Add("dir/b.bin", std::string(300, 'b')).Comment("entry note");
  B.Comment("archive note");
  const ZipLayout L = B.Layout();
  const TBytes Image = B.Build();

  TLoadFixture F(Image, false);
  F.Manager->LoadDirectory();
  ASSERT_EQ(F.Items().Count(), 3);
  const char* Names[] = {"a.txt", "dir/", "dir/b.bin"};
  for (int32_t I = 0; I < 3; ++I) {
    SCOPED_TRACE(Names[I]);
    const TDirItem& Item = F.Item(I);
    EXPECT_EQ(Item.Signature, CentralSig);
    EXPECT_EQ(Item.FileName, Names[I]);
    EXPECT_EQ(Item.Crc32, L.Entries[I].Crc32);
    EXPECT_EQ(Item.EffectiveCompressedSize(), static_cast<int64_t>(L.Entries[I].CompressedSize));
    EXPECT_EQ(Item.EffectiveUncompressedSize(), static_cast<int64_t>(L.Entries[I].UncompressedSize));
    EXPECT_EQ(Item.EffectiveLocalHeaderOffset(), L.Entries[I].LocalHeader);
  }
  EXPECT_EQ(F.Item(2).Comment, "entry note");
  EXPECT_EQ(F.Manager->ArchiveComment, "archive note");
  EXPECT_EQ(F.Manager->EndRecord.TotalEntries, 3);
  EXPECT_FALSE(F.Manager->IsZip64);
  EXPECT_EQ(F.Manager->DataStart, 0);
}

TEST(LoadDirectory, EmptyArchiveStartsItsDataAtTheEndRecord) {
  ZipBuilder B;
  B.Comment("nothing here");
  TLoadFixture F(B.Build(), false);
  F.Manager->LoadDirectory();
  EXPECT_EQ(F.Items().Count(), 0);
  EXPECT_EQ(F.Manager->DataStart, B.Layout().EndRecord);
}

// The ZIP64 end record then starts the file, 56 bytes before the locator.
TEST(LoadDirectory, EmptyZip64ArchiveLoads) {
  ZipBuilder B;
  B.Zip64EndRecord(true);
  ASSERT_EQ(B.Layout().Zip64EndRecord, 0);
  TLoadFixture F(B.Build(), false);
  F.Manager->LoadDirectory();
  EXPECT_TRUE(F.Manager->IsZip64);
  EXPECT_EQ(F.Items().Count(), 0);
  EXPECT_EQ(F.Manager->DataStart, 0);
}

// A valid end record is believed: no rebuild, even with OpenDamaged.
TEST(LoadDirectory, EndRecordSayingNoEntriesLoadsEmpty) {
  ZipBuilder B;
  B.Add("a.txt", "alpha");
  B.Add("b.txt", "beta");
  const int64_t End = B.Layout().EndRecord;
  B.SetLE16(End + 8, 0).SetLE16(End + 10, 0);
  for (bool OpenDamaged : {false, true}) {
    SCOPED_TRACE(OpenDamaged ? "OpenDamaged" : "strict");
    TLoadFixture F(B.Build(), OpenDamaged);
    F.Manager->LoadDirectory();
    EXPECT_EQ(F.Items().Count(), 0);
    EXPECT_EQ(F.Manager->DataStart, End);
  }
}

struct TPrefixCase {
  const char* Name;
  std::function<void(ZipBuilder&)> Make;
  int64_t DataStart;
};

// Each archive's offsets must end up pointing at the real local headers.
const TPrefixCase PrefixCases[] = {
    {"no prefix",
     [](ZipBuilder& B) {
       B.Add("a.txt", "alpha");
       B.Add("b.txt", "beta");
     },
     0},
    {"1000-byte prefix the offsets ignore",
     [](ZipBuilder& B) {
       B.Prefix(std::string(1000, 'S'), false);
       B.Add("a.txt", "alpha");
       B.Add("b.txt", "beta").Deflated();
     },
     1000},
    {"1000-byte prefix the offsets count",
     [](ZipBuilder& B) {
       B.Prefix(std::string(1000, 'S'), true);
       B.Add("a.txt", "alpha");
       B.Add("b.txt", "beta").Deflated();
     },
     1000},
    {"prefix holding a false local-header signature",
     [](ZipBuilder& B) {
       B.Prefix(std::string("stub PK\x03\x04 stub", 15) + std::string(40, 'S'), false);
       B.Add("a.txt", "alpha");
       B.Add("b.txt", "beta");
     },
     55},
    // The first entry with data lies beyond the prefix's length, so a test
    // of that entry's offset against DataStart alone cannot see the prefix.
    {"folder first behind a small prefix the offsets ignore",
     [](ZipBuilder& B) {
       B.Prefix("20 bytes of a stub..", false);
       B.Add("dir/");
       B.Add("dir/f.txt", "file data");
       B.Add("g.txt", "more data").Deflated();
     },
     20},
    {"first entry with a data descriptor",
     [](ZipBuilder& B) {
       B.Add("a.txt", "alpha").DataDescriptor();
       B.Add("b.txt", "beta");
     },
     0},
    // No local header matches item 0's sizes; the directory's displacement
    // still shows the prefix.
    {"first entry with a data descriptor behind a prefix the offsets ignore",
     [](ZipBuilder& B) {
       B.Prefix(std::string(1000, 'S'), false);
       B.Add("a.txt", "alpha").DataDescriptor();
       B.Add("b.txt", "beta");
     },
     1000},
    {"every entry with a data descriptor behind a prefix the offsets count",
     [](ZipBuilder& B) {
       B.Prefix(std::string(1000, 'S'), true);
       B.Add("a.txt", "alpha").DataDescriptor();
       B.Add("b.txt", "beta").DataDescriptor();
     },
     0},
};

TEST(LoadDirectory, CorrectsOffsetsBehindAPrefix) {
  for (const TPrefixCase& C : PrefixCases) {
    SCOPED_TRACE(C.Name);
    ZipBuilder B;
    C.Make(B);
    const TBytes Image = B.Build();
    const ZipLayout L = B.Layout();
    TLoadFixture F(Image, false);
    F.Manager->LoadDirectory();
    EXPECT_EQ(F.Manager->DataStart, C.DataStart);
    ASSERT_EQ(F.Items().Count(), static_cast<int32_t>(L.Entries.size()));
    for (int32_t I = 0; I < F.Items().Count(); ++I) {
      if (F.Item(I).ExternalAttr & 0x10) continue;
      EXPECT_EQ(F.Item(I).EffectiveLocalHeaderOffset(), L.Entries[I].LocalHeader) << F.Item(I).FileName;
    }
    ExpectOffsetsHitHeaders(F, Image);
  }
}

TEST(LoadDirectory, FolderItemsKeepTheirStoredOffset) {
  ZipBuilder B;
  B.Prefix(std::string(64, 'S'), false);
  B.Add("a.txt", "alpha");
  B.Add("dir/");
  const ZipLayout L = B.Layout();
  TLoadFixture F(B.Build(), false);
  F.Manager->LoadDirectory();
  ASSERT_EQ(F.Items().Count(), 2);
  EXPECT_EQ(F.Item(0).EffectiveLocalHeaderOffset(), L.Entries[0].LocalHeader);
  EXPECT_EQ(F.Item(1).EffectiveLocalHeaderOffset(), L.Entries[1].LocalHeader - 64);
}

TEST(ShiftLocalOffsets, MovesSumsPast32BitsBehindTheMarker) {
  struct {
    uint32_t Stored;
    int64_t Amount;
    bool Marked;
    int64_t Effective;
  } const Cases[] = {
      {100, 1000, false, 1100},
      {0xFFFFFFFD, 1, false, 0xFFFFFFFE},
      {0xFFFFFFFE, 1, true, 0xFFFFFFFF},
      {0xFFFFFF00, 0x200, true, 0x100000100},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Stored);
    TLoadFixture F(TBytes(), false);
    F.Items().SetCount(2);
    F.Items().ItemPtr(0).LocalHeaderOffset = C.Stored;
    F.Items().ItemPtr(1).LocalHeaderOffset = 5;
    F.Items().ItemPtr(1).ExternalAttr = 0x10;
    F.Manager->ShiftLocalOffsets(C.Amount);
    EXPECT_EQ(F.Item(0).LocalHeaderOffset == Zip64Marker32, C.Marked);
    EXPECT_EQ(F.Item(0).EffectiveLocalHeaderOffset(), C.Effective);
    EXPECT_EQ(F.Item(1).EffectiveLocalHeaderOffset(), 5);
  }
}

TEST(LoadDirectory, Zip64RecordsGiveCountsAndVolumes) {
  ZipBuilder B;
  B.Add("a.txt", "alpha").Zip64();
  B.Add("b.txt", "beta").Deflated();
  B.Zip64EndRecord(true);
  const ZipLayout L = B.Layout();
  const TBytes Image = B.Build();
  TLoadFixture F(Image, false);
  F.Manager->LoadDirectory();
  EXPECT_TRUE(F.Manager->IsZip64);
  EXPECT_EQ(F.Manager->EndRecord.TotalEntries, 0xFFFF);
  EXPECT_EQ(F.Manager->Zip64EndRecord.TotalEntries, 2u);
  ASSERT_EQ(F.Items().Count(), 2);
  EXPECT_EQ(F.Item(0).FileName, "a.txt");
  EXPECT_EQ(F.Item(0).LocalHeaderOffset, Zip64Marker32);
  EXPECT_EQ(F.Item(0).EffectiveLocalHeaderOffset(), L.Entries[0].LocalHeader);
  EXPECT_EQ(F.Item(1).EffectiveLocalHeaderOffset(), L.Entries[1].LocalHeader);
  ExpectOffsetsHitHeaders(F, Image);
}

// The last volume comes from the locator; only a single-volume archive has
// its first header searched for. A count of 0 disks means one.
TEST(LoadDirectory, LocatorDiskCountDecidesTheHeaderSearch) {
  struct {
    uint32_t TotalDisks;
    int64_t DataStart;
  } const Cases[] = {{0, 100}, {1, 100}, {2, 0}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.TotalDisks);
    ZipBuilder B;
    B.Prefix(std::string(100, 'S'), true);
    B.Add("a.txt", "alpha");
    B.Zip64EndRecord(true);
    B.SetLE32(B.Layout().Zip64Locator + 16, C.TotalDisks);
    TLoadFixture F(B.Build(), false);
    F.Manager->LoadDirectory();
    EXPECT_EQ(F.Items().Count(), 1);
    EXPECT_EQ(F.Manager->DataStart, C.DataStart);
  }
}

// A count the directory's bytes cannot hold never sizes the array.
TEST(LoadDirectory, EntryCountIsBoundedByTheDirectorySize) {
  ZipBuilder B;
  B.Add("a.txt", "alpha");
  B.Add("b.txt", "beta");
  B.Zip64EndRecord(true);
  const ZipLayout L = B.Layout();
  B.SetLE32(L.Zip64EndRecord + 24, 0x7FFFFFFF).SetLE32(L.Zip64EndRecord + 32, 0x7FFFFFFF);
  TLoadFixture F(B.Build(), false);
  F.Manager->LoadDirectory();
  EXPECT_EQ(F.Items().Count(), 2);
  EXPECT_LE(F.Items().Capacity(), 1000);
  EXPECT_EQ(F.Item(1).FileName, "b.txt");
}

// The high half of a ZIP64 count is not looked at: 0x100000002 reads two
// records, and is no reason to rebuild.
TEST(LoadDirectory, Zip64CountTakesItsLow32Bits) {
  ZipBuilder B;
  B.Add("a.txt", "alpha");
  B.Add("b.txt", "beta");
  B.Zip64EndRecord(true);
  B.SetLE32(B.Layout().Zip64EndRecord + 36, 1);
  for (bool OpenDamaged : {false, true}) {
    SCOPED_TRACE(OpenDamaged ? "OpenDamaged" : "strict");
    TLoadFixture F(B.Build(), OpenDamaged);
    F.Manager->LoadDirectory();
    ASSERT_EQ(F.Items().Count(), 2);
    EXPECT_EQ(F.Item(1).Signature, CentralSig);
  }
}

enum TStrictOutcome : uint8_t { soLoads = 0, soCode40 = 1, soReadError = 2 };

struct TBrokenCase {
  const char* Name;
  std::function<void(ZipBuilder&, const ZipLayout&)> Damage;
  TStrictOutcome Strict;
  // soLoads: the items taken as they are, and the one without a signature.
  int32_t Count = 0;
  int32_t Unsigned = 0;
};

std::string LongName(char C) { return std::string(30, C) + ".txt"; }

const TBrokenCase BrokenCases[] = {
    {"ZIP64 end record with a wrong signature",
     [](ZipBuilder& B, const ZipLayout& L) { B.Corrupt(L.Zip64EndRecord, 1); }, soCode40},
    {"ZIP64 locator pointing past the file",
     [](ZipBuilder& B, const ZipLayout& L) { B.SetLE32(L.Zip64Locator + 12, 0x7000); }, soCode40},
    {"directory that would start before the file",
     [](ZipBuilder& B, const ZipLayout& L) { B.SetLE32(L.Zip64EndRecord + 40, 0x100000); }, soReadError},
    {"record without the central signature",
     [](ZipBuilder& B, const ZipLayout& L) { B.Corrupt(L.Entries[0].CentralHeader, 1); }, soLoads, 2, 0},
    {"comment length running past the end of the file",
     [](ZipBuilder& B, const ZipLayout& L) { B.SetLE16(L.Entries[1].CentralHeader + 32, 4000); },
     soReadError},
    {"count larger than the records present",
     [](ZipBuilder& B, const ZipLayout& L) { B.SetLE32(L.Zip64EndRecord + 32, 3); }, soLoads, 3, 2},
};

// Without OpenDamaged the errors of a stored directory stand; with it a
// single-file archive is rebuilt from its local headers.
TEST(LoadDirectory, UnreadableDirectoryFailsOrIsRebuilt) {
  for (const TBrokenCase& C : BrokenCases) {
    SCOPED_TRACE(C.Name);
    ZipBuilder B;
    B.Add(LongName('a'), "alpha");
    B.Add(LongName('b'), "beta").Deflated();
    B.Zip64EndRecord(true);
    C.Damage(B, B.Layout());
    const TBytes Image = B.Build();
    {
      TLoadFixture F(Image, false);
      switch (C.Strict) {
        case soLoads:
          F.Manager->LoadDirectory();
          ASSERT_EQ(F.Items().Count(), C.Count);
          EXPECT_NE(F.Item(C.Unsigned).Signature, CentralSig);
          break;
        case soCode40:
          EXPECT_EQ(NativeErrorOf([&] { F.Manager->LoadDirectory(); }), 40);
          break;
        case soReadError:
          EXPECT_THROW(F.Manager->LoadDirectory(), EReadError);
          break;
      }
    }
    TLoadFixture F(Image, true);
    F.Manager->LoadDirectory();
    ASSERT_EQ(F.Items().Count(), 2);
    EXPECT_EQ(F.Item(0).Signature, LocalSig);
    EXPECT_EQ(F.Item(0).FileName, LongName('a'));
    EXPECT_EQ(F.Item(1).FileName, LongName('b'));
    EXPECT_FALSE(F.Manager->IsZip64);
    EXPECT_EQ(F.Manager->DataStart, 0);
    EXPECT_EQ(F.Manager->ArchiveComment, "");
    EXPECT_EQ(F.Manager->EndRecord.TotalEntries, 0);
    ExpectOffsetsHitHeaders(F, Image);
  }
}

// The stream's own error ends a strict load, and the items read before it
// stay.
TEST(LoadDirectory, StreamEndingInsideTheDirectoryKeepsItemsRead) {
  ZipBuilder B;
  B.Add(LongName('a'), "alpha");
  B.Add(LongName('b'), "beta");
  const int64_t End = B.Layout().EndRecord;
  B.SetLE16(End + 8, 3).SetLE16(End + 10, 3);
  TLoadFixture F(B.Build(), false);
  EXPECT_THROW(F.Manager->LoadDirectory(), EReadError);
  ASSERT_EQ(F.Items().Count(), 3);
  EXPECT_EQ(F.Item(0).FileName, LongName('a'));
  EXPECT_EQ(F.Item(1).FileName, LongName('b'));
}

TEST(LoadDirectory, MissingEndRecordOfASplitArchiveIsCode44) {
  ZipBuilder B;
  B.Add("a.txt", "alpha");
  B.Append("x");
  TLoadFixture F(B.Build(), true);
  F.Archiver.SetSpanningMode(smSplitting);
  EXPECT_EQ(NativeErrorOf([&] { F.Manager->LoadDirectory(); }), 44);
}

}  // namespace
