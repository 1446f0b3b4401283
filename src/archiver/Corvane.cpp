#include "archiver/Corvane.h"

#include <algorithm>
#include <charconv>

#include "archiver/CVExcept.h"
#include "directory/DirManager.h"
#include "itemdata/VolumeFiles.h"
#include "platform/Dialogs.h"
#include "platform/Env.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Path.h"
#include "platform/Version.h"

std::string ToEventName(std::string StoredName) {
  std::replace(StoredName.begin(), StoredName.end(), '/', PathDelim);
  return StoredName;
}

void TCVOptions::Assign(const TCVOptions& Source) {
  StorePath = Source.StorePath;
  Recurse = Source.Recurse;
  OverwriteMode = Source.OverwriteMode;
  CreateDirs = Source.CreateDirs;
  ReplaceReadOnly = Source.ReplaceReadOnly;
  SetAttributes = Source.SetAttributes;
  SearchAttr = Source.SearchAttr;
  FlushBuffers = Source.FlushBuffers;
  OEMFileNames = Source.OEMFileNames;
}

void TCVSpanningOptions::SetCustomVolumeSize(int64_t Value) {
  FCustomVolumeSize = std::max(Value, MinCustomVolumeSize);
}

void TCVSpanningOptions::Assign(const TCVSpanningOptions& Source) {
  AdvancedNaming = Source.AdvancedNaming;
  FirstVolumeSize = Source.FirstVolumeSize;
  VolumeSize = Source.VolumeSize;
  FCustomVolumeSize = Source.FCustomVolumeSize;
}

TCVBaseArchiver::TCVBaseArchiver(TComponent* Owner) : TComponent(Owner) {
  // Runs the base UpdateCompressionMethod; TCorvane's constructor runs its
  // own again.
  SetCompressionLevel(clFastest);
}

TCVBaseArchiver::~TCVBaseArchiver() { CloseArchive(); }

void TCVBaseArchiver::SetCompressionLevel(TCVCompressionLevel Value) {
  static constexpr uint8_t ModeFor[] = {0, 1, 6, 9};
  FCompressionLevel = Value <= clMax ? Value : clMax;
  FCompressionMode = ModeFor[FCompressionLevel];
  UpdateCompressionMethod();
}

void TCVBaseArchiver::SetCompressionMode(uint8_t Value) {
  if (Value > 9) throw ECVException(5, this);
  FCompressionMode = Value;
  if (Value == 0)
    FCompressionLevel = clNone;
  else if (Value <= 3)
    FCompressionLevel = clFastest;
  else if (Value <= 6)
    FCompressionLevel = clNormal;
  else
    FCompressionLevel = clMax;
  UpdateCompressionMethod();
}

std::string TCVBaseArchiver::CurrentVersion() const {
  // "1.5" read as the number 1.5, so minor 5 shows as 1.50. from_chars and
  // FormatFixed never look at the locale.
  const std::string Text = Format("%d.%d", SALVOR_VERSION_MAJOR, SALVOR_VERSION_MINOR);
  double Value = 0;
  std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  return FormatFixed(Value, 2) + " ";
}

void TCVBaseArchiver::SetSpanningMode(TCVSpanningMode Value) {
  if (FActive) throw Exception("Cannot set spanning mode on open archive");
  FSpanningMode = Value;
}

void TCVBaseArchiver::SetInMemory(bool Value) {
  if (Value == FInMemory) return;
  if (!FActive) {
    FInMemory = Value;
    return;
  }
  if (FInMemory) {
    if (FFileName.empty()) throw ECVException(29, this);
    SaveMemoryArchiveToFile();
    CloseArchive();
    FInMemory = false;
  } else {
    // The file's contents are not carried over: memory starts a new archive.
    CloseArchive();
    FInMemory = true;
  }
  OpenArchive();
}

void TCVBaseArchiver::SaveMemoryArchiveToFile() {
  // A new archive that never received anything gets now the directory its
  // close would write, so the file it becomes opens as a valid empty archive.
  if (FArchiveStream->Size() == 0) FDirManager->SaveDirectory();
  std::unique_ptr<TFileStream> File = CreateFileForMemoryArchive();
  const std::string Name = File->FileName();
  bool Written = false;
  // A copy cut short leaves no partial archive behind.
  struct TRemovePartial {
    const std::string& Name;
    const bool& Written;
    ~TRemovePartial() {
      if (!Written) DeleteFile(Name);
    }
  } RemovePartial{Name, Written};
  FArchiveStream->SetPosition(0);
  File->CopyFrom(*FArchiveStream, FArchiveStream->Size());
  File.reset();
  Written = true;
}

