#include "support/FakeEnv.h"

#include <fcntl.h>

#include <algorithm>

#include "platform/Exceptions.h"
#include "platform/Stream.h"

namespace {

bool NameMatches(const std::string& Knob, const std::string& FileName) {
  if (Knob == FileName) return true;
  if (Knob.find('/') != std::string::npos) return false;
  size_t Slash = FileName.rfind('/');
  return Slash != std::string::npos && FileName.compare(Slash + 1, std::string::npos, Knob) == 0;
}

bool Covers(const std::string& Prefix, const std::string& Path) {
  if (Path.compare(0, Prefix.size(), Prefix) != 0) return false;
  return Path.size() == Prefix.size() || Prefix.empty() || Prefix.back() == '/' || Path[Prefix.size()] == '/';
}

// A file stream that takes Limit bytes in total and then no more.
class TShortWriteFileStream : public TFileStream {
 public:
  TShortWriteFileStream(const std::string& FileName, int Handle, int64_t Limit)
      : TFileStream(FileName, TAdoptHandle{Handle}), FLeft(Limit) {}

  int64_t Write(const void* Buffer, int64_t Count) override {
    int64_t N = TFileStream::Write(Buffer, std::min(Count, FLeft));
    FLeft -= N;
    return N;
  }

 private:
  int64_t FLeft;
};

}  // namespace

bool TFaultFileSystem::TakeWriteRefusal(const std::string& FileName) {
  for (auto& [Name, Times] : FRefuseWriting) {
    if (!NameMatches(Name, FileName) || Times == 0) continue;
    if (Times > 0) --Times;
    return true;
  }
  return false;
}

bool TFaultFileSystem::CreateFails(const std::string& FileName) const {
  return FFailEveryCreate ||
         std::any_of(FFailCreate.begin(), FFailCreate.end(), [&](const auto& N) { return NameMatches(N, FileName); });
}

std::unique_ptr<TFileStream> TFaultFileSystem::Limited(std::unique_ptr<TFileStream> Stream) {
  int64_t Limit = FEveryWriteLimit;
  for (const auto& [Name, Bytes] : FWriteLimits)
    if (NameMatches(Name, Stream->FileName())) Limit = Bytes;
  if (Limit < 0) return Stream;
  // The wrapper owns a duplicate of the descriptor (same file position); the
  // original closes with Stream.
  int Fd = fcntl(Stream->Handle(), F_DUPFD_CLOEXEC, 0);
  if (Fd < 0) RaiseFileError(feOpen, Stream->FileName(), "cannot duplicate the descriptor");
  return std::make_unique<TShortWriteFileStream>(Stream->FileName(), Fd, Limit);
}

std::unique_ptr<TFileStream> TFaultFileSystem::OpenFile(const std::string& FileName, uint16_t Mode) {
  FOpens.emplace_back(FileName, Mode);
  if (Mode == fmCreate && CreateFails(FileName)) RaiseFileError(feCreate, FileName, "Permission denied");
  if ((Mode == fmCreate || (Mode & 3) != fmOpenRead) && TakeWriteRefusal(FileName))
    RaiseFileError(Mode == fmCreate ? feCreate : feOpen, FileName, "Permission denied");
  return Limited(FBase.OpenFile(FileName, Mode));
}

std::unique_ptr<TFileStream> TFaultFileSystem::CreateNewFile(const std::string& FileName) {
  FCreates.push_back(FileName);
  if (CreateFails(FileName)) RaiseFileError(feCreate, FileName, "Permission denied");
  return Limited(FBase.CreateNewFile(FileName));
}

bool TFaultFileSystem::CanOpenForWriting(const std::string& FileName) {
  if (TakeWriteRefusal(FileName)) return false;
  return FBase.CanOpenForWriting(FileName);
}

bool TFakeDrives::IsRemovable(const std::string& Path) {
  return std::any_of(FRemovable.begin(), FRemovable.end(), [&](const auto& P) { return Covers(P, Path); });
}

int64_t TFakeDrives::FreeSpace(const std::string& Path) {
  int64_t Bytes = DefaultFreeSpace;
  size_t Best = 0;
  bool Found = false;
  for (const auto& [Prefix, Free] : FFreeSpace)
    if (Covers(Prefix, Path) && (!Found || Prefix.size() >= Best)) {
      Bytes = Free;
      Best = Prefix.size();
      Found = true;
    }
  return Bytes;
}

bool TFakeDrives::SetVolumeLabel(const std::string& Path, const std::string& Label) {
  FLabelCalls.push_back({Path, Label});
  return LabelResult;
}
