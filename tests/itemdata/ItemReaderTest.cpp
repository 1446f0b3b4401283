// Reading stored and deflated entries: chunking, draining zlib, progress,
// cancel, and what a damaged entry leaves behind and reports.

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include "ReaderFixture.h"
#include "support/FakeEnv.h"
#include "support/TempFolder.h"

namespace {

constexpr int64_t MiB = 1 << 20;

// Raw deflate with a sync flush after each plain offset in Cuts. Marks gets,
// per cut, the compressed offset where the next block header starts: every
// plain byte before the cut is decodable from the bytes before the mark.
TBytes DeflateFlushedAt(const TBytes& Plain, const std::vector<size_t>& Cuts, std::vector<int64_t>& Marks) {
  z_stream Z{};
  EXPECT_EQ(deflateInit2(&Z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  TBytes Out(deflateBound(&Z, Plain.size()) + 64 * (Cuts.size() + 1));
  Z.next_out = Out.data();
  Z.avail_out = static_cast<uInt>(Out.size());
  size_t From = 0;
  Marks.clear();
  for (size_t I = 0; I <= Cuts.size(); ++I) {
    size_t To = I < Cuts.size() ? Cuts[I] : Plain.size();
    Z.next_in = const_cast<Bytef*>(Plain.data() + From);
    Z.avail_in = static_cast<uInt>(To - From);
    int Result = deflate(&Z, I < Cuts.size() ? Z_SYNC_FLUSH : Z_FINISH);
    EXPECT_EQ(Result, I < Cuts.size() ? Z_OK : Z_STREAM_END);
    if (I < Cuts.size()) Marks.push_back(static_cast<int64_t>(Z.total_out));
    From = To;
  }
  Out.resize(Z.total_out);
  deflateEnd(&Z);
  return Out;
}

// An entry whose compressed bytes are given: method 8 with the true CRC-32
// and size of Plain.
ZipEntry& AddDeflatedAs(ZipBuilder& B, const std::string& Name, const TBytes& Compressed,
                        const TBytes& Plain) {
  return B.Add(Name, Compressed).Method(8).StoredCrc32(ZlibCrc32(Plain)).StoredUncompressedSize(Plain.size());
}

TBytes Slice(const TBytes& Data, size_t Count) { return TBytes(Data.begin(), Data.begin() + Count); }

struct TReadResult {
  int32_t Error = -1;
  TBytes Output;
  std::vector<std::string> Reasons;
};

TReadResult Extract(TReaderArchiver& A, int32_t Index) {
  TReaderRecorder R(A);
  TMemoryStream Dest;
  TReadResult Result;
  Result.Error = RaisedNativeError([&] { A.ExtractItemToStream(Index, Dest); });
  Result.Output = Dest.Bytes();
  Result.Reasons = R.DamageReasons();
  return Result;
}

// ------------------------------------------------------------ whole entries

struct TRoundTrip {
  const char* Title;
  std::function<TBytes()> Data;
  bool Deflate;
  int Level;
};

class ReaderRoundTrip : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(ReaderRoundTrip, GivesBackTheDataAndReportsNothing) {
  const TRoundTrip& C = GetParam();
  TBytes Data = C.Data();
  ZipBuilder B;
  B.Add("first.txt", "before");
  ZipEntry& E = B.Add("dir/entry.bin", Data);
  if (C.Deflate) E.Deflated(C.Level);
  B.Add("last.txt", "after");
  TReaderArchiver A;
  A.SetExtractCorruptedFiles(true);
  A.Attach(B);

  TReadResult R = Extract(A, 1);
  EXPECT_EQ(R.Error, -1);
  EXPECT_TRUE(R.Output == Data) << "got " << R.Output.size() << " of " << Data.size() << " bytes";
  EXPECT_TRUE(R.Reasons.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ReaderRoundTrip,
    ::testing::Values(
        TRoundTrip{"stored_small", [] { return ToBytes("hello, world"); }, false, -1},
        TRoundTrip{"deflated_small", [] { return ToBytes("hello, hello, hello, world"); }, true, 9},
        TRoundTrip{"stored_three_chunks", [] { return Noise(2500000, 3); }, false, -1},
        TRoundTrip{"stored_exactly_one_chunk", [] { return Noise(MiB, 4); }, false, -1},
        // More than 1 MiB of deflate data: chunk boundaries cut Huffman codes
        // and back-references.
        TRoundTrip{"deflated_over_one_chunk_compressed", [] { return Mixed(3 * MiB, 5); }, true, 6},
        TRoundTrip{"deflated_stored_blocks", [] { return Noise(2 * MiB + 17, 6); }, true, 1},
        // About 1000 to 1: one chunk of input fills the output buffer many
        // times over.
        TRoundTrip{"deflated_high_ratio", [] { return TBytes(40 * MiB, 'z'); }, true, 9}),
    [](const auto& Info) { return std::string(Info.param.Title); });

TEST(ItemReader, DeflateOverOneChunkIsReallyMoreThanOneChunk) {
  // The round trip above only proves the chunk boundary case if the
  // compressed data spans chunks.
  ZipBuilder B;
  B.Add("x", Mixed(3 * MiB, 5)).Deflated(6);
  EXPECT_GT(B.Layout().Entries[0].CompressedSize, static_cast<uint64_t>(MiB));
}

TEST(ItemReader, ZeroSizeEntriesReadNothingFireNothingAndSucceed) {
  ZipBuilder B;
  B.Add("stored.txt", "");
  B.Add("deflated.txt", "").Deflated();
  B.Add("encrypted.txt", "").Encrypt("pw");
  B.Add("dir/");
  TReaderArchiver A;
  A.SetPassword("pw");
  A.Attach(B);
  A.StartRun(0, 4);
  for (int32_t I = 0; I < 4; ++I) {
    SCOPED_TRACE(A.Item(I).FileName);
    TReaderRecorder R(A);
    TMemoryStream Dest;
    EXPECT_NO_THROW(A.ExtractItemToStream(I, Dest));
    EXPECT_EQ(Dest.Size(), 0);
    // The deflated one has two bytes of data: one chunk, one event pair.
    EXPECT_EQ(R.Count(TReaderEvent::evFile), I == 1 ? 1u : 0u);
  }
}

TEST(ItemReader, AZeroSizeEntryWithANonZeroCrcFails) {
  ZipBuilder B;
  B.Add("empty.txt", "").StoredCrc32(0x12345678);
  TReaderArchiver A;
  A.Attach(B);
  TReadResult R = Extract(A, 0);
  EXPECT_EQ(R.Error, 8);
}

TEST(ItemReader, IndexOutsideTheDirectoryRaises16) {
  ZipBuilder B;
  B.Add("a", "a");
  TReaderArchiver A;
  A.Attach(B);
  for (int32_t Index : {-1, 1, 1000}) {
    SCOPED_TRACE(Index);
    TMemoryStream Dest;
    EXPECT_EQ(RaisedNativeError([&] { A.ExtractItemToStream(Index, Dest); }), 16);
  }
  TReaderArchiver Closed;
  TMemoryStream Dest;
  EXPECT_EQ(RaisedNativeError([&] { Closed.ExtractItemToStream(0, Dest); }), 16);
}

// The output estimate follows the directory's size ratio. With a ratio of 0
// the buffer is 256 bytes, so these entries fill it exactly as their input
// runs out again and again: zlib must be called until it has given up
// everything it holds, or the tail of a back-reference is lost. The bytes
// written never depend on the buffer.
TEST(ItemReader, OutputDoesNotDependOnTheOutputBufferSize) {
  for (size_t Size = 1; Size < 1400; ++Size) {
    TBytes Data(Size);
    for (size_t I = 0; I < Size; ++I) Data[I] = I < 7 ? static_cast<uint8_t>('a' + I) : Data[I - 7];
    ZipBuilder B;
    B.Add("repeat.txt", Data).Deflated(9).StoredUncompressedSize(0);
    TReaderArchiver A;
    A.SetExtractCorruptedFiles(true);
    A.Attach(B);
    TReadResult R = Extract(A, 0);
    ASSERT_TRUE(R.Output == Data) << Size << " bytes gave " << R.Output.size();
    ASSERT_EQ(R.Reasons,
              std::vector<std::string>{Format("size mismatch: %d bytes produced, 0 expected", Size)});
  }
}

// ----------------------------------------------------------------- progress

TEST(ItemReader, ProgressFiresOncePerChunkBeforeItsRead) {
  ZipBuilder B;
  B.Add("big.bin", Noise(2500000, 9));
  TReaderArchiver A;
  A.Attach(B);
  A.StartRun(1, 4);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  A.ExtractItemToStream(0, Dest);

  const double File[] = {0, 1048576.0 / 2500000 * 100, 2097152.0 / 2500000 * 100};
  ASSERT_EQ(R.Events.size(), 6u);
  for (size_t I = 0; I < 3; ++I) {
    SCOPED_TRACE(I);
    EXPECT_EQ(R.Events[2 * I].Kind, TReaderEvent::evFile);
    EXPECT_EQ(R.Events[2 * I].FileName, "big.bin");
    EXPECT_DOUBLE_EQ(R.Events[2 * I].Progress, File[I]);
    EXPECT_EQ(R.Events[2 * I + 1].Kind, TReaderEvent::evOverall);
    EXPECT_DOUBLE_EQ(R.Events[2 * I + 1].Progress, (File[I] / 100 + 1) / 4 * 100);
  }
  EXPECT_EQ(A.FileBytesDone(), 2097152);
  EXPECT_EQ(A.FileBytesTotal(), 2500000);
}

TEST(ItemReader, EncryptedProgressCountsTheHeaderSoItStaysBelow100) {
  ZipBuilder B;
  B.Add("big.bin", Noise(2500000, 9)).Encrypt("pw");
  TReaderArchiver A;
  A.SetPassword("pw");
  A.Attach(B);
  A.StartRun(0, 1);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  A.ExtractItemToStream(0, Dest);
  ASSERT_EQ(R.Count(TReaderEvent::evFile), 3u);
  EXPECT_DOUBLE_EQ(R.Events[4].Progress, 2097152.0 / 2500012 * 100);
  EXPECT_EQ(A.FileBytesTotal(), 2500012);
}

TEST(ItemReader, ProgressIsSilentOutsideARun) {
  ZipBuilder B;
  B.Add("big.bin", Noise(2500000, 9));
  TReaderArchiver A;
  A.Attach(B);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  A.ExtractItemToStream(0, Dest);
  EXPECT_TRUE(R.Events.empty());
  EXPECT_EQ(Dest.Size(), 2500000);
}

TEST(ItemReader, CancelStopsBeforeTheNextChunkAndIsNoError) {
  const TBytes Data = Noise(2500000, 9);
  struct TCase {
    int CancelAt;
    int64_t Written;
  };
  for (TCase C : {TCase{1, 0}, TCase{2, MiB}, TCase{3, 2 * MiB}}) {
    SCOPED_TRACE(C.CancelAt);
    ZipBuilder B;
    B.Add("big.bin", Data);
    TReaderArchiver A;
    A.Attach(B);
    A.StartRun(0, 1);
    TReaderRecorder R(A);
    R.CancelAtFileEvent = C.CancelAt;
    TMemoryStream Dest;
    EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
    EXPECT_TRUE(A.CancelRequested());
    EXPECT_EQ(Dest.Size(), C.Written);
    // No overall event after the cancelling file event, and no damage report.
    EXPECT_EQ(R.Events.back().Kind, TReaderEvent::evFile);
    EXPECT_TRUE(R.DamageReasons().empty());
  }
}

TEST(ItemReader, ACancelFromEarlierInTheRunEndsLaterEntriesAtTheirFirstEvent) {
  ZipBuilder B;
  B.Add("a.txt", "some data");
  TReaderArchiver A;
  A.Attach(B);
  A.StartRun(3, 5);
  A.SetCancelRequested(true);
  TReaderRecorder R(A);
  TMemoryStream Dest;
  EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
  EXPECT_EQ(Dest.Size(), 0);
  EXPECT_EQ(R.Events.size(), 1u);
}

// ----------------------------------------------------------- damaged entries

TEST(ItemReader, CorruptionInTheThirdChunkKeepsEverythingBeforeIt) {
  const TBytes Data = Mixed(6 * MiB, 11);
  std::vector<size_t> Cuts;
  for (size_t P = 64 * 1024; P < Data.size(); P += 64 * 1024) Cuts.push_back(P);
  std::vector<int64_t> Marks;
  TBytes Compressed = DeflateFlushedAt(Data, Cuts, Marks);
  // The first block that starts inside the third chunk, well inside it.
  size_t K = 0;
  while (Marks[K] < 2 * MiB + 100000) ++K;
  ASSERT_LT(Marks[K], 3 * MiB);

  for (bool Keep : {false, true}) {
    SCOPED_TRACE(Keep);
    ZipBuilder B;
    AddDeflatedAs(B, "big.bin", Compressed, Data);
    const TBytes Intact = B.Build();
    // Block type 3 does not exist: inflate stops right there.
    B.SetByte(B.Layout().Entries[0].Data + Marks[K], 0xFF);
    TReaderArchiver A;
    A.SetExtractCorruptedFiles(Keep);
    A.Attach(B, Intact);
    TReadResult R = Extract(A, 0);
    EXPECT_EQ(R.Error, Keep ? -1 : 8);
    EXPECT_TRUE(R.Output == Slice(Data, Cuts[K])) << R.Output.size() << " bytes, expected " << Cuts[K];
    if (Keep) {
      EXPECT_EQ(R.Reasons, std::vector<std::string>{Format(
                               "inflate error at compressed offset %d: invalid block type", Marks[K] + 1)});
    }
  }
}

TEST(ItemReader, AWrongStoredCrcKeepsAllBytes) {
  const TBytes Data = Mixed(MiB + 5000, 12);
  for (bool Keep : {false, true}) {
    SCOPED_TRACE(Keep);
    ZipBuilder B;
    B.Add("a.bin", Data).Deflated().StoredCrc32(0xDEADBEEF);
    TReaderArchiver A;
    A.SetExtractCorruptedFiles(Keep);
    A.Attach(B);
    TReadResult R = Extract(A, 0);
    EXPECT_EQ(R.Error, Keep ? -1 : 8);
    EXPECT_TRUE(R.Output == Data);
    if (Keep) {
      EXPECT_EQ(R.Reasons, std::vector<std::string>{
                               Format("CRC-32 mismatch: stored deadbeef, computed %.8x", ZlibCrc32(Data))});
    }
  }
}

TEST(ItemReader, ABrokenLocalSignatureIsStillRead) {
  ZipBuilder B;
  B.Add("a.txt", "first");
  B.Add("b.txt", "second entry").Deflated();
  B.SetLE32(B.Layout().Entries[1].LocalHeader, 0x12345678);
  TReaderArchiver A;
  A.Attach(B);
  TReadResult R = Extract(A, 1);
  EXPECT_EQ(R.Error, -1);
  EXPECT_TRUE(R.Output == ToBytes("second entry"));
}

TEST(ItemReader, ATruncatedLastEntryKeepsItsDataUpToTheCut) {
  const TBytes Data = Mixed(4 * MiB, 13);
  std::vector<size_t> Cuts;
  for (size_t P = 100000; P < Data.size(); P += 100000) Cuts.push_back(P);
  std::vector<int64_t> Marks;
  TBytes Compressed = DeflateFlushedAt(Data, Cuts, Marks);
  size_t K = 0;
  while (Marks[K] < MiB + 200000) ++K;

  struct TCase {
    const char* Title;
    bool Deflated;
  };
  for (TCase C : {TCase{"stored", false}, TCase{"deflated", true}}) {
    SCOPED_TRACE(C.Title);
    ZipBuilder B;
    B.Add("first.txt", "intact");
    if (C.Deflated)
      AddDeflatedAs(B, "cut.bin", Compressed, Data);
    else
      B.Add("cut.bin", Data);
    const TBytes Intact = B.Build();
    const ZipEntryOffsets E = B.Layout().Entries[1];
    // Neither cut lies on a chunk boundary.
    const int64_t Cut = C.Deflated ? Marks[K] : 1500001;
    B.Truncate(E.Data + Cut);
    TReaderArchiver A;
    A.SetExtractCorruptedFiles(true);
    A.Attach(B, Intact);
    TReadResult R = Extract(A, 1);
    EXPECT_EQ(R.Error, -1);
    const size_t Expected = C.Deflated ? Cuts[K] : static_cast<size_t>(Cut);
    EXPECT_TRUE(R.Output == Slice(Data, Expected)) << R.Output.size() << " bytes, expected " << Expected;
    EXPECT_EQ(R.Reasons, std::vector<std::string>{Format("data cut short at compressed offset %d of %d", Cut,
                                                         static_cast<int64_t>(E.CompressedSize))});
  }
}

TEST(ItemReader, BytesAfterTheEndOfTheDeflateDataAreIgnored) {
  const TBytes Data = Mixed(300000, 14);
  for (const std::string& Trailing :
       std::vector<std::string>{"x", "xyz", "12345", std::string(2 * MiB, 't')}) {
    SCOPED_TRACE(Trailing.size());
    ZipBuilder B;
    B.Add("a.bin", Data).Deflated().TrailingData(Trailing);
    B.Add("b.txt", "next");
    TReaderArchiver A;
    A.Attach(B);
    TReadResult R = Extract(A, 0);
    EXPECT_EQ(R.Error, -1);
    EXPECT_TRUE(R.Output == Data);
  }
}

TEST(ItemReader, Deflate64RaisesEvenWhenDamageIsKept) {
  for (bool Keep : {false, true}) {
    ZipBuilder B;
    B.Add("a.bin", "whatever").Method(9);
    TReaderArchiver A;
    A.SetExtractCorruptedFiles(Keep);
    A.Attach(B);
    TReadResult R = Extract(A, 0);
    EXPECT_EQ(R.Error, 55);
    EXPECT_TRUE(R.Output.empty());
    EXPECT_TRUE(R.Reasons.empty());
  }
}

TEST(ItemReader, RefusedMethodsReadNothingAndAreReportedAtOnce) {
  struct TCase {
    const char* Title;
    uint16_t Method;
    uint16_t Flags;
    uint16_t VersionNeeded;
    const char* Reason;
  };
  const TCase Cases[] = {
      // AES is refused before any password is asked for.
      {"aes", 99, zfEncrypted, 51, "unsupported method 99 (AES encryption)"},
      {"old_method", 6, 0, 10, "unsupported method 6"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Title);
    for (bool Keep : {false, true}) {
      ZipBuilder B;
      B.Add("a.bin", "compressed somehow").Method(C.Method).Flags(C.Flags).VersionNeeded(C.VersionNeeded);
      TReaderArchiver A;
      A.SetExtractCorruptedFiles(Keep);
      int Asked = 0;
      A.SetOnPassword([&](TCVBaseArchiver&, const std::string&, std::string&, bool& Skip) {
        ++Asked;
        Skip = true;
      });
      A.Attach(B);
      TReadResult R = Extract(A, 0);
      EXPECT_EQ(R.Error, Keep ? -1 : 8);
      EXPECT_TRUE(R.Output.empty());
      EXPECT_EQ(Asked, 0);
      if (Keep) {
        EXPECT_EQ(R.Reasons, std::vector<std::string>{C.Reason});
      }
    }
  }
}

TEST(ItemReader, OnDamagedFileFiresOncePerKeptDamagedEntryWithItsName) {
  ZipBuilder B;
  B.Add("good.txt", "fine").Deflated();
  B.Add("sub/dir/bad.txt", "damaged").StoredCrc32(1);
  B.Add("also/good.txt", "fine too");
  B.Add("sub/short.txt", "too short").StoredUncompressedSize(100);
  TReaderArchiver A;
  A.SetExtractCorruptedFiles(true);
  A.Attach(B);
  TReaderRecorder R(A);
  for (int32_t I = 0; I < 4; ++I) {
    TMemoryStream Dest;
    A.ExtractItemToStream(I, Dest);
  }
  ASSERT_EQ(R.Events.size(), 2u);
  EXPECT_EQ(R.Events[0].FileName, ToEventName("sub/dir/bad.txt"));
  EXPECT_EQ(R.Events[0].Text.rfind("CRC-32 mismatch: stored 00000001, computed ", 0), 0u);
  EXPECT_EQ(R.Events[1].FileName, ToEventName("sub/short.txt"));
  EXPECT_EQ(R.Events[1].Text, "size mismatch: 9 bytes produced, 100 expected");
}

TEST(ItemReader, AShortWriteToTheOutputIsCode46EvenWhenDamageIsKept) {
  TTempFolder Folder;
  const TBytes Data = Mixed(3 * MiB, 15);
  for (bool Deflated : {false, true}) {
    SCOPED_TRACE(Deflated);
    ZipBuilder B;
    ZipEntry& E = B.Add("a.bin", Data);
    if (Deflated) E.Deflated();
    TReaderArchiver A;
    A.SetExtractCorruptedFiles(true);
    A.Attach(B);
    const std::string Name = Deflated ? "deflated.out" : "stored.out";
    TFaultFileSystem Disk;
    Disk.LimitWrites(Name, 1500000);
    std::unique_ptr<TFileStream> Dest = Disk.CreateNewFile(Folder / Name);
    TReaderRecorder R(A);
    EXPECT_EQ(RaisedNativeError([&] { A.ExtractItemToStream(0, *Dest); }), 46);
    EXPECT_TRUE(R.DamageReasons().empty());
  }
}

// ------------------------------------------------------------ sizes unknown

// What the rebuild leaves for an entry with flag bit 3 whose descriptor it
// did not find: the local header's zeros, and the marker.
void MarkSizesUnknown(TDirItem& Item) {
  Item.SizesUnknown = true;
  Item.Crc32 = 0;
  Item.CompressedSize = 0;
  Item.UncompressedSize = 0;
}

TEST(ItemReader, SizesUnknownReadsToTheNaturalEndAndIsAlwaysDamaged) {
  const TBytes Data = Mixed(2 * MiB + 3000, 16);
  struct TCase {
    const char* Title;
    bool Deflated;
    bool Encrypted;
  };
  for (TCase C :
       {TCase{"deflated", true, false}, TCase{"stored", false, false}, TCase{"encrypted", true, true}}) {
    SCOPED_TRACE(C.Title);
    for (bool Keep : {false, true}) {
      ZipBuilder B;
      B.Add("before.txt", "before");
      // No descriptor signature: this is how a rebuild misses it.
      ZipEntry& E = B.Add("streamed.bin", Data).DataDescriptor(false);
      if (C.Deflated) E.Deflated();
      if (C.Encrypted) E.Encrypt("pw");
      B.Add("after.txt", "after").Deflated();
      TReaderArchiver A;
      A.SetPassword("pw");
      A.SetExtractCorruptedFiles(Keep);
      A.Attach(B);
      MarkSizesUnknown(A.Item(1));
      TReadResult R = Extract(A, 1);
      EXPECT_EQ(R.Error, Keep ? -1 : 8);
      // Deflate data ends itself; stored data runs on to the next local
      // header, so the 12 descriptor bytes come along.
      const ZipLayout L = B.Layout();
      const TBytes Image = B.Build();
      TBytes Expected = Data;
      if (!C.Deflated)
        Expected = TBytes(Image.begin() + L.Entries[1].Data, Image.begin() + L.Entries[2].LocalHeader);
      EXPECT_TRUE(R.Output == Expected) << R.Output.size() << " bytes, expected " << Expected.size();
      if (Keep) {
        EXPECT_EQ(R.Reasons, std::vector<std::string>{"sizes unknown"});
      }
    }
  }
}

TEST(ItemReader, RebuiltEntriesWithoutDescriptorsComeBackAndAreReported) {
  // No directory: the manager rebuilds it from the local headers and cannot
  // find the descriptors that carry no signature.
  const TBytes Streamed = Mixed(1500000, 18);
  ZipBuilder B;
  B.Add("intact.txt", "intact").Deflated();
  B.Add("streamed.bin", Streamed).Deflated().DataDescriptor(false);
  B.Add("stored.txt", "stored, streamed").DataDescriptor(false);
  // No signed descriptor follows: the rebuild would take its sizes.
  B.Add("last.txt", "last").Deflated();
  B.OmitCentralDirectory().OmitEndRecord();
  const TBytes Image = B.Build();
  const ZipLayout L = B.Layout();
  TReaderArchiver A;
  A.SetExtractCorruptedFiles(true);
  A.Load(Image);
  ASSERT_EQ(A.ItemCount(), 4);
  struct TExpect {
    TBytes Data;
    std::vector<std::string> Reasons;
  };
  const TExpect Expect[] = {
      {ToBytes("intact"), {}},
      {Streamed, {"sizes unknown"}},
      // Stored data runs on to the next local header: the descriptor comes along.
      {TBytes(Image.begin() + L.Entries[2].Data, Image.begin() + L.Entries[3].LocalHeader),
       {"sizes unknown"}},
      {ToBytes("last"), {}},
  };
  for (int32_t I = 0; I < 4; ++I) {
    SCOPED_TRACE(A.Item(I).FileName);
    TReadResult R = Extract(A, I);
    EXPECT_EQ(R.Error, -1);
    EXPECT_TRUE(R.Output == Expect[I].Data) << R.Output.size() << " bytes";
    EXPECT_EQ(R.Reasons, Expect[I].Reasons);
  }
}

TEST(ItemReader, SizesUnknownAtTheEndOfAFileStopsAtTheEnd) {
  const TBytes Data = Mixed(500000, 17);
  ZipBuilder B;
  B.Add("streamed.bin", Data).Deflated().DataDescriptor(false);
  const TBytes Intact = B.Build();
  const int64_t Cut = B.Layout().Entries[0].Data + 100000;
  B.Truncate(Cut);
  TReaderArchiver A;
  A.SetExtractCorruptedFiles(true);
  A.Attach(B, Intact);
  MarkSizesUnknown(A.Item(0));
  TReadResult R = Extract(A, 0);
  EXPECT_EQ(R.Error, -1);
  EXPECT_GT(R.Output.size(), 100000u);
  EXPECT_TRUE(R.Output == Slice(Data, R.Output.size()));
  EXPECT_EQ(R.Reasons, std::vector<std::string>{"sizes unknown"});
}

}  // namespace
