#include "cli/TerminalDialogs.h"

#include "cli/Escape.h"
#include "cli/Terminal.h"
#include "platform/Path.h"

namespace {

constexpr int MaxAttempts = 3;

std::string Trim(const std::string& S) {
  const size_t First = S.find_first_not_of(" \t");
  if (First == std::string::npos) return std::string();
  const size_t Last = S.find_last_not_of(" \t");
  return S.substr(First, Last - First + 1);
}

}  // namespace

const char* ButtonKey(TMsgDlgBtn Button) {
  switch (Button) {
    case mbYes:
      return "y";
    case mbNo:
      return "n";
    case mbOK:
      return "o";
    case mbCancel:
      return "c";
    case mbAbort:
      return "a";
    case mbRetry:
      return "r";
    case mbIgnore:
      return "i";
    case mbAll:
      return "all";
    case mbNoToAll:
      return "N";
    case mbYesToAll:
      return "A";
  }
  return "";
}

bool ButtonForAnswer(const std::string& Answer, const TMsgDlgButtons& Buttons, TMsgDlgBtn& Button) {
  const std::string Given = Trim(Answer);
  if (Given.empty()) return false;
  for (TMsgDlgBtn B : Buttons)
    if (Given == ButtonKey(B)) {
      Button = B;
      return true;
    }
  for (TMsgDlgBtn B : Buttons)
    if (SameTextAscii(Given, ButtonCaption(B))) {
      Button = B;
      return true;
    }
  return false;
}

TTerminalDialogs::TTerminalDialogs(std::function<void()> BeforeAsk)
    : FBeforeAsk(std::move(BeforeAsk)), FPrevious(SetDialogs(this)) {}

TTerminalDialogs::~TTerminalDialogs() { SetDialogs(FPrevious); }

TModalResult TTerminalDialogs::MessageDlg(const std::string& Text, const TMsgDlgButtons& Buttons) {
  if (Buttons.empty() || !CanAskUser()) return mrCancel;
  if (FBeforeAsk) FBeforeAsk();
  std::string Choices;
  for (TMsgDlgBtn B : Buttons) {
    if (!Choices.empty()) Choices += ", ";
    Choices += ButtonKey(B);
    Choices += " = ";
    Choices += ButtonCaption(B);
  }
  const std::string Prompt = EscapeForDisplay(Text) + "? (" + Choices + "): ";
  for (int Attempt = 0; Attempt < MaxAttempts; ++Attempt) {
    std::string Answer;
    if (AskUser(Prompt, false, Answer) != taAnswered) return mrCancel;
    TMsgDlgBtn Button;
    if (ButtonForAnswer(Answer, Buttons, Button)) return ButtonResult(Button);
  }
  return mrCancel;
}

bool TTerminalDialogs::InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value,
                                  bool Masked) {
  if (!CanAskUser()) return false;
  if (FBeforeAsk) FBeforeAsk();
  std::string Line;
  if (AskUser(EscapeForDisplay(Caption) + ". " + EscapeForDisplay(Prompt), Masked, Line) != taAnswered)
    return false;
  Value = std::move(Line);
  return true;
}
