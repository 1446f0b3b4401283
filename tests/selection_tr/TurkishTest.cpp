#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"
#include "selection/CharTables.h"
#include "selection/Masks.h"

namespace {

const char* const SmallI = "i";
const char* const CapitalI = "I";
const char* const DottedCapitalI = "\xC4\xB0";  // U+0130
const char* const DotlessI = "\xC4\xB1";        // U+0131

}  // namespace

// Everything below assumes the tables were built for 1055; a run without the
// environment set up must fail here rather than test the neutral pairs.
TEST(TurkishTables, BuiltForTheTurkishLocale) { ASSERT_EQ(CharTablesLocale(), LocaleTurkish); }

TEST(TurkishTables, DottedAndDotlessPairs) {
  ASSERT_EQ(CharTablesLocale(), LocaleTurkish);
  struct {
    const char* A;
    const char* B;
    bool EqualIgnoringCase;
  } Cases[] = {
      {SmallI, DottedCapitalI, true},
      {DotlessI, CapitalI, true},
      {SmallI, CapitalI, false},
      {DotlessI, SmallI, false},
      {DotlessI, DottedCapitalI, false},
      {DottedCapitalI, CapitalI, false},
      {"a", "A", true},  // other letters fold as everywhere
      {"\xC3\xA7", "\xC3\x87", true},  // ç Ç
      {"\xC5\x9F", "\xC5\x9E", true},  // ş Ş
      {"\xC4\x9F", "\xC4\x9E", true},  // ğ Ğ
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::string(C.A) + " / " + C.B);
    EXPECT_EQ(StrLICompRanked(C.A, C.B, 1) == 0, C.EqualIgnoringCase);
    EXPECT_EQ(StrLICompRanked(C.B, C.A, 1) == 0, C.EqualIgnoringCase);
    EXPECT_EQ(WildcardMatch(C.A, C.B, true), C.EqualIgnoringCase);
    EXPECT_EQ(WildcardMatch(C.B, C.A, true), C.EqualIgnoringCase);
  }
}

TEST(TurkishTables, MasksFollowTheTurkishPairs) {
  ASSERT_EQ(CharTablesLocale(), LocaleTurkish);
  struct {
    const char* Mask;
    std::string Name;
    bool Match;
  } Cases[] = {
      {"i*", "Istanbul.txt", false},
      {"I*", std::string(DotlessI) + "l\xC4\xB1k.txt", true},
      {"i*", std::string(DottedCapitalI) + "zmir.txt", true},
      {"*\xC4\xB1*", "KIRMIZI.TXT", true},
      {"*i*", "KIRMIZI.TXT", false},
      {"F\xC4\xB0LE.*", "file.txt", true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::string(C.Mask) + " / " + C.Name);
    EXPECT_EQ(NameMatchesMask(C.Name, C.Mask), C.Match);
  }
}
