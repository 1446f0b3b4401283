#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "TestArchiver.h"
#include "platform/Path.h"
#include "support/ScriptedDialogs.h"

namespace {

const std::string DocsReadme = "docs/readme.txt";
const std::string DocsReadmeForHandlers = std::string("docs") + PathDelim + "readme.txt";

}  // namespace

TEST(CorvaneEvents, OverwriteDialogAnswers) {
  static constexpr struct {
    TModalResult Answer;
    bool Confirm;
    TCVOverwriteMode ModeAfter;
  } Cases[] = {
      {mrYes, true, omPrompt},     {mrNo, false, omPrompt},    {mrYesToAll, true, omAlways},
      {mrNoToAll, false, omNever}, {mrCancel, false, omPrompt},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(int(C.Answer));
    TTestArchiver Z;
    Z.Options().OverwriteMode = omPrompt;
    TScriptedDialogs D;
    D.AnswerMessage(C.Answer);
    std::string Dest = "/out/docs/readme.txt";
    bool Confirm = !C.Confirm;
    Z.DoOnConfirmOverwrite(DocsReadme, Dest, Confirm);
    ASSERT_EQ(D.Calls().size(), 1u);
    EXPECT_EQ(D.Calls()[0].Kind, TScriptedDialogs::ckMessage);
    EXPECT_EQ(D.Calls()[0].Text, "Overwrite file \"/out/docs/readme.txt\" with \"docs/readme.txt\"");
    EXPECT_EQ(D.Calls()[0].Buttons, (TMsgDlgButtons{mbYes, mbNo, mbNoToAll, mbYesToAll}));
    EXPECT_EQ(Confirm, C.Confirm);
    EXPECT_EQ(Z.Options().OverwriteMode, C.ModeAfter);
    EXPECT_EQ(Dest, "/out/docs/readme.txt");
  }
}

TEST(CorvaneEvents, FailureDialogAnswers) {
  static constexpr struct {
    TModalResult Answer;
    TCVAction Action;
  } Cases[] = {{mrAbort, fxaAbort}, {mrRetry, fxaRetry}, {mrIgnore, fxaIgnore}, {mrCancel, fxaAbort}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(int(C.Answer));
    TTestArchiver Z;
    TScriptedDialogs D;
    D.AnswerMessage(C.Answer);
    TCVAction Action = C.Action == fxaRetry ? fxaAbort : fxaRetry;
    Z.DoOnProcessFileFailure(DocsReadme, poExtract, 8, 4, "Bad data in \"%s\"", Action);
    ASSERT_EQ(D.Calls().size(), 1u);
    // The message is an argument, never a format of its own.
    EXPECT_EQ(D.Calls()[0].Text, "Bad data in \"%s\". File processing error, possibly disk is full");
    EXPECT_EQ(D.Calls()[0].Buttons, (TMsgDlgButtons{mbAbort, mbRetry, mbIgnore}));
    EXPECT_EQ(Action, C.Action);
  }
}

TEST(CorvaneEvents, PasswordDialogAnswers) {
  static const struct {
    bool Ok;
    const char* Entered;
    bool SkipBefore;
    const char* PasswordAfter;
    bool SkipAfter;
  } Cases[] = {
      {true, "secret", true, "secret", false},
      {true, "", true, "", false},
      {false, "", false, "old", true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "ok " << C.Ok << " entered '" << C.Entered << "'");
    TTestArchiver Z;
    TScriptedDialogs D;
    D.AnswerInput(C.Ok, C.Entered);
    std::string Password = "old";
    bool Skip = C.SkipBefore;
    Z.DoOnPassword(DocsReadme, Password, Skip);
    ASSERT_EQ(D.Calls().size(), 1u);
    const auto& Call = D.Calls()[0];
    EXPECT_EQ(Call.Kind, TScriptedDialogs::ckInput);
    EXPECT_EQ(Call.Caption, "Password for \"docs/readme.txt\"");
    EXPECT_EQ(Call.Prompt, "Enter password: ");
    EXPECT_EQ(Call.InitialValue, "old");
    EXPECT_TRUE(Call.Masked);
    EXPECT_EQ(Password, C.PasswordAfter);
    EXPECT_EQ(Skip, C.SkipAfter);
  }
}

