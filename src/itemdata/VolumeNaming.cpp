// Volume file names and size limits of split and spanned archives.

#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "itemdata/VolumeFiles.h"
#include "platform/Format.h"
#include "platform/Path.h"

namespace {

// The name of volume Index under one naming scheme, from the archive's name.
std::string VolumeName(const std::string& FileName, int32_t Index, TCVSpanningMode Mode, bool AdvancedNaming,
                       bool SelfExtracting) {
  if (Mode == smNone) return FileName;
  const std::string Path = ExtractFilePath(FileName);
  const std::string Ext = ExtractFileExt(FileName);
  const std::string FilePart = ExtractFileName(FileName);
  const std::string Name = FilePart.substr(0, FilePart.size() - Ext.size());
  // %.3u and %.2d pad to their width and grow past it (.Z100).
  const int64_t N = static_cast<int64_t>(Index) + 1;

  if (Mode == smSpanning) {
    if (Index < 0) return FileName;
    const std::string DiskExt = SelfExtracting ? ".exe" : Ext;
    return AdvancedNaming ? Path + Name + "_" + Format("%.3u", N) + DiskExt : Path + Name + DiskExt;
  }
  // smSplitting: a self-extracting set starts with the program and ends with
  // the archive.
  if (Index == 0 && SelfExtracting) return Path + Name + ".exe";
  if (Index == -1 && SelfExtracting) return Path + Name + ".ZIP";
  if (Index < 0) return FileName;
  return AdvancedNaming ? Path + Name + "_" + Format("%.3u", N) + Ext : Path + Name + ".Z" + Format("%.2d", N);
}

}  // namespace

int64_t TCVSpanningOptions::VolumeSizeFor(const TCVVolumeNumberInfo& Info) const {
  if (Info.IsFirst() && FirstVolumeSize > 0) return FirstVolumeSize;
  switch (VolumeSize) {
    case vsCustom: return FCustomVolumeSize;
    case vs1_44MB: return 1457664;
    case vs100MB: return 104857600;
    case vs200MB: return 209715200;
    case vs250MB: return 262144000;
    case vs600MB: return 629145600;
    case vs650MB: return 681574400;
    case vs700MB: return 734003200;
    case vsAutoDetect:
    default: return -1;
  }
}

bool TCVBaseArchiver::IsExeFileName(const std::string& FileName) {
  return AsciiLowerCase(ExtractFileExt(FileName)).find(".exe") != std::string::npos;
}

void TCVBaseArchiver::MakeVolumeFileName(std::string& FileName, int32_t VolumeIndex, bool CheckExists) {
  const bool SelfExtracting =
      (FDirManager && FDirManager->DataStart != 0) || !FSFXStub.empty() || IsExeFileName(FileName);
  const bool Advanced = FSpanningOptions.AdvancedNaming;
  std::string Result = VolumeName(FileName, VolumeIndex, FSpanningMode, Advanced, SelfExtracting);
  // An inserted disk may carry the set under the other scheme.
  if (FSpanningMode == smSpanning && CheckExists && !VolumeFileExists(Result)) {
    std::string Other = VolumeName(FileName, VolumeIndex, FSpanningMode, !Advanced, SelfExtracting);
    if (VolumeFileExists(Other)) Result = std::move(Other);
  }
  FileName = std::move(Result);
}
