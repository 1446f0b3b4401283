#include <gtest/gtest.h>

#include <optional>

#include "directory/DirItem.h"
#include "platform/Exceptions.h"
#include "support/ZipBuilder.h"

namespace {

struct TNameCase {
  const char* Title;
  std::string Stored;
  uint16_t Flags;
  bool OEMFileNames;
  std::string Want;
};

TEST(DecodeStoredName, Table) {
  const std::string Long(300, 'n');
  const TNameCase Cases[] = {
      {"backslash becomes slash", "dir\\file.txt", 0, false, "dir/file.txt"},
      {"backslash becomes slash with OEM", "dir\\file.txt", 0, true, "dir/file.txt"},
      {"cut at the first zero byte", std::string("abc\0def\\x", 9), 0, false, "abc"},
      {"OEM off passes bytes through", "\x81" "ber\xE1.txt", 0, false, "\x81" "ber\xE1.txt"},
      {"OEM on converts CP437", "\x81" "ber\xE1.txt", 0, true, "\xC3\xBC" "ber\xC3\x9F.txt"},
      {"CP437 after a backslash", "a\\\x9C", 0, true, "a/\xC2\xA3"},
      {"valid multi-byte UTF-8 left as is", "gr\xC3\xBC\xC3\x9F" "e/\xE6\x97\xA5.txt", 0, true,
       "gr\xC3\xBC\xC3\x9F" "e/\xE6\x97\xA5.txt"},
      {"bit 11 leaves UTF-8 as is", "gr\xC3\xBC\xC3\x9F" "e.txt", 0x0800, true, "gr\xC3\xBC\xC3\x9F" "e.txt"},
      {"bit 11 wins even over bytes that are not UTF-8", "\x81" "ber", 0x0800, true, "\x81" "ber"},
      {"pure ASCII is the same either way", "plain/name.txt", 0, true, "plain/name.txt"},
      {"a name longer than 256 bytes is kept whole", Long, 0, true, Long},
  };
  for (const TNameCase& C : Cases) {
    SCOPED_TRACE(C.Title);
    EXPECT_EQ(DecodeStoredName(C.Stored, C.Flags, C.OEMFileNames), C.Want);
  }
}

TEST(DecodeStoredComment, CutTo256AndAtZeroWithoutConversion) {
  EXPECT_EQ(DecodeStoredComment(std::string(300, 'c')), std::string(256, 'c'));
  EXPECT_EQ(DecodeStoredComment(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(DecodeStoredComment("\x81\\"), "\x81\\");
  EXPECT_EQ(DecodeArchiveComment(std::string(1000, 'a') + std::string("\0b", 2)), std::string(1000, 'a'));
}

struct TExtraCase {
  const char* Title;
  std::string Extra;         // the declared field, all of it
  uint32_t Uncompressed;     // central fields: 0xFFFFFFFF / 0xFFFF mark ZIP64 values
  uint32_t Compressed;
  uint32_t Offset;
  uint16_t Disk;
  std::vector<std::pair<uint16_t, uint16_t>> Fields;  // HeaderId, DataSize
  bool HasZip64;
  int64_t Uncompressed64, Compressed64, Offset64;
  uint32_t Disk64;
};

std::string Le64(uint64_t V) {
  std::string S;
  for (int I = 0; I < 8; ++I) S += static_cast<char>(V >> (8 * I));
  return S;
}
std::string Zip64Sub(const std::string& Data) {
  return std::string("\x01\x00", 2) + static_cast<char>(Data.size()) + std::string(1, '\0') + Data;
}

constexpr uint32_t M32 = 0xFFFFFFFF;
constexpr uint16_t M16 = 0xFFFF;

TEST(ParseExtraField, Table) {
  const TExtraCase Cases[] = {
      {"ZIP64 holding only the offset", Zip64Sub(Le64(0x123456789)), 10, 20, M32, 0, {{1, 8}}, true, 0, 0,
       0x123456789, 0},
      {"all four values, in order", Zip64Sub(Le64(5000000000) + Le64(4000000000) + Le64(7) + std::string("\x03\x00\x00\x00", 4)),
       M32, M32, M32, M16, {{1, 28}}, true, 5000000000, 4000000000, 7, 3},
      {"a value that does not fit is not taken, nor any after it", Zip64Sub(Le64(11) + "\x01\x02\x03\x04"), M32,
       M32, M32, M16, {{1, 12}}, true, 11, 0, 0, 0},
      {"unmarked fields take nothing from the data", Zip64Sub(Le64(11) + Le64(22)), 10, 20, 30, 0, {{1, 16}},
       true, 0, 0, 0, 0},
      {"other sub-records kept in file order", std::string("\xFE\xCA\x03\x00" "abc", 7) + Zip64Sub(Le64(99)) +
                                                   std::string("\x55\x54\x01\x00" "z", 5),
       M32, 20, 30, 0, {{0xCAFE, 3}, {1, 8}, {0x5455, 1}}, true, 99, 0, 0, 0},
      {"declared 6, DataSize 100: cut to 2", std::string("\xFE\xCA\x64\x00" "ab", 6), 1, 2, 3, 0, {{0xCAFE, 2}},
       false, 0, 0, 0, 0},
      {"a header that runs past the field gets DataSize 0", std::string("\xFE\xCA\x00\x00\x34\x12", 6), 1, 2, 3, 0,
       {{0xCAFE, 0}, {0x1234, 0}}, false, 0, 0, 0, 0},
      {"a ZIP64 sub-record cut short takes what lies inside", std::string("\x01\x00\x10\x00", 4) + Le64(42), M32,
       M32, 3, 0, {{1, 8}}, true, 42, 0, 0, 0},
      {"no ZIP64 sub-record", std::string("\x0A\x00\x00\x00", 4), M32, M32, M32, M16, {{0x000A, 0}}, false, 0, 0,
       0, 0},
  };
  for (const TExtraCase& C : Cases) {
    SCOPED_TRACE(C.Title);
    TDirItem Item;
    Item.UncompressedSize = C.Uncompressed;
    Item.CompressedSize = C.Compressed;
    Item.LocalHeaderOffset = C.Offset;
    Item.DiskNumberStart = C.Disk;
    ParseExtraField(Item, reinterpret_cast<const uint8_t*>(C.Extra.data()), C.Extra.size());
    ASSERT_EQ(Item.ExtraFields.size(), C.Fields.size());
    for (size_t I = 0; I < C.Fields.size(); ++I) {
      EXPECT_EQ(Item.ExtraFields[I].HeaderId, C.Fields[I].first);
      EXPECT_EQ(Item.ExtraFields[I].DataSize, C.Fields[I].second);
      EXPECT_EQ(Item.ExtraFields[I].Data.size(), C.Fields[I].second);
    }
    EXPECT_EQ(Item.HasZip64, C.HasZip64);
    EXPECT_EQ(Item.UncompressedSize64, C.Uncompressed64);
    EXPECT_EQ(Item.CompressedSize64, C.Compressed64);
    EXPECT_EQ(Item.LocalHeaderOffset64, C.Offset64);
    EXPECT_EQ(Item.DiskNumberStart64, C.Disk64);
    // A sub-record's bytes are the ones that follow its header.
    if (!C.Fields.empty() && C.Fields[0].second > 0) {
      EXPECT_EQ(Item.ExtraFields[0].Data, TBytes(C.Extra.begin() + 4, C.Extra.begin() + 4 + C.Fields[0].second));
    }
  }
}

TEST(DirItem, EffectiveValues) {
  TDirItem Item;
  Item.CompressedSize = 100;
  Item.UncompressedSize = 200;
  Item.LocalHeaderOffset = 300;
  Item.DiskNumberStart = 2;
  Item.CompressedSize64 = 1;
  Item.UncompressedSize64 = 2;
  Item.LocalHeaderOffset64 = 3;
  Item.DiskNumberStart64 = 4;
  EXPECT_EQ(Item.EffectiveCompressedSize(), 100);
  EXPECT_EQ(Item.EffectiveUncompressedSize(), 200);
  EXPECT_EQ(Item.EffectiveLocalHeaderOffset(), 300);
  EXPECT_EQ(Item.EffectiveDiskNumberStart(), 2u);
  Item.CompressedSize = Item.UncompressedSize = Item.LocalHeaderOffset = M32;
  Item.DiskNumberStart = M16;
  EXPECT_EQ(Item.EffectiveCompressedSize(), 1);
  EXPECT_EQ(Item.EffectiveUncompressedSize(), 2);
  EXPECT_EQ(Item.EffectiveLocalHeaderOffset(), 3);
  EXPECT_EQ(Item.EffectiveDiskNumberStart(), 4u);

  // Storing an offset: the 32-bit field while it fits and is not marked.
  struct {
    uint32_t Before;
    int64_t Offset;
    uint32_t Field;
    int64_t Field64;
    bool HasZip64;
  } Sets[] = {
      {0, 1000, 1000, 0, false},
      {0, 0xFFFFFFFE, 0xFFFFFFFE, 0, false},
      {0, 0xFFFFFFFF, M32, 0xFFFFFFFF, true},
      {0, 0x100000010, M32, 0x100000010, true},
      {M32, 1000, M32, 1000, true},
  };
  for (const auto& S : Sets) {
    SCOPED_TRACE(S.Offset);
    TDirItem I;
    I.LocalHeaderOffset = S.Before;
    I.SetEffectiveLocalHeaderOffset(S.Offset);
    EXPECT_EQ(I.LocalHeaderOffset, S.Field);
    EXPECT_EQ(I.LocalHeaderOffset64, S.Field64);
    EXPECT_EQ(I.HasZip64, S.HasZip64);
    EXPECT_EQ(I.EffectiveLocalHeaderOffset(), S.Offset);
  }
}

std::unique_ptr<TMemoryStream> StreamAt(const TBytes& Bytes, int64_t Position) {
  auto S = std::make_unique<TMemoryStream>();
  S->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  S->SetPosition(Position);
  return S;
}

// Consecutive central records read in place: a long name is kept whole, a
// long comment cut to 256 bytes, a broken extra field consumes exactly its
// declared length; the next record still starts where it should.
TEST(ReadDirItem, ConsecutiveRecordsStayInPlace) {
  const std::string Name(300, 'n');
  ZipBuilder B;
  B.Add(Name, "data").Comment(std::string(300, 'c'));
  B.Add("dir\\second.txt", "two").CentralExtra(std::string("\xFE\xCA\x64\x00" "ab", 6)).Comment("after");
  B.Add("third.txt", "three").Zip64(z64Offset).Comment("last");
  ZipLayout L = B.Layout();
  auto S = StreamAt(B.Build(), L.CentralDirectory);

  TDirItem First, Second, Third;
  ReadDirItem(*S, First, true);
  EXPECT_EQ(First.FileName, Name);
  EXPECT_EQ(First.NameLength, 300);
  EXPECT_EQ(First.Comment, std::string(256, 'c'));
  EXPECT_EQ(First.CommentLength, 300);
  EXPECT_EQ(First.Crc32, L.Entries[0].Crc32);
  EXPECT_EQ(S->Position(), L.Entries[1].CentralHeader);

  ReadDirItem(*S, Second, true);
  EXPECT_EQ(Second.Signature, TCentralFileHeader::SignatureValue);
  EXPECT_EQ(Second.FileName, "dir/second.txt");
  ASSERT_EQ(Second.ExtraFields.size(), 1u);
  EXPECT_EQ(Second.ExtraFields[0].DataSize, 2);
  EXPECT_EQ(Second.Comment, "after");
  EXPECT_EQ(S->Position(), L.Entries[2].CentralHeader);

  ReadDirItem(*S, Third, true);
  EXPECT_EQ(Third.FileName, "third.txt");
  EXPECT_TRUE(Third.HasZip64);
  EXPECT_EQ(Third.LocalHeaderOffset, M32);
  EXPECT_EQ(Third.EffectiveLocalHeaderOffset(), L.Entries[2].LocalHeader);
  EXPECT_EQ(Third.Comment, "last");
  EXPECT_EQ(S->Position(), L.EndRecord);
}

// A record whose stream ends inside it raises the read error; a length that
// claims more than the stream holds is refused before anything is allocated.
TEST(ReadDirItem, CutShortRaisesReadError) {
  ZipBuilder B;
  B.Add("name.txt", "x").Extra(ExtraSubRecord(0xCAFE, "e")).Comment("comment");
  ZipLayout L = B.Layout();
  int64_t Central = L.Entries[0].CentralHeader;
  struct {
    const char* Title;
    int64_t CutAt;
    std::optional<uint16_t> NameLength;
  } Cases[] = {
      {"inside the fixed part", Central + 40, std::nullopt},
      {"inside the name", Central + 46 + 3, std::nullopt},
      {"inside the extra field", Central + 46 + 8 + 2, std::nullopt},
      {"inside the comment", Central + 46 + 8 + 5 + 6, std::nullopt},
      {"a name length of 65535", L.Size, 0xFFFF},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Title);
    ZipBuilder D;
    D.Add("name.txt", "x").Extra(ExtraSubRecord(0xCAFE, "e")).Comment("comment");
    if (C.NameLength) D.SetLE16(Central + 28, *C.NameLength);
    if (C.CutAt < L.Size) D.Truncate(C.CutAt);
    auto S = StreamAt(D.Build(), Central);
    TDirItem Item;
    EXPECT_THROW(ReadDirItem(*S, Item, false), EReadError);
  }
}

// In a ZIP64 archive split over volumes, an entry whose disk number is not
// marked keeps its own volume in the 64-bit field too, so nothing sends it to
// the first volume.
TEST(ReadDirItem, UnmarkedDiskNumberFillsTheZip64Value) {
  ZipBuilder B;
  B.Add("first.bin", std::string(70000, 'a'));
  B.Add("second.bin", "on the second volume").Zip64(z64Offset);
  B.Add("third.bin", "marked disk").Zip64(z64Offset | z64Disk);
  B.Zip64EndRecord().Split(65536);
  ZipLayout L = B.Layout();
  ASSERT_EQ(L.Entries[1].Disk, 1u);
  TBytes A = B.Build();
  struct {
    size_t Entry;
    uint16_t Field;
  } Cases[] = {{0, 0}, {1, 1}, {2, M16}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Entry);
    auto S = StreamAt(A, L.Entries[C.Entry].CentralHeader);
    TDirItem Item;
    ReadDirItem(*S, Item, false);
    EXPECT_EQ(Item.DiskNumberStart, C.Field);
    EXPECT_EQ(Item.DiskNumberStart64, L.Entries[C.Entry].Disk);
    EXPECT_EQ(Item.EffectiveDiskNumberStart(), L.Entries[C.Entry].Disk);
  }
}

}  // namespace
