#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cli/Console.h"

namespace {

int Columns(const std::string& Line) {
  int Width = 0;
  for (unsigned char C : Line)
    if (C < 0x80)
      Width += 1;
    else if ((C & 0xC0) != 0x80)
      Width += 2;
  return Width;
}

TEST(RenderBar, FitsTheTerminalAndShowsThePercentage) {
  struct TCase {
    const char* What;
    double Percent;
    std::string Name;
    int TerminalColumns;
    const char* Shows;  // expected inside the line
  } const Cases[] = {
      {"half way", 50.0, "a.txt", 80, " 50% a.txt"},
      {"start", 0.0, "a.txt", 80, "  0% a.txt"},
      {"done", 100.0, "", 80, "100%"},
      {"above 100 is clamped", 250.0, "", 80, "100%"},
      {"below 0 is clamped", -3.0, "", 80, "  0%"},
      {"a long name keeps its end", 12.5, std::string(300, 'x') + "/end.bin", 60, "end.bin"},
      {"wide characters are cut by columns", 1, std::string(60, '\xE6') /* not UTF-8 */ + "\xE6\x97\xA5.txt",
       40, "\xE6\x97\xA5.txt"},
      {"a narrow terminal", 33, "name.txt", 20, ""},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::string Line = RenderBar("file", C.Percent, C.Name, C.TerminalColumns);
    EXPECT_LT(Columns(Line), C.TerminalColumns) << Line;
    EXPECT_NE(Line.find(C.Shows), std::string::npos) << Line;
    EXPECT_EQ(Line.find('\n'), std::string::npos);
  }
}

TEST(RenderBar, FillsInProportion) {
  const std::string Empty = RenderBar("overall", 0, "", 90);
  const std::string Half = RenderBar("overall", 50, "", 90);
  const std::string Full = RenderBar("overall", 100, "", 90);
  auto Filled = [](const std::string& S) { return std::count(S.begin(), S.end(), '#'); };
  auto Cells = [](const std::string& S) {
    return std::count(S.begin(), S.end(), '#') + std::count(S.begin(), S.end(), '-');
  };
  EXPECT_EQ(Filled(Empty), 0);
  EXPECT_EQ(Filled(Full), Cells(Full));
  EXPECT_EQ(Filled(Half) * 2, Cells(Half));
}

}  // namespace
