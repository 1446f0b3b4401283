// The component's own block format: blocks stored or as zlib streams, check
// bytes, and headers whose counts and lengths cannot be trusted.

#include <gtest/gtest.h>

#include "ReaderFixture.h"

namespace {

constexpr int64_t MiB = 1 << 20;

struct TBlockCase {
  const char* Title;
  size_t Size;
  ZipBlockFormat Format;
};

ZipBlockFormat Blocks(int32_t BlockSize, bool Compressed, uint16_t Cipher = 0xFFFF) {
  ZipBlockFormat F;
  F.BlockSize = BlockSize;
  F.Compressed = Compressed;
  F.Cipher = Cipher;
  return F;
}

class BlockFormatRoundTrip : public ::testing::TestWithParam<TBlockCase> {};

TEST_P(BlockFormatRoundTrip, GivesBackTheData) {
  const TBlockCase& C = GetParam();
  const TBytes Data = Mixed(C.Size, 31);
  ZipBuilder B;
  B.Add("blocks.bin", Data).BlockFormat(C.Format);
  TReaderArchiver A;
  int Asked = 0;
  A.SetOnPassword([&](TCVBaseArchiver&, const std::string&, std::string&, bool& Skip) {
    ++Asked;
    Skip = true;
  });
  A.Attach(B);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
  EXPECT_TRUE(Dest.Bytes() == Data);
  EXPECT_EQ(Asked, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, BlockFormatRoundTrip,
                         ::testing::Values(TBlockCase{"stored", 150000, Blocks(65536, false)},
                                           TBlockCase{"zlib", 150000, Blocks(65536, true)},
                                           TBlockCase{"one_block", 1000, Blocks(65536, true)},
                                           TBlockCase{"exact_blocks", 3 * 4096, Blocks(4096, true)},
                                           TBlockCase{"large_blocks", 3 * MiB + 5, Blocks(MiB, true)},
                                           TBlockCase{"no_data", 0, Blocks(65536, true)},
                                           // The check bytes match: accepted without a question.
                                           TBlockCase{"encrypted", 70000, Blocks(65536, true, 0x0003)}),
                         [](const auto& Info) { return std::string(Info.param.Title); });

TEST(BlockFormatReader, ProgressIsPerBlockAgainstTheArchiveSize) {
  ZipBuilder B;
  B.Add("blocks.bin", Mixed(150000, 32)).BlockFormat(Blocks(65536, true));
  TReaderArchiver A;
  A.Attach(B);
  A.StartRun(0, 1);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  A.ExtractItemToStream(0, Dest);
  ASSERT_EQ(R.Count(TReaderEvent::evFile), 3u);
  EXPECT_DOUBLE_EQ(R.Events[0].Progress, 50.0 / static_cast<double>(B.Layout().Size) * 100);
  EXPECT_EQ(A.FileBytesTotal(), B.Layout().Size);
}

TEST(BlockFormatReader, MismatchedCheckBytesAskForAPassword) {
  ZipBlockFormat F = Blocks(65536, true, 0x0001);
  F.CheckCrc = 0x01020304;
  ZipBuilder B;
  B.Add("blocks.bin", Mixed(1000, 33)).BlockFormat(F);
  TReaderArchiver A;
  std::vector<std::string> Names;
  A.SetOnPassword([&](TCVBaseArchiver&, const std::string& Name, std::string& Password, bool& Skip) {
    Names.push_back(Name);
    Password = "another";
    Skip = Names.size() == 2;
  });
  A.Attach(B);
  TMemoryStream Dest;
  EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
  EXPECT_EQ(Names, (std::vector<std::string>{"blocks.bin", "blocks.bin"}));
  EXPECT_EQ(Dest.Size(), 0);
  EXPECT_TRUE(A.SkipFileRequested());
}

// Headers and lengths that lie. Offsets count from the entry's data.
struct TLieCase {
  const char* Title;
  size_t Size;
  ZipBlockFormat Format;
  // Applied to the built archive: offset in the entry's data, 32-bit value.
  int64_t PatchAt;
  uint32_t PatchValue;
  // Bytes of Data expected in Dest, and the reason given.
  size_t Kept;
  const char* Reason;
};

ZipBlockFormat WithCount(ZipBlockFormat F, int32_t Count) {
  F.BlockCount = Count;
  return F;
}

const TLieCase LieCases[] = {
    // A count of 0 or less reads no block; the size check decides.
    {"zero_count_empty", 0, WithCount(Blocks(65536, true), 0), -1, 0, 0, ""},
    {"negative_count_empty", 0, WithCount(Blocks(65536, true), -3), -1, 0, 0, ""},
    {"zero_count_with_data", 1000, WithCount(Blocks(65536, true), 0), -1, 0, 0,
     "size mismatch: 0 bytes produced, 1000 expected"},
    {"negative_count_with_data", 1000, WithCount(Blocks(65536, true), -1), -1, 0, 0,
     "size mismatch: 0 bytes produced, 1000 expected"},
    // A stored length of 4 GiB is refused before anything is allocated.
    {"huge_block_length", 150000, Blocks(65536, true), 50, 0xFFFFFFF0u, 0,
     "invalid block header: block 1 of 3 declares 4294967280 stored bytes"},
    // A length past the end of the file reads what is there.
    {"block_length_past_the_end", 150000, Blocks(65536, false), 50, 30u << 20, 0, nullptr},
    // Negative and oversized block sizes are refused where a block would use them.
    {"negative_block_size", 150000, Blocks(65536, true), 0, 0xFFFFFF00u, 0,
     "invalid block header: block 1 of 3 declares -256 plain bytes"},
    {"oversized_block_size", 150000, Blocks(65536, true), 0, 0x7FFFFFFFu, 0,
     "invalid block header: block 1 of 3 declares 2147483647 plain bytes"},
    // A block that inflates past the block size it is given is never
    // inflated beyond it; what fits is kept.
    {"block_longer_than_declared", 150000, Blocks(65536, true), 0, 1000u, 1000,
     "block longer than its declared 1000 bytes at compressed offset "},
    // An entry length that is too small leaves the last block too long.
    {"entry_length_too_small", 150000, Blocks(65536, true), 8, 140000u, 140000,
     "block longer than its declared 8928 bytes at compressed offset "},
};

class BlockFormatLies : public ::testing::TestWithParam<TLieCase> {};

TEST_P(BlockFormatLies, AreRefusedWithinBoundsAndReported) {
  const TLieCase& C = GetParam();
  const TBytes Data = Mixed(C.Size, 34);
  ZipBuilder B;
  B.Add("blocks.bin", Data).BlockFormat(C.Format);
  const TBytes Intact = B.Build();
  if (C.PatchAt >= 0) B.SetLE32(B.Layout().Entries[0].Data + C.PatchAt, C.PatchValue);
  TReaderArchiver A;
  A.SetExtractCorruptedFiles(true);
  A.Attach(B, Intact);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
  if (C.Reason == nullptr) {
    // Everything the file holds after the length comes out, and no more.
    const ZipLayout L = B.Layout();
    const TBytes Image = B.Build();
    ASSERT_EQ(Dest.Bytes().size(), Image.size() - static_cast<size_t>(L.Entries[0].Data + 54));
    EXPECT_TRUE(std::equal(Image.begin() + L.Entries[0].Data + 54, Image.end(), Dest.Bytes().begin()));
    ASSERT_EQ(R.DamageReasons().size(), 1u);
    EXPECT_EQ(R.DamageReasons()[0].rfind("data cut short at compressed offset ", 0), 0u);
    return;
  }
  EXPECT_TRUE(Dest.Bytes() == TBytes(Data.begin(), Data.begin() + C.Kept));
  if (*C.Reason == 0) {
    EXPECT_TRUE(R.DamageReasons().empty());
  } else {
    ASSERT_EQ(R.DamageReasons().size(), 1u);
    EXPECT_EQ(R.DamageReasons()[0].rfind(C.Reason, 0), 0u) << R.DamageReasons()[0];
  }
}

INSTANTIATE_TEST_SUITE_P(Headers, BlockFormatLies, ::testing::ValuesIn(LieCases),
                         [](const auto& Info) { return std::string(Info.param.Title); });

TEST(BlockFormatReader, AnUnknownBlockAlgorithmIsReported) {
  ZipBlockFormat F = Blocks(65536, true);
  F.Algorithm = 1;
  ZipBuilder B;
  B.Add("blocks.bin", Mixed(1000, 35)).BlockFormat(F);
  TReaderArchiver A;
  A.SetExtractCorruptedFiles(true);
  A.Attach(B);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  A.ExtractItemToStream(0, Dest);
  EXPECT_EQ(Dest.Size(), 0);
  EXPECT_EQ(R.DamageReasons(), std::vector<std::string>{"unsupported block compression 1"});
}

}  // namespace
