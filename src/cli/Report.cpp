#include "cli/Report.h"

#include <nlohmann/json.hpp>

#include "cli/Escape.h"
#include "platform/Format.h"

const char* StatusName(TEntryStatus Status) {
  switch (Status) {
    case esIntact:
      return "intact";
    case esDamaged:
      return "damaged";
    case esFailed:
      return "failed";
    case esSkipped:
      return "skipped";
    case esCancelled:
      return "cancelled";
  }
  return "";
}

int32_t TRunReport::Count(TEntryStatus Status) const {
  int32_t N = 0;
  for (const TEntryReport& E : Entries)
    if (E.Status == Status) ++N;
  return N;
}

int64_t TRunReport::BytesWritten() const {
  int64_t Total = 0;
  for (const TEntryReport& E : Entries) Total += E.Bytes;
  return Total;
}

int TRunReport::ExitStatus() const {
  if (!FatalError.empty()) return ExitFatal;
  if (Interrupted) return ExitInterrupted;
  if (Selected == 0 && MasksGiven) return ExitIncomplete;
  // Entries the run never reached count as not intact.
  if (static_cast<int32_t>(Entries.size()) < Selected) return ExitIncomplete;
  for (const TEntryReport& E : Entries)
    if (E.Status != esIntact) return ExitIncomplete;
  return ExitIntact;
}

namespace {

std::string Plural(int64_t N, const char* One, const char* Many) {
  return std::to_string(N) + " " + (N == 1 ? One : Many);
}

void AddNamed(std::vector<std::string>& Lines, const TRunReport& Report, TEntryStatus Status,
              const std::string& Heading) {
  for (const TEntryReport& E : Report.Entries) {
    if (E.Status != Status) continue;
    std::string Line = "  " + Heading + ": " + EscapeForDisplay(E.Name);
    if (!E.Reason.empty()) Line += " (" + EscapeForDisplay(E.Reason) + ")";
    Lines.push_back(std::move(Line));
  }
}

}  // namespace

std::vector<std::string> SummaryLines(const TRunReport& Report) {
  std::vector<std::string> Lines;
  const bool Testing = Report.Mode == cmTest;
  const std::string Damaged = Testing ? "damaged" : "damaged but kept";
  std::string Counts = Plural(Report.Count(esIntact), "entry intact", "entries intact") + ", " +
                       std::to_string(Report.Count(esDamaged)) + " " + Damaged + ", " +
                       std::to_string(Report.Count(esFailed)) + " failed, " +
                       std::to_string(Report.Count(esSkipped)) + " skipped";
  if (Report.Count(esCancelled) > 0)
    Counts += ", " + std::to_string(Report.Count(esCancelled)) + " cancelled";
  Lines.push_back((Testing ? "Tested: " : "Extracted: ") + Counts + " (of " +
                  Plural(Report.Selected, "selected entry", "selected entries") + ").");
  if (Report.Selected == 0 && Report.MasksGiven) Lines.push_back("  No entry matches the masks given.");
  AddNamed(Lines, Report, esDamaged, Testing ? "damaged" : "damaged but kept");
  AddNamed(Lines, Report, esFailed, "failed");
  AddNamed(Lines, Report, esSkipped, "skipped");
  AddNamed(Lines, Report, esCancelled, "cancelled");
  if (Report.Interrupted) {
    const int64_t NotReached = Report.Selected - static_cast<int64_t>(Report.Entries.size());
    Lines.push_back("Interrupted: the entry in progress was removed; " +
                    Plural(NotReached > 0 ? NotReached : 0, "entry was", "entries were") + " not reached.");
  }
  if (Testing)
    Lines.push_back("Nothing was written (test run).");
  else
    Lines.push_back("Bytes written: " + std::to_string(Report.BytesWritten()) + " into " +
                    EscapeForDisplay(Report.Output));
  Lines.push_back("Elapsed time: " + FormatFixed(Report.ElapsedSeconds, 2) + " s");
  return Lines;
}

std::string ReportJson(const TRunReport& Report) {
  using nlohmann::json;
  json Doc;
  Doc["archive"] = Report.Archive;
  Doc["mode"] = Report.Mode == cmTest ? "test" : Report.Mode == cmList ? "list" : "extract";
  if (!Report.FatalError.empty()) {
    Doc["error"] = Report.FatalError;
  } else {
    if (Report.Mode == cmExtract) Doc["output"] = Report.Output;
    Doc["rebuilt"] = Report.Rebuilt;
    json Entries = json::array();
    for (const TEntryReport& E : Report.Entries) {
      json Entry;
      Entry["name"] = E.Name;
      Entry["status"] = StatusName(E.Status);
      Entry["reason"] = E.Reason.empty() ? json(nullptr) : json(E.Reason);
      Entry["bytes"] = E.Bytes;
      if (E.Folder) Entry["folder"] = true;
      Entries.push_back(std::move(Entry));
    }
    Doc["entries"] = std::move(Entries);
    Doc["totals"] = {
        {"selected", Report.Selected},           {"intact", Report.Count(esIntact)},
        {"damaged", Report.Count(esDamaged)},    {"failed", Report.Count(esFailed)},
        {"skipped", Report.Count(esSkipped)},    {"cancelled", Report.Count(esCancelled)},
        {"bytesWritten", Report.BytesWritten()}, {"elapsedSeconds", Report.ElapsedSeconds},
    };
    Doc["interrupted"] = Report.Interrupted;
  }
  Doc["exitStatus"] = Report.ExitStatus();
  return Doc.dump(2, ' ', false, json::error_handler_t::replace);
}
