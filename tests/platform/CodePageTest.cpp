#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"

TEST(CodePage, EveryCp437ByteRoundTrips) {
  std::string All;
  for (int B = 0; B < 256; ++B) All += static_cast<char>(B);
  std::string Utf8 = OemToChar(All);
  EXPECT_TRUE(IsValidUtf8(Utf8));
  EXPECT_EQ(CharToOem(Utf8), All);
  EXPECT_EQ(OemToChar(All.substr(0, 128)), All.substr(0, 128));
}

TEST(CodePage, Cp437KnownAnswers) {
  const struct {
    const char* Oem;
    const char* Utf8;
  } Cases[] = {
      {"caf\x82.txt", "caf\u00e9.txt"},          // é
      {"\x8e\x99\x9a", "\u00c4\u00d6\u00dc"},    // ÄÖÜ
      {"\xc9\xcd\xbb", "\u2554\u2550\u2557"},    // ╔═╗
      {"\xb0\xb3\xdb", "\u2591\u2502\u2588"},    // ░│█
      {"\xe1\xe3\x9e", "\u00df\u03c0\u20a7"},    // ßπ₧
      {"\xff", "\u00a0"},
      {"A/b\\c", "A/b\\c"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Utf8);
    EXPECT_EQ(OemToChar(C.Oem), C.Utf8);
    EXPECT_EQ(CharToOem(C.Utf8), C.Oem);
  }
}

TEST(CodePage, UnmappableAndMalformedBecomeQuestionMarks) {
  const struct {
    const char* Utf8;
    const char* Oem;
    const char* Windows1252;
  } Cases[] = {
      {"\u20ac", "?", "\x80"},                        // € only in 1252
      {"\u0160ka", "?ka", "\x8aka"},                  // Š
      {"\u00e9", "\x82", "\xe9"},
      {"\u0105", "?", "?"},                           // ą in neither
      {"\u65e5\u672c", "??", "??"},
      {"\U0001F600x", "?x", "?x"},
      {"\u0081", "?", "?"},                           // a C1 control is not byte 0x81
      {"a\xffz", "a?z", "a?z"},
      {"\xc3", "?", "?"},                             // cut short
      {"\xc0\xaf", "??", "??"},                       // overlong "/"
      {"\xed\xa0\x80", "???", "???"},                 // surrogate
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Utf8);
    EXPECT_EQ(CharToOem(C.Utf8), C.Oem);
    EXPECT_EQ(CharToWindows1252(C.Utf8), C.Windows1252);
  }
}

TEST(CodePage, Utf8Validity) {
  const struct {
    const char* What;
    std::string Bytes;
    bool Valid;
    bool Looks;
  } Cases[] = {
      {"empty", "", true, false},
      {"ASCII", "dir/file.txt", true, false},
      {"two bytes", "caf\xc3\xa9", true, true},
      {"three bytes", "\xe2\x82\xac", true, true},
      {"four bytes", "\xf0\x9f\x98\x80", true, true},
      {"U+10FFFF", "\xf4\x8f\xbf\xbf", true, true},
      {"NUL inside", std::string("a\0\xc3\xa9", 4), true, true},
      {"CP437 e-acute", "caf\x82", false, false},
      {"overlong 2", "\xc0\x80", false, false},
      {"overlong 3", "\xe0\x80\xaf", false, false},
      {"overlong 4", "\xf0\x80\x80\xaf", false, false},
      {"surrogate", "\xed\xa0\x80", false, false},
      {"above U+10FFFF", "\xf4\x90\x80\x80", false, false},
      {"F5 lead", "\xf5\x80\x80\x80", false, false},
      {"cut short", "ok\xe2\x82", false, false},
      {"lone continuation", "\x80", false, false},
      {"bad continuation", "\xe2\x28\xa1", false, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_EQ(IsValidUtf8(C.Bytes), C.Valid);
    EXPECT_EQ(LooksLikeUtf8(C.Bytes), C.Looks);
  }
}

TEST(CodePage, DecodeStepsOverABadByteAlone) {
  std::string S = "\xe2\x82x\xc3\xa9";
  size_t Pos = 0;
  char32_t C;
  EXPECT_FALSE(DecodeUtf8Char(S, Pos, C));
  EXPECT_EQ(Pos, 1u);
  EXPECT_EQ(C, 0xE2u);
  EXPECT_FALSE(DecodeUtf8Char(S, Pos, C));
  EXPECT_TRUE(DecodeUtf8Char(S, Pos, C));
  EXPECT_EQ(C, U'x');
  EXPECT_TRUE(DecodeUtf8Char(S, Pos, C));
  EXPECT_EQ(C, 0xE9u);
  EXPECT_EQ(Pos, S.size());
  std::string Out;
  for (char32_t Cp : {U'a', U'\u00e9', U'\u2554', U'\U0001F600'}) AppendUtf8(Out, Cp);
  EXPECT_EQ(Out, "a\u00e9\u2554\U0001F600");
}
