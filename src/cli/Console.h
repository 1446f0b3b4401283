#pragma once

#include <chrono>
#include <cstdio>
#include <string>

// Where the CLI's text goes: log lines (time of day, "> ", text; oldest
// first, as they happen), plain lines (the summary), and, when stderr is a
// terminal, two progress bars at its bottom (current entry, whole run)
// redrawn at most ten times a second. Callers escape archive text
// (EscapeForDisplay) before handing it over.
class TConsole {
 public:
  // Log lines and plain lines go to LogStream. Bars are drawn on stderr when
  // ShowBars and stderr is a terminal. Quiet keeps only Problem lines.
  TConsole(std::FILE* LogStream, bool ShowBars, bool Quiet);
  ~TConsole();
  TConsole(const TConsole&) = delete;
  TConsole& operator=(const TConsole&) = delete;

  // A log line for what happens (an entry begins, the archive opens).
  void Log(const std::string& Text);
  // A log line for a failure, a damaged entry or a skipped one; shown even
  // when quiet.
  void Problem(const std::string& Text);
  // A line without the time (the summary); not shown when quiet.
  void Plain(const std::string& Text);

  // The current entry and its progress; the whole run's progress (percent).
  void SetFile(const std::string& Name, double Percent);
  void SetOverall(double Percent);
  // Removes the bars from the screen (before a question, at the end); the
  // next update draws them again.
  void HideBars();

 private:
  void WriteLine(const std::string& Line);
  // Draws the bars when the last drawing is at least a tenth of a second old.
  void MaybeDraw();
  void Draw();

  std::FILE* FLog;
  bool FBars;
  bool FQuiet;
  bool FShown = false;
  bool FEverDrawn = false;
  std::chrono::steady_clock::time_point FLastDraw;
  std::string FFileName;
  double FFilePercent = 0;
  double FOverallPercent = 0;
};

// The bar lines for a terminal Columns wide, each shorter than Columns (so
// nothing wraps): "file    [####    ]  50% name" and "overall [##      ]  25%".
// Percent is clamped to 0..100; Name is cut at the front to fit, counting
// every non-ASCII character as two columns.
std::string RenderBar(const std::string& Label, double Percent, const std::string& Name, int Columns);
