#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Path.h"
#include "selection/OutputName.h"

TEST(OutputName, ConfinedBelowTheOutputFolder) {
  static constexpr struct {
    const char* Name;
    const char* Confined;
  } Cases[] = {
      {"docs/a.txt", "docs/a.txt"},
      {"docs/", "docs/"},
      {"../../x", "x"},
      {"/etc/x", "etc/x"},
      {"C:/x", "x"},
      {"C:\\x", "\\x"},
      {"c:/Windows/x", "Windows/x"},
      {"//srv/share/x", "x"},
      {"\\\\srv\\share\\x", "\\x"},
      {"a/../../b", "a/b"},
      {"a/./b//c", "a/b/c"},
      {"../docs/", "docs/"},
      // A colon elsewhere is an ordinary character.
      {"a:b.txt", "a:b.txt"},
      {"C:x", "C:x"},
      {"..x/y..", "..x/y.."},
      {"..", ""},
      {"/", ""},
      {"C:", ""},
      {"../.././", ""},
      {"", ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::string Name = C.Name, Confined = C.Confined;
    for (char& Ch : Name)
      if (Ch == '/') Ch = PathDelim;
    for (char& Ch : Confined)
      if (Ch == '/') Ch = PathDelim;
    EXPECT_EQ(ConfineEntryName(Name), Confined);
  }
}

TEST(OutputName, TemporaryNamesAreShortAndDistinct) {
  std::set<std::string> Names;
  for (int I = 0; I < 1000; ++I) {
    std::string Name = MakeTempOutputName("/out/");
    ASSERT_EQ(Name.rfind("/out/.salvor-", 0), 0u) << Name;
    ASSERT_EQ(Name.size(), std::string("/out/.salvor-").size() + 16);
    Names.insert(Name);
  }
  EXPECT_EQ(Names.size(), 1000u);
}
