#include "directory/DirManager.h"

#include <algorithm>
#include <vector>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/SignatureScan.h"
#include "platform/ByteOrder.h"
#include "platform/Env.h"

namespace {

// The end record is 22 bytes and its comment at most 65535: an end record
// whose comment reaches the end of the file starts within the last 65557
// bytes; the window keeps a little more.
constexpr int64_t EndRecordWindow = 65600;

}  // namespace

TCVDirManager::TCVDirManager(TStream* Stream, TCVBaseArchiver& Archiver, bool IsNewArchive)
    : Stream(Stream),
      IsNewArchive(IsNewArchive),
      ExternalStream(Stream != Archiver.FArchiveStream.get()),
      FArchiver(Archiver) {
  ResetDirectory();
  if (IsNewArchive) {
    FArchiver.FCurrentVolume.SetFirst(true);
    if (!FArchiver.SFXStub().empty()) WriteSFXStub();
  }
}

TCVDirManager::TCVDirManager(TCVBaseArchiver& Archiver)
    : TCVDirManager(Archiver.FArchiveStream.get(), Archiver, false) {}

TCVDirManager::~TCVDirManager() = default;

void TCVDirManager::ResetDirectory() {
  DirItems.SetCount(0);
  EndRecord = TEndRecord();
  EndRecord.Signature = TEndRecord::SignatureValue;
}

bool TCVDirManager::FindEndRecord(TEndRecord& Record, int64_t& Position, uint32_t Signature) {
  Position = -1;
  ArchiveComment.clear();
  Record = TEndRecord();

  const int64_t FileSize = Stream->Size();
  const int64_t WindowStart = FileSize - std::min(FileSize, EndRecordWindow);
  std::vector<uint8_t> Window(static_cast<size_t>(FileSize - WindowStart));
  Stream->SetPosition(WindowStart);
  Stream->ReadBuffer(Window.data(), static_cast<int64_t>(Window.size()));

  uint8_t Pattern[4];
  PutLE32(Pattern, Signature);
  // Nearest the end first. The window ends at the end of the file, so every
  // candidate is checked in memory against the bytes that follow it.
  for (size_t I = Window.size(); I-- > 3;) {
    if (Window[I] != Pattern[3] || Window[I - 1] != Pattern[2] || Window[I - 2] != Pattern[1] ||
        Window[I - 3] != Pattern[0])
      continue;
    const size_t Candidate = I - 3;
    const size_t After = Window.size() - Candidate;
    if (After < TEndRecord::Size) continue;
    // Every candidate examined lands in Record, as the opening code expects
    // of a failed search.
    Record.Decode(Window.data() + Candidate);
    if (Record.CommentLength != After - TEndRecord::Size) continue;
    Position = WindowStart + static_cast<int64_t>(Candidate);
    const char* Comment = reinterpret_cast<const char*>(Window.data() + Candidate + TEndRecord::Size);
    ArchiveComment = DecodeArchiveComment(std::string(Comment, Record.CommentLength));
    return true;
  }
  return false;
}

bool TCVDirManager::CheckEndRecord(TEndRecord& Record, int64_t Offset) {
  const int64_t FileSize = Stream->Size();
  if (Offset < 0 || FileSize - Offset < static_cast<int64_t>(TEndRecord::Size)) return false;
  uint8_t Bytes[TEndRecord::Size];
  if (ReadStreamAt(*Stream, Offset, Bytes, TEndRecord::Size) != static_cast<int64_t>(TEndRecord::Size))
    return false;
  Record.Decode(Bytes);
  return Record.CommentLength == FileSize - Offset - static_cast<int64_t>(TEndRecord::Size);
}

bool TCVDirManager::IsValidArchive() {
  int64_t Position = -1;
  const bool Found = FindEndRecord(EndRecord, Position, TEndRecord::SignatureValue);
  return FArchiver.OpenDamaged() || Found;
}

void TCVDirManager::WriteSFXStub() {
  std::unique_ptr<TFileStream> Stub =
      FileSystem().OpenFile(FArchiver.SFXStub(), fmOpenRead | fmShareDenyNone);
  const int64_t StubSize = Stub->Size();
  if (FArchiver.SpanningMode() != smNone) {
    TCVVolumeNumberInfo First;
    First.SetFirst(true);
    const int64_t Limit = FArchiver.SpanningOptions().VolumeSizeFor(First);
    if (Limit != -1 && Limit < StubSize) throw ECVException(47, &FArchiver);
  }
  Stream->SetSize(0);
  if (StubSize > 0) Stream->CopyFrom(*Stub, 0);
  DataStart = StubSize;
}
