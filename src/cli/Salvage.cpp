#include "cli/Salvage.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <new>

#include "archiver/CVExcept.h"
#include "cli/Checks.h"
#include "cli/CliArchiver.h"
#include "cli/Console.h"
#include "cli/Escape.h"
#include "cli/Interrupt.h"
#include "cli/Listing.h"
#include "cli/Report.h"
#include "cli/Terminal.h"
#include "cli/TerminalDialogs.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "platform/Stream.h"
#include "selection/OutputName.h"
#include "selection/PathHelpers.h"

namespace {

const char* OverwriteName(TCVOverwriteMode Mode) {
  switch (Mode) {
    case omPrompt:
      return "ask";
    case omAlways:
      return "always";
    case omNever:
      return "never";
    case omIfNewer:
      return "newer";
    case omIfOlder:
      return "older";
  }
  return "";
}

// The component's events during one run, turned into log lines, bars and
// the report.
class TRunEvents {
 public:
  TRunEvents(TCliArchiver& Archiver, const TCliOptions& Options, TConsole& Console, TRunReport& Report)
      : FArchiver(Archiver), FOptions(Options), FConsole(Console), FReport(Report), FCanAsk(CanAskUser()) {}

  void Install() {
    FArchiver.SetOnOverallProgress(
        [this](TCVBaseArchiver&, double Progress, TCVProcessOperation, TCVProgressPhase, bool& Cancel) {
          FConsole.SetOverall(Progress);
          if (InterruptRequested()) Cancel = true;
        });
    FArchiver.SetOnFileProgress([this](TCVBaseArchiver&, const std::string& Name, double Progress,
                                       TCVProcessOperation, TCVProgressPhase Phase, bool& Cancel) {
      if (InterruptRequested()) Cancel = true;
      FileProgress(Name, Progress, Phase, Cancel);
    });
    FArchiver.SetOnExtractFile(
        [this](TCVBaseArchiver&, std::string& Name, uint32_t&, const std::string&) { ExtractFile(Name); });
    FArchiver.SetOnDamagedFile([this](TCVBaseArchiver&, const std::string& Name, const std::string& Reason) {
      Damaged(Name, Reason);
    });
    FArchiver.SetOnProcessFileFailure([this](TCVBaseArchiver&, const std::string& Name, TCVProcessOperation,
                                             int32_t, int32_t, const std::string& Message, TCVAction&) {
      // The action stays fxaIgnore: one entry's failure never ends the run.
      Failed(Name, Message);
    });
    FArchiver.SetOnPassword([this](TCVBaseArchiver&, const std::string& Name, std::string& NewPassword,
                                   bool& SkipFile) { Password(Name, NewPassword, SkipFile); });
  }

 private:
  TEntryReport* Current() { return FOpen ? &FReport.Entries.back() : nullptr; }

  TEntryReport& Begin(const std::string& Name) {
    TEntryReport Entry;
    Entry.Name = Name;
    Entry.Folder = !Name.empty() && Name.back() == PathDelim;
    FReport.Entries.push_back(std::move(Entry));
    FOpen = true;
    FAsked = false;
    FBefore = TFileIdentity();
    FTarget.clear();
    return FReport.Entries.back();
  }

  void FileProgress(const std::string& Name, double Progress, TCVProgressPhase Phase, bool Cancel) {
    const std::string Shown = EscapeForDisplay(Name);
    switch (Phase) {
      case ppStart:
        Begin(Name);
        FConsole.Log(Shown + "...");
        FConsole.SetFile(Shown, 0);
        break;
      case ppProcess:
        FConsole.SetFile(Shown, Progress);
        break;
      case ppEnd:
        FConsole.SetFile(Shown, 100);
        Finish(Cancel);
        break;
    }
  }

  void ExtractFile(const std::string& Name) {
    // The component confines the name the same way and writes there.
    const std::string Confined = ConfineEntryName(Name);
    if (Confined.empty() || !FOpen) return;
    FTarget = BaseDirWithSlash(FArchiver.BaseDir()) + Confined;
    FBefore = IdentifyFile(FTarget);
  }

  void Damaged(const std::string& Name, const std::string& Reason) {
    TEntryReport* Entry = Current();
    if (Entry == nullptr) Entry = &Begin(Name);
    Entry->Status = esDamaged;
    Entry->Reason = Reason.empty() ? "data failed its checks" : Reason;
    FConsole.Problem(std::string(FOptions.Mode == cmTest ? "Damaged: " : "Damaged, kept: ") +
                     EscapeForDisplay(Name) + ": " + EscapeForDisplay(Entry->Reason));
  }

