#include "cli/Console.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "cli/Terminal.h"

namespace {

constexpr auto RedrawInterval = std::chrono::milliseconds(100);
// Erases the current line: carriage return, then clear to its end.
const char* const ClearLine = "\r\033[K";
// Up one line.
const char* const LineUp = "\033[1A";

int DisplayWidth(const std::string& S) {
  int Width = 0;
  for (unsigned char C : S)
    if (C < 0x80)
      Width += 1;
    else if ((C & 0xC0) != 0x80)
      Width += 2;
  return Width;
}

// The end of S that fits in Width columns, with "..." in front when cut.
std::string FitTail(const std::string& S, int Width) {
  if (DisplayWidth(S) <= Width) return S;
  if (Width <= 3) return std::string();
  // Walk back over whole characters until the tail no longer fits.
  size_t Start = S.size();
  int Used = 0;
  while (Start > 0) {
    size_t Prev = Start - 1;
    while (Prev > 0 && (static_cast<unsigned char>(S[Prev]) & 0xC0) == 0x80) --Prev;
    const int W = static_cast<unsigned char>(S[Prev]) < 0x80 ? 1 : 2;
    if (Used + W > Width - 3) break;
    Used += W;
    Start = Prev;
  }
  return "..." + S.substr(Start);
}

}  // namespace

std::string RenderBar(const std::string& Label, double Percent, const std::string& Name, int Columns) {
  if (!(Percent >= 0)) Percent = 0;  // NaN as well
  Percent = std::min(Percent, 100.0);
  const int Whole = static_cast<int>(std::floor(Percent));
  std::string Line = Label;
  Line.resize(std::max<size_t>(Line.size(), 8), ' ');
  // The bar takes what is left of a third of the line, at least 10 cells.
  const int BarWidth = std::max(10, std::min(40, Columns / 3));
  const int Filled = static_cast<int>(std::lround(Percent / 100.0 * BarWidth));
  Line += '[';
  Line.append(static_cast<size_t>(Filled), '#');
  Line.append(static_cast<size_t>(BarWidth - Filled), '-');
  Line += "] ";
  std::string Number = std::to_string(Whole) + "%";
  Line.append(4 - std::min<size_t>(4, Number.size()), ' ');
  Line += Number;
  if (!Name.empty()) {
    const int Room = Columns - 1 - DisplayWidth(Line) - 1;
    if (Room > 3) Line += " " + FitTail(Name, Room);
  }
  if (DisplayWidth(Line) >= Columns) Line = FitTail(Line, Columns - 1);
  return Line;
}

TConsole::TConsole(std::FILE* LogStream, bool ShowBars, bool Quiet)
    : FLog(LogStream), FBars(ShowBars && !Quiet && IsTerminal(STDERR_FILENO)), FQuiet(Quiet) {}

TConsole::~TConsole() { HideBars(); }

void TConsole::Log(const std::string& Text) {
  if (!FQuiet) WriteLine(TimeOfDay() + "> " + Text);
}

void TConsole::Problem(const std::string& Text) { WriteLine(TimeOfDay() + "> " + Text); }

void TConsole::Plain(const std::string& Text) {
  if (!FQuiet) WriteLine(Text);
}

void TConsole::WriteLine(const std::string& Line) {
  HideBars();
  std::fputs(Line.c_str(), FLog);
  std::fputc('\n', FLog);
  std::fflush(FLog);
}

void TConsole::SetFile(const std::string& Name, double Percent) {
  FFileName = Name;
  FFilePercent = Percent;
  MaybeDraw();
}

void TConsole::SetOverall(double Percent) {
  FOverallPercent = Percent;
  MaybeDraw();
}

void TConsole::HideBars() {
  if (!FShown) return;
  std::string Erase = ClearLine;
  Erase += LineUp;
  Erase += ClearLine;
  std::fputs(Erase.c_str(), stderr);
  std::fflush(stderr);
  FShown = false;
}

void TConsole::MaybeDraw() {
  if (!FBars) return;
  const auto Now = std::chrono::steady_clock::now();
  if (FEverDrawn && Now - FLastDraw < RedrawInterval) return;
  FLastDraw = Now;
  FEverDrawn = true;
  Draw();
}

void TConsole::Draw() {
  const int Columns = TerminalColumns(STDERR_FILENO);
  std::string Text;
  if (FShown) {
    Text += ClearLine;
    Text += LineUp;
  }
  Text += ClearLine;
  Text += RenderBar("file", FFilePercent, FFileName, Columns);
  Text += '\n';
  Text += ClearLine;
  Text += RenderBar("overall", FOverallPercent, std::string(), Columns);
  std::fputs(Text.c_str(), stderr);
  std::fflush(stderr);
  FShown = true;
}
