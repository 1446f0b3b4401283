#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ExtractFixture.h"
#include "archiver/CVExcept.h"
#include "platform/Env.h"
#include "platform/Files.h"
#include "platform/Lock.h"
#include "platform/Path.h"
#include "support/FakeEnv.h"

using Lines = std::vector<std::string>;

namespace {

uint32_t Stamp(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  return (static_cast<uint32_t>(DosDate(Year, Month, Day)) << 16) | DosTimeOfDay(Hour, Minute, Second);
}

Lines Join(std::initializer_list<Lines> Parts) {
  Lines All;
  for (const Lines& P : Parts) All.insert(All.end(), P.begin(), P.end());
  return All;
}

// The events of one attempt at an entry that was written, or that failed.
Lines Extracted(const std::string& Name) {
  return {"confirm " + Name, "start " + Name, "extract " + Name, "end " + Name};
}
Lines Failed(const std::string& Name, int NativeError) {
  return {"confirm " + Name, "start " + Name, "extract " + Name,
          "failure " + Name + " " + std::to_string(NativeError)};
}

bool LockIsFreeForOtherThreads() {
  bool Free = false;
  std::thread T([&Free] {
    Free = GlobalLock().try_lock();
    if (Free) GlobalLock().unlock();
  });
  T.join();
  return Free;
}

}  // namespace

TEST_F(ExtractTest, EntriesInDirectoryOrderWithTheirEvents) {
  ZipBuilder B;
  B.Add("b.txt", "bee");
  B.Add("dir/");
  B.Add("dir/a.txt", std::string(5000, 'a')).Deflated();
  B.Add("z/y/x.txt", "xyz");
  Open(B);
  Extract();

  EXPECT_EQ(Log, Join({{"overall start"},
                       Extracted("b.txt"),
                       Extracted("dir/"),
                       Extracted("dir/a.txt"),
                       Extracted("z/y/x.txt"),
                       {"overall end"}}));
  EXPECT_EQ(Tree(Out), (Lines{"b.txt", "dir/", "dir/a.txt", "z/", "z/y/", "z/y/x.txt"}));
  EXPECT_EQ(Read(Out + "/dir/a.txt"), std::string(5000, 'a'));
  EXPECT_EQ(Read(Out + "/z/y/x.txt"), "xyz");
  EXPECT_EQ(Z.SelectedFileCount(), 4);
  EXPECT_EQ(Z.ProcessedFileCount(), 4);
  EXPECT_EQ(Z.FileCount(), 3);
}

TEST_F(ExtractTest, FolderEntriesWithoutTheFolderBit) {
  ZipBuilder B;
  B.Add("META-INF/").ExternalAttr(0);
  B.Add("META-INF/a.txt", "a").ExternalAttr(0);
  Open(B);
  for (TCVProcessOperation Operation : {poExtract, poTest}) {
    SCOPED_TRACE(int(Operation));
    Log.clear();
    Z.SelectItems("*.*", 0x28BF, std::string());
    Z.ProcessSelectedItems(Operation);
    EXPECT_TRUE(LogOf("failure").empty()) << testing::PrintToString(Log);
    EXPECT_EQ(Z.ProcessedFileCount(), 2);
  }
  EXPECT_EQ(Tree(Out), (Lines{"META-INF/", "META-INF/a.txt"}));
}

TEST_F(ExtractTest, MaskSelectsAndConfirmPassesOver) {
  ZipBuilder B;
  B.Add("a.txt", "a");
  B.Add("b.bin", "b");
  B.Add("c.txt", "c");
  Open(B);
  OnConfirm = [](const std::string& Name, bool& Confirm) { Confirm = Name != "a.txt"; };
  Extract("*.txt");
  EXPECT_EQ(Log, (Lines{"overall start", "confirm a.txt", "confirm c.txt", "start c.txt", "extract c.txt",
                        "end c.txt", "overall end"}));
  EXPECT_EQ(Tree(Out), Lines{"c.txt"});
  EXPECT_EQ(Z.SelectedFileCount(), 2);
  EXPECT_EQ(Z.ProcessedFileCount(), 1);
}

