#include <gtest/gtest.h>

#include <string>

#include "cli/TerminalDialogs.h"

namespace {

TEST(ButtonForAnswer, KeysAndCaptions) {
  const TMsgDlgButtons Overwrite = {mbYes, mbNo, mbNoToAll, mbYesToAll};
  const TMsgDlgButtons Failure = {mbAbort, mbRetry, mbIgnore};
  struct TCase {
    const char* Answer;
    const TMsgDlgButtons* Buttons;
    bool Found;
    TMsgDlgBtn Expected;
  } const Cases[] = {
      {"y", &Overwrite, true, mbYes},
      {"n", &Overwrite, true, mbNo},
      {"N", &Overwrite, true, mbNoToAll},  // keys count case: "N" is not "n"
      {"A", &Overwrite, true, mbYesToAll},
      {" yes ", &Overwrite, true, mbYes},  // a caption, blanks ignored
      {"no to all", &Overwrite, true, mbNoToAll},
      {"YES TO ALL", &Overwrite, true, mbYesToAll},
      {"a", &Overwrite, false, mbYes},  // Abort's key, not offered here
      {"a", &Failure, true, mbAbort},
      {"r", &Failure, true, mbRetry},
      {"Ignore", &Failure, true, mbIgnore},
      {"", &Overwrite, false, mbYes},
      {"maybe", &Overwrite, false, mbYes},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Answer);
    TMsgDlgBtn Button = mbCancel;
    EXPECT_EQ(ButtonForAnswer(C.Answer, *C.Buttons, Button), C.Found);
    if (C.Found) {
      EXPECT_EQ(Button, C.Expected);
    }
  }
}

// Every button of a dialog needs a key of its own.
TEST(ButtonKey, DistinctWithinEachDialog) {
  const TMsgDlgButtons Dialogs[] = {
      {mbYes, mbNo, mbNoToAll, mbYesToAll}, {mbAbort, mbRetry, mbIgnore}, {mbOK, mbCancel}};
  for (const TMsgDlgButtons& Buttons : Dialogs)
    for (size_t I = 0; I < Buttons.size(); ++I)
      for (size_t J = I + 1; J < Buttons.size(); ++J)
        EXPECT_STRNE(ButtonKey(Buttons[I]), ButtonKey(Buttons[J]));
}

}  // namespace
