#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirManager.h"

// Opens the volume machinery's protected surface to the tests.
class TVolumeArchiver : public TCorvane {
 public:
  using TCVBaseArchiver::DoOnDiskFull;
  using TCVBaseArchiver::DoOnRequestBlankVolume;
  using TCVBaseArchiver::DoOnRequestFirstVolume;
  using TCVBaseArchiver::DoOnRequestLastVolume;
  using TCVBaseArchiver::DoOnRequestMiddleVolume;
  using TCVBaseArchiver::MakeVolumeFileName;

  void SetArchiveOpenMode(uint16_t Mode) { FArchiveOpenMode = Mode; }
  // A directory manager whose entry data starts at Offset.
  void SetDataStart(int64_t Offset) {
    if (!FDirManager) FDirManager = std::make_unique<TCVDirManager>(*this);
    FDirManager->DataStart = Offset;
  }
  TStream* ArchiveStream() const { return FArchiveStream.get(); }
  void DropArchiveStream() { FArchiveStream.reset(); }

  // The name of volume Index as MakeVolumeFileName gives it for FileName().
  std::string VolumeName(int32_t Index, bool CheckExists = false) {
    std::string Name = FileName();
    MakeVolumeFileName(Name, Index, CheckExists);
    return Name;
  }
};

// The native error of the ECVException that Call raises; -1 when it raises
// none.
template <typename F>
int32_t NativeErrorOf(F&& Call) {
  try {
    Call();
  } catch (const ECVException& E) {
    return E.NativeError;
  }
  return -1;
}
