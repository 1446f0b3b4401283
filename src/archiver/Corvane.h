#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archiver/CVTypes.h"
#include "itemdata/VolumeNumberInfo.h"
#include "platform/Component.h"
#include "platform/Stream.h"
#include "selection/ArchiveItem.h"

class TCVBaseArchiver;
class TCVDirArray;
class TCVDirManager;
class TCVItemReader;
struct TDirItem;

// Events. Sender is always the component; in/out answers are references.
// A handler counts as set when the function is not empty. Names handed to
// handlers use PathDelim where the archive stores "/".
using TNotifyEvent = std::function<void(TCVBaseArchiver& Sender)>;
using TCVProgressEvent = std::function<void(TCVBaseArchiver& Sender, double Progress, TCVProcessOperation Operation,
                                            TCVProgressPhase ProgressPhase, bool& Cancel)>;
using TCVFileProgressEvent =
    std::function<void(TCVBaseArchiver& Sender, const std::string& FileName, double Progress,
                       TCVProcessOperation Operation, TCVProgressPhase ProgressPhase, bool& Cancel)>;
using TCVConfirmOverwriteEvent = std::function<void(TCVBaseArchiver& Sender, const std::string& SourceFileName,
                                                    std::string& DestFileName, bool& Confirm)>;
using TCVConfirmProcessFileEvent = std::function<void(TCVBaseArchiver& Sender, const std::string& FileName,
                                                      TCVProcessOperation Operation, bool& Confirm)>;
using TCVOnPasswordEvent = std::function<void(TCVBaseArchiver& Sender, const std::string& FileName,
                                              std::string& NewPassword, bool& SkipFile)>;
using TCVProcessFileFailureEvent =
    std::function<void(TCVBaseArchiver& Sender, const std::string& FileName, TCVProcessOperation Operation,
                       int32_t NativeError, int32_t ErrorCode, const std::string& ErrorMessage, TCVAction& Action)>;
using TCVOnRequestBlankVolumeEvent =
    std::function<void(TCVBaseArchiver& Sender, int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel)>;
using TCVOnRequestFirstVolumeEvent =
    std::function<void(TCVBaseArchiver& Sender, std::string& VolumeFileName, bool& Cancel)>;
using TCVOnRequestLastVolumeEvent =
    std::function<void(TCVBaseArchiver& Sender, std::string& VolumeFileName, bool& Cancel)>;
using TCVOnRequestMiddleVolumeEvent =
    std::function<void(TCVBaseArchiver& Sender, int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel)>;
using TCVOnDiskFullEvent = std::function<void(TCVBaseArchiver& Sender, int32_t VolumeNumber,
                                              const std::string& VolumeFileName, bool& Cancel)>;
using TCVOnStoreFileEvent =
    std::function<void(TCVBaseArchiver& Sender, std::string& FileName, uint32_t& FileAttr, std::string& Comment)>;
using TCVOnExtractFileEvent = std::function<void(TCVBaseArchiver& Sender, std::string& FileName, uint32_t& FileAttr,
                                                 const std::string& Comment)>;
// An entry whose output was kept although its data failed a check.
using TCVDamagedFileEvent =
    std::function<void(TCVBaseArchiver& Sender, const std::string& FileName, const std::string& Reason)>;

// A stored name as event handlers see it: every "/" becomes PathDelim.
std::string ToEventName(std::string StoredName);

// Extraction and selection settings, configured in place on the component.
class TCVOptions {
 public:
  TCVOptions() = default;
  TCVOptions(const TCVOptions&) = default;
  // Assign is the one way to copy settings into an existing object.
  TCVOptions& operator=(const TCVOptions&) = delete;

  TCVStorePathMode StorePath = spRelativePath;
  bool Recurse = true;
  TCVFileShareMode ShareMode = smShareDenyNone;
  TCVOverwriteMode OverwriteMode = omAlways;
  bool CreateDirs = true;
  bool ReplaceReadOnly = true;
  bool SetAttributes = true;
  int32_t SearchAttr = 0x28BF;
  bool FlushBuffers = true;
  bool OEMFileNames = true;

  // Copies every field except ShareMode, which stays this object's own.
  void Assign(const TCVOptions& Source);
};