TEST_F(ExtractTest, CreateDirsAndOverwriteMode) {
  static constexpr struct {
    bool CreateDirs;
    TCVOverwriteMode Mode;
  } Cases[] = {{true, omAlways}, {false, omAlways}, {false, omNever}};
  const std::vector<Lines> ExpectedTrees = {{"a/", "a/f.txt", "b/", "b/f.txt"}, {"f.txt"}, {"f.txt"}};
  const char* ExpectedFlat[] = {nullptr, "two", "one"};
  for (size_t I = 0; I < std::size(Cases); ++I) {
    SCOPED_TRACE(testing::Message() << "CreateDirs " << Cases[I].CreateDirs << " mode "
                                    << int(Cases[I].Mode));
    TTempFolder Here;
    const std::string Dest = Here / "out";
    ZipBuilder B;
    B.Add("a/f.txt", "one");
    B.Add("b/f.txt", "two");
    B.WriteTo(Here / "a.zip");
    TSearchArchiver Z2;
    Z2.SetFileName(Here / "a.zip");
    Z2.OpenArchive();
    Z2.SetBaseDir(Dest);
    Z2.Options().CreateDirs = Cases[I].CreateDirs;
    Z2.Options().OverwriteMode = Cases[I].Mode;
    ASSERT_TRUE(ForceDirectories(Dest));
    Z2.ExtractFiles("*.*", 0x28BF, std::string());
    EXPECT_EQ(Tree(Dest), ExpectedTrees[I]);
    if (ExpectedFlat[I] != nullptr) {
      EXPECT_EQ(Read(Dest + "/f.txt"), ExpectedFlat[I]);
    }
    // An entry left alone by the overwrite rules still counts.
    EXPECT_EQ(Z2.ProcessedFileCount(), 2);
  }
}

TEST_F(ExtractTest, OverwriteByTimeNeverReplacesOnEqualStamps) {
  static constexpr struct {
    TCVOverwriteMode Mode;
    int ExistingHour;  // the entry's is 12
    bool Replaced;
  } Cases[] = {
      {omIfNewer, 11, true},  {omIfNewer, 12, false}, {omIfNewer, 13, false},
      {omIfOlder, 11, false}, {omIfOlder, 12, false}, {omIfOlder, 13, true},
  };
  ZipBuilder B;
  B.Add("f.txt", "archived").Time(2020, 6, 15, 12, 0, 0);
  Open(B);
  ASSERT_TRUE(ForceDirectories(Out));
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int(C.Mode) << " existing hour " << C.ExistingHour);
    Tmp.WriteFile("out/f.txt", "existing");
    ASSERT_TRUE(FileSetDate(Out + "/f.txt", Stamp(2020, 6, 15, C.ExistingHour, 0, 0)));
    Z.Options().OverwriteMode = C.Mode;
    Extract();
    EXPECT_EQ(Read(Out + "/f.txt"), C.Replaced ? "archived" : "existing");
    EXPECT_EQ(Z.ProcessedFileCount(), 1);
  }
}

