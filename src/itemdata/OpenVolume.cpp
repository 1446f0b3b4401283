#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "platform/Env.h"

// A single-file archive has one volume: the archive file itself, opened
// once. Split and spanned archives need the volume requests, which are not
// here yet: for them no volume can be obtained.
void TCVBaseArchiver::OpenVolume(TCVVolumeNumberInfo& Info) {
  if (FSpanningMode != smNone) throw ECVException(45, this);
  if (!FArchiveStream) {
    FArchiveStream = FileSystem().OpenFile(FFileName, FArchiveOpenMode);
    FCurrentVolumeName = FFileName;
  }
  FCurrentVolume.Number = Info.Number;
  FCurrentVolume.Role = Info.Role;
}
