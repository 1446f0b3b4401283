#pragma once

// Shared by the entry-reader tests: a component whose archive is an image
// built in memory, with a recorder for the events the reader fires.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "support/ZipBuilder.h"

// Opens the reader's state to the tests.
class TReaderArchiver : public TCorvane {
 public:
  using TCVBaseArchiver::ReadItemData;

  // The archive stream becomes Image; the directory is read from Directory,
  // the undamaged image of the same archive, so that damage to the data
  // leaves the directory as the builder wrote it.
  void Attach(const TBytes& Image, const TBytes& Directory, const ZipLayout& Layout) {
    auto Stream = std::make_unique<TMemoryStream>();
    Stream->Write(Image.data(), static_cast<int64_t>(Image.size()));
    FArchiveStream = std::move(Stream);
    FDirManager = std::make_unique<TCVDirManager>(*this);
    TMemoryStream Source;
    Source.Write(Directory.data(), static_cast<int64_t>(Directory.size()));
    Source.SetPosition(Layout.CentralDirectory);
    TCVDirArray& Items = FDirManager->DirItems;
    Items.SetCount(static_cast<int32_t>(Layout.Entries.size()));
    for (int32_t I = 0; I < Items.Count(); ++I) ReadDirItem(Source, Items.ItemPtr(I), true);
    FActive = true;
  }
  // Image as the archive, its directory loaded (or rebuilt) by the directory
  // manager itself.
  void Load(const TBytes& Image) {
    auto Stream = std::make_unique<TMemoryStream>();
    Stream->Write(Image.data(), static_cast<int64_t>(Image.size()));
    FArchiveStream = std::move(Stream);
    FDirManager = std::make_unique<TCVDirManager>(*this);
    FDirManager->LoadDirectory();
    FActive = true;
  }
  int32_t ItemCount() const { return FDirManager->DirItems.Count(); }

  // The builder's image, damage included, with its undamaged directory.
  void Attach(const ZipBuilder& B, const TBytes& Undamaged) { Attach(B.Build(), Undamaged, B.Layout()); }
  void Attach(const ZipBuilder& B) { Attach(B, B.Build()); }

  // A split archive whose volumes lie on disk, the last one at FileName():
  // the directory comes from the builder's undamaged image, and no volume is
  // open yet.
  void AttachSplit(const ZipBuilder& B, const TBytes& Undamaged, int32_t VolumeCount) {
    Attach(Undamaged, Undamaged, B.Layout());
    FArchiveStream.reset();
    FDirManager->EndRecord.DiskNumber = static_cast<uint16_t>(VolumeCount - 1);
    FArchiveOpenMode = fmShareDenyNone;
  }

  TDirItem& Item(int32_t Index) { return FDirManager->DirItems.ItemPtr(Index); }
  TStream& ArchiveStream() { return *FArchiveStream; }

  // The state a processing run sets before each entry.
  void StartRun(int32_t Processed, int32_t Selected) {
    FProgressEnabled = true;
    FProcessedFileCount = Processed;
    FSelectedFileCount = Selected;
  }
  void SetCancelRequested(bool Value) { FCancelRequested = Value; }
  bool CancelRequested() const { return FCancelRequested; }
  bool SkipFileRequested() const { return FSkipFileRequested; }
  long double FileBytesDone() const { return FFileBytesDone; }
  long double FileBytesTotal() const { return FFileBytesTotal; }
};

// Every event the reader fires, in order.
struct TReaderEvent {
  enum TKind : uint8_t { evFile, evOverall, evPassword, evDamaged };
  TKind Kind;
  std::string FileName;
  double Progress = 0;
  std::string Text;  // the reason of evDamaged
};

class TReaderRecorder {
 public:
  explicit TReaderRecorder(TReaderArchiver& A) {
    A.SetOnFileProgress([this](TCVBaseArchiver&, const std::string& Name, double Progress,
                               TCVProcessOperation, TCVProgressPhase Phase, bool& Cancel) {
      EXPECT_EQ(Phase, ppProcess);
      Events.push_back({TReaderEvent::evFile, Name, Progress, {}});
      if (CancelAtFileEvent == static_cast<int>(Count(TReaderEvent::evFile))) Cancel = true;
    });
    A.SetOnOverallProgress(
        [this](TCVBaseArchiver&, double Progress, TCVProcessOperation, TCVProgressPhase Phase, bool&) {
          EXPECT_EQ(Phase, ppProcess);
          Events.push_back({TReaderEvent::evOverall, {}, Progress, {}});
        });
    A.SetOnDamagedFile([this](TCVBaseArchiver&, const std::string& Name, const std::string& Reason) {
      Events.push_back({TReaderEvent::evDamaged, Name, 0, Reason});
    });
  }

  size_t Count(TReaderEvent::TKind Kind) const {
    size_t N = 0;
    for (const auto& E : Events) N += E.Kind == Kind;
    return N;
  }
  std::vector<std::string> DamageReasons() const {
    std::vector<std::string> R;
    for (const auto& E : Events)
      if (E.Kind == TReaderEvent::evDamaged) R.push_back(E.Text);
    return R;
  }

  // Sets Cancel in the file-progress event with this number (from 1).
  int CancelAtFileEvent = 0;
  std::vector<TReaderEvent> Events;
};

inline TBytes StreamBytes(const TMemoryStream& S) { return S.Bytes(); }

// Deterministic filler: Words from a small vocabulary compress about three
// to one and leave back-references everywhere; Noise does not compress.
inline TBytes Words(size_t Size, uint32_t Seed) {
  static const char* const Vocabulary[] = {"salvage ", "archive ", "deflate ", "chunk ", "entry ", "volume ",
                                           "the ",     "of ",      "damaged ", "data ",  "kept ",  "\n"};
  TBytes Out;
  Out.reserve(Size + 16);
  uint32_t X = Seed;
  while (Out.size() < Size) {
    X = X * 1103515245u + 12345u;
    const char* W = Vocabulary[(X >> 16) % 12];
    Out.insert(Out.end(), W, W + std::char_traits<char>::length(W));
  }
  Out.resize(Size);
  return Out;
}

inline TBytes Noise(size_t Size, uint32_t Seed) {
  TBytes Out(Size);
  uint32_t X = Seed;
  for (auto& B : Out) {
    X ^= X << 13;
    X ^= X >> 17;
    X ^= X << 5;
    B = static_cast<uint8_t>(X);
  }
  return Out;
}

// Alternating 4 KiB runs of Words and Noise: deflate keeps about 60 percent,
// with back-references and literals crossing every chunk boundary.
inline TBytes Mixed(size_t Size, uint32_t Seed) {
  TBytes W = Words(Size, Seed);
  TBytes N = Noise(Size, Seed + 1);
  for (size_t Pos = 4096; Pos < Size; Pos += 8192)
    std::copy(N.begin() + Pos, N.begin() + std::min(Size, Pos + 4096), W.begin() + Pos);
  return W;
}

inline TBytes Concat(TBytes A, const TBytes& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

// The NativeError of the ECVException Call raises; -1 when it raises none.
template <typename F>
int32_t RaisedNativeError(F&& Call) {
  try {
    Call();
  } catch (const ECVException& E) {
    return E.NativeError;
  }
  return -1;
}
