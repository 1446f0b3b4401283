#include <gtest/gtest.h>

#include <string>

#include "cli/Escape.h"

namespace {

struct TEscapeCase {
  const char* What;
  std::string Input;
  std::string Expected;
};

TEST(EscapeForDisplay, MakesEveryControlVisible) {
  const TEscapeCase Cases[] = {
      {"plain ASCII", "docs/readme.txt", "docs/readme.txt"},
      {"printable UTF-8", "caf\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC.txt",
       "caf\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC.txt"},
      {"terminal escape sequence",
       "a\x1B]0;owned\x07"
       "b",
       "a\\x1B]0;owned\\x07b"},
      {"colour change", "\x1B[31mred", "\\x1B[31mred"},
      {"line end and carriage return", "one\ntwo\rthree", "one\\x0Atwo\\x0Dthree"},
      {"tab and NUL", std::string("a\tb\0c", 5), "a\\x09b\\x00c"},
      {"DEL", "x\x7Fy", "x\\x7Fy"},
      {"C1 control as UTF-8 (CSI)",
       "x\xC2\x9B"
       "31m",
       "x\\x9B31m"},
      {"bytes that are not UTF-8",
       "\xFF\xFE"
       "a\xC3",
       "\\xFF\\xFEa\\xC3"},
      {"overlong slash", "\xC0\xAF", "\\xC0\\xAF"},
      {"right-to-left override",
       "invoice\xE2\x80\xAE"
       "fdp.exe",
       "invoice\\u{202E}fdp.exe"},
      {"isolate",
       "a\xE2\x81\xA6"
       "b",
       "a\\u{2066}b"},
      {"a backslash cannot forge an escape", "a\\x1Bb", "a\\\\x1Bb"},
  };
  for (const TEscapeCase& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::string Out = EscapeForDisplay(C.Input);
    EXPECT_EQ(Out, C.Expected);
    for (unsigned char Byte : Out) EXPECT_TRUE(Byte >= 0x20 && Byte != 0x7F) << "raw control byte left";
  }
}

}  // namespace