TEST(CorvaneEvents, DefaultsWithoutHandlersAskNothing) {
  TTestArchiver Z;
  TScriptedDialogs D;  // no answers: any dialog fails the test

  bool Cancel = true;
  Z.DoOnOverallProgress(50.0, poExtract, ppProcess, Cancel);
  EXPECT_FALSE(Cancel);
  Cancel = true;
  Z.DoOnFileProgress(DocsReadme, 50.0, poExtract, ppProcess, Cancel);
  EXPECT_FALSE(Cancel);

  bool Confirm = false;
  Z.DoOnConfirmProcessFile(DocsReadme, poExtract, Confirm);
  EXPECT_TRUE(Confirm);

  // Without a handler a name to be stored is left exactly as it is.
  std::string Stored = "a\\b/c.txt";
  uint32_t Attr = 0x21;
  std::string Comment = "note";
  Z.DoOnStoreFile(Stored, Attr, Comment);
  EXPECT_EQ(Stored, "a\\b/c.txt");
  EXPECT_EQ(Attr, 0x21u);

  // The extract conversion happens even without a handler.
  std::string Extracted = DocsReadme;
  Z.DoOnExtractFile(Extracted, Attr, Comment);
  EXPECT_EQ(Extracted, DocsReadmeForHandlers);
  EXPECT_EQ(Attr, 0x21u);

  Z.DoOnDamagedFile(DocsReadme, "CRC mismatch");
  Z.DoAfterOpen();
  EXPECT_TRUE(D.Calls().empty());
}

// Every event that carries a stored name, fired with docs/readme.txt.
TEST(CorvaneEvents, HandlersSeeNamesWithPathDelim) {
  struct TCase {
    const char* Event;
    std::function<void(TTestArchiver&, std::string& Seen)> Arm;
    std::function<void(TTestArchiver&)> Fire;
  };
  const TCase Cases[] = {
      {"FileProgress",
       [](TTestArchiver& Z, std::string& Seen) {
         Z.SetOnFileProgress([&Seen](TCVBaseArchiver&, const std::string& N, double, TCVProcessOperation,
                                     TCVProgressPhase, bool&) { Seen = N; });
       },
       [](TTestArchiver& Z) {
         bool Cancel = false;
         Z.DoOnFileProgress(DocsReadme, 0, poExtract, ppStart, Cancel);
       }},
      {"ExtractFile",
       [](TTestArchiver& Z, std::string& Seen) {
         Z.SetOnExtractFile(
             [&Seen](TCVBaseArchiver&, std::string& N, uint32_t&, const std::string&) { Seen = N; });
       },
       [](TTestArchiver& Z) {
         std::string Name = DocsReadme;
         uint32_t Attr = 0;
         Z.DoOnExtractFile(Name, Attr, "");
       }},
      {"StoreFile",
       [](TTestArchiver& Z, std::string& Seen) {
         Z.SetOnStoreFile([&Seen](TCVBaseArchiver&, std::string& N, uint32_t&, std::string&) { Seen = N; });
       },
       [](TTestArchiver& Z) {
         std::string Name = DocsReadme, Comment;
         uint32_t Attr = 0;
         Z.DoOnStoreFile(Name, Attr, Comment);
       }},
      {"DamagedFile",
       [](TTestArchiver& Z, std::string& Seen) {
         Z.SetOnDamagedFile([&Seen](TCVBaseArchiver&, const std::string& N, const std::string&) { Seen = N; });
       },
       [](TTestArchiver& Z) { Z.DoOnDamagedFile(DocsReadme, "sizes unknown"); }},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Event);
    TTestArchiver Z;
    std::string Seen = "(not fired)";
    C.Arm(Z, Seen);
    C.Fire(Z);
    EXPECT_EQ(Seen, DocsReadmeForHandlers);
  }
}

