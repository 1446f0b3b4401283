// Writing that moves on to a new volume when the current one is full.

#include <algorithm>
#include <cstdint>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"

int64_t TCVBaseArchiver::WriteAcrossVolumes(const void* Data, int64_t Count, TStream* Pending, int32_t KeepTogether,
                                            TCVVolumeNumberInfo& Info, TStream*& Stream) {
  if (FSpanningMode == smNone) return Stream->Write(Data, Count);

  const auto* Bytes = static_cast<const uint8_t*>(Data);
  int64_t Written = 0;
  bool FreshVolume = false;
  while (Written < Count) {
    const int64_t PendingSize = Pending ? Pending->Size() : 0;
    const int64_t Free = DriveFreeSpace(FCurrentVolumeName);
    // Free space that cannot be told does not limit the volume.
    int64_t Room = Free < 0 ? INT64_MAX - PendingSize : Free - PendingSize;
    const int64_t Limit = FSpanningOptions.VolumeSizeFor(Info);
    if (Limit != -1) Room = std::min(Room, Limit - Stream->Size() - PendingSize);
    if (Room < 0) return Written;

    const int64_t Left = Count - Written;
    int64_t Done = 0;
    if (KeepTogether == -1 || Left + KeepTogether <= Room) {
      Done = (Pending ? Pending : Stream)->Write(Bytes + Written, std::min(Room, Left));
      Written += Done;
    }
    if (Written == Count) break;
    // A volume made for these bytes that takes none of them would only be
    // followed by another, and another.
    if (FreshVolume && Done == 0) return Written;

    if (Pending && Pending->Size() > 0) {
      Stream->CopyFrom(*Pending, 0);
      Pending->SetSize(0);
    }
    if (FSpanningMode == smSpanning)
      if (auto* File = dynamic_cast<TFileStream*>(Stream)) File->Flush();
    Info.SetNumber(Info.Number + 1);
    // OpenVolume frees the stream; if it raises, the caller holds none.
    Stream = nullptr;
    OpenVolume(Info);
    Stream = FArchiveStream.get();
    FreshVolume = true;
  }
  return Written;
}

void TCVBaseArchiver::WriteBufferAcrossVolumes(const void* Data, int64_t Count, TStream* Pending,
                                               int32_t KeepTogether, TCVVolumeNumberInfo& Info, TStream*& Stream) {
  if (WriteAcrossVolumes(Data, Count, Pending, KeepTogether, Info, Stream) < Count) throw ECVException(46, this);
}