TEST_F(ExtractTest, PromptedOverwrite) {
  ZipBuilder B;
  B.Add("f.txt", "archived");
  Open(B);
  ASSERT_TRUE(ForceDirectories(Out));
  Z.Options().OverwriteMode = omPrompt;
  static constexpr struct {
    bool Confirm;
    bool Redirect;
  } Cases[] = {{false, false}, {true, false}, {true, true}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "confirm " << C.Confirm << " redirect " << C.Redirect);
    Tmp.WriteFile("out/f.txt", "existing");
    std::remove((Out + "/other.txt").c_str());
    std::string Source;
    Z.SetOnConfirmOverwrite(
        [&](TCVBaseArchiver&, const std::string& SourceFileName, std::string& DestFileName, bool& Confirm) {
          Source = SourceFileName;
          EXPECT_EQ(DestFileName, Out + "/f.txt");
          EXPECT_TRUE(Confirm);
          Confirm = C.Confirm;
          // The application's own choice of file is used as given.
          if (C.Redirect) DestFileName = Out + "/other.txt";
        });
    Extract();
    EXPECT_EQ(Source, "f.txt");
    EXPECT_EQ(Read(Out + "/f.txt"), C.Confirm && !C.Redirect ? "archived" : "existing");
    EXPECT_EQ(Read(Out + "/other.txt"), C.Redirect ? "archived" : "");
  }
}

TEST_F(ExtractTest, ReplaceReadOnly) {
  ZipBuilder B;
  B.Add("f.txt", "archived");
  Open(B);
  ASSERT_TRUE(ForceDirectories(Out));
  for (bool Replace : {false, true}) {
    SCOPED_TRACE(Replace);
    std::remove((Out + "/f.txt").c_str());
    Tmp.WriteFile("out/f.txt", "existing");
    ASSERT_EQ(chmod((Out + "/f.txt").c_str(), 0444), 0);
    Z.Options().ReplaceReadOnly = Replace;
    Extract();
    EXPECT_EQ(Read(Out + "/f.txt"), Replace ? "archived" : "existing");
    EXPECT_EQ(Z.ProcessedFileCount(), 1);
    EXPECT_TRUE(LogOf("failure").empty());
  }
}

TEST_F(ExtractTest, DamagedEntryDroppedOrKept) {
  for (bool Keep : {false, true}) {
    SCOPED_TRACE(testing::Message() << "ExtractCorruptedFiles " << Keep);
    TTempFolder Here;
    ZipBuilder B;
    B.Add("f.txt", "fresh data")
        .Time(2019, 3, 4, 5, 6, 8)
        .StoredCrc32(0x12345678)
        .ExternalAttr((0100640u << 16) | 0x01);
    B.Add("g.txt", "good");
    B.WriteTo(Here / "a.zip");
    TSearchArchiver& Z2 = Z;
    Z2.CloseArchive();
    Log.clear();
    Z2.SetFileName(Here / "a.zip");
    Z2.OpenArchive();
    Z2.SetBaseDir(Here / "out");
    Z2.SetExtractCorruptedFiles(Keep);
    ASSERT_TRUE(ForceDirectories(Here / "out"));
    Here.WriteFile("out/f.txt", "existing");
    Z2.ExtractFiles("*.*", 0x28BF, std::string());

    EXPECT_EQ(Tree(Here / "out"), (Lines{"f.txt", "g.txt"}));
    EXPECT_EQ(Read(Here / "out/g.txt"), "good");
    if (!Keep) {
      EXPECT_EQ(LogOf("failure"), Lines{"failure f.txt 8"});
      EXPECT_TRUE(LogOf("damaged").empty());
      EXPECT_EQ(Read(Here / "out/f.txt"), "existing");
      EXPECT_EQ(Z2.ProcessedFileCount(), 1);
    } else {
      EXPECT_TRUE(LogOf("failure").empty());
      EXPECT_EQ(LogOf("damaged"), Lines{"damaged f.txt"});
      EXPECT_EQ(Read(Here / "out/f.txt"), "fresh data");
      // The time is set although the file ends up read-only.
      EXPECT_EQ(static_cast<uint32_t>(FileGetDate(Here / "out/f.txt")), Stamp(2019, 3, 4, 5, 6, 8));
      EXPECT_EQ(ModeOf(Here / "out/f.txt"), 0440 & ~Umask());
      EXPECT_EQ(Z2.ProcessedFileCount(), 2);
    }
  }
}

