#include <gtest/gtest.h>

#include <functional>

#include "directory/DirTestSupport.h"

namespace {

TBytes WithComment(const std::string& Comment) {
  ZipBuilder B;
  B.Add("a.txt", "alpha");
  B.Comment(Comment);
  return B.Build();
}

// A comment that holds a complete end record of its own whose comment length
// does not reach the end of the file.
std::string CommentWithFalseRecord() {
  std::string Fake("PK\x05\x06", 4);
  Fake += std::string(16, '\0');
  Fake += std::string("\x40\x00", 2);  // comment length 64
  return "before " + Fake + " after";
}

struct TEndCase {
  const char* Name;
  std::function<TBytes()> Image;
  bool Valid;
};

const TEndCase EndCases[] = {
    {"comment reaching the end", [] { return WithComment("0123456789"); }, true},
    {"one byte appended",
     [] {
       TBytes I = WithComment("0123456789");
       I.push_back('x');
       return I;
     },
     false},
    {"comment holding an end-record signature", [] { return WithComment(CommentWithFalseRecord()); }, true},
    {"no comment", [] { return WithComment(""); }, true},
    {"empty archive", [] { return ZipBuilder().Build(); }, true},
    {"21 bytes", [] { return TBytes(21, 0); }, false},
    {"empty file", [] { return TBytes(); }, false},
};

TEST(EndRecord, FoundOnlyWhenItsCommentReachesTheEnd) {
  for (const TEndCase& C : EndCases) {
    SCOPED_TRACE(C.Name);
    const TBytes Image = C.Image();
    for (bool OpenDamaged : {false, true}) {
      SCOPED_TRACE(OpenDamaged ? "OpenDamaged" : "strict");
      TLoadFixture F(Image, OpenDamaged);
      EXPECT_EQ(F.Manager->IsValidArchive(), C.Valid || OpenDamaged);
    }
    TLoadFixture F(Image, false);
    TEndRecord Record;
    int64_t Position = 0;
    EXPECT_EQ(F.Manager->FindEndRecord(Record, Position, TEndRecord::SignatureValue), C.Valid);
    if (C.Valid) {
      EXPECT_EQ(Position, static_cast<int64_t>(Image.size()) - 22 - Record.CommentLength);
      EXPECT_EQ(Record.Signature, TEndRecord::SignatureValue);
    } else {
      EXPECT_EQ(Position, -1);
    }
  }
}

TEST(EndRecord, CommentIsReadAndCutAtZero) {
  TLoadFixture F(WithComment(std::string("note\0hidden", 11)), false);
  ASSERT_TRUE(F.Manager->IsValidArchive());
  EXPECT_EQ(F.Manager->ArchiveComment, "note");
  EXPECT_EQ(F.Manager->EndRecord.CommentLength, 11);
}

// The opening code reads what a failed search leaves behind: the last
// candidate examined, which is the one nearest the start of the window.
TEST(EndRecord, FailedSearchKeepsTheLastCandidateRead) {
  ZipBuilder B;
  B.Add("a.txt", "alpha");
  B.Comment(CommentWithFalseRecord());
  const int64_t End = B.Layout().EndRecord;
  B.SetLE16(End + 4, 3);  // DiskNumber of the real record
  B.Append("!");
  TLoadFixture F(B.Build(), false);
  EXPECT_FALSE(F.Manager->IsValidArchive());
  EXPECT_EQ(F.Manager->EndRecord.Signature, TEndRecord::SignatureValue);
  EXPECT_EQ(F.Manager->EndRecord.DiskNumber, 3);
  EXPECT_EQ(F.Manager->EndRecord.TotalEntries, 1);
}

TEST(EndRecord, SignatureStaysZeroWithoutACandidateOf22Bytes) {
  struct {
    const char* Name;
    std::string Bytes;
  } const Cases[] = {
      {"no signature", std::string(100, 'z')},
      {"signature with 21 bytes after it",
       std::string(30, 'z') + std::string("PK\x05\x06", 4) + std::string(17, 'z')},
      {"file of 21 bytes", std::string(21, '\0')},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TLoadFixture F(ToBytes(C.Bytes), false);
    EXPECT_FALSE(F.Manager->IsValidArchive());
    EXPECT_EQ(F.Manager->EndRecord.Signature, 0u);
  }
}

TEST(EndRecord, CheckNeedsTheExactCommentLengthAndRestoresThePosition) {
  ZipBuilder B;
  B.Add("a.txt", "alpha");
  B.Comment("abc");
  const int64_t End = B.Layout().EndRecord;
  const TBytes Exact = B.Build();
  TBytes Longer = Exact;
  Longer.push_back('d');
  struct {
    const char* Name;
    const TBytes* Image;
    int64_t Offset;
    bool Passes;
  } const Cases[] = {
      {"exact", &Exact, End, true},
      {"one byte more", &Longer, End, false},
      {"not a record", &Exact, 0, false},
      {"fewer than 22 bytes left", &Exact, static_cast<int64_t>(Exact.size()) - 21, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TLoadFixture F(*C.Image, false);
    F.Manager->Stream->SetPosition(7);
    TEndRecord Record;
    EXPECT_EQ(F.Manager->CheckEndRecord(Record, C.Offset), C.Passes);
    EXPECT_EQ(F.Manager->Stream->Position(), 7);
  }
}

}  // namespace