  void Failed(const std::string& Name, const std::string& Message) {
    TEntryReport* Entry = Current();
    if (Entry == nullptr || Entry->Name != Name) Entry = &Begin(Name);
    Entry->Status = esFailed;
    Entry->Reason = Message;
    Entry->Bytes = 0;
    FOpen = false;
    FConsole.Problem("Failed: " + EscapeForDisplay(Name) + ": " + EscapeForDisplay(Message));
  }

  void Skip(const std::string& Name, const std::string& Reason) {
    TEntryReport* Entry = Current();
    MarkSkipped(Entry != nullptr ? *Entry : Begin(Name), Reason);
  }

  void MarkSkipped(TEntryReport& Entry, const std::string& Reason) {
    Entry.Status = esSkipped;
    Entry.Reason = Reason;
    Entry.Bytes = 0;
    FConsole.Problem("Skipped: " + EscapeForDisplay(Entry.Name) + ": " + Reason);
  }

  // At most one question per entry: a second wrong password, no terminal, or
  // an empty answer skips the entry, so the component's password loop ends.
  void Password(const std::string& Name, std::string& NewPassword, bool& SkipFile) {
    SkipFile = true;
    if (InterruptRequested()) return;
    if (!FCanAsk || FAsked) {
      Skip(Name, NewPassword.empty() ? "encrypted, and no password was given (-p)" : "the password is wrong");
      return;
    }
    FAsked = true;
    std::string Answer;
    const std::string Prompt = NewPassword.empty() ? "Enter password (empty to skip): "
                                                   : "Wrong password; enter another (empty to skip): ";
    if (Dialogs().InputQuery("Password for \"" + Name + "\"", Prompt, Answer, true) && !Answer.empty()) {
      NewPassword = Answer;
      SkipFile = false;
      return;
    }
    if (InterruptRequested()) return;
    Skip(Name, "no password given");
  }

  void Finish(bool Cancel) {
    TEntryReport* Entry = Current();
    FOpen = false;
    if (Entry == nullptr) return;
    if (Cancel) {
      // The component removed what it was writing.
      if (Entry->Status == esIntact || Entry->Status == esDamaged) {
        Entry->Status = esCancelled;
        Entry->Reason = "interrupted; its output was removed";
        Entry->Bytes = 0;
      }
      return;
    }
    if (FOptions.Mode != cmExtract || Entry->Folder || Entry->Status == esSkipped) return;
    const TFileIdentity After = IdentifyFile(FTarget);
    if (FTarget.empty() || !After.Exists) {
      if (Entry->Status == esIntact) {
        Entry->Status = esFailed;
        Entry->Reason = "no output file was written";
        FConsole.Problem("Failed: " + EscapeForDisplay(Entry->Name) + ": " + Entry->Reason);
      }
      return;
    }
    if (After.SameFile(FBefore)) {
      // Written output replaces the target by a rename: the same file means
      // the overwrite rule kept the existing one.
      MarkSkipped(*Entry, std::string("the existing file was kept (--overwrite ") +
                              OverwriteName(FOptions.Overwrite) + ")");
      return;
    }
    Entry->Bytes = After.Size;
  }

  TCliArchiver& FArchiver;
  const TCliOptions& FOptions;
  TConsole& FConsole;
  TRunReport& FReport;
  const bool FCanAsk;
  // An entry is in progress (between its start and its end or failure).
  bool FOpen = false;
  bool FAsked = false;
  std::string FTarget;
  TFileIdentity FBefore;
};

class TSalvage {
 public:
  explicit TSalvage(const TCliOptions& Options)
      : FOptions(Options),
        FStart(std::chrono::steady_clock::now()),
        // Stdout is kept for what was asked for when that is a listing or
        // the JSON report.
        FConsole(Options.Json || Options.Mode == cmList ? stderr : stdout, true,
                 Options.Quiet || Options.Mode == cmList),
        FDialogs([this] { FConsole.HideBars(); }) {
    FReport.Archive = Options.Archive;
    FReport.Mode = Options.Mode;
    FReport.MasksGiven = !Options.Masks.empty();
    FReport.Output = Options.Output.empty() ? GetCurrentDir() : Options.Output;
  }