TEST_F(ExtractTest, AttributesAfterTheTime) {
  static constexpr struct {
    uint32_t Attr;
    bool SetAttributes;
    mode_t Mode;  // before the umask
  } Cases[] = {
      {0x20, true, 0666},
      {0x21, true, 0444},
      {(0100755u << 16) | 0x20, true, 0755},
      {(0100644u << 16) | 0x01, true, 0444},
      {(0104755u << 16), true, 0755},  // never set-user-id
      {(0120777u << 16), true, 0666},  // a link's mode is not a file's
      {0x21, false, 0666},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "attr 0x" << C.Attr << " set " << C.SetAttributes);
    TTempFolder Here;
    ZipBuilder B;
    B.Add("f", "data").Time(2022, 2, 28, 23, 59, 58).ExternalAttr(C.Attr);
    B.WriteTo(Here / "a.zip");
    TSearchArchiver Z2;
    Z2.SetFileName(Here / "a.zip");
    Z2.OpenArchive();
    Z2.SetBaseDir(Here / "out");
    Z2.Options().SetAttributes = C.SetAttributes;
    Z2.ExtractFiles("*.*", 0x28BF, std::string());
    EXPECT_EQ(Read(Here / "out/f"), "data");
    EXPECT_EQ(ModeOf(Here / "out/f"), C.Mode & ~Umask());
    EXPECT_EQ(static_cast<uint32_t>(FileGetDate(Here / "out/f")), Stamp(2022, 2, 28, 23, 59, 58));
  }
}

TEST_F(ExtractTest, RetryAndAbort) {
  static const struct {
    std::vector<TCVAction> Answers;
    Lines Expected;
  } Cases[] = {
      {{fxaRetry, fxaRetry, fxaRetry, fxaIgnore},
       Join({{"overall start"},
             Failed("bad.txt", 8),
             Failed("bad.txt", 8),
             Failed("bad.txt", 8),
             Failed("bad.txt", 8),
             Extracted("next.txt"),
             {"overall end"}})},
      // Abort ends the walk; the closing event still comes.
      {{fxaRetry, fxaAbort},
       Join({{"overall start"}, Failed("bad.txt", 8), Failed("bad.txt", 8), {"overall end"}})},
  };
  ZipBuilder B;
  B.Add("bad.txt", "data").StoredCrc32(1);
  B.Add("next.txt", "next");
  Open(B);
  for (const auto& C : Cases) {
    Log.clear();
    size_t Answered = 0;
    OnFailure = [&](const std::string&, TCVAction& Action) {
      EXPECT_EQ(Action, fxaIgnore);
      ASSERT_LT(Answered, C.Answers.size());
      Action = C.Answers[Answered++];
    };
    std::remove((Out + "/next.txt").c_str());
    Extract();
    EXPECT_EQ(Log, C.Expected);
    EXPECT_EQ(Answered, C.Answers.size());
    EXPECT_EQ(Tree(Out), C.Answers.back() == fxaAbort ? Lines{} : Lines{"next.txt"});
  }
}

TEST_F(ExtractTest, CancelWhileReadingRemovesThePartialFile) {
  ZipBuilder B;
  B.Add("big.bin", std::string(3 << 20, 'x'));
  B.Add("next.txt", "next");
  Open(B);
  ASSERT_TRUE(ForceDirectories(Out));
  Tmp.WriteFile("out/big.bin", "existing");
  int Chunks = 0;
  OnFile = [&](const std::string&, TCVProgressPhase Phase, bool& Cancel) {
    // Cancel in the second chunk, after data was written; a closing handler
    // that clears the answer cannot take the cancel back.
    if (Phase == ppProcess && ++Chunks == 2) Cancel = true;
    if (Phase == ppEnd) Cancel = false;
  };
  OnOverall = [](TCVProgressPhase Phase, bool& Cancel) {
    if (Phase == ppEnd) Cancel = false;
  };
  Extract();
  EXPECT_EQ(Log, Join({{"overall start"}, Extracted("big.bin"), {"overall end"}}));
  EXPECT_EQ(Tree(Out), Lines{"big.bin"});
  EXPECT_EQ(Read(Out + "/big.bin"), "existing");
  EXPECT_TRUE(Z.CancelRequested());
  EXPECT_EQ(Z.ProcessedFileCount(), 0);
}

