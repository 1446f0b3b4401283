// The processing loop: ExtractFiles and ProcessSelectedItems, with the two
// operations that work on the in-memory directory only (poDelete, poUpdate).

#include <mutex>
#include <optional>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirArray.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Lock.h"
#include "selection/PathHelpers.h"

void TCVBaseArchiver::ExtractFiles(const std::string& FileMask, int32_t SearchAttr,
                                   const std::string& ExclusionMask) {
  CheckActive();
  CheckNotInUpdate();
  SelectItems(FileMask, SearchAttr, ExclusionMask);
  ProcessSelectedItems(poExtract);
}

void TCVBaseArchiver::ProcessSelectedItems(TCVProcessOperation Operation) {
  // Runs of all components in the process are serialised; the lock is
  // re-entrant because handlers pump events on this thread.
  std::lock_guard<std::recursive_mutex> Lock(GlobalLock());

  FProcessedFileCount = 0;
  FSelectedFileCount = 0;
  FCancelRequested = false;
  FProgressEnabled = true;
  if (const TCVDirArray* Items = DirectoryItems())
    for (int32_t I = 0; I < Items->Count(); ++I)
      if (Items->ItemPtr(I).Marked) ++FSelectedFileCount;

  const bool Reports = Operation == poExtract || Operation == poTest;
  if (Reports) {
    DoOnOverallProgress(0.0, Operation, ppStart, FCancelRequested);
    // Cancelled before any entry: no closing event either.
    if (FCancelRequested) {
      if (FUpdateLevel > 0) FUpdateLevel = 0;
      return;
    }
  }

  TCVAction Action = fxaIgnore;
  bool WalkEnds = false;
  // The count is read again before every entry: poDelete shrinks it, and a
  // handler may even close the archive.
  for (int32_t I = 0; !WalkEnds;) {
    TCVDirArray* Items = DirectoryItems();
    if (Items == nullptr || I >= Items->Count()) break;
    if (!Items->ItemPtr(I).Marked) {
      ++I;
      continue;
    }
    Items->ItemPtr(I).Operation = Operation;

    bool Removed = false;
    for (;;) {
      Action = fxaIgnore;
      Items = DirectoryItems();
      if (Items == nullptr || I >= Items->Count()) {
        WalkEnds = true;
        break;
      }
      const std::string Name = ToEventName(Items->ItemPtr(I).FileName);
      std::optional<ECVException> Failure;
      try {
        bool Confirm = true;
        DoOnConfirmProcessFile(Name, Operation, Confirm);
        if (!Confirm) break;  // passed over: not counted, no other event
        const std::string BaseFolder = BaseDirWithSlash(BaseDir());

        if (Reports) {
          DoOnFileProgress(Name, 0.0, Operation, ppStart, FCancelRequested);
          if (FCancelRequested) {
            WalkEnds = true;
            break;
          }
        }
        switch (Operation) {
          case poDelete:
            Removed = DeleteItemInRun(I);
            break;
          case poUpdate:
            UpdateItemInRun(I, Name, BaseFolder);
            break;
          case poExtract:
            ExtractOneFile(I, Name, BaseFolder);
            break;
          case poTest:
            TestOneItem(I, Name);
            break;
          default:
            break;
        }
        if (Reports) {
          // OR-ed, so a handler cannot take back a cancel made while the
          // entry was read.
          const bool Cancelled = FCancelRequested;
          DoOnFileProgress(Name, 100.0, Operation, ppEnd, FCancelRequested);
          FCancelRequested = FCancelRequested || Cancelled;
        }
        if (FCancelRequested) {
          WalkEnds = true;
          break;
        }
        ++FProcessedFileCount;
      } catch (const ECVException& E) {
        Failure = E;
      } catch (const EWriteError&) {
        // A platform error inside one entry is that entry's failure; the run
        // goes on. Only exhausted memory (and what handlers raise) ends it.
        Failure = ECVException(46, this);
      } catch (const EStreamError&) {
        Failure = ECVException(8, this);
      }
      if (!Failure) break;
      DoOnProcessFileFailure(Name, Operation, Failure->NativeError, Failure->ErrorCode, Failure->Message(),
                             Action);
      if (Action != fxaRetry) break;
    }
    if (Action == fxaAbort || FCancelRequested) break;
    // After a removal the next entry has moved into place I.
    if (!Removed) ++I;
  }

  if (Reports) {
    const bool Cancelled = FCancelRequested;
    DoOnOverallProgress(100.0, Operation, ppEnd, FCancelRequested);
    FCancelRequested = FCancelRequested || Cancelled;
  }
  if ((FCancelRequested || Action == fxaAbort) && FUpdateLevel > 0) FUpdateLevel = 0;
}

bool TCVBaseArchiver::DeleteItemInRun(int32_t Index) {
  TCVDirArray* Items = DirectoryItems();
  if (Items == nullptr || Index < 0 || Index >= Items->Count()) throw ECVException(21, this);
  if (FUpdateLevel <= 0) throw ECVException(22, this);
  // The archive file changes only when the update is committed.
  Items->Delete(Index);
  return true;
}

void TCVBaseArchiver::UpdateItemInRun(int32_t Index, const std::string& Name, const std::string& BaseFolder) {
  TCVDirArray* Items = DirectoryItems();
  if (Items == nullptr || Index < 0 || Index >= Items->Count()) throw ECVException(24, this);
  const TDirItem& Item = Items->ItemPtr(Index);
  if (Item.ExternalAttr & faDirectory) return;
  const std::string DiskFile = ExpandInDir(BaseFolder, Name);
  if (!FileExists(DiskFile)) return;
  if (!Options().ReplaceReadOnly && (Item.ExternalAttr & faReadOnly)) return;

  // The disk file takes the place of the archived entry.
  const int32_t Stamp = static_cast<int32_t>((static_cast<uint32_t>(Item.ModDate) << 16) | Item.ModTime);
  switch (Options().OverwriteMode) {
    case omPrompt: {
      bool Confirm = true;
      std::string Dest = Name;
      DoOnConfirmOverwrite(DiskFile, Dest, Confirm);
      if (!Confirm) return;
      break;
    }
    case omAlways:
      break;
    case omNever:
      return;
    case omIfNewer:
      if (!(FileGetDate(DiskFile) > Stamp)) return;
      break;
    case omIfOlder:
      if (!(FileGetDate(DiskFile) < Stamp)) return;
      break;
  }

  // A handler may have changed the directory.
  Items = DirectoryItems();
  if (Items == nullptr || Index < 0 || Index >= Items->Count()) throw ECVException(24, this);
  if (FUpdateLevel <= 0) throw ECVException(25, this);
  TDirItem& Updated = Items->ItemPtr(Index);
  // The stored name is computed lexically against the output folder; the
  // process's current folder is never changed.
  Updated.FileName = BuildStoredName(DiskFile, ExpandInDir(BaseDir(), std::string()), Options().StorePath);
  const uint32_t DiskTime = static_cast<uint32_t>(FileGetDate(DiskFile));
  Updated.ModDate = static_cast<uint16_t>(DiskTime >> 16);
  Updated.ModTime = static_cast<uint16_t>(DiskTime & 0xFFFF);
  Updated.ExternalAttr = FileGetAttr(DiskFile);
  Updated.SourceFileName = DiskFile;
  Updated.Operation = poUpdate;
  // The data is compressed when the update is committed.
}
