#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archiver/CVTypes.h"

// What salvor-cli was asked to do. The defaults are the window's settings:
// damaged directories are rebuilt, damaged entries are kept, existing files
// are replaced.

enum TCliMode : uint8_t { cmExtract = 0, cmTest = 1, cmList = 2 };

struct TCliOptions {
  std::string Archive;
  // Entries matching any of these are selected; none given means "*.*".
  std::vector<std::string> Masks;
  // Empty: the current folder.
  std::string Output;
  bool HasPassword = false;
  std::string Password;
  TCVOverwriteMode Overwrite = omAlways;
  TCliMode Mode = cmExtract;
  // ExtractCorruptedFiles off: a damaged entry fails and leaves no file.
  bool DiscardDamaged = false;
  // OpenDamaged off: an archive without a readable directory is not rebuilt.
  bool NoRebuild = false;
  bool Quiet = false;
  // One JSON report on stdout; the log goes to stderr.
  bool Json = false;

  // The masks to select with.
  std::vector<std::string> EffectiveMasks() const;
};

// Exit statuses.
constexpr int ExitIntact = 0;
constexpr int ExitIncomplete = 1;
constexpr int ExitFatal = 2;
constexpr int ExitInterrupted = 130;

struct TParseResult {
  // Run with the options; otherwise exit with ExitStatus after printing Out
  // (to stdout: help, version) and Err (to stderr: a usage error).
  bool Proceed = false;
  int ExitStatus = ExitIntact;
  std::string Out;
  std::string Err;
};

// Parses argv (Args[0] is the program). A usage error gives ExitFatal and a
// message that ends with a pointer to --help.
TParseResult ParseCommandLine(int ArgCount, const char* const* Args, TCliOptions& Options);