TEST_F(ExtractTest, CancelInTheOpeningEventFiresNoClosingEvent) {
  ZipBuilder B;
  B.Add("a.txt", "a");
  Open(B);
  OnOverall = [](TCVProgressPhase Phase, bool& Cancel) { Cancel = Phase == ppStart; };
  Extract();
  EXPECT_EQ(Log, Lines{"overall start"});
  EXPECT_EQ(Tree(Out), Lines{});
  EXPECT_EQ(Z.SelectedFileCount(), 1);
  EXPECT_EQ(Z.ProcessedFileCount(), 0);
}

TEST_F(ExtractTest, LocalHeaderPastTheEndFailsAlone) {
  ZipBuilder B;
  B.Add("a.txt", "a");
  B.Add("b.txt", "b");
  B.Add("c.txt", "c");
  const ZipLayout L = B.Layout();
  B.SetLE32(L.Entries[1].CentralHeader + 42, static_cast<uint32_t>(L.Size + 1000));
  Open(B);
  Extract();
  EXPECT_EQ(LogOf("failure"), Lines{"failure b.txt 8"});
  EXPECT_EQ(Tree(Out), (Lines{"a.txt", "c.txt"}));
  EXPECT_EQ(Z.ProcessedFileCount(), 2);
}

TEST_F(ExtractTest, ShortWriteFailsTheEntryWithCode46) {
  ZipBuilder B;
  B.Add("big.bin", std::string(5000, 'b'));
  B.Add("small.txt", "small");
  Open(B);
  ASSERT_TRUE(ForceDirectories(Out));
  Tmp.WriteFile("out/big.bin", "existing");
  TFaultFileSystem Faults;
  Faults.LimitEveryWrite(1000);
  TScopedFileSystem Install(Faults);
  Extract();
  EXPECT_EQ(LogOf("failure"), Lines{"failure big.bin 46"});
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_NE(Messages[0].find("Write to stream error"), std::string::npos) << Messages[0];
  EXPECT_EQ(Tree(Out), (Lines{"big.bin", "small.txt"}));
  EXPECT_EQ(Read(Out + "/big.bin"), "existing");
  EXPECT_EQ(Read(Out + "/small.txt"), "small");
}

TEST_F(ExtractTest, EmptyBaseDirWritesBelowTheCurrentFolder) {
  ZipBuilder B;
  B.Add("d/e.txt", "e");
  Open(B);
  const std::string Here = Tmp / "cwd";
  ASSERT_TRUE(ForceDirectories(Here));
  const std::string Previous = GetCurrentDir();
  ASSERT_EQ(chdir(Here.c_str()), 0);
  Z.SetBaseDir(std::string());
  Extract();
  ASSERT_EQ(chdir(Previous.c_str()), 0);
  EXPECT_EQ(Tree(Here), (Lines{"d/", "d/e.txt"}));
}