TEST(CorvaneEvents, HandlersGetValuesAndPresets) {
  TTestArchiver Z;
  TScriptedDialogs D;  // a set handler replaces every dialog
  TCVBaseArchiver* Sender = nullptr;

  // Progress: values as given, Cancel included; the handler's answer returns.
  Z.SetOnOverallProgress([&](TCVBaseArchiver& S, double P, TCVProcessOperation O, TCVProgressPhase Ph, bool& Cancel) {
    Sender = &S;
    EXPECT_EQ(P, 42.5);
    EXPECT_EQ(O, poTest);
    EXPECT_EQ(Ph, ppEnd);
    EXPECT_TRUE(Cancel);
    Cancel = false;
  });
  bool Cancel = true;
  Z.DoOnOverallProgress(42.5, poTest, ppEnd, Cancel);
  EXPECT_FALSE(Cancel);
  EXPECT_EQ(Sender, &Z);

  Z.SetOnFileProgress([](TCVBaseArchiver&, const std::string&, double P, TCVProcessOperation O, TCVProgressPhase Ph,
                         bool& Cancel) {
    EXPECT_EQ(P, 12.5);
    EXPECT_EQ(O, poExtract);
    EXPECT_EQ(Ph, ppProcess);
    EXPECT_FALSE(Cancel);
    Cancel = true;
  });
  Cancel = false;
  Z.DoOnFileProgress(DocsReadme, 12.5, poExtract, ppProcess, Cancel);
  EXPECT_TRUE(Cancel);

  // Overwrite: both names as given; the handler may redirect the target.
  Z.SetOnConfirmOverwrite([](TCVBaseArchiver&, const std::string& Source, std::string& Dest, bool& Confirm) {
    EXPECT_EQ(Source, DocsReadme);
    EXPECT_EQ(Dest, "/out/docs/readme.txt");
    Dest = "/out/docs/readme (2).txt";
    Confirm = true;
  });
  std::string Dest = "/out/docs/readme.txt";
  bool Confirm = false;
  Z.DoOnConfirmOverwrite(DocsReadme, Dest, Confirm);
  EXPECT_EQ(Dest, "/out/docs/readme (2).txt");
  EXPECT_TRUE(Confirm);

  // Confirm starts True; the name is passed on as given.
  std::string SeenName;
  bool SeenConfirm = false;
  Z.SetOnConfirmProcessFile([&](TCVBaseArchiver&, const std::string& N, TCVProcessOperation O, bool& C) {
    SeenName = N;
    SeenConfirm = C;
    EXPECT_EQ(O, poTest);
    C = false;
  });
  Confirm = false;
  Z.DoOnConfirmProcessFile("docs\\readme.txt", poTest, Confirm);
  EXPECT_EQ(SeenName, "docs\\readme.txt");
  EXPECT_TRUE(SeenConfirm);
  EXPECT_FALSE(Confirm);

  // Password: values as given, the handler's new password returns.
  Z.SetOnPassword([](TCVBaseArchiver&, const std::string& N, std::string& Password, bool& Skip) {
    EXPECT_EQ(N, DocsReadme);
    EXPECT_EQ(Password, "old");
    EXPECT_FALSE(Skip);
    Password = "new";
  });
  std::string Password = "old";
  bool Skip = false;
  Z.DoOnPassword(DocsReadme, Password, Skip);
  EXPECT_EQ(Password, "new");
  EXPECT_FALSE(Skip);

  // Failure: Action starts as fxaIgnore, so a handler that does nothing goes on.
  TCVAction SeenAction = fxaAbort;
  Z.SetOnProcessFileFailure([&](TCVBaseArchiver&, const std::string& N, TCVProcessOperation O, int32_t Native,
                                int32_t Code, const std::string& Message, TCVAction& Action) {
    EXPECT_EQ(N, "docs\\readme.txt");
    EXPECT_EQ(O, poExtract);
    EXPECT_EQ(Native, 19);
    EXPECT_EQ(Code, 9);
    EXPECT_EQ(Message, "z: Cannot create file \"x\" - Native error: 00019");
    SeenAction = Action;
  });
  TCVAction Action = fxaAbort;
  Z.DoOnProcessFileFailure("docs\\readme.txt", poExtract, 19, 9, "z: Cannot create file \"x\" - Native error: 00019",
                           Action);
  EXPECT_EQ(SeenAction, fxaIgnore);
  EXPECT_EQ(Action, fxaIgnore);

  // Extract: name, attributes and comment; the handler's changes return.
  Z.SetOnExtractFile([](TCVBaseArchiver&, std::string& N, uint32_t& Attr, const std::string& Comment) {
    EXPECT_EQ(Attr, 0x20u);
    EXPECT_EQ(Comment, "entry comment");
    N = "renamed.txt";
    Attr = 0x01;
  });
  std::string Name = DocsReadme;
  uint32_t Attr = 0x20;
  Z.DoOnExtractFile(Name, Attr, "entry comment");
  EXPECT_EQ(Name, "renamed.txt");
  EXPECT_EQ(Attr, 0x01u);

  // Store: what the handler returns is a stored name again.
  Z.SetOnStoreFile([](TCVBaseArchiver&, std::string& N, uint32_t& Attr, std::string& Comment) {
    EXPECT_EQ(Comment, "old comment");
    N = "new\\sub\\name.txt";
    Attr = 0x10;
    Comment = "new comment";
  });
  Name = DocsReadme;
  std::string Comment = "old comment";
  Z.DoOnStoreFile(Name, Attr, Comment);
  EXPECT_EQ(Name, "new/sub/name.txt");
  EXPECT_EQ(Attr, 0x10u);
  EXPECT_EQ(Comment, "new comment");

  std::string Reason;
  Z.SetOnDamagedFile([&](TCVBaseArchiver&, const std::string&, const std::string& R) { Reason = R; });
  Z.DoOnDamagedFile(DocsReadme, "CRC mismatch");
  EXPECT_EQ(Reason, "CRC mismatch");

  int Opened = 0;
  Z.SetAfterOpen([&](TCVBaseArchiver& S) {
    EXPECT_EQ(&S, &Z);
    ++Opened;
  });
  Z.DoAfterOpen();
  EXPECT_EQ(Opened, 1);
  EXPECT_TRUE(D.Calls().empty());
}

