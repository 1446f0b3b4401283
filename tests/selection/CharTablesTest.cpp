#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "selection/CharTables.h"
#include "selection/Masks.h"

namespace {

std::vector<uint32_t> Decode(const std::string& S) {
  std::vector<uint32_t> Keys;
  const char* P = S.data();
  const char* End = P + S.size();
  while (P < End) Keys.push_back(NextCharKey(P, End));
  return Keys;
}

constexpr uint32_t Bad(uint32_t Byte) { return InvalidByteKey + Byte; }

int Sign(int32_t V) { return (V > 0) - (V < 0); }

}  // namespace

TEST(CharTables, DecodesOneCodePointOrOneStrayByte) {
  struct {
    const char* Bytes;
    std::vector<uint32_t> Want;
  } Cases[] = {
      {"a/", {'a', '/'}},
      {"\xC3\xA9", {0xE9}},                          // é
      {"\xE2\x82\xAC", {0x20AC}},                    // €
      {"\xF0\x90\x90\x80", {0x10400}},               // outside the BMP
      {"\xC3", {Bad(0xC3)}},                         // cut at the end
      {"\xE2\x82" "c", {Bad(0xE2), Bad(0x82), 'c'}},  // cut before an ASCII byte
      {"\x80" "a", {Bad(0x80), 'a'}},                // stray continuation byte
      {"\xC0\x80", {Bad(0xC0), Bad(0x80)}},          // overlong NUL
      {"\xE0\x80\xAF", {Bad(0xE0), Bad(0x80), Bad(0xAF)}},  // overlong "/"
      {"\xED\xA0\x80", {Bad(0xED), Bad(0xA0), Bad(0x80)}},  // surrogate
      {"\xF4\x90\x80\x80", {Bad(0xF4), Bad(0x90), Bad(0x80), Bad(0x80)}},  // past U+10FFFF
      {"\xFF\xFE", {Bad(0xFF), Bad(0xFE)}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(C.Bytes)));
    EXPECT_EQ(Decode(C.Bytes), C.Want);
  }
}

// Outside the Turkish locale: the ordinary pairs fold, the dotted capital I
// and the dotless i stay apart from 'i' and 'I'. (towupper_l itself maps
// U+0131 to 'I'; the tables keep it apart so that it cannot equal 'i' too.)
TEST(CharTables, CasePairsUnderTheNeutralLocale) {
  if (CharTablesLocale() == LocaleTurkish) GTEST_SKIP() << "the environment selects the Turkish locale";
  struct {
    const char* A;
    const char* B;
    bool EqualIgnoringCase;
  } Cases[] = {
      {"i", "I", true},
      {"\xC4\xB0", "i", false},          // U+0130
      {"\xC4\xB0", "I", false},
      {"\xC4\xB1", "i", false},          // U+0131
      {"\xC4\xB1", "I", false},
      {"\xC3\xA9", "\xC3\x89", true},    // é É
      {"\xC3\xBF", "\xC5\xB8", true},    // ÿ Ÿ: the capital lies outside Latin-1
      {"\xCF\x82", "\xCE\xA3", true},    // final sigma, capital sigma
      {"\xF0\x90\x90\xA8", "\xF0\x90\x90\x80", true},  // Deseret, beyond the 64K table
      {"\xE9", "\xC3\xA9", false},       // a stray byte is not the code point of its value
      {"\xE9", "\xC9", false},           // stray bytes do not fold
      {"\xE9", "\xE9", true},
      {"a", "b", false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::string(C.A) + " / " + C.B);
    EXPECT_EQ(StrLICompRanked(C.A, C.B, 1) == 0, C.EqualIgnoringCase);
    EXPECT_EQ(StrLICompRanked(C.B, C.A, 1) == 0, C.EqualIgnoringCase);
    EXPECT_EQ(WildcardMatch(C.A, C.B, true), C.EqualIgnoringCase);
    EXPECT_EQ(StrLCompRanked(C.A, C.B, 1) == 0, std::strcmp(C.A, C.B) == 0);
  }
}

TEST(CharTables, RankedComparisonsOrderOverAtMostMaxLenCharacters) {
  struct {
    const char* S1;
    const char* S2;
    uint32_t MaxLen;
    int Want;
    int WantIgnoringCase;
  } Cases[] = {
      {"a", "b", 1, -1, -1},
      {"b", "a", 1, 1, 1},
      {"a", "A", 1, 1, 0},
      {"a", "B", 1, 1, -1},  // ignoring case compares 'A' with 'B'
      {"abc", "abd", 2, 0, 0},
      {"abc", "abd", 3, -1, -1},
      {"abc", "ABD", 2, 1, 0},
      {"x", "y", 0, 0, 0},
      {"", "", 5, 0, 0},
      {"", "a", 1, -1, -1},
      {"a", "", 1, 1, 1},
      {"ab", "abc", 5, -1, -1},
      {"\xC3\xA9" "a", "\xC3\xA9" "b", 2, -1, -1},  // MaxLen counts characters, not bytes
      {"\xC3\xA9" "a", "\xC3\x89" "A", 2, 1, 0},
      {"\xC3\xA9", "z", 1, 1, 1},  // code point order: U+00E9 after 'z'
      {"R\xC3\x89SUM\xC3\x89", "r\xC3\xA9sum\xC3\xA9", 6, -1, 0},
      {"\xC3", "\xC3\x83", 1, 1, 1},  // a stray byte orders after every code point
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::string(C.S1) + " / " + C.S2 + " / " + std::to_string(C.MaxLen));
    EXPECT_EQ(Sign(StrLCompRanked(C.S1, C.S2, C.MaxLen)), C.Want);
    EXPECT_EQ(Sign(StrLCompRanked(C.S2, C.S1, C.MaxLen)), -C.Want);
    EXPECT_EQ(Sign(StrLICompRanked(C.S1, C.S2, C.MaxLen)), C.WantIgnoringCase);
    EXPECT_EQ(Sign(StrLICompRanked(C.S2, C.S1, C.MaxLen)), -C.WantIgnoringCase);
  }
}
