// Making a volume of a split or spanned archive the archive stream.

#include <filesystem>
#include <system_error>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "itemdata/VolumeFiles.h"
#include "platform/Env.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Path.h"

namespace {

// A new volume is created only where more than this is free.
constexpr int64_t MinVolumeFreeSpace = 65536;

// A file that holds data may be a volume of the very set being salvaged.
bool HoldsData(const std::string& FileName) {
  std::error_code Error;
  if (!FileExists(FileName)) return false;
  const auto Size = std::filesystem::file_size(FileName, Error);
  return Error || Size > 0;
}

}  // namespace

void TCVBaseArchiver::OpenVolumeFile(const std::string& FileName) {
  // The old volume goes first: the same file may be opened again.
  FArchiveStream.reset();
  FArchiveStream = FileSystem().OpenFile(FileName, FArchiveOpenMode);
  FCurrentVolumeName = FileName;
}

int64_t TCVBaseArchiver::DriveFreeSpace(const std::string& FileName) const { return Drives().FreeSpace(FileName); }

void TCVBaseArchiver::OpenVolume(const TCVVolumeNumberInfo& Info) {
  if (FSpanningMode == smNone) {
    if (!FArchiveStream) OpenVolumeFile(FFileName);
    FCurrentVolume.Number = Info.Number;
    FCurrentVolume.Role = Info.Role;
    return;
  }

  std::string Name;
  bool Cancel = false;

  if (FArchiveOpenMode == fmCreate) {
    FArchiveStream.reset();
    const int64_t Required = FSpanningOptions.VolumeSizeFor(Info);
    for (;;) {
      Name = FFileName;
      DoOnRequestBlankVolume(Info.Number, Name, Cancel);
      // An empty name can name no volume; it ends the request like Cancel.
      if (Cancel || Name.empty()) throw ECVException(45, this);
      const int64_t Free = DriveFreeSpace(Name);
      // Free space that cannot be told is taken as enough.
      if (Free < 0 || (Free > MinVolumeFreeSpace && (Required <= 0 || Free >= Required))) break;
      DoOnDiskFull(Info.Number, Name, Cancel);
      if (Cancel) throw ECVException(45, this);
    }
    // Creating truncates: never at the cost of a file that holds data.
    if (HoldsData(Name)) throw ECVException(45, this);
    OpenVolumeFile(Name);
    // Labels are only written, never read; most systems cannot set them.
    if (FSpanningMode == smSpanning) {
      const std::string Folder = ExtractFilePath(Name);
      Drives().SetVolumeLabel(Folder.empty() ? Name : Folder, Format("pkback# %.3d", Info.Number + 1));
    }
    FCurrentVolume.Number = Info.Number;
    FCurrentVolume.Role = Info.Role;
    return;
  }

  // A volume record left behind by a failed open names no open stream.
  if (FArchiveStream && FCurrentVolume.SameVolume(Info)) return;
  for (;;) {
    Name = FFileName;
    if (Info.IsFirst())
      DoOnRequestFirstVolume(Name, Cancel);
    else if (Info.IsLast())
      DoOnRequestLastVolume(Name, Cancel);
    else
      DoOnRequestMiddleVolume(Info.Number, Name, Cancel);
    if (Cancel || Name.empty()) throw ECVException(45, this);
    const std::string OnDisk = FindVolumeFile(Name);
    if (!OnDisk.empty()) {
      OpenVolumeFile(OnDisk);
      // LastNumber stays: it is what the directory said.
      FCurrentVolume.Number = Info.Number;
      FCurrentVolume.Role = Info.Role;
      return;
    }
  }
}
