#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/ScriptedDialogs.h"

// The event tests trust this fake to notice a dialog that should not have
// come and one that never came.

TEST(TScriptedDialogs, AnswersInOrderAndRecordsEveryCall) {
  TScriptedDialogs D;
  D.AnswerMessage(mrRetry);
  D.AnswerInput(true, "typed");
  D.AnswerInput(false);
  EXPECT_EQ(Dialogs().MessageDlg("text", {mbAbort, mbRetry, mbIgnore}), mrRetry);
  std::string Value = "initial";
  EXPECT_TRUE(Dialogs().InputQuery("caption", "prompt", Value, true));
  EXPECT_EQ(Value, "typed");
  EXPECT_FALSE(Dialogs().InputQuery("caption 2", "prompt 2", Value, false));
  EXPECT_EQ(Value, "typed");

  ASSERT_EQ(D.Calls().size(), 3u);
  EXPECT_EQ(D.Calls()[0].Text, "text");
  EXPECT_EQ(D.Calls()[0].Buttons, (TMsgDlgButtons{mbAbort, mbRetry, mbIgnore}));
  EXPECT_EQ(D.Calls()[1].Caption, "caption");
  EXPECT_EQ(D.Calls()[1].Prompt, "prompt");
  EXPECT_EQ(D.Calls()[1].InitialValue, "initial");
  EXPECT_TRUE(D.Calls()[1].Masked);
  EXPECT_FALSE(D.Calls()[2].Masked);
  EXPECT_EQ(D.PendingAnswers(), 0u);
}

TEST(TScriptedDialogs, UnscriptedOrImpossibleAnswersFailAndCancel) {
  TScriptedDialogs D;
  TModalResult Result = mrNone;
  EXPECT_NONFATAL_FAILURE(Result = Dialogs().MessageDlg("t", {mbYes, mbNo}), "unscripted message dialog");
  EXPECT_EQ(Result, mrCancel);

  D.AnswerMessage(mrIgnore);
  EXPECT_NONFATAL_FAILURE(Result = Dialogs().MessageDlg("t", {mbYes, mbNo}), "is not one of the buttons");
  EXPECT_EQ(Result, mrCancel);

  D.AnswerMessage(mrOk);
  std::string Value = "v";
  bool Ok = true;
  EXPECT_NONFATAL_FAILURE(Ok = Dialogs().InputQuery("c", "p", Value, false), "other kind");
  EXPECT_FALSE(Ok);
  EXPECT_EQ(Value, "v");

  // Closing is always possible.
  D.AnswerMessage(mrCancel);
  EXPECT_EQ(Dialogs().MessageDlg("t", {mbYes, mbNo}), mrCancel);
}

TEST(TScriptedDialogs, RestoresThePreviousDialogsAndReportsUnusedAnswers) {
  IDialogs* Before = &Dialogs();
  {
    TScriptedDialogs Outer;
    {
      TScriptedDialogs Inner;
      EXPECT_EQ(&Dialogs(), &Inner);
    }
    EXPECT_EQ(&Dialogs(), &Outer);
  }
  EXPECT_EQ(&Dialogs(), Before);

  auto Leftover = std::make_unique<TScriptedDialogs>();
  Leftover->AnswerMessage(mrYes);
  EXPECT_NONFATAL_FAILURE(Leftover.reset(), "never used");
}
