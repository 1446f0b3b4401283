// Opening and closing an archive: the file mode, the checks before anything
// is closed, the open sequence (create, plain probe, self-extractor probe,
// volume-mode detection) and the close.

#include <array>
#include <memory>
#include <utility>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "directory/ZipRecords.h"
#include "itemdata/VolumeFiles.h"
#include "platform/Env.h"
#include "platform/Files.h"
#include "platform/Path.h"

namespace {

// Existing archives: read-write when the file could be written, others may
// read; read-only otherwise, others may do anything. Both open read-only at
// the OS level (TFileStream); the value only records what the probe found.
constexpr uint16_t ArchiveModeReadWrite = fmOpenReadWrite | fmShareDenyWrite;  // 0x22
constexpr uint16_t ArchiveModeReadOnly = fmOpenRead | fmShareDenyNone;         // 0x40

// Runs Action on every way out of a scope unless dismissed.
template <typename TAction>
class TScopeGuard {
 public:
  explicit TScopeGuard(TAction Action) : FAction(std::move(Action)) {}
  ~TScopeGuard() {
    if (FArmed) FAction();
  }
  TScopeGuard(const TScopeGuard&) = delete;
  TScopeGuard& operator=(const TScopeGuard&) = delete;
  void Dismiss() { FArmed = false; }

 private:
  TAction FAction;
  bool FArmed = true;
};

bool FileNamePartIsBlank(const std::string& FileName) { return ExtractFileName(FileName).empty(); }

}  // namespace

// The open sequence works on the component's private state; it lives here so
// that the component's header carries one line for it.
class TCVOpenSequence {
 public:
  explicit TCVOpenSequence(TCVBaseArchiver& Archiver) : A(Archiver) {}

  void Run();

 private:
  // What one probing pass saw. Two passes that see the same thing would go on
  // seeing it: the file did not change and neither did the answer.
  struct TPass {
    std::string VolumeName;
    bool Valid = false;
    std::array<uint8_t, TEndRecord::Size> EndRecord{};
    bool operator==(const TPass&) const = default;
  };

  void Create();
  void ProbePlain();
  void ProbeSelfExtractor();
  // The loop of the plain probe, until the last volume holds a valid end
  // record or the archive turns out to be a single file.
  void ProbeLastVolume();
  // OpenVolume for a probe. A request for the last volume that is cancelled
  // while the caller asked for damaged archives to be opened does not end
  // the open: false, and the named file is open on its own (smNone).
  bool OpenProbedVolume(const TCVVolumeNumberInfo& Info);
  void FallBackToNamedFile();
  void MakeManager(bool IsNewArchive);
  void DetectVolumeMode(bool Valid);
  bool VolumeExists(int32_t VolumeIndex);

  TCVBaseArchiver& A;
  // OpenDamaged as the caller set it; the probes clear the component's own.
  bool CallerOpenDamaged = false;
};

void TCVOpenSequence::Run() {
  // An open that fails leaves nothing open behind it.
  TScopeGuard Release([this] {
    A.FDirManager.reset();
    A.FArchiveStream.reset();
  });
  if (A.FArchiveOpenMode == fmCreate || A.FInMemory) {
    Create();
  } else {
    A.FSpanningMode = smNone;
    A.FCurrentVolume.Reset();
    CallerOpenDamaged = A.FOpenDamaged;
    {
      // The probes ask what the file really holds; whatever happens, the
      // caller's switch comes back.
      TScopeGuard Restore([this] { A.FOpenDamaged = CallerOpenDamaged; });
      if (TCVBaseArchiver::IsExeFileName(A.FFileName))
        ProbeSelfExtractor();
      else
        ProbePlain();
    }
    if (!A.FDirManager->IsValidArchive()) throw ECVException(48, &A);
    A.FDirManager->LoadDirectory();
  }
  Release.Dismiss();
  A.FActive = true;
  A.DoAfterOpen();
}

// A new archive: an empty memory stream, or the first volume created by
// OpenVolume (through the blank-volume request when an earlier open left the
// component split or spanned; SpanningMode is kept on purpose).
void TCVOpenSequence::Create() {
  if (A.FInMemory) {
    A.FArchiveStream = std::make_unique<TMemoryStream>();
    // No file belongs to a memory archive, whatever an earlier open used.
    A.FCurrentVolumeName.clear();
  } else {
    TCVVolumeNumberInfo Info;
    Info.SetFirst(true);
    A.OpenVolume(Info);
  }
  MakeManager(true);
}

void TCVOpenSequence::ProbePlain() {
  A.FOpenDamaged = false;
  ProbeLastVolume();
}

void TCVOpenSequence::ProbeSelfExtractor() {
  TCVVolumeNumberInfo Info;
  Info.SetLast(true);
  A.OpenVolume(Info);
  MakeManager(false);
  A.FOpenDamaged = false;
  if (A.FDirManager->IsValidArchive()) {
    DetectVolumeMode(true);
    return;
  }
  // Not valid on its own: the .exe may be the first volume of a split set
  // whose last volume is name.ZIP.
  A.FDirManager.reset();
  A.FSpanningMode = smSplitting;
  if (VolumeExists(-1)) {
    A.FCurrentVolume.Reset();
    TCVVolumeNumberInfo Last;
    Last.SetLast(true);
    if (!OpenProbedVolume(Last)) return;
  }
  A.FSpanningMode = smNone;
  MakeManager(false);
  ProbeLastVolume();
}

