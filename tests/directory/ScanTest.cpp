#include <gtest/gtest.h>

#include <string>

#include "directory/ReadAhead.h"
#include "directory/SignatureScan.h"
#include "platform/Exceptions.h"
#include "support/ZipBuilder.h"

namespace {

std::unique_ptr<TMemoryStream> StreamOf(const std::string& Bytes) {
  auto S = std::make_unique<TMemoryStream>();
  S->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  S->SetPosition(0);
  return S;
}

// With a 16-byte chunk every placement around a chunk boundary occurs: a
// signature wholly inside, straddling by one to three bytes, or at the end.
TEST(SignatureScanner, FindsSignaturesAcrossChunkBoundaries) {
  const std::string Sig("PK\x05\x06", 4);
  for (int64_t At = 0; At <= 60; ++At) {
    SCOPED_TRACE(At);
    std::string File(64, 'P');  // many first bytes, no signature
    File.replace(static_cast<size_t>(At), 4, Sig);
    auto S = StreamOf(File);
    TSignatureScanner Scanner(*S, 0x06054B50, 16);
    EXPECT_EQ(Scanner.Find(0), At);
    EXPECT_EQ(Scanner.Find(At), At);
    EXPECT_EQ(Scanner.Find(At + 1), -1);
  }
}

TEST(SignatureScanner, SuccessiveCallsFindEveryOccurrence) {
  const std::string Sig("PK\x03\x04", 4);
  std::string File;
  std::vector<int64_t> Expected;
  for (int I = 0; I < 50; ++I) {
    File += std::string(static_cast<size_t>(I * 7 % 23), 'x');
    Expected.push_back(static_cast<int64_t>(File.size()));
    File += Sig;
  }
  auto S = StreamOf(File);
  S->SetPosition(5);
  TSignatureScanner Scanner(*S, 0x04034B50, 32);
  std::vector<int64_t> Found;
  for (int64_t At = Scanner.Find(0); At >= 0; At = Scanner.Find(At + 1)) Found.push_back(At);
  EXPECT_EQ(Found, Expected);
  EXPECT_EQ(S->Position(), 5);
}

TEST(SignatureScanner, ReadAtServesTheChunkAndTheStream) {
  std::string File(100, '\0');
  for (size_t I = 0; I < File.size(); ++I) File[I] = static_cast<char>(I);
  auto S = StreamOf(File);
  TSignatureScanner Scanner(*S, 0x04034B50, 16);
  EXPECT_EQ(Scanner.Find(40), -1);
  struct {
    int64_t Offset;
    size_t Count;
    bool Ok;
  } const Cases[] = {{0, 4, true}, {90, 10, true}, {95, 6, false}, {-1, 2, false}, {10, 30, true}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Offset);
    uint8_t Out[40] = {};
    ASSERT_EQ(Scanner.ReadAt(C.Offset, Out, C.Count), C.Ok);
    for (size_t I = 0; C.Ok && I < C.Count; ++I) {
      EXPECT_EQ(Out[I], static_cast<uint8_t>(C.Offset + static_cast<int64_t>(I)));
    }
  }
}

TEST(ReadAheadStream, ReadsLikeItsSourceUpToTheLimit) {
  std::string File(1000, '\0');
  for (size_t I = 0; I < File.size(); ++I) File[I] = static_cast<char>(I * 13);
  auto S = StreamOf(File);
  TReadAheadStream R(*S, 100, 900, 64);
  EXPECT_EQ(R.Size(), 900);
  // Small reads, a read larger than a block, and one across the limit.
  std::string Got(800, '\0');
  int64_t Done = 0;
  for (int64_t N : {1, 3, 60, 64, 200, 5}) {
    R.ReadBuffer(Got.data() + Done, N);
    Done += N;
  }
  EXPECT_EQ(Got.substr(0, static_cast<size_t>(Done)), File.substr(100, static_cast<size_t>(Done)));
  EXPECT_EQ(R.Position(), 100 + Done);
  R.SetPosition(890);
  char Tail[20];
  EXPECT_THROW(R.ReadBuffer(Tail, 11), EReadError);
  R.SetPosition(890);
  R.ReadBuffer(Tail, 10);
  EXPECT_EQ(std::string(Tail, 10), File.substr(890, 10));
}

TEST(ReadAheadStream, SourceShorterThanTheLimitEndsInAReadError) {
  auto S = StreamOf(std::string(50, 'a'));
  TReadAheadStream R(*S, 0, 80, 16);
  char Buffer[60];
  EXPECT_THROW(R.ReadBuffer(Buffer, 60), EReadError);
}

}  // namespace
