#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "directory/DirTestSupport.h"
#include "platform/Env.h"
#include "support/TempFolder.h"

namespace {

constexpr uint32_t LocalSig = TLocalFileHeader::SignatureValue;

struct TExpected {
  std::string Name;
  uint32_t Attr;
};

void ExpectNames(TLoadFixture& F, const std::vector<TExpected>& Expected) {
  ASSERT_EQ(F.Items().Count(), static_cast<int32_t>(Expected.size()));
  for (size_t I = 0; I < Expected.size(); ++I) {
    SCOPED_TRACE(Expected[I].Name);
    EXPECT_EQ(F.Item(static_cast<int32_t>(I)).FileName, Expected[I].Name);
    EXPECT_EQ(F.Item(static_cast<int32_t>(I)).ExternalAttr, Expected[I].Attr);
  }
}

// Four entries, the kinds a rebuild must tell apart.
void AddMixedEntries(ZipBuilder& B) {
  B.Add("a.txt", "alpha alpha alpha").Deflated().Time(2020, 5, 17, 10, 30, 42);
  B.Add("dir/");
  B.Add("dir/b.bin", std::string(500, 'b')).Comment("dropped");
  B.Add("empty.txt", "");
}

const std::vector<TExpected> MixedNames = {
    {"a.txt", 0x20}, {"dir/", 0x10}, {"dir/b.bin", 0x20}, {"empty.txt", 0x20}};

struct TDamageCase {
  const char* Name;
  std::function<void(ZipBuilder&, const ZipLayout&)> Damage;
};

const TDamageCase DamageCases[] = {
    {"one byte appended", [](ZipBuilder& B, const ZipLayout&) { B.Append("x"); }},
    {"cut inside the directory",
     [](ZipBuilder& B, const ZipLayout& L) { B.Truncate(L.Entries[2].CentralHeader + 10); }},
    {"no directory at all",
     [](ZipBuilder& B, const ZipLayout&) { B.OmitCentralDirectory().OmitEndRecord(); }},
};

TEST(RebuildDirectory, ItemsComeFromTheLocalHeaders) {
  for (const TDamageCase& C : DamageCases) {
    SCOPED_TRACE(C.Name);
    ZipBuilder B;
    AddMixedEntries(B);
    B.Comment("archive comment");
    const ZipLayout L = B.Layout();
    C.Damage(B, L);
    TLoadFixture F(B.Build(), true);
    ASSERT_TRUE(F.Manager->IsValidArchive());
    F.Manager->LoadDirectory();
    ExpectNames(F, MixedNames);
    for (int32_t I = 0; I < F.Items().Count(); ++I) {
      const TDirItem& Item = F.Item(I);
      SCOPED_TRACE(Item.FileName);
      EXPECT_EQ(Item.Signature, LocalSig);
      EXPECT_EQ(Item.VersionMadeBy, Item.VersionNeeded);
      EXPECT_EQ(Item.Crc32, L.Entries[I].Crc32);
      EXPECT_EQ(Item.CompressedSize, L.Entries[I].CompressedSize);
      EXPECT_EQ(Item.UncompressedSize, L.Entries[I].UncompressedSize);
      EXPECT_EQ(Item.EffectiveLocalHeaderOffset(), L.Entries[I].LocalHeader);
      EXPECT_EQ(Item.Comment, "");
      EXPECT_EQ(Item.CommentLength, 0);
      EXPECT_FALSE(Item.SizesUnknown);
    }
    EXPECT_EQ(F.Item(0).Method, 8);
    EXPECT_EQ(F.Item(0).ModDate, DosDate(2020, 5, 17));
    EXPECT_EQ(F.Item(0).ModTime, DosTimeOfDay(10, 30, 42));
    EXPECT_EQ(F.Manager->EndRecord.Signature, TEndRecord::SignatureValue);
    EXPECT_EQ(F.Manager->EndRecord.TotalEntries, 0);
    EXPECT_EQ(F.Manager->ArchiveComment, "");
    EXPECT_EQ(F.Manager->DataStart, 0);
    EXPECT_FALSE(F.Manager->IsZip64);
  }
}

// A local header: signature, then the fields from VersionNeeded on.
std::string LocalHeader(uint32_t CompressedSize, uint16_t ExtraLength, const std::string& Name,
                        uint16_t Flags = 0) {
  TBytes H(30, 0);
  PutLE32(H.data(), LocalSig);
  PutLE16(H.data() + 4, 20);
  PutLE16(H.data() + 6, Flags);
  PutLE32(H.data() + 18, CompressedSize);
  PutLE32(H.data() + 22, CompressedSize);
  PutLE16(H.data() + 26, static_cast<uint16_t>(Name.size()));
  PutLE16(H.data() + 28, ExtraLength);
  return std::string(H.begin(), H.end()) + Name;
}

// "first" at 0, "second" at 100, the file 400 bytes long.
std::string TwoHeaders(uint32_t FirstCompressedSize, uint16_t FirstExtraLength) {
  std::string File = LocalHeader(FirstCompressedSize, FirstExtraLength, "first");
  File.resize(100, '.');
  File += LocalHeader(5, 0, "second");
  File.resize(400, '.');
  return File;
}

TEST(RebuildDirectory, HeadersFailingTheAcceptanceTestsAreSkipped) {
  struct {
    const char* Name;
    std::string File;
    std::vector<std::string> Names;
  } const Cases[] = {
      {"compressed size one below the file size", TwoHeaders(399, 0), {"first", "second"}},
      {"compressed size equal to the file size", TwoHeaders(400, 0), {"second"}},
      {"extra length 260", TwoHeaders(5, 260), {"first", "second"}},
      {"extra length 261", TwoHeaders(5, 261), {"second"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TLoadFixture F(ToBytes(C.File), true);
    F.Manager->LoadDirectory();
    ASSERT_EQ(F.Items().Count(), static_cast<int32_t>(C.Names.size()));
    for (size_t I = 0; I < C.Names.size(); ++I)
      EXPECT_EQ(F.Item(static_cast<int32_t>(I)).FileName, C.Names[I]);
  }
}

TEST(RebuildDirectory, NoHeaderWith30BytesBehindItIsCode35) {
  const std::string Sig("PK\x03\x04", 4);
  struct {
    const char* Name;
    std::string File;
    int32_t NativeError;
  } const Cases[] = {
      {"no signature", std::string(5000, 'z'), 35},
      {"signature in the last 29 bytes", std::string(100, 'z') + Sig + std::string(25, '\0'), 35},
      {"signature with 30 bytes behind it", std::string(100, 'z') + Sig + std::string(26, '\0'), -1},
      {"empty file", "", 35},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TLoadFixture F(ToBytes(C.File), true);
    EXPECT_EQ(NativeErrorOf([&] { F.Manager->LoadDirectory(); }), C.NativeError);
  }
}

TEST(RebuildDirectory, NameRunningPastTheEndLeavesTheItemNameless) {
  std::string File = LocalHeader(0, 0, "") + std::string(10, '.');
  PutLE16(reinterpret_cast<uint8_t*>(File.data()) + 26, 11);
  TLoadFixture F(ToBytes(File), true);
  F.Manager->LoadDirectory();
  ExpectNames(F, {{"", 0x20}});
}

TEST(RebuildDirectory, LongNamesAndBackslashesAreDecoded) {
  const std::string Long(300, 'n');
  ZipBuilder B;
  B.Add(Long, "x");
  B.Add("win\\path\\file.txt", "y");
  B.OmitCentralDirectory().OmitEndRecord();
  TLoadFixture F(B.Build(), true);
  F.Manager->LoadDirectory();
  ExpectNames(F, {{Long, 0x20}, {"win/path/file.txt", 0x20}});
}

// An entry is a folder exactly when its name ends in "/".
TEST(RebuildDirectory, FolderExactlyWhenTheNameEndsInSlash) {
  ZipBuilder B;
  B.Add("zero.txt", "");
  B.Add("streamed/").DataDescriptor();
  B.Add("streamed.txt", "").DataDescriptor();
  B.Add("plain/");
  B.OmitCentralDirectory().OmitEndRecord();
  TLoadFixture F(B.Build(), true);
  F.Manager->LoadDirectory();
  ExpectNames(F, {{"zero.txt", 0x20}, {"streamed/", 0x10}, {"streamed.txt", 0x20}, {"plain/", 0x10}});
}

struct TDescriptorCase {
  const char* Name;
  // Which entries of a, b, c, d lose their descriptor's signature; which
  // have no descriptor at all.
  std::vector<size_t> Broken;
  std::vector<size_t> Without;
  // Per entry: whose sizes it gets (-1: its local zeros, sizes unknown).
  std::vector<int> SizesFrom;
};

const TDescriptorCase DescriptorCases[] = {
    {"every descriptor found", {}, {}, {0, 1, 2, 3}},
    {"own descriptor missing: the next one is taken", {1}, {}, {0, 2, 2, 3}},
    {"a run of missing descriptors", {0, 1}, {}, {2, 2, 2, 3}},
    {"no descriptor after the last ones", {2, 3}, {}, {0, 1, -1, -1}},
    {"entries without bit 3 keep their own sizes", {0}, {1, 3}, {2, 1, 2, 3}},
};

TEST(RebuildDirectory, SizesFromDataDescriptors) {
  for (const TDescriptorCase& C : DescriptorCases) {
    SCOPED_TRACE(C.Name);
    ZipBuilder B;
    const char* Names[] = {"a.txt", "b.txt", "c.txt", "d.txt"};
    for (size_t I = 0; I < 4; ++I) {
      ZipEntry& E = B.Add(Names[I], std::string(10 + 7 * I, static_cast<char>('a' + I))).Deflated(0);
      if (std::find(C.Without.begin(), C.Without.end(), I) == C.Without.end()) E.DataDescriptor();
    }
    B.OmitCentralDirectory().OmitEndRecord();
    const ZipLayout L = B.Layout();
    for (size_t I : C.Broken) B.Corrupt(L.Entries[I].Descriptor, 1);
    TLoadFixture F(B.Build(), true);
    F.Manager->LoadDirectory();
    ASSERT_EQ(F.Items().Count(), 4);
    for (size_t I = 0; I < 4; ++I) {
      SCOPED_TRACE(Names[I]);
      const TDirItem& Item = F.Item(static_cast<int32_t>(I));
      const int From = C.SizesFrom[I];
      EXPECT_EQ(Item.SizesUnknown, From < 0);
      EXPECT_EQ(Item.CompressedSize, From < 0 ? 0 : L.Entries[From].CompressedSize);
      EXPECT_EQ(Item.UncompressedSize, From < 0 ? 0 : L.Entries[From].UncompressedSize);
      EXPECT_EQ(Item.Crc32, From < 0 ? 0 : L.Entries[From].Crc32);
      EXPECT_EQ(Item.ExternalAttr, 0x20u);
    }
  }
}

TEST(FindDataDescriptor, NeedsSixteenBytesFromItsSignature) {
  const std::string Sig("PK\x07\x08", 4);
  for (size_t After : {10u, 11u, 12u, 20u}) {
    SCOPED_TRACE(After);
    std::string File =
        std::string(40, 'z') + Sig + std::string("\x11\x22\x33\x44\x05\x00\x00\x00\x06\x00\x00\x00", 12);
    File.resize(44 + After);
    TLoadFixture F(ToBytes(File), true);
    TDataDescriptor D;
    const bool Found = F.Manager->FindDataDescriptor(3, D);
    EXPECT_EQ(Found, After >= 12);
    if (Found) {
      EXPECT_EQ(D.Crc32, 0x44332211u);
      EXPECT_EQ(D.CompressedSize, 5u);
      EXPECT_EQ(D.UncompressedSize, 6u);
    }
  }
}

TEST(FindLocalHeader, FirstSignatureAtOrAfterTheStart) {
  const std::string Sig("PK\x03\x04", 4);
  // Signatures at 10 and 100; 200 bytes in all.
  std::string File = std::string(10, 'z') + Sig + std::string(86, 'z') + Sig;
  File.resize(200, 'z');
  struct {
    int64_t Start;
    int64_t Found;
  } const Cases[] = {{0, 10}, {10, 10}, {11, 100}, {100, 100}, {101, -1}, {500, -1}};
  TLoadFixture F(ToBytes(File), true);
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Start);
    F.Manager->Stream->SetPosition(33);
    EXPECT_EQ(F.Manager->FindLocalHeader(C.Start), C.Found);
    EXPECT_EQ(F.Manager->Stream->Position(), 33);
  }
}

TEST(RebuildDirectory, StoredInnerArchiveAddsItsOwnEntries) {
  ZipBuilder Inner;
  Inner.Add("in1.txt", "one");
  Inner.Add("in2.txt", "two");
  ZipBuilder B;
  B.Add("inner.zip", Inner.Build());
  B.Add("after.txt", "after");
  B.Append("x");
  TLoadFixture F(B.Build(), true);
  F.Manager->LoadDirectory();
  ExpectNames(F, {{"inner.zip", 0x20}, {"in1.txt", 0x20}, {"in2.txt", 0x20}, {"after.txt", 0x20}});
}

TEST(RebuildDirectory, TruncatedLastEntryKeepsItsRecordedSize) {
  // The file still holds more bytes than the entry claims, so its header
  // passes the size test.
  ZipBuilder B;
  B.Add("a.txt", std::string(10000, 'a'));
  B.Add("big.bin", std::string(5000, 'q'));
  const ZipLayout L = B.Layout();
  B.Truncate(L.Entries[1].Data + 100);
  TLoadFixture F(B.Build(), true);
  F.Manager->LoadDirectory();
  ASSERT_EQ(F.Items().Count(), 2);
  EXPECT_EQ(F.Item(1).CompressedSize, 5000u);
}

// A header beyond 4 GiB keeps its whole offset. The file is sparse.
TEST(RebuildDirectory, OffsetPast4GiBIsKeptWhole) {
  TTempFolder Folder;
  const std::string Path = Folder / "large.zip";
  const int64_t High = (int64_t{1} << 32) + 4096;
  {
    auto S = FileSystem().OpenFile(Path, fmCreate);
    const std::string Low = LocalHeader(0, 0, "low.txt");
    S->WriteBuffer(Low.data(), static_cast<int64_t>(Low.size()));
    S->SetPosition(High);
    const std::string Far = LocalHeader(0, 0, "high.txt");
    S->WriteBuffer(Far.data(), static_cast<int64_t>(Far.size()));
  }
  TLoadFixture F(FileSystem().OpenFile(Path, fmOpenRead | fmShareDenyNone), true);
  F.Manager->LoadDirectory();
  ExpectNames(F, {{"low.txt", 0x20}, {"high.txt", 0x20}});
  EXPECT_EQ(F.Item(0).LocalHeaderOffset, 0u);
  EXPECT_EQ(F.Item(1).LocalHeaderOffset, Zip64Marker32);
  EXPECT_EQ(F.Item(1).LocalHeaderOffset64, High);
  EXPECT_TRUE(F.Item(1).HasZip64);
}

}  // namespace