TEST_F(ExtractTest, MissingOrImpossibleOutputFolder) {
  static const struct {
    const char* BaseDir;
    bool CreateDirs;
    Lines Failures;
    Lines Tree;
  } Cases[] = {
      {"new/deep/out",
       true,
       {},
       {"new/", "new/deep/", "new/deep/out/", "new/deep/out/a.txt", "new/deep/out/d/",
        "new/deep/out/d/b.txt"}},
      {"new/deep/out", false, {"failure a.txt 19", "failure d/b.txt 19"}, {}},
      {"plain/out", true, {"failure a.txt 20", "failure d/b.txt 20"}, {}},
      {"plain/out", false, {"failure a.txt 19", "failure d/b.txt 19"}, {}},
  };
  ZipBuilder B;
  B.Add("a.txt", "a");
  B.Add("d/b.txt", "b");
  Open(B);
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.BaseDir << " CreateDirs " << C.CreateDirs);
    TTempFolder Here;
    if (std::string(C.BaseDir).rfind("plain", 0) == 0) Here.WriteFile("plain", "a file");
    Log.clear();
    Messages.clear();
    Z.SetBaseDir(Here / C.BaseDir);
    Z.Options().CreateDirs = C.CreateDirs;
    Extract();
    EXPECT_EQ(LogOf("failure"), C.Failures);
    Lines Expected = C.Tree;
    if (std::string(C.BaseDir).rfind("plain", 0) == 0) Expected.insert(Expected.begin(), "plain");
    EXPECT_EQ(Tree(Here.Path()), Expected);
    if (!Messages.empty()) {
      // Code 19 names the target, code 20 the folder.
      const std::string Named = C.CreateDirs ? Here / C.BaseDir + "/" : Here / C.BaseDir + "/a.txt";
      EXPECT_NE(Messages[0].find("\"" + Named + "\""), std::string::npos) << Messages[0];
    }
  }
}

TEST_F(ExtractTest, HostileNamesLandInsideTheOutputFolder) {
  ZipBuilder B;
  B.Add("../../x1", "1");
  B.Add("/etc/x2", "2");
  B.Add("C:\\x3", "3");
  B.Add("\\\\srv\\share\\x4", "4");
  B.Add("a/../../b5", "5");
  B.Add("h6", "6");
  B.Add("..", "7");
  B.Add("../", "8");
  Open(B);
  OnExtract = [](std::string& Name, uint32_t&) {
    if (Name == "h6") Name = "../x6";
  };
  Extract();
  EXPECT_EQ(Tree(Tmp.Path()), (Lines{"a.zip", "out/", "out/a/", "out/a/b5", "out/etc/", "out/etc/x2",
                                     "out/x1", "out/x3", "out/x4", "out/x6"}));
  for (const char* Name : {"x1", "etc/x2", "x3", "x4", "a/b5", "x6"})
    EXPECT_EQ(Read(Out + "/" + Name).size(), 1u) << Name;
  // Nothing is left of a name made only of what leads outside.
  EXPECT_EQ(LogOf("failure"), (Lines{"failure .. 19", "failure ../ 19"}));
}

TEST_F(ExtractTest, PlantedLinksAreReplacedNotFollowed) {
  ZipBuilder B;
  B.Add("f.txt", "archived");
  B.Add("g.txt", "archived too");
  Open(B);
  ASSERT_TRUE(ForceDirectories(Out));
  const std::string Victim = Tmp.WriteFile("victim", "victim");
  ASSERT_EQ(symlink(Victim.c_str(), (Out + "/f.txt").c_str()), 0);
  ASSERT_EQ(symlink((Tmp / "nowhere").c_str(), (Out + "/g.txt").c_str()), 0);
  Extract();
  EXPECT_TRUE(LogOf("failure").empty());
  EXPECT_TRUE(IsRegularFile(Out + "/f.txt"));
  EXPECT_TRUE(IsRegularFile(Out + "/g.txt"));
  EXPECT_EQ(Read(Out + "/f.txt"), "archived");
  EXPECT_EQ(Read(Out + "/g.txt"), "archived too");
  EXPECT_EQ(Read(Victim), "victim");
  EXPECT_FALSE(FileExists(Tmp / "nowhere"));
}

TEST_F(ExtractTest, TheArchiveItselfIsNeverReplaced) {
  ZipBuilder B;
  B.Add("a.zip", "an inner archive");
  B.Add("b.txt", "b");
  ASSERT_TRUE(ForceDirectories(Out));
  B.WriteTo(Out + "/a.zip");
  const std::string Bytes = Read(Out + "/a.zip");
  OpenFile(Out + "/a.zip");
  Extract();
  EXPECT_EQ(LogOf("failure"), Lines{"failure a.zip 19"});
  EXPECT_EQ(Read(Out + "/a.zip"), Bytes);
  EXPECT_EQ(Tree(Out), (Lines{"a.zip", "b.txt"}));
}

