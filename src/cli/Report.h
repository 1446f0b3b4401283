#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Options.h"

// What a run did, entry by entry: the summary, the JSON report and the exit
// status all come from here.

enum TEntryStatus : uint8_t {
  esIntact = 0,
  esDamaged = 1,    // data failed a check; the output was kept and reported
  esFailed = 2,     // no output (an error, or damage with --discard-damaged)
  esSkipped = 3,    // not written: no usable password, or an existing file kept
  esCancelled = 4,  // the run was interrupted during this entry
};

const char* StatusName(TEntryStatus Status);

struct TEntryReport {
  // As handlers see it (PathDelim separators); raw bytes from the archive.
  std::string Name;
  TEntryStatus Status = esIntact;
  std::string Reason;
  // Bytes written to disk for this entry (0 in a test run).
  int64_t Bytes = 0;
  bool Folder = false;
};

struct TRunReport {
  std::string Archive;
  TCliMode Mode = cmExtract;
  // The output folder of an extraction.
  std::string Output;
  bool Rebuilt = false;
  // Masks were given on the command line (not the default "*.*").
  bool MasksGiven = false;
  int32_t Selected = 0;
  std::vector<TEntryReport> Entries;
  bool Interrupted = false;
  double ElapsedSeconds = 0;
  // Set when the run could not be done at all (exit status 2).
  std::string FatalError;

  int32_t Count(TEntryStatus Status) const;
  int64_t BytesWritten() const;
  // 2 for a fatal error, 130 when interrupted, 1 when an entry is not intact
  // or the masks given matched nothing, else 0.
  int ExitStatus() const;
};

// The summary: counts, the damaged, failed and skipped entries by name with
// their reasons, bytes written, elapsed time. Archive text is escaped.
std::vector<std::string> SummaryLines(const TRunReport& Report);

// One JSON document (no trailing newline). Text that is not valid UTF-8 is
// written with U+FFFD in place of the bad bytes rather than failing.
std::string ReportJson(const TRunReport& Report);
