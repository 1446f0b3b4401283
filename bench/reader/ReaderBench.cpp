// MB/s of ExtractItemToStream into a discarding stream for one large
// deflated entry, next to python3's zlib inflating the same deflate data and
// `unzip -p` extracting the same entry, in one run.
//
//   salvor_bench_reader [--size-mib N] [--runs N]
//
// The archive is made once and cached under $TMPDIR/salvor-bench. Each tool
// runs several times on a warm page cache; the best run counts.

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "archiver/Corvane.h"
#include "directory/DirItem.h"
#include "directory/DirManager.h"
#include "platform/ByteOrder.h"
#include "platform/Stream.h"

namespace {

constexpr uint32_t EntryTime = 0x5A2F6000;  // any valid DOS stamp

// Text-like data that deflate keeps at about 40 percent, with stretches that do
// not compress, so both decoding paths of inflate are timed.
void FillBlock(std::vector<uint8_t>& Block, uint32_t& X) {
  static const char* const Words[] = {"salvage ", "archive ", "deflate ", "chunk ", "entry ", "volume ",
                                      "the ",     "of ",      "damaged ", "data ",  "kept ",  "\n"};
  size_t Pos = 0;
  while (Pos < Block.size()) {
    X = X * 1103515245u + 12345u;
    if ((X >> 8) % 256 == 0) {
      for (int I = 0; I < 512 && Pos < Block.size(); ++I) {
        X = X * 1103515245u + 12345u;
        Block[Pos++] = static_cast<uint8_t>(X >> 24);
      }
      continue;
    }
    const char* W = Words[(X >> 16) % 12];
    while (*W != 0 && Pos < Block.size()) Block[Pos++] = static_cast<uint8_t>(*W++);
  }
}

void Put16(std::vector<uint8_t>& B, uint16_t V) { B.insert(B.end(), {uint8_t(V), uint8_t(V >> 8)}); }
void Put32(std::vector<uint8_t>& B, uint32_t V) {
  for (int I = 0; I < 4; ++I) B.push_back(static_cast<uint8_t>(V >> (8 * I)));
}

struct TWorkload {
  std::string Archive;
  int64_t DataOffset = 0;
  int64_t CompressedSize = 0;
  int64_t UncompressedSize = 0;
  int64_t CentralOffset = 0;
};

// One entry "big.bin", deflated at level 6; sizes below 4 GiB.
TWorkload MakeWorkload(int64_t SizeMiB) {
  namespace fs = std::filesystem;
  const char* Tmp = std::getenv("TMPDIR");
  fs::path Dir = fs::path(Tmp != nullptr && *Tmp != 0 ? Tmp : "/tmp") / "salvor-bench";
  fs::create_directories(Dir);
  TWorkload W;
  W.Archive = (Dir / ("reader-v2-" + std::to_string(SizeMiB) + "mib.zip")).string();
  const std::string Name = "big.bin";

  if (!fs::exists(W.Archive)) {
    std::fprintf(stderr, "making %s ...\n", W.Archive.c_str());
    const std::string Part = W.Archive + ".part";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> F(std::fopen(Part.c_str(), "wb"), std::fclose);
    if (!F) throw std::runtime_error("cannot create " + Part);
    std::vector<uint8_t> Header(30 + Name.size(), 0);
    std::fwrite(Header.data(), 1, Header.size(), F.get());

    z_stream Z{};
    deflateInit2(&Z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> Block(1 << 20), Out(1 << 21);
    uint32_t X = 12345, Crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    int64_t Plain = 0, Packed = 0;
    for (int64_t I = 0; I < SizeMiB; ++I) {
      FillBlock(Block, X);
      Crc = static_cast<uint32_t>(crc32(Crc, Block.data(), static_cast<uInt>(Block.size())));
      Plain += static_cast<int64_t>(Block.size());
      Z.next_in = Block.data();
      Z.avail_in = static_cast<uInt>(Block.size());
      int Flush = I + 1 == SizeMiB ? Z_FINISH : Z_NO_FLUSH;
      do {
        Z.next_out = Out.data();
        Z.avail_out = static_cast<uInt>(Out.size());
        deflate(&Z, Flush);
        size_t N = Out.size() - Z.avail_out;
        std::fwrite(Out.data(), 1, N, F.get());
        Packed += static_cast<int64_t>(N);
      } while (Z.avail_out == 0);
    }
    deflateEnd(&Z);

    // Local header (APPNOTE 4.3.7), written last over its placeholder.
    std::vector<uint8_t> L;
    Put32(L, 0x04034B50);
    Put16(L, 20);
    Put16(L, 0);
    Put16(L, 8);
    Put32(L, EntryTime);
    Put32(L, Crc);
    Put32(L, static_cast<uint32_t>(Packed));
    Put32(L, static_cast<uint32_t>(Plain));
    Put16(L, static_cast<uint16_t>(Name.size()));
    Put16(L, 0);
    L.insert(L.end(), Name.begin(), Name.end());
    // Central header and end record (APPNOTE 4.3.12, 4.3.16).
    std::vector<uint8_t> C;
    Put32(C, 0x02014B50);
    Put16(C, 20);
    C.insert(C.end(), L.begin() + 4, L.begin() + 30);
    Put16(C, 0);
    Put16(C, 0);
    Put16(C, 0);
    Put32(C, 0x20);
    Put32(C, 0);
    C.insert(C.end(), Name.begin(), Name.end());
    const uint32_t CentralOffset = static_cast<uint32_t>(L.size() + Packed);
    const uint32_t CentralSize = static_cast<uint32_t>(C.size());
    Put32(C, 0x06054B50);
    Put16(C, 0);
    Put16(C, 0);
    Put16(C, 1);
    Put16(C, 1);
    Put32(C, CentralSize);
    Put32(C, CentralOffset);
    Put16(C, 0);
    std::fwrite(C.data(), 1, C.size(), F.get());
    std::fseek(F.get(), 0, SEEK_SET);
    std::fwrite(L.data(), 1, L.size(), F.get());
    F.reset();
    fs::rename(Part, W.Archive);
  }

  // Read the sizes back from the end record and the central header.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> F(std::fopen(W.Archive.c_str(), "rb"), std::fclose);
  uint8_t End[22];
  std::fseek(F.get(), -22, SEEK_END);
  if (std::fread(End, 1, 22, F.get()) != 22) throw std::runtime_error("cannot read the end record");
  W.CentralOffset = GetLE32(End + 16);
  uint8_t Central[46];
  std::fseek(F.get(), static_cast<long>(W.CentralOffset), SEEK_SET);
  if (std::fread(Central, 1, 46, F.get()) != 46) throw std::runtime_error("cannot read the central header");
  W.CompressedSize = GetLE32(Central + 20);
  W.UncompressedSize = GetLE32(Central + 24);
  W.DataOffset = 30 + GetLE16(Central + 28);
  return W;
}

// The component with the archive attached and its one item loaded, as the
// open sequence would leave it.
class TBenchArchiver : public TCorvane {
 public:
  void Attach(const TWorkload& W) {
    FArchiveStream = std::make_unique<TFileStream>(W.Archive, fmShareDenyNone);
    FDirManager = std::make_unique<TCVDirManager>(*this);
    FArchiveStream->SetPosition(W.CentralOffset);
    FDirManager->DirItems.SetCount(1);
    ReadDirItem(*FArchiveStream, FDirManager->DirItems.ItemPtr(0), true);
    FActive = true;
  }
};

double Seconds(const std::function<void()>& Run) {
  auto Start = std::chrono::steady_clock::now();
  Run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

double Best(int Runs, const std::function<double()>& Run) {
  double B = 1e100;
  for (int I = 0; I < Runs; ++I) B = std::min(B, Run());
  return B;
}

bool Have(const std::string& Program) {
  return std::system(("command -v " + Program + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int64_t SizeMiB = 512;
  int Runs = 3;
  for (int I = 1; I + 1 < argc; I += 2) {
    std::string A = argv[I];
    if (A == "--size-mib") SizeMiB = std::atoll(argv[I + 1]);
    if (A == "--runs") Runs = std::atoi(argv[I + 1]);
  }
  SizeMiB = std::clamp<int64_t>(SizeMiB, 1, 3500);

  const TWorkload W = MakeWorkload(SizeMiB);
  const double MB = static_cast<double>(W.UncompressedSize) / 1e6;
  std::printf("entry: %.1f MB plain, %.1f MB deflated (%s)\n", MB,
              static_cast<double>(W.CompressedSize) / 1e6, W.Archive.c_str());
  // Warm the page cache.
  std::system(("cat '" + W.Archive + "' > /dev/null").c_str());

  const double Ours = Best(Runs, [&] {
    TBenchArchiver A;
    A.Attach(W);
    TNullStream Null;
    double S = Seconds([&] { A.ExtractItemToStream(0, Null); });
    if (Null.Size() != W.UncompressedSize) throw std::runtime_error("wrong size");
    return S;
  });
  std::printf("%-34s %8.1f MB/s  (%.3f s)\n", "ExtractItemToStream -> TNullStream", MB / Ours, Ours);

  if (Have("python3")) {
    // Inflating the same raw deflate data in 1 MiB pieces, CRC-32 included,
    // timed inside the interpreter.
    const std::string Script =
        "import sys,time,zlib\n"
        "f=open(sys.argv[1],'rb');f.seek(int(sys.argv[2]));left=int(sys.argv[3])\n"
        "t=time.perf_counter();d=zlib.decompressobj(-15);c=0;n=0\n"
        "while left>0:\n"
        "  b=f.read(min(left,1<<20));left-=len(b)\n"
        "  o=d.decompress(b);c=zlib.crc32(o,c);n+=len(o)\n"
        "o=d.flush();c=zlib.crc32(o,c);n+=len(o)\n"
        "print(time.perf_counter()-t)\n";
    const std::string Cmd = "python3 -c \"$SALVOR_BENCH_PY\" '" + W.Archive + "' " +
                            std::to_string(W.DataOffset) + " " + std::to_string(W.CompressedSize);
    setenv("SALVOR_BENCH_PY", Script.c_str(), 1);
    const double Py = Best(Runs, [&] {
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> P(popen(Cmd.c_str(), "r"), pclose);
      double S = 1e100;
      if (P && std::fscanf(P.get(), "%lf", &S) != 1) S = 1e100;
      return S;
    });
    std::printf("%-34s %8.1f MB/s  (%.3f s)  salvor/python = %.2f\n", "python3 zlib (inflate + crc32)",
                MB / Py, Py, Py / Ours);
  } else {
    std::printf("python3 not found\n");
  }

  if (Have("unzip")) {
    const double Unzip = Best(Runs, [&] {
      return Seconds([&] { std::system(("unzip -p '" + W.Archive + "' big.bin > /dev/null").c_str()); });
    });
    std::printf("%-34s %8.1f MB/s  (%.3f s)  salvor/unzip = %.2f\n", "unzip -p > /dev/null", MB / Unzip,
                Unzip, Unzip / Ours);
  } else {
    std::printf("unzip not found\n");
  }
  return 0;
}