TEST(CorvaneEvents, VolumeRequestsCountFromOneAndPresetCancel) {
  enum TKind { Blank, First, Last, Middle, DiskFull };
  static constexpr struct {
    TKind Kind;
    int32_t Number;
    int32_t Seen;  // -1: the event carries no number
  } Cases[] = {
      {Blank, -1, 1},  {Blank, -7, 1},   {Blank, 0, 1},  {Blank, 4, 5},  {Middle, 0, 1},
      {Middle, 4, 5},  {DiskFull, 2, 3}, {First, 0, -1}, {Last, 0, -1},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "kind " << C.Kind << " number " << C.Number);
    TTestArchiver Z;
    TScriptedDialogs D;
    int32_t SeenNumber = -1;
    std::string SeenName;
    bool SeenCancel = true;
    // Each handler records what it got, then cancels and (where it may)
    // names another file.
    auto Record = [&](int32_t N, const std::string& Name, bool& Cancel) {
      SeenNumber = N;
      SeenName = Name;
      SeenCancel = Cancel;
      Cancel = true;
    };
    Z.SetOnRequestBlankVolume([&](TCVBaseArchiver&, int32_t N, std::string& Name, bool& Cancel) {
      Record(N, Name, Cancel);
      Name = "other.zip";
    });
    Z.SetOnRequestFirstVolume([&](TCVBaseArchiver&, std::string& Name, bool& Cancel) {
      Record(-1, Name, Cancel);
      Name = "other.zip";
    });
    Z.SetOnRequestLastVolume([&](TCVBaseArchiver&, std::string& Name, bool& Cancel) {
      Record(-1, Name, Cancel);
      Name = "other.zip";
    });
    Z.SetOnRequestMiddleVolume([&](TCVBaseArchiver&, int32_t N, std::string& Name, bool& Cancel) {
      Record(N, Name, Cancel);
      Name = "other.zip";
    });
    Z.SetOnDiskFull([&](TCVBaseArchiver&, int32_t N, const std::string& Name, bool& Cancel) {
      Record(N, Name, Cancel);
    });

    std::string Name = "/media/disk/backup_001.zip";
    bool Cancel = true;
    switch (C.Kind) {
      case Blank: Z.DoOnRequestBlankVolume(C.Number, Name, Cancel); break;
      case First: Z.DoOnRequestFirstVolume(Name, Cancel); break;
      case Last: Z.DoOnRequestLastVolume(Name, Cancel); break;
      case Middle: Z.DoOnRequestMiddleVolume(C.Number, Name, Cancel); break;
      case DiskFull: Z.DoOnDiskFull(C.Number, Name, Cancel); break;
    }
    EXPECT_EQ(SeenNumber, C.Seen);
    EXPECT_EQ(SeenName, "/media/disk/backup_001.zip");
    EXPECT_FALSE(SeenCancel);
    EXPECT_TRUE(Cancel);
    EXPECT_EQ(Name, C.Kind == DiskFull ? "/media/disk/backup_001.zip" : "other.zip");
    EXPECT_TRUE(D.Calls().empty());
  }
}

