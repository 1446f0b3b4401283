// Writing one entry to disk (ExtractOneFile) and testing one (TestOneItem).

#include <exception>
#include <memory>
#include <new>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirArray.h"
#include "platform/Env.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "selection/OutputName.h"
#include "selection/PathHelpers.h"

namespace {

// An entry's output while it is written: a new file beside the target that
// only replaces the target once it is kept. Removed on every other way out,
// so a failed, skipped or cancelled entry leaves an existing file alone.
class TPendingOutput {
 public:
  TPendingOutput(const std::string& Target, const TCVBaseArchiver& Archiver) : FTarget(Target) {
    // Exclusive creation: nothing that already exists, a planted link
    // included, is ever opened or followed.
    static constexpr int Attempts = 8;
    const std::string Dir = ExtractFilePath(Target);
    for (int I = 0; I < Attempts && !FStream; ++I) {
      std::string Name = MakeTempOutputName(Dir);
      try {
        FStream = FileSystem().CreateNewFile(Name);
        FTempName = std::move(Name);
      } catch (const EStreamError&) {
      }
    }
    if (!FStream) throw ECVException(19, {Target}, &Archiver);
  }

  ~TPendingOutput() {
    FStream.reset();
    if (!FKept) DeleteFile(FTempName);
  }

  TPendingOutput(const TPendingOutput&) = delete;
  TPendingOutput& operator=(const TPendingOutput&) = delete;

  TFileStream& Stream() { return *FStream; }
  void Close() { FStream.reset(); }

  // Renames the closed output over the target.
  void Keep(const TCVBaseArchiver& Archiver) {
    if (!RenameFile(FTempName, FTarget)) throw ECVException(19, {FTarget}, &Archiver);
    FKept = true;
  }

  const std::string& TempName() const { return FTempName; }

 private:
  std::string FTarget;
  std::string FTempName;
  std::unique_ptr<TFileStream> FStream;
  bool FKept = false;
};

// Folders carry the folder bit; tools that leave the attributes empty still
// end a folder's name with "/", and such an entry has no file to write.
bool IsFolderEntry(const TDirItem& Item) {
  return (Item.ExternalAttr & faDirectory) != 0 || (!Item.FileName.empty() && Item.FileName.back() == '/');
}

}  // namespace

bool TCVBaseArchiver::IsArchiveFile(const std::string& Name) const {
  if (InMemory()) return false;
  return SameFile(Name, FileName()) || (!FCurrentVolumeName.empty() && SameFile(Name, FCurrentVolumeName));
}

void TCVBaseArchiver::ExtractOneFile(int32_t Index, const std::string& Name, const std::string& BaseFolder) {
  const TCVDirArray* Items = DirectoryItems();
  if (Items == nullptr || Index < 0 || Index >= Items->Count()) throw ECVException(16, this);
  // Copies: handlers run before the item is needed again.
  const TDirItem& Item = Items->ItemPtr(Index);
  const uint32_t StoredAttr = Item.ExternalAttr;
  const bool Folder = IsFolderEntry(Item);
  const uint32_t Stamp = (static_cast<uint32_t>(Item.ModDate) << 16) | Item.ModTime;
  const std::string Comment = Item.Comment;

  uint32_t Attr = StoredAttr;
  std::string OutName = Name;
  DoOnExtractFile(OutName, Attr, Comment);

  // Confined after the handler, so a name it returns cannot leave BaseFolder
  // either.
  const std::string Given = OutName;
  OutName = ConfineEntryName(OutName);
  if (OutName.empty()) throw ECVException(19, {Given}, this);

  if (!Options().CreateDirs) {
    OutName = ExtractFileName(OutName);
  } else {
    const std::string Dir = BaseFolder + ExtractFilePath(OutName);
    bool Made = false;
    try {
      Made = MakeDirs(Dir);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception&) {
    }
    if (!Made) throw ECVException(20, {Dir}, this);
  }
  if (Folder) return;

  std::string Target = BaseFolder + OutName;
  if (FileExists(Target)) {
    if (!Options().ReplaceReadOnly && (FileGetAttr(Target) & faReadOnly)) return;
    switch (Options().OverwriteMode) {
      case omPrompt: {
        // A handler that says nothing lets the file be replaced. The name it
        // returns is the application's own choice and is used as given.
        bool Confirm = true;
        DoOnConfirmOverwrite(OutName, Target, Confirm);
        if (!Confirm) return;
        break;
      }
      case omAlways:
        break;
      case omNever:
        return;
      case omIfNewer:
      case omIfOlder: {
        const int32_t Existing = FileGetDate(Target);
        const int32_t Archived = static_cast<int32_t>(Stamp);
        if (Options().OverwriteMode == omIfNewer ? !(Existing < Archived) : !(Existing > Archived)) return;
        break;
      }
    }
  }

  // A name that ends in a separator names no file (nor does an empty one a
  // handler may return). The archive being read is never replaced: it may be
  // the only copy.
  if (ExtractFileName(Target).empty() || IsArchiveFile(Target)) throw ECVException(19, {Target}, this);
  TPendingOutput Output(Target, *this);
  std::exception_ptr Failure;
  try {
    ExtractItemToStream(Index, Output.Stream());
  } catch (...) {
    Failure = std::current_exception();
  }

  FileSetDate(Output.Stream().Handle(), Stamp);
  if (Options().FlushBuffers && IsRemovableDrive(Target)) {
    try {
      Output.Stream().Flush();
    } catch (const EWriteError&) {
      // Data the device lost is a failed write, not a kept file.
      if (!Failure) Failure = std::current_exception();
    }
  }
  Output.Close();

  if (Failure) std::rethrow_exception(Failure);
  if (FSkipFileRequested || FCancelRequested) return;
  // After the time: a read-only file could not take its time by name.
  if (Options().SetAttributes) FileSetAttr(Output.TempName(), Attr);
  Output.Keep(*this);
}

void TCVBaseArchiver::TestOneItem(int32_t Index, const std::string& /*Name*/) {
  const TCVDirArray* Items = DirectoryItems();
  if (Items == nullptr || Index < 0 || Index >= Items->Count()) throw ECVException(16, this);
  if (IsFolderEntry(Items->ItemPtr(Index))) return;
  // Nothing is written: no temporary file, nothing to create or to fail.
  TNullStream Discard;
  ExtractItemToStream(Index, Discard);
}
