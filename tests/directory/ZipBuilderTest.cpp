// The test-only ZIP builder checked against other readers, so that builder
// and library cannot share a mistake unnoticed.

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <functional>
#include <ostream>

#include "support/PeerTools.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

namespace {

std::string Pattern(size_t Size, uint32_t Seed) {
  std::string S(Size, '\0');
  uint32_t X = Seed;
  for (char& C : S) {
    X = X * 1103515245u + 12345u;
    C = static_cast<char>(X >> 24);
  }
  return S;
}

std::string ListLine(const std::string& Name, const std::string& Data) {
  char Crc[16];
  std::snprintf(Crc, sizeof Crc, "%08x",
                static_cast<unsigned>(crc32(0, reinterpret_cast<const Bytef*>(Data.data()), static_cast<uInt>(Data.size()))));
  return Name + " " + std::to_string(Data.size()) + " " + Crc + "\n";
}

TBytes ReadFile(const std::string& Path) { return ToBytes(TTempFolder::ReadFile(Path)); }

struct TPeerCase {
  const char* Title;
  std::function<void(ZipBuilder&)> Make;
  // Every entry as the peers should read it: name and plain data.
  std::vector<std::pair<std::string, std::string>> Expect;
  const char* Password;
  int UnzipStatus;  // 1: unzip warns about leading bytes it had to account for
};

const std::string Text = "The quick brown fox jumps over the lazy dog. " + std::string(300, 'z');

const TPeerCase PeerCases[] = {
    {"stored, deflated, folder, empty, comments",
     [](ZipBuilder& B) {
       B.Add("a.txt", "hello");
       B.Add("deep/text.txt", Text).Deflated(9).Comment("entry comment");
       B.Add("dir/");
       B.Add("empty.bin", "");
       B.Comment("archive comment");
     },
     {{"a.txt", "hello"}, {"deep/text.txt", Text}, {"dir/", ""}, {"empty.bin", ""}}, "", 0},
    {"data descriptors with and without signature",
     [](ZipBuilder& B) {
       B.Add("signed.txt", Text).Deflated().DataDescriptor(true);
       B.Add("unsigned.txt", Text).Deflated().DataDescriptor(false);
       B.Add("stored.txt", "plain").DataDescriptor();
     },
     {{"signed.txt", Text}, {"unsigned.txt", Text}, {"stored.txt", "plain"}}, "", 0},
    {"ZIP64 extra fields and end records",
     [](ZipBuilder& B) {
       B.Add("z64.txt", Text).Deflated().Zip64();
       B.Add("offset-only.txt", "abc").Zip64(z64Offset);
       B.Add("z64dd.txt", Text).Deflated().Zip64().DataDescriptor();
       B.Zip64EndRecord(true);
     },
     {{"z64.txt", Text}, {"offset-only.txt", "abc"}, {"z64dd.txt", Text}}, "", 0},
    {"traditional encryption, check byte from CRC and from time",
     [](ZipBuilder& B) {
       B.Add("stored.txt", "secret stored").Encrypt("p\xC3\xA4ssword");
       B.Add("deflated.txt", Text).Deflated().Encrypt("p\xC3\xA4ssword");
       B.Add("streamed.txt", Text).Deflated().Encrypt("p\xC3\xA4ssword").DataDescriptor();
       B.Add("empty.txt", "").Encrypt("p\xC3\xA4ssword");
     },
     {{"stored.txt", "secret stored"}, {"deflated.txt", Text}, {"streamed.txt", Text}, {"empty.txt", ""}},
     "p\xC3\xA4ssword", 0},
    {"prefix counted in the offsets",
     [](ZipBuilder& B) {
       B.Prefix(std::string(1000, 'S'));
       B.Add("a.txt", Text).Deflated();
       B.Add("b.txt", "b");
     },
     {{"a.txt", Text}, {"b.txt", "b"}}, "", 0},
    {"prefix not counted in the offsets",
     [](ZipBuilder& B) {
       B.Prefix(std::string(1000, 'S'), false);
       B.Add("a.txt", Text).Deflated();
       B.Add("b.txt", "b");
     },
     {{"a.txt", Text}, {"b.txt", "b"}}, "", 1},
    {"UTF-8 name, extra sub-records",
     [](ZipBuilder& B) {
       B.Add("gr\xC3\xBC\xC3\x9F" "e.txt", "x").Utf8Name();
       B.Add("extra.txt", "y").Extra(ExtraSubRecord(0xCAFE, "abc")).Zip64(z64Offset);
     },
     {{"gr\xC3\xBC\xC3\x9F" "e.txt", "x"}, {"extra.txt", "y"}}, "", 0},
};

void PrintTo(const TPeerCase& C, std::ostream* Os) { *Os << C.Title; }

class BuilderPeers : public ::testing::TestWithParam<TPeerCase> {};

TEST_P(BuilderPeers, UnzipAndPythonReadEveryEntry) {
  const TPeerCase& C = GetParam();
  SCOPED_TRACE(C.Title);
  ZipBuilder B;
  C.Make(B);
  TTempFolder Dir;
  std::string Path = Dir / "a.zip";
  B.WriteTo(Path);

  bool Ran = false;
  if (HaveProgram("unzip")) {
    Ran = true;
    std::string Pw = *C.Password ? " -P " + ShellQuote(C.Password) : "";
    EXPECT_EQ(RunCommand("unzip -tq" + Pw + " " + ShellQuote(Path)), C.UnzipStatus);
  }
  if (HavePythonZipfile()) {
    Ran = true;
    std::string Want;
    for (const auto& [Name, Data] : C.Expect) Want += ListLine(Name, Data);
    std::string Got;
    EXPECT_EQ(PythonListArchive(Path, C.Password, Got), 0);
    EXPECT_EQ(Got, Want);
  }
  if (!Ran) GTEST_SKIP() << "neither unzip nor python3 is installed";
}

INSTANTIATE_TEST_SUITE_P(Cases, BuilderPeers, ::testing::ValuesIn(PeerCases),
                         [](const auto& Info) { return "Case" + std::to_string(Info.index); });

// Split output: the volumes are the single image cut at header-safe places,
// named in each scheme, and Info-ZIP joins the .z01 set into an archive that
// unzip and Python read whole, entry data crossing volumes included. (Info-ZIP's
// join itself goes wrong for an entry that crosses two boundaries, so none
// here does.)
TEST(ZipBuilderSplit, VolumesJoinIntoTheSameArchive) {
  const std::string First = Pattern(50000, 7), Second = Pattern(60000, 8), Fourth = Pattern(70000, 9);
  ZipBuilder B;
  B.Add("first.bin", First);
  B.Add("second.bin", Second);
  B.Add("third.txt", Text).Deflated().Comment("a comment");
  B.Add("fourth.bin", Fourth).Zip64(z64SizesAndOffset | z64Disk);
  B.Split(65536);
  ZipLayout L = B.Layout();
  ASSERT_EQ(L.VolumeSizes.size(), 3u);
  for (int64_t Size : L.VolumeSizes) EXPECT_LE(Size, 65536);
  // The first volume opens with the split marker, then the first local header.
  TBytes Image = B.Build();
  EXPECT_EQ(TBytes(Image.begin(), Image.begin() + 8), TBytes({0x50, 0x4B, 0x07, 0x08, 0x50, 0x4B, 0x03, 0x04}));
  EXPECT_EQ(L.Entries[1].Disk, 0u);
  EXPECT_EQ(L.Entries[3].Disk, 1u);

  struct {
    TVolumeNaming Naming;
    std::vector<std::string> Names;
  } Namings[] = {
      {vnNumbered, {"s_001.zip", "s_002.zip", "s.zip"}},
      {vnZ01Upper, {"s.Z01", "s.Z02", "s.zip"}},
      {vnZ01Lower, {"s.z01", "s.z02", "s.zip"}},
  };
  for (const auto& N : Namings) {
    SCOPED_TRACE(N.Names[0]);
    TTempFolder Dir;
    std::vector<std::string> Paths = B.WriteVolumes(Dir / "s.zip", N.Naming);
    ASSERT_EQ(Paths.size(), N.Names.size());
    TBytes Joined;
    for (size_t I = 0; I < Paths.size(); ++I) {
      EXPECT_EQ(Paths[I], Dir / N.Names[I]);
      TBytes V = ReadFile(Paths[I]);
      EXPECT_EQ(static_cast<int64_t>(V.size()), L.VolumeSizes[I]);
      Joined.insert(Joined.end(), V.begin(), V.end());
    }
    EXPECT_EQ(Joined, Image);
    if (N.Naming != vnZ01Lower) continue;
    if (!HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
    ASSERT_EQ(RunCommand("zip -q -s 0 " + ShellQuote(Dir / "s.zip") + " --out " + ShellQuote(Dir / "j.zip")), 0);
    if (HaveProgram("unzip")) {
      EXPECT_EQ(RunCommand("unzip -tq " + ShellQuote(Dir / "j.zip")), 0);
    }
    if (HavePythonZipfile()) {
      std::string Got;
      EXPECT_EQ(PythonListArchive(Dir / "j.zip", "", Got), 0);
      EXPECT_EQ(Got, ListLine("first.bin", First) + ListLine("second.bin", Second) + ListLine("third.txt", Text) +
                         ListLine("fourth.bin", Fourth));
    }
  }
}

// A split archive that fits in one volume carries PK00, and damage that cuts
// the last volume away leaves the earlier ones.
TEST(ZipBuilderSplit, SingleSegmentMarkerAndTruncatedSets) {
  ZipBuilder Small;
  Small.Add("a.txt", "a");
  Small.Split(65536);
  TBytes One = Small.Build();
  EXPECT_EQ(TBytes(One.begin(), One.begin() + 4), TBytes({0x50, 0x4B, 0x30, 0x30}));

  ZipBuilder B;
  B.Add("big.bin", Pattern(100000, 3));
  B.Split(65536);
  ZipLayout L = B.Layout();
  ASSERT_EQ(L.VolumeSizes.size(), 2u);
  B.Truncate(L.VolumeSizes[0] - 10);
  std::vector<TBytes> Volumes = B.BuildVolumes();
  ASSERT_EQ(Volumes.size(), 1u);
  EXPECT_EQ(static_cast<int64_t>(Volumes[0].size()), L.VolumeSizes[0] - 10);
}

// Damage knobs work on the offsets the layout reports.
TEST(ZipBuilderDamage, KnobsHitTheReportedOffsets) {
  ZipBuilder B;
  B.Add("a.txt", "hello");
  B.Add("b.txt", "world").DataDescriptor();
  ZipLayout L = B.Layout();
  TBytes Clean = B.Build();
  ASSERT_EQ(L.Size, static_cast<int64_t>(Clean.size()));
  struct {
    int64_t At;
    uint32_t Signature;
  } Records[] = {{L.Entries[0].LocalHeader, 0x04034B50}, {L.Entries[1].LocalHeader, 0x04034B50},
                 {L.Entries[1].Descriptor, 0x08074B50},  {L.Entries[0].CentralHeader, 0x02014B50},
                 {L.CentralDirectory, 0x02014B50},       {L.EndRecord, 0x06054B50}};
  for (const auto& R : Records) {
    SCOPED_TRACE(R.At);
    ASSERT_GE(R.At, 0);
    uint32_t Got = Clean[R.At] | Clean[R.At + 1] << 8 | Clean[R.At + 2] << 16 | static_cast<uint32_t>(Clean[R.At + 3]) << 24;
    EXPECT_EQ(Got, R.Signature);
  }
  EXPECT_EQ(std::string(Clean.begin() + L.Entries[0].Data, Clean.begin() + L.Entries[0].DataEnd), "hello");

  B.SetByte(L.Entries[0].Data, 'j').Corrupt(L.Entries[1].Data, 2).SetLE16(L.EndRecord + 10, 7).Append("xy");
  TBytes Damaged = B.Build();
  ASSERT_EQ(Damaged.size(), Clean.size() + 2);
  size_t Changed = 0;
  for (size_t I = 0; I < Clean.size(); ++I) Changed += Clean[I] != Damaged[I];
  EXPECT_EQ(Changed, 4u);  // 'h' -> 'j', two inverted bytes, the entry count's low byte
  EXPECT_EQ(Damaged[L.Entries[0].Data], 'j');
  EXPECT_EQ(Damaged[L.Entries[1].Data], static_cast<uint8_t>(~'w'));
  EXPECT_EQ(Damaged[L.EndRecord + 10], 7);
  B.Truncate(L.Entries[1].LocalHeader);
  EXPECT_EQ(B.Build().size(), static_cast<size_t>(L.Entries[1].LocalHeader));
}

// Leaving records out: the bytes are gone, the layout says so, and the end
// record still describes the directory that is missing.
TEST(ZipBuilderDamage, OmittedRecords) {
  auto Count = [](const TBytes& A, uint32_t Signature) {
    int N = 0;
    for (size_t I = 0; I + 4 <= A.size(); ++I)
      N += (A[I] | A[I + 1] << 8 | A[I + 2] << 16 | static_cast<uint32_t>(A[I + 3]) << 24) == Signature;
    return N;
  };
  ZipBuilder Full;
  Full.Add("a.txt", "a");
  Full.Add("b.txt", "b");
  ZipLayout FullLayout = Full.Layout();
  TBytes FullBytes = Full.Build();

  ZipBuilder NoDir;
  NoDir.Add("a.txt", "a");
  NoDir.Add("b.txt", "b");
  NoDir.OmitCentralDirectory();
  ZipLayout L = NoDir.Layout();
  TBytes A = NoDir.Build();
  EXPECT_EQ(Count(A, 0x02014B50), 0);
  EXPECT_EQ(L.CentralDirectory, -1);
  EXPECT_EQ(L.Entries[0].CentralHeader, -1);
  EXPECT_EQ(L.EndRecord, FullLayout.CentralDirectory);
  // Same end record but for where it lies: entries 2, directory size as if present.
  EXPECT_EQ(TBytes(A.begin() + L.EndRecord + 8, A.end()),
            TBytes(FullBytes.begin() + FullLayout.EndRecord + 8, FullBytes.end()));

  ZipBuilder NoEnd;
  NoEnd.Add("a.txt", "a");
  NoEnd.OmitEndRecord();
  TBytes E = NoEnd.Build();
  EXPECT_EQ(Count(E, 0x06054B50), 0);
  EXPECT_EQ(Count(E, 0x02014B50), 1);
  EXPECT_EQ(NoEnd.Layout().EndRecord, -1);
}

// The component's block format, read back the way its layout says.
TEST(ZipBuilderBlocks, HeaderAndBlocksFollowTheLayout) {
  const std::string Plain = Pattern(5000, 11) + std::string(5000, 'a');
  struct {
    bool Compressed;
    std::optional<int32_t> Count;
    int32_t WantCount;
  } Cases[] = {{true, std::nullopt, 3}, {false, std::nullopt, 3}, {true, 0, 0}, {false, -2, -2}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.WantCount);
    ZipBlockFormat F;
    F.BlockSize = 4096;
    F.Compressed = C.Compressed;
    F.BlockCount = C.Count;
    F.Cipher = 0x0003;
    ZipBuilder B;
    B.Add("blocks.bin", Plain).BlockFormat(F);
    ZipLayout L = B.Layout();
    TBytes A = B.Build();
    const uint8_t* H = A.data() + L.Entries[0].Data;
    auto Le32 = [](const uint8_t* P) {
      return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
    };
    EXPECT_EQ(Le32(H), 4096u);
    EXPECT_EQ(Le32(H + 8), Plain.size());
    EXPECT_EQ(static_cast<int32_t>(Le32(H + 16)), C.WantCount);
    EXPECT_EQ(H[20], 0);
    EXPECT_EQ(H[21], C.Compressed ? 1 : 0);
    EXPECT_EQ(H[22] | H[23] << 8, 3);
    EXPECT_EQ(Le32(H + 24), crc32(0, H + 28, 16));
    // Three blocks are always written; each holds 4096 plain bytes but the last.
    std::string Out;
    const uint8_t* P = H + 50;
    for (int I = 0; I < 3; ++I) {
      uint32_t Len = Le32(P);
      P += 4;
      std::string Block(4096, '\0');
      uLongf Size = Block.size();
      if (C.Compressed) {
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(Block.data()), &Size, P, Len), Z_OK);
      } else {
        Block.assign(reinterpret_cast<const char*>(P), Len);
        Size = Len;
      }
      Out.append(Block.data(), Size);
      P += Len;
    }
    EXPECT_EQ(P, A.data() + L.Entries[0].DataEnd);
    EXPECT_EQ(Out, Plain);
  }
}

}  // namespace
