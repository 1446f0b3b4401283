#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Options.h"

namespace {

TParseResult Parse(std::vector<std::string> Args, TCliOptions& Options) {
  Args.insert(Args.begin(), "salvor-cli");
  std::vector<const char*> Argv;
  for (const std::string& A : Args) Argv.push_back(A.c_str());
  return ParseCommandLine(static_cast<int>(Argv.size()), Argv.data(), Options);
}

TEST(ParseCommandLine, DefaultsAreTheWindowsSettings) {
  TCliOptions O;
  ASSERT_TRUE(Parse({"a.zip"}, O).Proceed);
  EXPECT_EQ(O.Archive, "a.zip");
  EXPECT_EQ(O.EffectiveMasks(), std::vector<std::string>{"*.*"});
  EXPECT_EQ(O.Output, "");
  EXPECT_FALSE(O.HasPassword);
  EXPECT_EQ(O.Overwrite, omAlways);
  EXPECT_EQ(O.Mode, cmExtract);
  EXPECT_FALSE(O.DiscardDamaged);
  EXPECT_FALSE(O.NoRebuild);
  EXPECT_FALSE(O.Quiet);
  EXPECT_FALSE(O.Json);
}

TEST(ParseCommandLine, ReadsEveryOption) {
  TCliOptions O;
  ASSERT_TRUE(Parse({"-o", "out", "-p", "", "--overwrite", "newer", "-t", "--discard-damaged", "--no-rebuild",
                     "-q", "--json", "a.zip", "*.txt", "docs/*"},
                    O)
                  .Proceed);
  EXPECT_EQ(O.Output, "out");
  EXPECT_TRUE(O.HasPassword) << "an empty password is still a password";
  EXPECT_EQ(O.Password, "");
  EXPECT_EQ(O.Overwrite, omIfNewer);
  EXPECT_EQ(O.Mode, cmTest);
  EXPECT_TRUE(O.DiscardDamaged);
  EXPECT_TRUE(O.NoRebuild);
  EXPECT_TRUE(O.Quiet);
  EXPECT_TRUE(O.Json);
  EXPECT_EQ(O.EffectiveMasks(), (std::vector<std::string>{"*.txt", "docs/*"}));
}

TEST(ParseCommandLine, OverwriteModes) {
  const std::pair<const char*, TCVOverwriteMode> Cases[] = {{"always", omAlways}, {"never", omNever},
                                                            {"newer", omIfNewer}, {"older", omIfOlder},
                                                            {"ask", omPrompt},    {"NEVER", omNever}};
  for (const auto& [Word, Mode] : Cases) {
    SCOPED_TRACE(Word);
    TCliOptions O;
    ASSERT_TRUE(Parse({"--overwrite", Word, "a.zip"}, O).Proceed);
    EXPECT_EQ(O.Overwrite, Mode);
  }
}

TEST(ParseCommandLine, UsageErrorsExitWithTwo) {
  const std::vector<std::string> Cases[] = {
      {},                                     // no archive
      {"--overwrite", "sometimes", "a.zip"},  // unknown mode
      {"-l", "-t", "a.zip"},                  // list and test together
      {"--frobnicate", "a.zip"},              // unknown option
      {"-o"},                                 // option without its value
  };
  for (const std::vector<std::string>& Args : Cases) {
    TCliOptions O;
    const TParseResult R = Parse(Args, O);
    SCOPED_TRACE(R.Err);
    EXPECT_FALSE(R.Proceed);
    EXPECT_EQ(R.ExitStatus, ExitFatal);
    EXPECT_FALSE(R.Err.empty());
  }
}

TEST(ParseCommandLine, HelpAndVersionExitWithZero) {
  TCliOptions O;
  const TParseResult Help = Parse({"--help"}, O);
  EXPECT_FALSE(Help.Proceed);
  EXPECT_EQ(Help.ExitStatus, ExitIntact);
  EXPECT_NE(Help.Out.find("ARCHIVE"), std::string::npos);
  EXPECT_NE(Help.Out.find("Examples:"), std::string::npos);
  EXPECT_NE(Help.Out.find("Exit status"), std::string::npos);

  const TParseResult Version = Parse({"--version"}, O);
  EXPECT_FALSE(Version.Proceed);
  EXPECT_EQ(Version.ExitStatus, ExitIntact);
  EXPECT_EQ(Version.Out.rfind("salvor-cli ", 0), 0u) << Version.Out;
}

}  // namespace
