#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "selection/CharTables.h"
#include "selection/Masks.h"

namespace {

struct TMaskCase {
  const char* Mask;
  const char* Name;
  bool Match;
};

void PrintTo(const TMaskCase& C, std::ostream* Os) { *Os << "'" << C.Mask << "' / '" << C.Name << "'"; }

class MaskExamples : public testing::TestWithParam<TMaskCase> {};

TEST_P(MaskExamples, NameMatchesMask) {
  EXPECT_EQ(NameMatchesMask(GetParam().Name, GetParam().Mask), GetParam().Match);
}

constexpr TMaskCase Examples[] = {
    {"*.*", "README", true},
    {"*.*", "", true},
    {"*", "", true},
    {"?", "", false},
    {"*.", "README", true},
    {"*.", "README.", true},
    {"*.", "a.txt", false},
    {"*.txt", "docs/Report.TXT", true},  // the star spans the '/'
    {"a*", "a", true},
    {"a**", "a", false},
    {"doc?.*", "doc1", false},  // only "*.*" itself is relaxed
    {"a*.*b", "axb", true},     // its "*.*" becomes "*"
};
INSTANTIATE_TEST_SUITE_P(Table, MaskExamples, testing::ValuesIn(Examples));

constexpr TMaskCase MoreCases[] = {
    // Case is ignored beyond ASCII; "?" takes one whole character.
    {"*\xC3\xA9*", "R\xC3\x89SUM\xC3\x89.TXT", true},
    {"r?sum?.txt", "R\xC3\x89SUM\xC3\x89.TXT", true},
    {"?", "\xC3\xA9", true},
    {"??", "\xC3\xA9", false},
    {"?", "\xF0\x9F\x93\x81", true},  // four bytes, one character
    {"?", "\xFF\xFE", false},         // two stray bytes are two characters
    {"a??c", "a\xE2\x82" "c", true},   // a cut sequence: each byte stands alone
    {"a?c", "a\xE2\x82" "c", false},
    // Masks with folders: compared with the whole name, the star crosses folders.
    {"docs/*.txt", "docs/a.txt", true},
    {"docs/*.txt", "docs/old/a.txt", true},
    {"docs/*.txt", "DOCS/A.TXT", true},
    {"docs/*.txt", "a.txt", false},
    {"docs/?.txt", "docs/ab.txt", false},
    // A mask ending in "." wants no extension; "/" does not end an extension, "\" does.
    {"*.", "docs.d/README", false},
    {"*.", "docs.d\\README", true},
    {"*.", "x.y:z", false},  // a colon ends no extension
    // Only the first "*.*" is relaxed: "*x*.*" stays "*x*.*" after it.
    {"*.*x*.*", "ax", false},
    {"*.*x*.*", "ax.y", true},
    // A mask exhausted before the name never matches.
    {"abc", "abcd", false},
    {"abc", "ABC", true},
    {"", "", false},
    {"", "a", false},
};
INSTANTIATE_TEST_SUITE_P(More, MaskExamples, testing::ValuesIn(MoreCases));

TEST(WildcardMatch, RecursionQuirksAndCase) {
  struct {
    const char* Name;
    const char* Mask;
    bool IgnoreCase;
    bool Match;
  } Cases[] = {
      {"", "*.*", false, true},
      {"", "**", false, false},   // only a rest of exactly "*" matches nothing
      {"x", "**", false, true},
      {"abc", "a**.*", false, true},  // a star followed by exactly "*.*": any non-empty rest
      {"a", "a**.*", false, false},
      {"ab", "a*.*", false, false},   // "*.*" is relaxed only where the matcher is entered
      {"a.b", "a*.*", false, true},
      {"ABC", "abc", false, false},
      {"ABC", "abc", true, true},
      {"ABC", "a?c", false, false},
      {"aXbXc", "a*b*c", false, true},
      {"acb", "a*b*c", false, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::string(C.Mask) + " / " + C.Name + (C.IgnoreCase ? " ignoring case" : ""));
    EXPECT_EQ(WildcardMatch(C.Name, C.Mask, C.IgnoreCase), C.Match);
  }
}

// A mask that sends a naive recursion through every way of placing its stars.
TEST(WildcardMatch, ManyStarsAgainstALongNameAnswerAtOnce) {
  const std::string Mask = "*a*a*a*a*a*a*a*a*b";
  std::string Name(2000, 'a');
  EXPECT_FALSE(WildcardMatch(Name.c_str(), Mask.c_str(), true));
  EXPECT_FALSE(NameMatchesMask(Name, Mask));
  Name += 'B';
  EXPECT_TRUE(WildcardMatch(Name.c_str(), Mask.c_str(), true));
  EXPECT_FALSE(WildcardMatch(Name.c_str(), Mask.c_str(), false));
}

// Masks and names longer than any fixed buffer are matched whole.
TEST(WildcardMatch, LongMasksAreNotCut) {
  std::string Name;
  for (int I = 0; I < 300; ++I) Name += "\xC3\xA9";
  const std::string Mask(300, '?');
  EXPECT_TRUE(NameMatchesMask(Name, Mask));
  EXPECT_FALSE(NameMatchesMask(Name, Mask + "?"));
  EXPECT_FALSE(NameMatchesMask(Name.substr(2), Mask));
  EXPECT_TRUE(NameMatchesMask(Name + "x", Mask + "X"));
}

// The recursive matcher written out literally, as the reference for the table
// version.
size_t CharLen(const char* P) {
  const char* Q = P;
  NextCharKey(Q, P + std::strlen(P));
  return static_cast<size_t>(Q - P);
}

bool SameChar(const char* A, const char* B, bool IgnoreCase) {
  std::string CA(A, CharLen(A)), CB(B, CharLen(B));
  return (IgnoreCase ? StrLICompRanked(CA.c_str(), CB.c_str(), 1) : StrLCompRanked(CA.c_str(), CB.c_str(), 1)) == 0;
}

bool RecursiveMatch(const char* Name, const char* Mask, bool IgnoreCase) {
  if (std::strcmp(Mask, "*.*") == 0) return true;
  for (;;) {
    if (std::strcmp(Mask, "*") == 0) return true;
    if (*Name == '\0') return *Mask == '\0';
    if (*Mask == '*') {
      for (const char* P = Name; *P != '\0'; P += CharLen(P))
        if (RecursiveMatch(P, Mask + 1, IgnoreCase)) return true;
      return false;
    }
    if (*Mask == '\0') return false;
    if (*Mask != '?' && !SameChar(Name, Mask, IgnoreCase)) return false;
    Mask += CharLen(Mask);
    Name += CharLen(Name);
  }
}

bool ReferenceNameMatchesMask(const std::string& Name, const std::string& Mask) {
  if (Mask.empty()) return false;
  std::string M = Mask;
  if (size_t P = M.find("*.*"); P != std::string::npos) M.erase(P + 1, 2);
  bool DotEnd = Mask.back() == '.';
  if (DotEnd) M.pop_back();
  std::string N = Name;
  if (!N.empty() && N.back() == '.') N.pop_back();
  bool R = RecursiveMatch(N.c_str(), M.c_str(), true);
  if (R && DotEnd) {
    size_t Dot = Name.rfind('.');
    size_t Sep = Name.rfind('\\');
    std::string Ext = Dot == std::string::npos || (Sep != std::string::npos && Dot < Sep) ? "" : Name.substr(Dot);
    R = Ext.empty() || Ext == ".";
  }
  return R;
}

TEST(WildcardMatch, AgreesWithTheRecursiveMatcherOnRandomMasks) {
  const char* NamePieces[] = {"a", "a", "A", "b", ".", "/", "\\", "\xC3\xA9", "\xC3\x89", "\xFF"};
  const char* MaskPieces[] = {"a", "A", "b", ".", "/", "\\", "\xC3\xA9", "\xFF", "*", "*", "*", "?", "*.*", "."};
  std::mt19937 Rng(20240611);
  auto Build = [&Rng](const auto& Pieces, size_t MaxPieces) {
    std::string S;
    size_t Count = std::uniform_int_distribution<size_t>(0, MaxPieces)(Rng);
    std::uniform_int_distribution<size_t> Pick(0, std::size(Pieces) - 1);
    for (size_t I = 0; I < Count; ++I) S += Pieces[Pick(Rng)];
    return S;
  };
  int Matches = 0, Mismatches = 0;
  for (int Round = 0; Round < 100000; ++Round) {
    const std::string Name = Build(NamePieces, 7);
    const std::string Mask = Build(MaskPieces, 6);
    const bool IgnoreCase = Round % 2 == 0;
    const bool Want = RecursiveMatch(Name.c_str(), Mask.c_str(), IgnoreCase);
    ASSERT_EQ(WildcardMatch(Name.c_str(), Mask.c_str(), IgnoreCase), Want)
        << "name '" << Name << "' mask '" << Mask << "'" << (IgnoreCase ? " ignoring case" : "");
    const bool WantName = ReferenceNameMatchesMask(Name, Mask);
    ASSERT_EQ(NameMatchesMask(Name, Mask), WantName) << "name '" << Name << "' mask '" << Mask << "'";
    (Want ? Matches : Mismatches)++;
  }
  // Both answers must be well represented, or the comparison proves little.
  EXPECT_GT(Matches, 5000);
  EXPECT_GT(Mismatches, 5000);
}

}  // namespace
