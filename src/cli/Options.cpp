#include "cli/Options.h"

#include <CLI/CLI.hpp>
#include <map>
#include <sstream>

#include "platform/Version.h"

namespace {

const char* const Description =
    "Salvages files from ZIP archives, damaged ones included: an archive whose directory is\n"
    "missing or broken is rebuilt from the entries it still holds, entries whose data fails\n"
    "its checks are kept and reported, and one failing entry never ends the run.";

const char* const Footer =
    "Masks select entries by name (\"*\" and \"?\" wildcards, case ignored); a mask without a\n"
    "folder matches the file name anywhere in the archive. Default: \"*.*\", every entry.\n"
    "\n"
    "Examples:\n"
    "  salvor-cli damaged.zip                     extract everything into the current folder\n"
    "  salvor-cli -o salvaged damaged.zip         extract into ./salvaged (created if needed)\n"
    "  salvor-cli -o out photos.zip '*.jpg'       only the JPEG files, wherever they are\n"
    "  salvor-cli -l damaged.zip                  list the directory as read or rebuilt\n"
    "  salvor-cli -t backup.zip                   check every entry, write nothing\n"
    "  salvor-cli --overwrite never -o out a.zip  keep files that already exist\n"
    "  salvor-cli --json -o out a.zip > rep.json  a machine-readable report on stdout\n"
    "\n"
    "Exit status: 0 every selected entry intact; 1 some entry damaged, failed or skipped;\n"
    "2 the archive could not be opened, bad usage or another fatal error; 130 interrupted\n"
    "(Ctrl-C), the entry being written is removed.";

}  // namespace

std::vector<std::string> TCliOptions::EffectiveMasks() const {
  if (Masks.empty()) return {"*.*"};
  return Masks;
}

TParseResult ParseCommandLine(int ArgCount, const char* const* Args, TCliOptions& Options) {
  CLI::App App{Description, "salvor-cli"};
  App.footer(Footer);
  App.set_version_flag("--version", std::string("salvor-cli ") + SALVOR_VERSION);
  App.get_formatter()->column_width(32);

  const std::map<std::string, TCVOverwriteMode> OverwriteModes = {{"always", omAlways},
                                                                  {"never", omNever},
                                                                  {"newer", omIfNewer},
                                                                  {"older", omIfOlder},
                                                                  {"ask", omPrompt}};
  std::string OverwriteWord = "always";

  App.add_option("ARCHIVE", Options.Archive, "The ZIP archive to salvage (never changed)")->required();
  App.add_option("MASK", Options.Masks, "Entries to select (default: every entry)");
  App.add_option("-o,--output", Options.Output, "Folder to extract into (default: the current folder)")
      ->type_name("DIR");
  CLI::Option* PasswordOption =
      App.add_option("-p,--password", Options.Password,
                     "Password of encrypted entries; without it a terminal asks, a script skips them")
          ->type_name("PW");
  App.add_option("--overwrite", OverwriteWord,
                 "Existing files: always (default), never, newer (the entry is newer), older, ask")
      ->type_name("WHEN")
      ->transform(CLI::IsMember({"always", "never", "newer", "older", "ask"}, CLI::ignore_case));
  bool List = false;
  bool Test = false;
  CLI::Option* ListFlag =
      App.add_flag("-l,--list", List, "List the directory as read or rebuilt; extract nothing");
  CLI::Option* TestFlag = App.add_flag("-t,--test", Test, "Check every selected entry; write nothing");
  ListFlag->excludes(TestFlag);
  App.add_flag("--discard-damaged", Options.DiscardDamaged,
               "A damaged entry fails and leaves no file (default: kept and reported)");
  App.add_flag("--no-rebuild", Options.NoRebuild,
               "Do not rebuild a missing or broken directory from the entries' own headers");
  App.add_flag("-q,--quiet", Options.Quiet, "Only problems: no progress, no line per entry, no summary");
  App.add_flag("--json", Options.Json, "Print one JSON report on stdout (the log goes to stderr)");

  std::ostringstream Out;
  std::ostringstream Err;
  TParseResult Result;
  try {
    App.parse(ArgCount, Args);
  } catch (const CLI::ParseError& E) {
    const int Code = App.exit(E, Out, Err);
    Result.Out = Out.str();
    Result.Err = Err.str();
    Result.ExitStatus = Code == 0 ? ExitIntact : ExitFatal;
    return Result;
  }
  Options.HasPassword = PasswordOption->count() > 0;
  Options.Overwrite = OverwriteModes.at(OverwriteWord);
  if (List) Options.Mode = cmList;
  if (Test) Options.Mode = cmTest;
  Result.Proceed = true;
  return Result;
}