void TCVOpenSequence::ProbeLastVolume() {
  // Removable media never make an archive spanned by themselves here: USB
  // sticks report removable and hold ordinary single-file archives.
  bool HavePrevious = false;
  TPass Previous;
  bool Valid = false;
  do {
    A.FDirManager.reset();
    A.FCurrentVolume.Reset();
    TCVVolumeNumberInfo Info;
    Info.SetLast(true);
    if (!OpenProbedVolume(Info)) return;
    MakeManager(false);
    Valid = A.FDirManager->IsValidArchive();

    TPass Now;
    Now.VolumeName = A.FCurrentVolumeName;
    Now.Valid = Valid;
    A.FDirManager->EndRecord.Encode(Now.EndRecord.data());
    // The request gave back the file just probed, and it says the same: a
    // further pass could only ask again. The mode detected before stands.
    if (HavePrevious && Now == Previous) break;
    DetectVolumeMode(Valid);
    Previous = std::move(Now);
    HavePrevious = true;
  } while (!Valid && A.FSpanningMode != smNone);
}

bool TCVOpenSequence::OpenProbedVolume(const TCVVolumeNumberInfo& Info) {
  try {
    A.OpenVolume(Info);
    return true;
  } catch (const ECVException& E) {
    if (E.NativeError != 45 || !CallerOpenDamaged) throw;
  }
  // Salvaging goes on with what the user named: the file is rebuilt on its own.
  FallBackToNamedFile();
  return false;
}

void TCVOpenSequence::FallBackToNamedFile() {
  A.FDirManager.reset();
  A.FArchiveStream.reset();
  A.FSpanningMode = smNone;
  A.FCurrentVolume.Reset();
  TCVVolumeNumberInfo Info;
  Info.SetLast(true);
  A.OpenVolume(Info);
  MakeManager(false);
}

void TCVOpenSequence::MakeManager(bool IsNewArchive) {
  A.FDirManager = std::make_unique<TCVDirManager>(A.FArchiveStream.get(), A, IsNewArchive);
}

void TCVOpenSequence::DetectVolumeMode(bool Valid) {
  const TEndRecord& End = A.FDirManager->EndRecord;
  // No end-record candidate at all: a single file (a removable drive alone
  // does not make it spanned).
  if (End.Signature == 0) {
    A.FSpanningMode = smNone;
    return;
  }
  if (Valid && End.DiskNumber == 0) {
    A.FSpanningMode = smNone;
    return;
  }
  const int32_t N = End.DiskNumber;
  A.FSpanningMode = smSplitting;
  if (VolumeExists(N - 1)) {
    if (N == 0) A.FSpanningMode = smNone;
    return;
  }
  TCVSpanningOptions& Options = A.FSpanningOptions;
  Options.AdvancedNaming = !Options.AdvancedNaming;
  if (VolumeExists(N - 1)) return;
  Options.AdvancedNaming = !Options.AdvancedNaming;
  A.FSpanningMode = N > 0 ? smSpanning : smNone;
}

// Whether the split naming, as set now, names an existing file for the
// volume (a case-insensitive match counts, as OpenVolume finds it).
bool TCVOpenSequence::VolumeExists(int32_t VolumeIndex) {
  std::string Name = A.FFileName;
  A.MakeVolumeFileName(Name, VolumeIndex, false);
  return !FindVolumeFile(Name).empty();
}

void TCVBaseArchiver::OpenArchive() {
  if (!FInMemory && FileNamePartIsBlank(FFileName)) throw ECVException(9, this);
  uint16_t Mode = fmCreate;
  if (!FInMemory && FileExists(FFileName))
    Mode = FileSystem().CanOpenForWriting(FFileName) ? ArchiveModeReadWrite : ArchiveModeReadOnly;
  OpenArchiveMode(Mode);
}

void TCVBaseArchiver::OpenArchiveMode(uint16_t Mode) {
  // These checks run before CloseArchive: an archive that is open stays open
  // when they fail.
  if (!FInMemory && FileNamePartIsBlank(FFileName)) throw ECVException(10, this);
  // A missing file is asked for only when it lies on a spanned disk still to
  // be inserted; a removable drive alone does not make it so.
  if (Mode != fmCreate && !FileExists(FFileName) && FSpanningMode != smSpanning)
    throw ECVException(12, {FFileName}, this);
  if (Mode != fmCreate && FInMemory) throw ECVException(28, {FFileName}, this);
  CloseArchive();
  FArchiveOpenMode = Mode;
  TCVOpenSequence(*this).Run();
}

void TCVBaseArchiver::CommitUpdate() {
  // Batch updates write here. Nothing in this system opens one, so with
  // UpdateLevel at 0 there is never anything to commit.
}

void TCVBaseArchiver::CloseArchive() {
  if (FActive) {
    try {
      CommitUpdate();
      // A new archive that received nothing becomes a valid empty one.
      if (FArchiveStream && FDirManager && FArchiveStream->Size() == 0) FDirManager->SaveDirectory();
    } catch (...) {
      // Closing never raises: the archive is closed whatever went wrong.
    }
    FActive = false;
  }
  FDirManager.reset();
  FArchiveStream.reset();
}