// Volume naming and size limits of split and spanned archives.
class TCVSpanningOptions {
 public:
  static constexpr int64_t MinCustomVolumeSize = 65536;

  bool AdvancedNaming = true;
  // When above 0, the size limit of the first volume.
  int64_t FirstVolumeSize = 0;
  TCVVolumeSize VolumeSize = vsAutoDetect;

  int64_t CustomVolumeSize() const { return FCustomVolumeSize; }
  // Values below MinCustomVolumeSize are stored as MinCustomVolumeSize.
  void SetCustomVolumeSize(int64_t Value);

  // Copies every field.
  void Assign(const TCVSpanningOptions& Source);

  // The size limit of the volume Info names: FirstVolumeSize for the first
  // volume when it is above 0, else the limit of VolumeSize; -1 under
  // vsAutoDetect (the free space of the disk decides).
  int64_t VolumeSizeFor(const TCVVolumeNumberInfo& Info) const;

 private:
  // A new object starts at 0, below the setter's minimum.
  int64_t FCustomVolumeSize = 0;
};

// The archive component: properties, options, events and the shared state
// that the subsystems work on. Each subsystem defines its member functions
// in its own folder.
class TCVBaseArchiver : public TComponent {
  // The directory manager reads and switches the archive stream.
  friend class TCVDirManager;

 public:
  explicit TCVBaseArchiver(TComponent* Owner = nullptr);
  // Closes any open archive first.
  ~TCVBaseArchiver() override;

  // --- Published properties ---

  bool ExtractCorruptedFiles() const { return FExtractCorruptedFiles; }
  void SetExtractCorruptedFiles(bool Value) { FExtractCorruptedFiles = Value; }

  // Level and mode always agree: setting one derives the other, then
  // UpdateCompressionMethod runs.
  TCVCompressionLevel CompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(TCVCompressionLevel Value);
  uint8_t CompressionMode() const { return FCompressionMode; }
  // Raises ECVException code 5 above 9, changing nothing.
  void SetCompressionMode(uint8_t Value);

  // The version number with two decimals and a '.', then one blank.
  std::string CurrentVersion() const;
  // Assignments are ignored.
  void SetCurrentVersion(const std::string&) {}