TEST(CorvaneEvents, HandlerExceptionsPropagate) {
  struct TCase {
    const char* Event;
    std::function<void(TTestArchiver&)> Arm;
    std::function<void(TTestArchiver&)> Fire;
  };
  const auto Throw = [] { throw std::runtime_error("from handler"); };
  const TCase Cases[] = {
      {"OverallProgress",
       [&](TTestArchiver& Z) {
         Z.SetOnOverallProgress(
             [&](TCVBaseArchiver&, double, TCVProcessOperation, TCVProgressPhase, bool&) { Throw(); });
       },
       [](TTestArchiver& Z) {
         bool Cancel = false;
         Z.DoOnOverallProgress(0, poExtract, ppStart, Cancel);
       }},
      {"ConfirmOverwrite",
       [&](TTestArchiver& Z) {
         Z.SetOnConfirmOverwrite([&](TCVBaseArchiver&, const std::string&, std::string&, bool&) { Throw(); });
       },
       [](TTestArchiver& Z) {
         std::string Dest = "d";
         bool Confirm = false;
         Z.DoOnConfirmOverwrite("s", Dest, Confirm);
       }},
      {"Password",
       [&](TTestArchiver& Z) {
         Z.SetOnPassword([&](TCVBaseArchiver&, const std::string&, std::string&, bool&) { Throw(); });
       },
       [](TTestArchiver& Z) {
         std::string Password;
         bool Skip = false;
         Z.DoOnPassword("f", Password, Skip);
       }},
      {"ProcessFileFailure",
       [&](TTestArchiver& Z) {
         Z.SetOnProcessFileFailure([&](TCVBaseArchiver&, const std::string&, TCVProcessOperation, int32_t, int32_t,
                                       const std::string&, TCVAction&) { Throw(); });
       },
       [](TTestArchiver& Z) {
         TCVAction Action = fxaAbort;
         Z.DoOnProcessFileFailure("f", poExtract, 8, 4, "m", Action);
       }},
      {"RequestMiddleVolume",
       [&](TTestArchiver& Z) {
         Z.SetOnRequestMiddleVolume([&](TCVBaseArchiver&, int32_t, std::string&, bool&) { Throw(); });
       },
       [](TTestArchiver& Z) {
         std::string Name = "v";
         bool Cancel = false;
         Z.DoOnRequestMiddleVolume(1, Name, Cancel);
       }},
      {"ExtractFile",
       [&](TTestArchiver& Z) {
         Z.SetOnExtractFile([&](TCVBaseArchiver&, std::string&, uint32_t&, const std::string&) { Throw(); });
       },
       [](TTestArchiver& Z) {
         std::string Name = "n";
         uint32_t Attr = 0;
         Z.DoOnExtractFile(Name, Attr, "");
       }},
      {"AfterOpen", [&](TTestArchiver& Z) { Z.SetAfterOpen([&](TCVBaseArchiver&) { Throw(); }); },
       [](TTestArchiver& Z) { Z.DoAfterOpen(); }},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Event);
    TTestArchiver Z;
    C.Arm(Z);
    try {
      C.Fire(Z);
      ADD_FAILURE() << "nothing propagated";
    } catch (const std::runtime_error& E) {
      EXPECT_STREQ(E.what(), "from handler");
    }
  }
}
