// Directory loading and rebuilding over a 1 GiB archive of 10,240 stored
// entries (a quarter of them with data descriptors). The archive and a copy
// without its central directory are made once and kept in
// $TMPDIR/salvor-bench-directory; delete the folder to make them again.
//
//   cmake -DSALVOR_BUILD_BENCH=ON ... && build/bench/salvor_bench_directory

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "platform/Env.h"
#include "platform/Format.h"

namespace {

constexpr int EntryCount = 10240;
// Sizes vary around 100 KiB: 1 GiB in all.
int64_t EntrySize(int I) { return 64 * 1024 + (static_cast<int64_t>(I) * 7919) % (72 * 1024); }

class TBenchArchiver : public TCorvane {
 public:
  void UseArchiveStream(std::unique_ptr<TStream> Stream) { FArchiveStream = std::move(Stream); }
};

std::string BenchFolder() {
  const char* Tmp = std::getenv("TMPDIR");
  return std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/salvor-bench-directory";
}

// Data that looks compressed: every byte value equally likely.
void FillRandom(std::vector<uint8_t>& Data, uint64_t& State) {
  for (uint8_t& B : Data) {
    State ^= State << 13;
    State ^= State >> 7;
    State ^= State << 17;
    B = static_cast<uint8_t>(State >> 24);
  }
}

void Write(TStream& S, const uint8_t* Data, size_t Count) {
  S.WriteBuffer(Data, static_cast<int64_t>(Count));
}

// Writes both archives side by side: Full with its directory, Cut ending
// after the last entry's data.
void MakeArchives(const std::string& Full, const std::string& Cut) {
  auto A = FileSystem().OpenFile(Full, fmCreate);
  auto B = FileSystem().OpenFile(Cut, fmCreate);
  std::vector<TCentralFileHeader> Central;
  std::vector<std::string> Names;
  std::vector<uint8_t> Data;
  uint64_t State = 0x9E3779B97F4A7C15ull;
  for (int I = 0; I < EntryCount; ++I) {
    const std::string Name = Format("dir%.3d/file%d.bin", I / 100, I);
    Data.resize(static_cast<size_t>(EntrySize(I)));
    FillRandom(Data, State);
    const uint32_t Crc = static_cast<uint32_t>(crc32(0, Data.data(), static_cast<uInt>(Data.size())));
    const bool Streamed = I % 4 == 3;

    TLocalFileHeader L;
    L.Signature = TLocalFileHeader::SignatureValue;
    L.VersionNeeded = 20;
    L.Flags = Streamed ? zfDataDescriptor : 0;
    L.Crc32 = Streamed ? 0 : Crc;
    L.CompressedSize = L.UncompressedSize = Streamed ? 0 : static_cast<uint32_t>(Data.size());
    L.NameLength = static_cast<uint16_t>(Name.size());
    TCentralFileHeader C;
    C.Signature = TCentralFileHeader::SignatureValue;
    C.VersionMadeBy = C.VersionNeeded = 20;
    C.Flags = L.Flags;
    C.Crc32 = Crc;
    C.CompressedSize = C.UncompressedSize = static_cast<uint32_t>(Data.size());
    C.NameLength = L.NameLength;
    C.ExternalAttr = 0x20;
    C.LocalHeaderOffset = static_cast<uint32_t>(A->Position());

    uint8_t Header[TLocalFileHeader::Size];
    L.Encode(Header);
    for (TStream* S : {static_cast<TStream*>(A.get()), static_cast<TStream*>(B.get())}) {
      Write(*S, Header, sizeof Header);
      Write(*S, reinterpret_cast<const uint8_t*>(Name.data()), Name.size());
      Write(*S, Data.data(), Data.size());
      if (Streamed) {
        TDataDescriptor D;
        D.Signature = TDataDescriptor::SignatureValue;
        D.Crc32 = Crc;
        D.CompressedSize = D.UncompressedSize = static_cast<uint32_t>(Data.size());
        D.Write(*S);
      }
    }
    Central.push_back(C);
    Names.push_back(Name);
  }
  const int64_t DirStart = A->Position();
  for (size_t I = 0; I < Central.size(); ++I) {
    Central[I].Write(*A);
    Write(*A, reinterpret_cast<const uint8_t*>(Names[I].data()), Names[I].size());
  }
  // More than 65535 entries would need ZIP64; 10,240 fit the end record.
  TEndRecord E;
  E.Signature = TEndRecord::SignatureValue;
  E.DiskEntries = E.TotalEntries = static_cast<uint16_t>(EntryCount);
  E.DirSize = static_cast<uint32_t>(A->Position() - DirStart);
  E.DirOffset = static_cast<uint32_t>(DirStart);
  E.Write(*A);
}

struct TArchives {
  std::string Full;
  std::string Cut;
  int64_t FullSize;
  int64_t CutSize;
};

const TArchives& Archives() {
  static const TArchives Made = [] {
    const std::string Folder = BenchFolder();
    std::filesystem::create_directories(Folder);
    TArchives R{Folder + "/full.zip", Folder + "/cut.zip", 0, 0};
    const std::string Stamp = Folder + "/v1.done";
    if (!std::filesystem::exists(Stamp)) {
      std::fprintf(stderr, "making the benchmark archives in %s...\n", Folder.c_str());
      MakeArchives(R.Full, R.Cut);
      FileSystem().OpenFile(Stamp, fmCreate);
    }
    R.FullSize = static_cast<int64_t>(std::filesystem::file_size(R.Full));
    R.CutSize = static_cast<int64_t>(std::filesystem::file_size(R.Cut));
    return R;
  }();
  return Made;
}

// One open-and-load, as the open sequence does it.
int32_t LoadOnce(const std::string& Path) {
  TBenchArchiver Archiver;
  Archiver.UseArchiveStream(FileSystem().OpenFile(Path, fmOpenRead | fmShareDenyNone));
  TCVDirManager Manager(Archiver);
  Manager.LoadDirectory();
  return Manager.DirItems.Count();
}

void BM_LoadDirectory(benchmark::State& State) {
  const TArchives& A = Archives();
  for (auto _ : State) {
    const int32_t Count = LoadOnce(A.Full);
    if (Count != EntryCount) State.SkipWithError("wrong entry count");
  }
  // The bytes read are the directory and the end record: what the full
  // archive holds beyond the cut one.
  State.SetBytesProcessed(State.iterations() * (A.FullSize - A.CutSize));
  State.counters["entries/s"] =
      benchmark::Counter(static_cast<double>(State.iterations()) * EntryCount, benchmark::Counter::kIsRate);
}

void BM_RebuildDirectory(benchmark::State& State) {
  const TArchives& A = Archives();
  for (auto _ : State) {
    const int32_t Count = LoadOnce(A.Cut);
    if (Count != EntryCount) State.SkipWithError("wrong entry count");
  }
  State.SetBytesProcessed(State.iterations() * A.CutSize);
  State.counters["entries/s"] =
      benchmark::Counter(static_cast<double>(State.iterations()) * EntryCount, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_LoadDirectory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RebuildDirectory)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
