// salvor-cli at a terminal: password questions without echo, progress bars,
// and Ctrl-C.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CliFixtures.h"
#include "CliProcess.h"

namespace {

bool Contains(const std::string& Text, const std::string& Part) {
  return Text.find(Part) != std::string::npos;
}

// No temporary output (".salvor-...") anywhere below Dir.
bool NoTemporaryFiles(const std::string& Dir) {
  for (const std::string& Name : ListTree(Dir))
    if (Contains(Name, ".salvor-")) return false;
  return true;
}

class CliTerminal : public ::testing::Test {
 protected:
  std::string Out() const { return Temp / "out"; }

  // "first.txt" in the clear, then "locked.txt" encrypted with "open sesame".
  std::string EncryptedArchive() {
    ZipBuilder B;
    B.Add("first.txt", TextOf(100, "first")).Deflated();
    B.Add("locked.txt", TextOf(100, "locked")).Deflated().Encrypt("open sesame");
    B.WriteTo(Temp / "enc.zip");
    return Temp / "enc.zip";
  }

  TTempFolder Temp;
};

TEST_F(CliTerminal, AsksForThePasswordWithoutEcho) {
  TPtyCli Cli({"-o", Out(), EncryptedArchive()}, Temp.Path());
  ASSERT_TRUE(Cli.WaitFor("Enter password")) << Cli.Output();
  EXPECT_TRUE(Contains(Cli.Output(), "Password for \"locked.txt\""));
  const size_t Asked = Cli.Output().size();
  Cli.Type("open sesame\n");
  EXPECT_EQ(Cli.Wait(), 0) << Cli.Output();
  EXPECT_FALSE(Contains(Cli.Output().substr(Asked), "open sesame")) << "the password was echoed";
  EXPECT_EQ(TTempFolder::ReadFile(Out() + "/locked.txt"), TextOf(100, "locked"));
}

TEST_F(CliTerminal, AWrongAnswerIsAskedOnceThenTheEntryIsSkipped) {
  TPtyCli Cli({"-o", Out(), "-p", "not it", EncryptedArchive()}, Temp.Path());
  ASSERT_TRUE(Cli.WaitFor("Wrong password; enter another")) << Cli.Output();
  Cli.Type("still not it\n");
  EXPECT_EQ(Cli.Wait(), 1) << Cli.Output();
  EXPECT_TRUE(Contains(Cli.Output(), "Skipped: locked.txt: the password is wrong")) << Cli.Output();
  EXPECT_FALSE(std::filesystem::exists(Out() + "/locked.txt"));
  EXPECT_EQ(TTempFolder::ReadFile(Out() + "/first.txt"), TextOf(100, "first"));
  EXPECT_TRUE(NoTemporaryFiles(Out()));
}

TEST_F(CliTerminal, CtrlCAtThePasswordQuestionEndsWithNoPartialFile) {
  TPtyCli Cli({"-o", Out(), EncryptedArchive()}, Temp.Path());
  ASSERT_TRUE(Cli.WaitFor("Enter password")) << Cli.Output();
  // The entry's output file is open while the question waits.
  Cli.Interrupt();
  EXPECT_EQ(Cli.Wait(), 130) << Cli.Output();
  EXPECT_TRUE(Contains(Cli.Output(), "Interrupted")) << Cli.Output();
  EXPECT_EQ(ListTree(Out()), std::vector<std::string>{"first.txt"});
  EXPECT_EQ(TTempFolder::ReadFile(Out() + "/first.txt"), TextOf(100, "first"));
}

TEST_F(CliTerminal, CtrlCWhileDataIsWrittenRemovesThePartialFile) {
  // Large entries that deflate to little, so the run lasts while the archive
  // stays small.
  constexpr size_t EntrySize = 32u << 20;
  ZipBuilder B;
  for (int I = 1; I <= 4; ++I)
    B.Add("big" + std::to_string(I) + ".bin", std::string(EntrySize, 'z')).Deflated(1);
  B.WriteTo(Temp / "big.zip");

  TPtyCli Cli({"-o", Out(), Temp / "big.zip"}, Temp.Path());
  ASSERT_TRUE(Cli.WaitFor("> big1.bin...")) << Cli.Output();
  Cli.Interrupt();
  EXPECT_EQ(Cli.Wait(), 130) << Cli.Output();
  EXPECT_TRUE(NoTemporaryFiles(Out())) << "the entry being written was not removed";
  const std::vector<std::string> Left = ListTree(Out());
  EXPECT_LT(Left.size(), 4u) << "the run went on after Ctrl-C";
  for (const std::string& Name : Left) {
    SCOPED_TRACE(Name);
    EXPECT_EQ(std::filesystem::file_size(Out() + "/" + Name), EntrySize) << "a partial file was left";
  }
}

TEST_F(CliTerminal, CtrlCWhileTheDirectoryIsRebuiltExitsAtOnce) {
  // Two sparse GiB without a single header: the rebuild scans them all
  // (about a second) and no event fires meanwhile.
  const std::string Archive = Temp / "nothing.zip";
  std::filesystem::resize_file(Temp.WriteFile("nothing.zip", ""), 2ull << 30);

  TPtyCli Cli({"-o", Out(), Archive}, Temp.Path());
  ASSERT_TRUE(Cli.WaitFor("Opening file:")) << Cli.Output();
  Cli.Interrupt();
  EXPECT_EQ(Cli.Wait(), 130) << Cli.Output();  // a finished scan would give 2
  EXPECT_TRUE(Contains(Cli.Output(), "salvor-cli: interrupted")) << Cli.Output();
  EXPECT_FALSE(std::filesystem::exists(Out())) << "nothing is written before the run";
}

TEST_F(CliTerminal, OverwriteAskIsAnsweredOnTheTerminal) {
  ZipBuilder B;
  B.Add("a.txt", "new a");
  B.Add("b.txt", "new b");
  B.Add("c.txt", "new c");
  B.WriteTo(Temp / "abc.zip");
  std::filesystem::create_directory(Out());
  for (const char* Name : {"a.txt", "b.txt", "c.txt"}) Temp.WriteFile(std::string("out/") + Name, "old");

  TPtyCli Cli({"--overwrite", "ask", "-o", Out(), Temp / "abc.zip"}, Temp.Path());
  ASSERT_TRUE(Cli.WaitFor("a.txt\" with")) << Cli.Output();
  Cli.Type("n\n");
  ASSERT_TRUE(Cli.WaitFor("b.txt\" with")) << Cli.Output();
  Cli.Type("A\n");  // yes to all: c.txt is replaced without a question
  EXPECT_EQ(Cli.Wait(), 1) << Cli.Output();
  EXPECT_FALSE(Contains(Cli.Output(), "c.txt\" with"));
  EXPECT_EQ(TTempFolder::ReadFile(Out() + "/a.txt"), "old");
  EXPECT_EQ(TTempFolder::ReadFile(Out() + "/b.txt"), "new b");
  EXPECT_EQ(TTempFolder::ReadFile(Out() + "/c.txt"), "new c");
  EXPECT_TRUE(Contains(Cli.Output(), "skipped: a.txt (the existing file was kept (--overwrite ask))"))
      << Cli.Output();
}

TEST_F(CliTerminal, DrawsProgressBarsOnlyOnATerminal) {
  ZipBuilder B;
  B.Add("a.txt", TextOf(10, "a"));
  B.WriteTo(Temp / "a.zip");
  TPtyCli Cli({"-o", Out(), Temp / "a.zip"}, Temp.Path());
  EXPECT_EQ(Cli.Wait(), 0) << Cli.Output();
  EXPECT_TRUE(Contains(Cli.Output(), "overall [")) << Cli.Output();
  EXPECT_TRUE(Contains(Cli.Output(), "> a.txt..."));

  const TCliResult Piped = RunCli({"-o", Out(), Temp / "a.zip"}, Temp.Path());
  EXPECT_FALSE(Contains(Piped.Out + Piped.Err, "overall [")) << Piped.Err;
}

}  // namespace