std::unique_ptr<TFileStream> TCVBaseArchiver::CreateFileForMemoryArchive() {
  try {
    return FileSystem().CreateNewFile(FFileName);
  } catch (const EFCreateError&) {
    if (!FileExists(FFileName)) throw;
  }
  // The memory archive may take the place of an empty file, never of one that
  // holds data: that could be the only copy of another archive.
  if (FileSystem().OpenFile(FFileName, fmOpenRead | fmShareDenyNone)->Size() > 0)
    throw ECVException(19, {FFileName}, this);
  return FileSystem().OpenFile(FFileName, fmCreate);
}

void TCVBaseArchiver::UpdateCompressionMethod() { FDefaultMethod = 0xFFFF; }

void TCVBaseArchiver::DoOnOverallProgress(double Progress, TCVProcessOperation Operation,
                                          TCVProgressPhase ProgressPhase, bool& Cancel) {
  if (FOnOverallProgress)
    FOnOverallProgress(*this, Progress, Operation, ProgressPhase, Cancel);
  else
    Cancel = false;
}

void TCVBaseArchiver::DoOnFileProgress(const std::string& FileName, double Progress, TCVProcessOperation Operation,
                                       TCVProgressPhase ProgressPhase, bool& Cancel) {
  if (FOnFileProgress)
    FOnFileProgress(*this, ToEventName(FileName), Progress, Operation, ProgressPhase, Cancel);
  else
    Cancel = false;
}

void TCVBaseArchiver::DoOnConfirmOverwrite(const std::string& SourceFileName, std::string& DestFileName,
                                           bool& Confirm) {
  if (FOnConfirmOverwrite) {
    FOnConfirmOverwrite(*this, SourceFileName, DestFileName, Confirm);
    return;
  }
  const TModalResult Answer = Dialogs().MessageDlg(Format("Overwrite file \"%s\" with \"%s\"", DestFileName,
                                                          SourceFileName),
                                                   {mbYes, mbNo, mbNoToAll, mbYesToAll});
  Confirm = Answer == mrYes || Answer == mrYesToAll;
  if (Answer == mrYesToAll) FOptions.OverwriteMode = omAlways;
  if (Answer == mrNoToAll) FOptions.OverwriteMode = omNever;
}

void TCVBaseArchiver::DoOnConfirmProcessFile(const std::string& FileName, TCVProcessOperation Operation,
                                             bool& Confirm) {
  Confirm = true;
  if (FOnConfirmProcessFile) FOnConfirmProcessFile(*this, FileName, Operation, Confirm);
}

void TCVBaseArchiver::DoOnPassword(const std::string& FileName, std::string& NewPassword, bool& SkipFile) {
  if (FOnPassword) {
    FOnPassword(*this, FileName, NewPassword, SkipFile);
    return;
  }
  // A dialog that is cancelled must not leave its text behind.
  std::string Entered = NewPassword;
  if (Dialogs().InputQuery(Format("Password for \"%s\"", FileName), "Enter password: ", Entered, true)) {
    NewPassword = Entered;
    SkipFile = false;
  } else {
    SkipFile = true;
  }
}

void TCVBaseArchiver::DoOnProcessFileFailure(const std::string& FileName, TCVProcessOperation Operation,
                                             int32_t NativeError, int32_t ErrorCode,
                                             const std::string& ErrorMessage, TCVAction& Action) {
  Action = fxaIgnore;
  if (FOnProcessFileFailure) {
    FOnProcessFileFailure(*this, FileName, Operation, NativeError, ErrorCode, ErrorMessage, Action);
    return;
  }
  switch (Dialogs().MessageDlg(Format("%s. File processing error, possibly disk is full", ErrorMessage),
                               {mbAbort, mbRetry, mbIgnore})) {
    case mrRetry: Action = fxaRetry; break;
    case mrIgnore: Action = fxaIgnore; break;
    default: Action = fxaAbort; break;
  }
}

namespace {

// The volume requests' dialog: OK goes on, anything else cancels.
bool VolumeDialogCancelled(const std::string& Text) { return Dialogs().MessageDlg(Text, {mbOK, mbCancel}) != mrOk; }

}  // namespace

void TCVBaseArchiver::DoOnRequestBlankVolume(int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel) {
  const int32_t Number = std::max(VolumeNumber, 0);
  MakeVolumeFileName(VolumeFileName, Number, false);
  Cancel = false;
  if (FOnRequestBlankVolume) {
    FOnRequestBlankVolume(*this, Number + 1, VolumeFileName, Cancel);
    return;
  }
  // A split volume goes next to the others without asking.
  if (FSpanningMode == smSpanning) Cancel = VolumeDialogCancelled(Format("Please insert a blank disk #%d", Number + 1));
}