  int Run() {
    try {
      return RunChecked();
    } catch (const std::bad_alloc&) {
      return Fatal("out of memory");
    } catch (const std::exception& E) {
      return Fatal(E.what());
    }
  }

 private:
  int RunChecked() {
    std::string Problem = ArchiveProblem(FOptions.Archive);
    if (!Problem.empty()) return Fatal(Problem);
    if (FOptions.Mode == cmExtract) {
      Problem = OutputFolderProblem(FReport.Output);
      if (!Problem.empty()) return Fatal(Problem);
    }

    TCliArchiver Archiver;
    Archiver.SetFileName(FOptions.Archive);
    Archiver.SetOpenDamaged(!FOptions.NoRebuild);
    Archiver.SetExtractCorruptedFiles(!FOptions.DiscardDamaged);
    Archiver.Options().OEMFileNames = true;
    Archiver.Options().Recurse = true;
    Archiver.Options().OverwriteMode = FOptions.Overwrite;
    if (FOptions.HasPassword) Archiver.SetPassword(FOptions.Password);

    FConsole.Log("Opening file: " + EscapeForDisplay(FOptions.Archive));
    // No event fires while the archive opens: Ctrl-C ends the process.
    SetInterruptMode(imExitAtOnce);
    try {
      // Read-only and never created: OpenArchive would make a new archive
      // of a file that went missing since the check.
      Archiver.OpenArchiveMode(fmOpenRead | fmShareDenyNone);
    } catch (const Exception& E) {
      return Fatal(E.Message());
    }
    FReport.Rebuilt = Archiver.DirectoryRebuilt();
    FReport.Selected = Archiver.SelectMasks(FOptions.EffectiveMasks());

    if (FOptions.Mode == cmList) return List(Archiver);

    FConsole.Log(std::string(FReport.Rebuilt ? "Directory rebuilt from local headers: "
                                             : "Directory read from the archive: ") +
                 std::to_string(Archiver.EntryCount()) + " entries, " + std::to_string(FReport.Selected) +
                 " selected");
    if (FOptions.Mode == cmExtract) {
      if (!ForceDirectories(FReport.Output))
        return Fatal("cannot create output folder \"" + FReport.Output + "\"");
      Archiver.SetBaseDir(FReport.Output);
    }

    TRunEvents Events(Archiver, FOptions, FConsole, FReport);
    Events.Install();
    SetInterruptMode(imRequestCancel);
    Archiver.ProcessMarked(FOptions.Mode == cmTest ? poTest : poExtract);
    SetInterruptMode(imExitAtOnce);
    FConsole.HideBars();
    FReport.Interrupted = InterruptRequested() || Archiver.CancelRequested();
    return Finish();
  }

  int List(TCliArchiver& Archiver) {
    const std::vector<TCliArchiver::TListedItem> Items = Archiver.MarkedItems();
    FReport.Entries.clear();
    const int Status = FReport.Selected == 0 && FReport.MasksGiven ? ExitIncomplete : ExitIntact;
    if (FOptions.Json) {
      Print(ListingJson(FOptions.Archive, FReport.Rebuilt, Archiver.EntryCount(), Items, Status));
    } else {
      for (const std::string& Line :
           ListingLines(FOptions.Archive, FReport.Rebuilt, Archiver.EntryCount(), Items))
        Print(Line);
    }
    return Status;
  }

  int Finish() {
    FReport.ElapsedSeconds = Elapsed();
    for (const std::string& Line : SummaryLines(FReport)) FConsole.Plain(Line);
    if (FOptions.Json) Print(ReportJson(FReport));
    return FReport.ExitStatus();
  }

  int Fatal(const std::string& Message) {
    FConsole.HideBars();
    FReport.FatalError = Message;
    FReport.ElapsedSeconds = Elapsed();
    std::fprintf(stderr, "salvor-cli: %s\n", EscapeForDisplay(Message).c_str());
    std::fflush(stderr);
    if (FOptions.Json) Print(ReportJson(FReport));
    return ExitFatal;
  }

  static void Print(const std::string& Line) {
    std::fputs(Line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }

  double Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
  }

  const TCliOptions& FOptions;
  std::chrono::steady_clock::time_point FStart;
  TConsole FConsole;
  TTerminalDialogs FDialogs;
  TRunReport FReport;
};

}  // namespace

int RunSalvage(const TCliOptions& Options) {
  TSalvage Salvage(Options);
  return Salvage.Run();
}