  const std::string& Password() const { return FPassword; }
  void SetPassword(const std::string& Value) { FPassword = Value; }
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }
  const std::string& BaseDir() const { return FBaseDir; }
  void SetBaseDir(const std::string& Value) { FBaseDir = Value; }
  const std::string& TempDir() const { return FTempDir; }
  void SetTempDir(const std::string& Value) { FTempDir = Value; }

  TCVSpanningMode SpanningMode() const { return FSpanningMode; }
  // Raises Exception "Cannot set spanning mode on open archive" while an
  // archive is open, changing nothing.
  void SetSpanningMode(TCVSpanningMode Value);
  TCVSpanningOptions& SpanningOptions() { return FSpanningOptions; }
  const TCVSpanningOptions& SpanningOptions() const { return FSpanningOptions; }

  const std::string& SFXStub() const { return FSFXStub; }
  void SetSFXStub(const std::string& Value) { FSFXStub = Value; }

  TCVOptions& Options() { return FOptions; }
  const TCVOptions& Options() const { return FOptions; }

  std::vector<std::string>& FileMasks() { return FFileMasks; }
  const std::vector<std::string>& FileMasks() const { return FFileMasks; }
  void SetFileMasks(const std::vector<std::string>& Value) { FFileMasks = Value; }
  std::vector<std::string>& ExclusionMasks() { return FExclusionMasks; }
  const std::vector<std::string>& ExclusionMasks() const { return FExclusionMasks; }
  void SetExclusionMasks(const std::vector<std::string>& Value) { FExclusionMasks = Value; }
  std::vector<std::string>& NoCompressionMasks() { return FNoCompressionMasks; }
  const std::vector<std::string>& NoCompressionMasks() const { return FNoCompressionMasks; }
  void SetNoCompressionMasks(const std::vector<std::string>& Value) { FNoCompressionMasks = Value; }

  bool InMemory() const { return FInMemory; }
  // Closed: stores the value. Open in memory, switching to a file: code 29
  // with an empty FileName and code 19 when FileName holds data, nothing
  // changing; otherwise the archive is written to FileName (a valid empty
  // archive when nothing was written into it) and reopened from there. Open
  // from a file, switching to memory: a new, empty archive in memory.
  void SetInMemory(bool Value);

  const TCVFileProgressEvent& OnFileProgress() const { return FOnFileProgress; }
  void SetOnFileProgress(TCVFileProgressEvent Value) { FOnFileProgress = std::move(Value); }
  const TCVProgressEvent& OnOverallProgress() const { return FOnOverallProgress; }
  void SetOnOverallProgress(TCVProgressEvent Value) { FOnOverallProgress = std::move(Value); }
  const TCVConfirmOverwriteEvent& OnConfirmOverwrite() const { return FOnConfirmOverwrite; }
  void SetOnConfirmOverwrite(TCVConfirmOverwriteEvent Value) { FOnConfirmOverwrite = std::move(Value); }
  const TCVConfirmProcessFileEvent& OnConfirmProcessFile() const { return FOnConfirmProcessFile; }
  void SetOnConfirmProcessFile(TCVConfirmProcessFileEvent Value) { FOnConfirmProcessFile = std::move(Value); }
  const TNotifyEvent& AfterOpen() const { return FAfterOpen; }
  void SetAfterOpen(TNotifyEvent Value) { FAfterOpen = std::move(Value); }
  const TCVOnPasswordEvent& OnPassword() const { return FOnPassword; }
  void SetOnPassword(TCVOnPasswordEvent Value) { FOnPassword = std::move(Value); }
  const TCVProcessFileFailureEvent& OnProcessFileFailure() const { return FOnProcessFileFailure; }
  void SetOnProcessFileFailure(TCVProcessFileFailureEvent Value) { FOnProcessFileFailure = std::move(Value); }
  const TCVOnRequestBlankVolumeEvent& OnRequestBlankVolume() const { return FOnRequestBlankVolume; }
  void SetOnRequestBlankVolume(TCVOnRequestBlankVolumeEvent Value) { FOnRequestBlankVolume = std::move(Value); }
  const TCVOnRequestFirstVolumeEvent& OnRequestFirstVolume() const { return FOnRequestFirstVolume; }
  void SetOnRequestFirstVolume(TCVOnRequestFirstVolumeEvent Value) { FOnRequestFirstVolume = std::move(Value); }
  const TCVOnRequestLastVolumeEvent& OnRequestLastVolume() const { return FOnRequestLastVolume; }
  void SetOnRequestLastVolume(TCVOnRequestLastVolumeEvent Value) { FOnRequestLastVolume = std::move(Value); }
  const TCVOnRequestMiddleVolumeEvent& OnRequestMiddleVolume() const { return FOnRequestMiddleVolume; }
  void SetOnRequestMiddleVolume(TCVOnRequestMiddleVolumeEvent Value) { FOnRequestMiddleVolume = std::move(Value); }
  const TCVOnDiskFullEvent& OnDiskFull() const { return FOnDiskFull; }
  void SetOnDiskFull(TCVOnDiskFullEvent Value) { FOnDiskFull = std::move(Value); }
  const TCVOnStoreFileEvent& OnStoreFile() const { return FOnStoreFile; }
  void SetOnStoreFile(TCVOnStoreFileEvent Value) { FOnStoreFile = std::move(Value); }
  const TCVOnExtractFileEvent& OnExtractFile() const { return FOnExtractFile; }
  void SetOnExtractFile(TCVOnExtractFileEvent Value) { FOnExtractFile = std::move(Value); }
  const TCVDamagedFileEvent& OnDamagedFile() const { return FOnDamagedFile; }
  void SetOnDamagedFile(TCVDamagedFileEvent Value) { FOnDamagedFile = std::move(Value); }

  // --- State the front ends read or set ---

  bool Active() const { return FActive; }
  // Open an archive even when its directory is not valid, rebuilding it.
  bool OpenDamaged() const { return FOpenDamaged; }
  void SetOpenDamaged(bool Value) { FOpenDamaged = Value; }
  // File mode of the current (or last) open: 0xFFFF, 0x22 or 0x40.
  uint16_t ArchiveOpenMode() const { return FArchiveOpenMode; }
  // ZIP method for new entries, kept by UpdateCompressionMethod.
  uint16_t DefaultMethod() const { return FDefaultMethod; }
  const TCVVolumeNumberInfo& CurrentVolume() const { return FCurrentVolume; }
  const std::string& CurrentVolumeName() const { return FCurrentVolumeName; }

  // --- Volumes of split and spanned archives ---

  // Makes the volume Info names the archive stream. With smNone it opens
  // FileName when no stream is open; writing (ArchiveOpenMode 0xFFFF) it
  // creates the volume through the blank-volume request, checking the free
  // space; reading it asks for the volume unless it is already open. Raises
  // ECVException code 45 when a request is cancelled (or answered with an
  // empty name); file-stream errors pass through. Info stays the caller's.
  void OpenVolume(const TCVVolumeNumberInfo& Info);
  // Frees the archive stream, opens FileName with ArchiveOpenMode and makes
  // it CurrentVolumeName. File-stream errors pass through (with no stream
  // left open).
  void OpenVolumeFile(const std::string& FileName);
  // Bytes free to this process where FileName lies; -1 when it cannot be told.
  int64_t DriveFreeSpace(const std::string& FileName) const;
  // The extension of FileName, lower-cased (ASCII), contains ".exe".
  static bool IsExeFileName(const std::string& FileName);
  // Writes Count bytes of Data to Pending (when given) or Stream, moving to
  // the next volume (Info's number + 1, through OpenVolume) when the current
  // one is full. KeepTogether is the number of bytes the caller writes next
  // that must land on the same volume as this buffer, or -1 for none. Stream
  // is the archive stream and follows it onto new volumes. Returns the bytes
  // written: fewer than Count when a volume has no room left, or when a fresh
  // volume takes nothing.
  int64_t WriteAcrossVolumes(const void* Data, int64_t Count, TStream* Pending, int32_t KeepTogether,
                             TCVVolumeNumberInfo& Info, TStream*& Stream);
  // The same, raising ECVException code 46 when fewer than Count bytes were
  // written.
  void WriteBufferAcrossVolumes(const void* Data, int64_t Count, TStream* Pending, int32_t KeepTogether,
                                TCVVolumeNumberInfo& Info, TStream*& Stream);

  // --- Opening and closing ---

  // Opens FileName (or a new in-memory archive), choosing the file mode: a
  // missing file is created (0xFFFF); an existing one is 0x22 when it could
  // be written, 0x40 otherwise (both read-only at the OS level). Raises code
  // 9 for a blank file-name part, else as OpenArchiveMode.
  void OpenArchive();
  // The same with an explicit 16-bit file mode. Before anything closes:
  // code 10 for a blank file-name part, 12 for a missing file (unless a
  // spanned disk is awaited), 28 for a mode other than 0xFFFF in memory.
  // Then the open archive closes and the new one opens: code 48 when its
  // directory is not valid and OpenDamaged is clear; volume, directory and
  // file-stream errors pass through. A failed open leaves the component
  // closed; AfterOpen fires once after each successful one.
  void OpenArchiveMode(uint16_t Mode);
  // Closes whatever is open and never raises. A new archive that nothing was
  // written to gets its empty directory first (the 22-byte end record); an
  // existing archive is never written to.
  void CloseArchive();
  // Open batch updates; nothing in this system raises it above 0.
  int32_t UpdateLevel() const { return FUpdateLevel; }

  // --- Search and selection (an open archive is expected) ---

  // Prepares the search in F and finds the first entry whose name matches
  // FileMask and whose attributes pass SearchAttr: hidden, system, volume and
  // folder entries only when SearchAttr holds their bit. Without
  // Options().Recurse only entries in the mask's own folder (compared with
  // case) are found; names match ignoring case. False when none matches.
  bool FindFirst(const std::string& FileMask, TCVArchiveItem& F, int32_t SearchAttr,
                 const std::string& ExclusionMask);
  // The next match after the one in F. False when there is none; F is then
  // unchanged except that its ItemIndex moved one step.
  bool FindNext(TCVArchiveItem& F);
  // Marks exactly the entries FindFirst / FindNext find.
  void SelectItems(const std::string& FileMask, int32_t SearchAttr, const std::string& ExclusionMask);
  // Entries that are not folders. Raises ECVException code 13 when no archive
  // is open. Options().Recurse is kept.
  int32_t FileCount();

  // --- Extraction ---

  // Extracts the entries that match into BaseDir (the current folder when
  // empty). Raises ECVException code 13 without an open archive and 26 inside
  // a batch update; a failing entry goes to OnProcessFileFailure and the run
  // goes on; only exhausted memory (or an exception from a handler) ends it.
  // Entry names, also as OnExtractFile leaves them, are confined below
  // BaseDir (drive and network prefixes, empty, "." and ".." components
  // dropped; code 19 when nothing is left). A DestFileName that an
  // OnConfirmOverwrite handler returns is the application's own choice and is
  // used as given. An existing file is only ever replaced by kept output.
  void ExtractFiles(const std::string& FileMask, int32_t SearchAttr, const std::string& ExclusionMask);

  // Run state: reset by every run, kept afterwards.
  bool CancelRequested() const { return FCancelRequested; }
  int32_t ProcessedFileCount() const { return FProcessedFileCount; }
  int32_t SelectedFileCount() const { return FSelectedFileCount; }

  // --- Reading entry data ---

  // Writes the plain data of directory item Index to Dest: makes its volume
  // the archive stream, reads, decrypts and inflates the data in chunks of
  // 1 MiB with progress events, and compares the size and the CRC-32 with
  // the item. Dest receives the plain bytes in order, and after a failure
  // every byte decoded before it.
  // Raises ECVException 16 for an index outside the directory; 8 when the
  // data fails a check, unless CancelRequested, SkipFileRequested or
  // ExtractCorruptedFiles excuses it (an entry kept that way fires
  // OnDamagedFile with the reason); 55 for Deflate64; 45 when the entry's
  // volume cannot be had; 46 when Dest takes fewer bytes than offered, never
  // excused. Stream errors pass through.
  void ExtractItemToStream(int32_t Index, TStream& Dest);

 protected:
  // Published by TCorvane; read only when entries are written.
  TZip64Mode Zip64Mode() const { return FZip64Mode; }
  void SetZip64Mode(TZip64Mode Value) { FZip64Mode = Value; }

  // Sets DefaultMethod from the compression settings; 0xFFFF here.
  virtual void UpdateCompressionMethod();

  // Event firing. Other subsystems fire events only through these: each
  // presets its answer, applies its default when no handler is set, and lets
  // a handler's exception propagate.

  // No handler: Cancel := False.
  virtual void DoOnOverallProgress(double Progress, TCVProcessOperation Operation, TCVProgressPhase ProgressPhase,
                                   bool& Cancel);
  // The handler sees FileName through ToEventName. No handler: Cancel := False.
  virtual void DoOnFileProgress(const std::string& FileName, double Progress, TCVProcessOperation Operation,
                                TCVProgressPhase ProgressPhase, bool& Cancel);
  // The handler gets Confirm as the caller set it. No handler: the
  // Yes / No / No to All / Yes to All dialog; the two "to All" answers also
  // switch Options().OverwriteMode to omAlways or omNever.
  virtual void DoOnConfirmOverwrite(const std::string& SourceFileName, std::string& DestFileName, bool& Confirm);
  // Confirm starts True.
  virtual void DoOnConfirmProcessFile(const std::string& FileName, TCVProcessOperation Operation, bool& Confirm);
  // No handler: the masked password dialog. OK stores the text and clears
  // SkipFile; Cancel keeps NewPassword and sets SkipFile.
  virtual void DoOnPassword(const std::string& FileName, std::string& NewPassword, bool& SkipFile);
  // Action starts as fxaIgnore. No handler: the Abort / Retry / Ignore dialog;
  // closing it aborts.
  virtual void DoOnProcessFileFailure(const std::string& FileName, TCVProcessOperation Operation,
                                      int32_t NativeError, int32_t ErrorCode, const std::string& ErrorMessage,
                                      TCVAction& Action);
  // Volume requests, fired only by OpenVolume. VolumeFileName comes in as the
  // archive's FileName and is replaced by the volume's name (MakeVolumeFileName)
  // before the handler sees it; the disk-full notice gets the blank volume's
  // name unchanged. VolumeNumber counts from 0 here and from 1 for the
  // handler; Cancel starts False. Without a handler, smSpanning asks the user
  // (OK or Cancel) and the other modes answer from whether the file exists.
  virtual void DoOnRequestBlankVolume(int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel);
  virtual void DoOnRequestFirstVolume(std::string& VolumeFileName, bool& Cancel);
  virtual void DoOnRequestLastVolume(std::string& VolumeFileName, bool& Cancel);
  virtual void DoOnRequestMiddleVolume(int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel);
  virtual void DoOnDiskFull(int32_t VolumeNumber, const std::string& VolumeFileName, bool& Cancel);
  // With a handler only: it sees FileName through ToEventName, and "\" in the
  // name it returns becomes "/", the separator of stored names.
  virtual void DoOnStoreFile(std::string& FileName, uint32_t& FileAttr, std::string& Comment);
  // FileName is converted by ToEventName in place, with or without a handler.
  virtual void DoOnExtractFile(std::string& FileName, uint32_t& FileAttr, const std::string& Comment);
  // The handler sees FileName through ToEventName. No handler: nothing.
  virtual void DoOnDamagedFile(const std::string& FileName, const std::string& Reason);

  // Fires AfterOpen when set; the open sequence calls it last.
  void DoAfterOpen();
  // ECVException code 13 unless an archive is open.
  void CheckActive() const;
  // ECVException code 26 while a batch update is open.
  void CheckNotInUpdate() const;
  // Writes the changes of an ended batch update. Nothing here opens one.
  void CommitUpdate();

  // The processing loop: walks the marked entries in directory order under
  // GlobalLock() and runs Operation on each (poExtract, poTest; poDelete and
  // poUpdate on the in-memory directory).
  void ProcessSelectedItems(TCVProcessOperation Operation);
  // Writes entry Index below BaseFolder (with a trailing separator). Name is
  // the entry's name as handlers see it.
  void ExtractOneFile(int32_t Index, const std::string& Name, const std::string& BaseFolder);
  // Reads entry Index into a stream that discards it. Nothing is written, so
  // TempDir is not used and no file can fail to be created.
  void TestOneItem(int32_t Index, const std::string& Name);

  // Rewrites FileName, the archive's name on entry, into the name of volume
  // VolumeIndex (from 0; -1 is the last volume), spelled as this component
  // writes it (.Z01, .ZIP); FindVolumeFile finds it on disk in any case. With
  // CheckExists in smSpanning, the other scheme's name is taken when only that
  // file exists.
  void MakeVolumeFileName(std::string& FileName, int32_t VolumeIndex, bool CheckExists);

  // Reads the entry whose local header is at Source's position into Dest.
  // True when the data was read and written whole and both the size and the
  // CRC-32 match Item; false otherwise, also when the entry was skipped,
  // refused or cancelled before its last chunk. DamageReason, when given,
  // gets why (empty for a skip or a cancel). Raises only codes 55, 45 (the
  // entry's own volume), 46 and the streams' errors.
  bool ReadItemData(TStream& Source, TStream& Dest, const TDirItem& Item, std::string* DamageReason = nullptr);
  // The volume holding Item's local header, and the archive's last volume.
  TCVVolumeNumberInfo ItemVolume(const TDirItem& Item) const;

  // --- Shared state ---

  bool FActive = false;
  bool FOpenDamaged = true;
  uint16_t FArchiveOpenMode = 0;
  uint16_t FDefaultMethod = 0;
  // Open batch updates; nothing here raises it above 0.
  int32_t FUpdateLevel = 0;
  // The open archive: the current volume's file, or a memory stream.
  std::unique_ptr<TStream> FArchiveStream;
  std::unique_ptr<TCVDirManager> FDirManager;
  // The volume FArchiveStream was opened on.
  TCVVolumeNumberInfo FCurrentVolume;
  std::string FCurrentVolumeName;

  // Run state of the processing loop and the entry reader.
  bool FCancelRequested = false;
  bool FProgressEnabled = false;
  bool FSkipFileRequested = false;
  int32_t FProcessedFileCount = 0;
  int32_t FSelectedFileCount = 0;
  // Numerator and denominator of the current entry's progress.
  long double FFileBytesDone = 0;
  long double FFileBytesTotal = 0;

 private:
  // The entry reader shares the run state, the password and the volumes.
  friend class TCVItemReader;

  TCVOptions FOptions;
  TCVCompressionLevel FCompressionLevel = clFastest;
  uint8_t FCompressionMode = 1;
  bool FExtractCorruptedFiles = false;
  std::string FPassword;
  std::string FFileName;
  std::string FBaseDir;
  std::string FTempDir;
  TCVSpanningMode FSpanningMode = smNone;
  TCVSpanningOptions FSpanningOptions;
  std::string FSFXStub;
  std::vector<std::string> FFileMasks;
  std::vector<std::string> FExclusionMasks;
  std::vector<std::string> FNoCompressionMasks;
  bool FInMemory = false;
  TZip64Mode FZip64Mode = zmAuto;

  // The open sequence (Open.cpp) works on this state.
  friend class TCVOpenSequence;
  // InMemory switched off: the memory archive goes to FileName, which must
  // not hold data already (code 19); a copy cut short is removed.
  void SaveMemoryArchiveToFile();
  std::unique_ptr<TFileStream> CreateFileForMemoryArchive();

  TCVFileProgressEvent FOnFileProgress;
  TCVProgressEvent FOnOverallProgress;
  TCVConfirmOverwriteEvent FOnConfirmOverwrite;
  TCVConfirmProcessFileEvent FOnConfirmProcessFile;
  TNotifyEvent FAfterOpen;
  TCVOnPasswordEvent FOnPassword;
  TCVProcessFileFailureEvent FOnProcessFileFailure;
  TCVOnRequestBlankVolumeEvent FOnRequestBlankVolume;
  TCVOnRequestFirstVolumeEvent FOnRequestFirstVolume;
  TCVOnRequestLastVolumeEvent FOnRequestLastVolume;
  TCVOnRequestMiddleVolumeEvent FOnRequestMiddleVolume;
  TCVOnDiskFullEvent FOnDiskFull;
  TCVOnStoreFileEvent FOnStoreFile;
  TCVOnExtractFileEvent FOnExtractFile;
  TCVDamagedFileEvent FOnDamagedFile;

  // Search internals.
  TCVDirArray* DirectoryItems() const;
  bool EntryMatches(const TDirItem& Item, const TInternalSearchRec& Rec) const;
  bool SearchStep(TCVArchiveItem& F) const;
  // poDelete on the in-memory directory; true when entry Index was removed.
  bool DeleteItemInRun(int32_t Index);
  // poUpdate: takes the disk file's name, time and attributes into entry Index.
  void UpdateItemInRun(int32_t Index, const std::string& Name, const std::string& BaseFolder);
  // Name is the archive file (or its current volume) on disk.
  bool IsArchiveFile(const std::string& Name) const;
};

// The component windows place: deflate for new entries, no ZIP64 records
// unless asked.
class TCorvane : public TCVBaseArchiver {
 public:
  explicit TCorvane(TComponent* Owner = nullptr);

  using TCVBaseArchiver::SetZip64Mode;
  using TCVBaseArchiver::Zip64Mode;

 protected:
  // Stored (0) for mode 0, deflate (8) otherwise.
  void UpdateCompressionMethod() override;
};

static_assert(sizeof(bool) == 1);
static_assert(sizeof(TCVCompressionLevel) == 1 && sizeof(TCVProgressPhase) == 1 && sizeof(TCVAction) == 1 &&
              sizeof(TCVOverwriteMode) == 1 && sizeof(TCVFileShareMode) == 1 && sizeof(TCVStorePathMode) == 1 &&
              sizeof(TZip64Mode) == 1 && sizeof(TCVSpanningMode) == 1 && sizeof(TCVVolumeRole) == 1);
