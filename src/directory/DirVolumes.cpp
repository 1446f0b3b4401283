#include "archiver/Corvane.h"
#include "directory/DirManager.h"

void TCVDirManager::SwitchVolume(TCVVolumeNumberInfo& Volume) {
  // A stream handed in from outside has no volumes to switch to.
  if (ExternalStream) return;
  FArchiver.OpenVolume(Volume);
  Stream = FArchiver.FArchiveStream.get();
}
