#pragma once

#include <memory>
#include <string>
#include <utility>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "platform/ByteOrder.h"
#include "support/ZipBuilder.h"

// A component whose archive stream a test sets directly, as the open
// sequence would after opening the file.
class TLoadArchiver : public TCorvane {
 public:
  void UseArchiveStream(std::unique_ptr<TStream> Stream) { FArchiveStream = std::move(Stream); }
  TStream* ArchiveStream() const { return FArchiveStream.get(); }
  void SetArchiveOpenMode(uint16_t Mode) { FArchiveOpenMode = Mode; }
};

// A component over an archive image and a manager made on its stream.
struct TLoadFixture {
  TLoadArchiver Archiver;
  std::unique_ptr<TCVDirManager> Manager;

  TLoadFixture(std::unique_ptr<TStream> Stream, bool OpenDamaged) {
    Archiver.SetOpenDamaged(OpenDamaged);
    Archiver.UseArchiveStream(std::move(Stream));
    Manager = std::make_unique<TCVDirManager>(Archiver);
  }
  TLoadFixture(const TBytes& Image, bool OpenDamaged) : TLoadFixture(MemoryStream(Image), OpenDamaged) {}

  static std::unique_ptr<TStream> MemoryStream(const TBytes& Image) {
    auto S = std::make_unique<TMemoryStream>();
    if (!Image.empty()) S->WriteBuffer(Image.data(), static_cast<int64_t>(Image.size()));
    S->SetPosition(0);
    return S;
  }

  TCVDirArray& Items() { return Manager->DirItems; }
  const TDirItem& Item(int32_t Index) { return Manager->DirItems.ItemPtr(Index); }
};

// The native error of the ECVException that Call raises; -1 when it raises
// none.
template <typename TCall>
int32_t NativeErrorOf(TCall&& Call) {
  try {
    Call();
  } catch (const ECVException& E) {
    return E.NativeError;
  }
  return -1;
}
