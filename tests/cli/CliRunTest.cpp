// salvor-cli run as a script runs it: no terminal, output captured.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliFixtures.h"
#include "CliProcess.h"

namespace {

bool Contains(const std::string& Text, const std::string& Part) {
  return Text.find(Part) != std::string::npos;
}

class CliRun : public ::testing::Test {
 public:
  std::string Write(const std::string& Name, const ZipBuilder& B) {
    const std::string Path = Temp / Name;
    B.WriteTo(Path);
    return Path;
  }
  std::string Out() const { return Temp / "out"; }

  TTempFolder Temp;
};

TEST_F(CliRun, ExitStatusesAndTheirLines) {
  struct TCase {
    const char* What;
    // Prepares the folder and returns the arguments.
    std::function<std::vector<std::string>(CliRun&)> Setup;
    int Status;
    std::string Expected;           // in stdout + stderr
    std::vector<std::string> Tree;  // what the output folder holds afterwards
  };
  const std::vector<TCase> Cases = {
      {"intact archive",
       [](CliRun& T) {
         ZipBuilder B;
         B.Add("docs/");
         B.Add("docs/a.txt", TextOf(50, "a")).Deflated();
         B.Add("b.txt", "bee").Stored();
         return std::vector<std::string>{"-o", T.Out(), T.Write("ok.zip", B)};
       },
       0,
       "Extracted: 3 entries intact, 0 damaged but kept, 0 failed, 0 skipped",
       {"b.txt", "docs/", "docs/a.txt"}},
      {"truncated archive keeps the damaged entry",
       [](CliRun& T) {
         return std::vector<std::string>{"-o", T.Out(), T.Write("t.zip", TTruncatedArchive().Builder)};
       },
       1,
       "damaged but kept: cut.bin",
       {"cut.bin", "first.txt"}},
      {"truncated archive, damaged entries discarded",
       [](CliRun& T) {
         return std::vector<std::string>{"--discard-damaged", "-o", T.Out(),
                                         T.Write("t.zip", TTruncatedArchive().Builder)};
       },
       1,
       "failed: cut.bin",
       {"first.txt"}},
      {"truncated archive without rebuilding",
       [](CliRun& T) {
         return std::vector<std::string>{"--no-rebuild", "-o", T.Out(),
                                         T.Write("t.zip", TTruncatedArchive().Builder)};
       },
       2,
       "salvor-cli: ",
       {}},
      {"not an archive at all",
       [](CliRun& T) {
         return std::vector<std::string>{"-o", T.Out(), T.Temp.WriteFile("x.zip", NoiseOf(5000, 3))};
       },
       2,
       "Invalid archive file",
       {}},
      {"a folder as archive",
       [](CliRun& T) {
         std::filesystem::create_directory(T.Temp / "dir.zip");
         return std::vector<std::string>{"-o", T.Out(), T.Temp / "dir.zip"};
       },
       2,
       "is a folder, not an archive",
       {}},
      {"a FIFO as archive",
       [](CliRun& T) {
         mkfifo((T.Temp / "pipe.zip").c_str(), 0600);
         return std::vector<std::string>{"-o", T.Out(), T.Temp / "pipe.zip"};
       },
       2,
       "is not a regular file",
       {}},
      {"an output folder below a file",
       [](CliRun& T) {
         ZipBuilder B;
         B.Add("a.txt", "a");
         T.Temp.WriteFile("plain", "x");
         return std::vector<std::string>{"-o", T.Temp / "plain/out", T.Write("ok.zip", B)};
       },
       2,
       "cannot create output folder",
       {}},
      {"masks that match nothing",
       [](CliRun& T) {
         ZipBuilder B;
         B.Add("a.txt", "a");
         return std::vector<std::string>{"-o", T.Out(), T.Write("ok.zip", B), "*.doc"};
       },
       1,
       "No entry matches",
       {}},
      {"masks select entries",
       [](CliRun& T) {
         ZipBuilder B;
         B.Add("a.txt", "a");
         B.Add("sub/b.doc", "b");
         B.Add("c.bin", "c");
         return std::vector<std::string>{"-o", T.Out(), T.Write("ok.zip", B), "*.doc", "c.*"};
       },
       0,
       "2 entries intact",
       {"c.bin", "sub/", "sub/b.doc"}},
      {"usage error",
       [](CliRun&) {
         return std::vector<std::string>{"--overwrite", "maybe", "a.zip"};
       },
       2,
       "--help",
       {}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    std::filesystem::remove_all(Out());
    const std::vector<std::string> Args = C.Setup(*this);
    const TCliResult R = RunCli(Args, Temp.Path());
    SCOPED_TRACE("stdout:\n" + R.Out + "\nstderr:\n" + R.Err);
    EXPECT_EQ(R.ExitStatus, C.Status);
    EXPECT_TRUE(Contains(R.Out + R.Err, C.Expected));
    EXPECT_EQ(ListTree(Out()), C.Tree);
    if (C.Status == 2) {
      EXPECT_TRUE(R.Err.rfind("salvor-cli: ", 0) == 0 || Contains(R.Err, "--help"));
    }
  }
}

TEST_F(CliRun, TruncatedArchiveNamesTheDamagedEntryAndKeepsWhatWasRead) {
  TTruncatedArchive T;
  const std::string Archive = Write("t.zip", T.Builder);
  std::filesystem::last_write_time(Archive,
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(5));
  const auto Stamp = std::filesystem::last_write_time(Archive);
  const std::string Bytes = TTempFolder::ReadFile(Archive);
  const TCliResult R = RunCli({"-o", Out(), Archive}, Temp.Path());
  SCOPED_TRACE(R.Out + R.Err);
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(Contains(R.Out, "Directory rebuilt from local headers: 2 entries"));
  EXPECT_TRUE(Contains(R.Out, "> Damaged, kept: cut.bin: "));
  EXPECT_EQ(TTempFolder::ReadFile(Out() + "/first.txt"), T.FirstData);
  const std::string Kept = TTempFolder::ReadFile(Out() + "/cut.bin");
  EXPECT_FALSE(Kept.empty());
  EXPECT_LT(Kept.size(), T.CutData.size());
  EXPECT_EQ(Kept, T.CutData.substr(0, Kept.size())) << "the kept part is the entry's beginning";
  EXPECT_EQ(TTempFolder::ReadFile(Archive), Bytes) << "the archive is only read";
  EXPECT_EQ(std::filesystem::last_write_time(Archive), Stamp);
}

TEST_F(CliRun, MissingArchiveExitsTwoAndCreatesNothing) {
  const TCliResult R = RunCli({"-o", Out(), "missing.zip"}, Temp.Path());
  EXPECT_EQ(R.ExitStatus, 2);
  EXPECT_EQ(R.Err, "salvor-cli: cannot open \"missing.zip\": no such file\n");
  EXPECT_EQ(ListTree(Temp.Path()), std::vector<std::string>{}) << "neither the archive nor the output folder";
}

TEST_F(CliRun, ListShowsTheRebuiltDirectory) {
  TTruncatedArchive T;
  const std::string Archive = Write("t.zip", T.Builder);
  const TCliResult R = RunCli({"-l", Archive}, Temp.Path());
  SCOPED_TRACE(R.Out + R.Err);
  EXPECT_EQ(R.ExitStatus, 0);
  std::vector<std::string> Lines;
  for (size_t P = 0, N; P < R.Out.size(); P = N + 1) {
    N = R.Out.find('\n', P);
    Lines.push_back(R.Out.substr(P, N - P));
  }
  ASSERT_GE(Lines.size(), 4u);
  EXPECT_EQ(Lines[0].rfind("Directory rebuilt from local headers: 2 entries", 0), 0u);
  const ZipLayout L = T.Builder.Layout();
  char First[9];
  std::snprintf(First, sizeof First, "%08X", L.Entries[0].Crc32);
  EXPECT_TRUE(Contains(Lines[2], "30000")) << "size";
  EXPECT_TRUE(Contains(Lines[2], "stored"));
  EXPECT_TRUE(Contains(Lines[2], First)) << "CRC-32";
  EXPECT_TRUE(Contains(Lines[2], "first.txt"));
  EXPECT_TRUE(Contains(Lines[3], "deflate"));
  EXPECT_TRUE(Contains(Lines[3], "cut.bin"));
  EXPECT_EQ(ListTree(Temp.Path()), std::vector<std::string>{"t.zip"}) << "listing writes nothing";

  ZipBuilder Intact;
  Intact.Add("x.txt", "x").Encrypt("pw");
  const TCliResult Read = RunCli({"--list", Write("i.zip", Intact)}, Temp.Path());
  EXPECT_EQ(Read.Out.rfind("Directory read from the archive: 1 entry", 0), 0u) << Read.Out;
  EXPECT_TRUE(Contains(Read.Out, " yes ")) << "encrypted";
}

TEST_F(CliRun, JsonReportParsesAndItsCountsMatch) {
  ZipBuilder B;
  B.Add("good1.txt", TextOf(40, "g1")).Deflated();
  B.Add("good2.txt", "two").Stored();
  B.Add("bad.txt", TextOf(40, "bad")).Deflated().StoredCrc32(0x12345678);
  B.Add("locked.txt", "secret").Encrypt("pw");
  // A name flagged as UTF-8 that is not: the report must still parse.
  B.Add("odd\xFF\xFEname.txt", "odd").Utf8Name();
  const std::string Archive = Write("mixed.zip", B);
  const TCliResult R = RunCli({"--json", "-o", Out(), Archive}, Temp.Path());
  SCOPED_TRACE(R.Out + "\n--- stderr:\n" + R.Err);
  EXPECT_EQ(R.ExitStatus, 1);
  const nlohmann::json Doc = nlohmann::json::parse(R.Out);  // stdout holds the report alone
  EXPECT_EQ(Doc["archive"], Archive);
  EXPECT_EQ(Doc["rebuilt"], false);
  EXPECT_EQ(Doc["exitStatus"], 1);
  ASSERT_EQ(Doc["entries"].size(), 5u);
  std::map<std::string, int> Counted;
  int64_t Bytes = 0;
  for (const nlohmann::json& E : Doc["entries"]) {
    Counted[E["status"].get<std::string>()]++;
    Bytes += E["bytes"].get<int64_t>();
  }
  EXPECT_EQ(Doc["totals"]["selected"], 5);
  EXPECT_EQ(Doc["totals"]["intact"], Counted["intact"]);
  EXPECT_EQ(Doc["totals"]["damaged"], Counted["damaged"]);
  EXPECT_EQ(Doc["totals"]["skipped"], Counted["skipped"]);
  EXPECT_EQ(Doc["totals"]["failed"], Counted["failed"]);
  EXPECT_EQ(Counted["intact"], 3);
  EXPECT_EQ(Counted["damaged"], 1);
  EXPECT_EQ(Counted["skipped"], 1);
  EXPECT_EQ(Doc["totals"]["bytesWritten"], Bytes);
  EXPECT_EQ(Doc["entries"][2]["name"], "bad.txt");
  EXPECT_EQ(Doc["entries"][2]["status"], "damaged");
  EXPECT_FALSE(Doc["entries"][2]["reason"].is_null());
  EXPECT_EQ(Doc["entries"][4]["name"], "odd\xEF\xBF\xBD\xEF\xBF\xBDname.txt");
  EXPECT_EQ(Bytes, static_cast<int64_t>(TextOf(40, "g1").size() + 3 + TextOf(40, "bad").size() + 3));
  EXPECT_TRUE(Contains(R.Err, "Damaged, kept: bad.txt")) << "the log goes to stderr";
}

TEST_F(CliRun, Passwords) {
  ZipBuilder B;
  B.Add("plain.txt", "open");
  B.Add("secret.txt", TextOf(20, "secret")).Deflated().Encrypt("right");
  const std::string Archive = Write("enc.zip", B);
  struct TCase {
    const char* What;
    std::vector<std::string> Args;
    int Status;
    std::string Line;
    bool SecretWritten;
  } const Cases[] = {
      {"right password", {"-p", "right"}, 0, "2 entries intact", true},
      {"wrong password", {"-p", "wrong"}, 1, "> Skipped: secret.txt: the password is wrong", false},
      {"no password", {}, 1, "> Skipped: secret.txt: encrypted, and no password was given (-p)", false},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    std::filesystem::remove_all(Out());
    std::vector<std::string> Args = C.Args;
    Args.insert(Args.end(), {"-o", Out(), Archive});
    const TCliResult R = RunCli(Args, Temp.Path());
    SCOPED_TRACE(R.Out + R.Err);
    EXPECT_EQ(R.ExitStatus, C.Status);
    EXPECT_TRUE(Contains(R.Out, C.Line));
    EXPECT_EQ(TTempFolder::ReadFile(Out() + "/plain.txt"), "open");
    EXPECT_EQ(std::filesystem::exists(Out() + "/secret.txt"), C.SecretWritten);
    if (C.SecretWritten) {
      EXPECT_EQ(TTempFolder::ReadFile(Out() + "/secret.txt"), TextOf(20, "secret"));
    }
    EXPECT_EQ(ListTree(Out()).size(), C.SecretWritten ? 2u : 1u) << "no temporary file left";
  }
}

TEST_F(CliRun, TestRunWritesNothing) {
  ZipBuilder Good;
  Good.Add("dir/");
  Good.Add("dir/a.txt", TextOf(30, "a")).Deflated();
  const std::string GoodArchive = Write("good.zip", Good);
  const std::string CutArchive = Write("cut.zip", TTruncatedArchive().Builder);
  const std::vector<std::string> Before = ListTree(Temp.Path());

  const TCliResult R = RunCli({"-t", "-o", Out(), GoodArchive}, Temp.Path());
  EXPECT_EQ(R.ExitStatus, 0) << R.Out << R.Err;
  EXPECT_TRUE(Contains(R.Out, "Tested: 2 entries intact")) << R.Out;
  EXPECT_TRUE(Contains(R.Out, "Nothing was written"));

  const TCliResult Cut = RunCli({"--test", CutArchive}, Temp.Path());
  EXPECT_EQ(Cut.ExitStatus, 1) << Cut.Out << Cut.Err;
  EXPECT_TRUE(Contains(Cut.Out, "> Damaged: cut.bin: ")) << Cut.Out;
  EXPECT_EQ(ListTree(Temp.Path()), Before) << "not a file written, not even a temporary one";
}

TEST_F(CliRun, ArchiveTextIsEscapedBeforeItIsShown) {
  ZipBuilder B;
  B.Add("evil\x1B[2Jname.txt", "x");
  B.Add("two\nlines.txt", "y");
  const TCliResult R = RunCli({"-o", Out(), Write("evil.zip", B)}, Temp.Path());
  SCOPED_TRACE(R.Out + R.Err);
  EXPECT_EQ(R.ExitStatus, 0);
  EXPECT_TRUE(Contains(R.Out, "> evil\\x1B[2Jname.txt..."));
  EXPECT_TRUE(Contains(R.Out, "> two\\x0Alines.txt..."));
  EXPECT_EQ(R.Out.find('\x1B'), std::string::npos);
  EXPECT_EQ(R.Err.find('\x1B'), std::string::npos);
  // The files themselves keep their names.
  EXPECT_EQ(TTempFolder::ReadFile(Out() + "/evil\x1B[2Jname.txt"), "x");

  const TCliResult List = RunCli({"-l", Temp / "evil.zip"}, Temp.Path());
  EXPECT_TRUE(Contains(List.Out, "evil\\x1B[2Jname.txt")) << List.Out;
  EXPECT_EQ(List.Out.find('\x1B'), std::string::npos);
}

TEST_F(CliRun, OverwriteRules) {
  ZipBuilder B;
  B.Add("a.txt", "from the archive").Time(2020, 1, 1, 12, 0, 0);
  const std::string Archive = Write("a.zip", B);
  struct TCase {
    const char* Mode;
    int Status;
    std::string Content;
  } const Cases[] = {
      {"always", 0, "from the archive"}, {"never", 1, "already here"},
      {"newer", 1, "already here"},  // the existing file (written now) is newer
      {"older", 0, "from the archive"},  {"ask", 1, "already here"},  // no terminal to ask on: the file stays
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Mode);
    std::filesystem::remove_all(Out());
    std::filesystem::create_directory(Out());
    Temp.WriteFile("out/a.txt", "already here");
    const TCliResult R = RunCli({"--overwrite", C.Mode, "-o", Out(), Archive}, Temp.Path());
    SCOPED_TRACE(R.Out + R.Err);
    EXPECT_EQ(R.ExitStatus, C.Status);
    EXPECT_EQ(TTempFolder::ReadFile(Out() + "/a.txt"), C.Content);
    if (C.Status == 1) {
      EXPECT_TRUE(Contains(R.Out, "skipped: a.txt (the existing file was kept"));
    }
  }
}

TEST_F(CliRun, UnwritableOutputFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  ZipBuilder B;
  B.Add("a.txt", "a");
  const std::string Archive = Write("a.zip", B);
  std::filesystem::create_directory(Temp / "locked");
  std::filesystem::permissions(Temp / "locked",
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  for (const std::string& Dir : {Temp / "locked", Temp / "locked/new"}) {
    SCOPED_TRACE(Dir);
    const TCliResult R = RunCli({"-o", Dir, Archive}, Temp.Path());
    EXPECT_EQ(R.ExitStatus, 2);
    EXPECT_TRUE(Contains(R.Err, "cannot write into")) << R.Err;
    EXPECT_EQ(ListTree(Temp / "locked"), std::vector<std::string>{});
  }
}

TEST_F(CliRun, QuietShowsOnlyProblems) {
  const TCliResult R = RunCli({"-q", "-o", Out(), Write("t.zip", TTruncatedArchive().Builder)}, Temp.Path());
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(Contains(R.Out, "Damaged, kept: cut.bin")) << R.Out;
  EXPECT_FALSE(Contains(R.Out, "first.txt")) << R.Out;
  EXPECT_FALSE(Contains(R.Out, "Extracted:")) << R.Out;
}

TEST_F(CliRun, HelpAndVersion) {
  const TCliResult Help = RunCli({"--help"}, Temp.Path());
  EXPECT_EQ(Help.ExitStatus, 0);
  EXPECT_TRUE(Contains(Help.Out, "Examples:"));
  EXPECT_TRUE(Contains(Help.Out, "--overwrite"));
  const TCliResult Version = RunCli({"--version"}, Temp.Path());
  EXPECT_EQ(Version.ExitStatus, 0);
  EXPECT_EQ(Version.Out.rfind("salvor-cli ", 0), 0u) << Version.Out;
}

}  // namespace