TEST_F(ExtractTest, TestRunWritesNothingAndReportsDamage) {
  for (bool Keep : {false, true}) {
    SCOPED_TRACE(Keep);
    ZipBuilder B;
    B.Add("bad.txt", "data").StoredCrc32(7);
    B.Add("dir/");
    B.Add("dir/good.txt", std::string(3000, 'g')).Deflated();
    Z.CloseArchive();
    Open(B);
    Log.clear();
    Z.SetExtractCorruptedFiles(Keep);
    TFaultFileSystem Files;
    TScopedFileSystem Install(Files);
    Z.SelectItems("*.*", 0x28BF, std::string());
    Z.ProcessSelectedItems(poTest);
    EXPECT_TRUE(Files.Creates().empty());
    for (const auto& [Name, Mode] : Files.Opens()) EXPECT_NE(Mode, fmCreate) << Name;
    EXPECT_FALSE(DirectoryExists(Out));
    const Lines Failure = Keep ? Lines{} : Lines{"failure bad.txt 8"};
    EXPECT_EQ(LogOf("failure"), Failure);
    EXPECT_EQ(LogOf("damaged"), Keep ? Lines{"damaged bad.txt"} : Lines{});
    EXPECT_EQ(LogOf("start"), (Lines{"start bad.txt", "start dir/", "start dir/good.txt"}));
    EXPECT_TRUE(LogOf("extract").empty());
    EXPECT_EQ(Z.ProcessedFileCount(), Keep ? 3 : 2);
  }
}

TEST_F(ExtractTest, DeleteAndUpdateWorkOnTheDirectoryOnly) {
  ZipBuilder B;
  B.Add("a.txt", "a");
  B.Add("b.txt", "b").Time(2020, 1, 1, 0, 0, 0);
  B.Add("c.txt", "c");
  B.Add("d.txt", "d");
  Open(B);
  const std::string Bytes = Read(Archive);
  auto Names = [this] {
    Lines N;
    for (int32_t I = 0; I < Z.Items().Count(); ++I) N.push_back(Z.Items().ItemPtr(I).FileName);
    return N;
  };
  auto MarkBAndC = [this] {
    Z.Items().ClearMarks();
    Z.Items().ItemPtr(1).Marked = Z.Items().ItemPtr(2).Marked = true;
  };

  // Outside a batch update both refuse each entry.
  MarkBAndC();
  Z.ProcessSelectedItems(poDelete);
  EXPECT_EQ(LogOf("failure"), (Lines{"failure b.txt 22", "failure c.txt 22"}));
  ASSERT_TRUE(ForceDirectories(Out));
  Tmp.WriteFile("out/b.txt", "newer on disk");
  ASSERT_TRUE(FileSetDate(Out + "/b.txt", Stamp(2021, 1, 1, 0, 0, 0)));
  Log.clear();
  MarkBAndC();
  Z.Options().OverwriteMode = omIfNewer;
  Z.ProcessSelectedItems(poUpdate);
  // c.txt has no disk file: nothing to do, and it counts.
  EXPECT_EQ(LogOf("failure"), Lines{"failure b.txt 25"});
  EXPECT_EQ(Names(), (Lines{"a.txt", "b.txt", "c.txt", "d.txt"}));

  Z.SetUpdateLevel(1);
  Log.clear();
  MarkBAndC();
  Z.ProcessSelectedItems(poUpdate);
  EXPECT_TRUE(LogOf("failure").empty());
  const TDirItem& Updated = Z.Items().ItemPtr(1);
  EXPECT_EQ(Updated.FileName, "b.txt");
  EXPECT_EQ(Updated.ModDate, DosDate(2021, 1, 1));
  EXPECT_EQ(Updated.Operation, poUpdate);
  EXPECT_EQ(Z.Items().ItemPtr(2).Operation, poUpdate);

  // Removing an entry moves the next one into its place, which is visited.
  MarkBAndC();
  Z.ProcessSelectedItems(poDelete);
  EXPECT_EQ(Names(), (Lines{"a.txt", "d.txt"}));
  EXPECT_EQ(Z.ProcessedFileCount(), 2);
  // No progress events for directory operations, and the archive is as it was.
  EXPECT_TRUE(LogOf("start").empty());
  EXPECT_TRUE(LogOf("overall").empty());
  EXPECT_EQ(Read(Archive), Bytes);
  Z.SetUpdateLevel(0);
}