void TCVBaseArchiver::DoOnRequestFirstVolume(std::string& VolumeFileName, bool& Cancel) {
  const std::string ArchiveName = VolumeFileName;
  MakeVolumeFileName(VolumeFileName, 0, !FOnRequestFirstVolume);
  Cancel = false;
  if (FOnRequestFirstVolume) {
    FOnRequestFirstVolume(*this, VolumeFileName, Cancel);
    return;
  }
  if (FSpanningMode == smSpanning) {
    Cancel = VolumeDialogCancelled("Please insert the first disk");
    // The inserted disk may carry the other naming scheme.
    VolumeFileName = ArchiveName;
    MakeVolumeFileName(VolumeFileName, 0, true);
  } else {
    Cancel = !VolumeFileExists(VolumeFileName) && FArchiveOpenMode != fmCreate;
  }
}

void TCVBaseArchiver::DoOnRequestLastVolume(std::string& VolumeFileName, bool& Cancel) {
  MakeVolumeFileName(VolumeFileName, -1, true);
  Cancel = false;
  if (FOnRequestLastVolume) {
    FOnRequestLastVolume(*this, VolumeFileName, Cancel);
    return;
  }
  if (FSpanningMode == smSpanning) {
    Cancel = VolumeDialogCancelled("Please insert the last disk");
    while (!Cancel && !VolumeFileExists(VolumeFileName))
      Cancel = VolumeDialogCancelled(Format(
          "File '%s' not found on inserted disk. Please insert last disk with required file", VolumeFileName));
  } else {
    Cancel = !VolumeFileExists(VolumeFileName);
  }
}

void TCVBaseArchiver::DoOnRequestMiddleVolume(int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel) {
  const std::string ArchiveName = VolumeFileName;
  MakeVolumeFileName(VolumeFileName, VolumeNumber, !FOnRequestMiddleVolume);
  Cancel = false;
  if (FOnRequestMiddleVolume) {
    FOnRequestMiddleVolume(*this, VolumeNumber + 1, VolumeFileName, Cancel);
    return;
  }
  if (FSpanningMode == smSpanning)
    Cancel = VolumeDialogCancelled(Format("Please insert disk #%d", VolumeNumber + 1));
  else
    Cancel = !VolumeFileExists(VolumeFileName);
  // The inserted disk may carry the other naming scheme.
  VolumeFileName = ArchiveName;
  MakeVolumeFileName(VolumeFileName, VolumeNumber, true);
}

void TCVBaseArchiver::DoOnDiskFull(int32_t VolumeNumber, const std::string& VolumeFileName, bool& Cancel) {
  Cancel = false;
  if (FOnDiskFull) {
    FOnDiskFull(*this, VolumeNumber + 1, VolumeFileName, Cancel);
    return;
  }
  if (FSpanningMode != smSpanning) {
    Cancel = true;
    return;
  }
  TCVVolumeNumberInfo Volume;
  Volume.SetNumber(VolumeNumber);
  Cancel = VolumeDialogCancelled(Format(
      "Disk is full. Required free space: %d bytes, but available only: %d bytes. Clean the disk or find another "
      "blank disk",
      FSpanningOptions.VolumeSizeFor(Volume), DriveFreeSpace(VolumeFileName)));
}

void TCVBaseArchiver::DoOnStoreFile(std::string& FileName, uint32_t& FileAttr, std::string& Comment) {
  if (!FOnStoreFile) return;
  FileName = ToEventName(FileName);
  FOnStoreFile(*this, FileName, FileAttr, Comment);
  // What the handler returns becomes a stored name.
  std::replace(FileName.begin(), FileName.end(), '\\', '/');
}

void TCVBaseArchiver::DoOnExtractFile(std::string& FileName, uint32_t& FileAttr, const std::string& Comment) {
  FileName = ToEventName(FileName);
  if (FOnExtractFile) FOnExtractFile(*this, FileName, FileAttr, Comment);
}

void TCVBaseArchiver::DoOnDamagedFile(const std::string& FileName, const std::string& Reason) {
  if (FOnDamagedFile) FOnDamagedFile(*this, ToEventName(FileName), Reason);
}

void TCVBaseArchiver::DoAfterOpen() {
  if (FAfterOpen) FAfterOpen(*this);
}

void TCVBaseArchiver::CheckActive() const {
  if (!FActive) throw ECVException(13, this);
}

void TCVBaseArchiver::CheckNotInUpdate() const {
  if (FUpdateLevel > 0) throw ECVException(26, this);
}

TCorvane::TCorvane(TComponent* Owner) : TCVBaseArchiver(Owner) {
  SetZip64Mode(zmDisabled);
  // The base constructor could only reach the base version.
  UpdateCompressionMethod();
}

void TCorvane::UpdateCompressionMethod() { FDefaultMethod = CompressionMode() == 0 ? 0 : 8; }
