#pragma once

#include <memory>
#include <utility>

#include "archiver/Corvane.h"
#include "directory/DirManager.h"

// Opens the protected surface to the tests.
class TTestArchiver : public TCorvane {
 public:
  using TCVBaseArchiver::CheckActive;
  using TCVBaseArchiver::CheckNotInUpdate;
  using TCVBaseArchiver::DoAfterOpen;
  using TCVBaseArchiver::DoOnConfirmOverwrite;
  using TCVBaseArchiver::DoOnConfirmProcessFile;
  using TCVBaseArchiver::DoOnDamagedFile;
  using TCVBaseArchiver::DoOnDiskFull;
  using TCVBaseArchiver::DoOnExtractFile;
  using TCVBaseArchiver::DoOnFileProgress;
  using TCVBaseArchiver::DoOnOverallProgress;
  using TCVBaseArchiver::DoOnPassword;
  using TCVBaseArchiver::DoOnProcessFileFailure;
  using TCVBaseArchiver::DoOnRequestBlankVolume;
  using TCVBaseArchiver::DoOnRequestFirstVolume;
  using TCVBaseArchiver::DoOnRequestLastVolume;
  using TCVBaseArchiver::DoOnRequestMiddleVolume;
  using TCVBaseArchiver::DoOnStoreFile;

  void SetActive(bool Value) { FActive = Value; }
  void SetUpdateLevel(int32_t Value) { FUpdateLevel = Value; }
  void Attach(std::unique_ptr<TStream> Stream) {
    FArchiveStream = std::move(Stream);
    FDirManager = std::make_unique<TCVDirManager>(*this);
  }
  bool HoldsStreamOrManager() const { return FArchiveStream || FDirManager; }
  TCVDirManager* DirManager() const { return FDirManager.get(); }
  TStream* ArchiveStream() const { return FArchiveStream.get(); }
};