TEST_F(ExtractTest, LockHeldForTheRunAndReleasedOnEveryWayOut) {
  ZipBuilder B;
  B.Add("a.txt", "a");
  B.Add("b.txt", "b");
  Open(B);
  bool FreeDuringRun = true;
  OnFile = [&](const std::string&, TCVProgressPhase Phase, bool&) {
    if (Phase == ppStart) FreeDuringRun = FreeDuringRun && LockIsFreeForOtherThreads();
  };
  Extract();
  EXPECT_FALSE(FreeDuringRun);
  EXPECT_TRUE(LockIsFreeForOtherThreads());

  // An exception that is not the entry's own ends the run at once: no failure
  // event, no closing event, no file left behind, the lock released.
  Log.clear();
  std::remove((Out + "/a.txt").c_str());
  std::remove((Out + "/b.txt").c_str());
  OnFile = [](const std::string& Name, TCVProgressPhase Phase, bool&) {
    if (Name == "a.txt" && Phase == ppProcess) throw std::bad_alloc();
  };
  EXPECT_THROW(Extract(), std::bad_alloc);
  EXPECT_EQ(Log, (Lines{"overall start", "confirm a.txt", "start a.txt", "extract a.txt"}));
  EXPECT_EQ(Tree(Out), Lines{});
  EXPECT_TRUE(LockIsFreeForOtherThreads());
}

// Flushing itself cannot be seen from here; which files are flushed can: the
// drive is asked about each written file, and only when FlushBuffers is set.
TEST_F(ExtractTest, RemovableDrivesAskedOnlyWhenFlushing) {
  struct TRecordingDrives : TFakeDrives {
    bool IsRemovable(const std::string& Path) override {
      Asked.push_back(Path);
      return TFakeDrives::IsRemovable(Path);
    }
    Lines Asked;
  };
  ZipBuilder B;
  B.Add("d/", "");
  B.Add("d/f.txt", "f");
  Open(B);
  for (bool Flush : {false, true}) {
    SCOPED_TRACE(Flush);
    TRecordingDrives Drives;
    Drives.SetRemovable(Out);
    TScopedDrives Install(Drives);
    Z.Options().FlushBuffers = Flush;
    Extract();
    EXPECT_EQ(Drives.Asked, Flush ? Lines{Out + "/d/f.txt"} : Lines{});
    EXPECT_EQ(Read(Out + "/d/f.txt"), "f");
  }
}

TEST_F(ExtractTest, NeedsAnOpenArchiveOutsideAnUpdate) {
  try {
    Extract();
    FAIL() << "no exception";
  } catch (const ECVException& E) {
    EXPECT_EQ(E.NativeError, 13);
  }
  ZipBuilder B;
  B.Add("a.txt", "a");
  Open(B);
  Z.SetUpdateLevel(1);
  try {
    Extract();
    FAIL() << "no exception";
  } catch (const ECVException& E) {
    EXPECT_EQ(E.NativeError, 26);
  }
  Z.SetUpdateLevel(0);
  EXPECT_TRUE(Log.empty());
}
