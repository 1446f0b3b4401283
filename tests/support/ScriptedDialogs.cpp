#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <algorithm>

TScriptedDialogs::TScriptedDialogs() : FPrevious(SetDialogs(this)) {}

TScriptedDialogs::~TScriptedDialogs() {
  SetDialogs(FPrevious);
  if (!FAnswers.empty()) ADD_FAILURE() << FAnswers.size() << " scripted dialog answer(s) never used";
}

void TScriptedDialogs::AnswerMessage(TModalResult Result) { FAnswers.push_back({ckMessage, Result, false, {}}); }

void TScriptedDialogs::AnswerInput(bool Ok, const std::string& Text) {
  FAnswers.push_back({ckInput, mrNone, Ok, Text});
}

bool TScriptedDialogs::Take(TCallKind Kind, TAnswer& Answer) {
  const char* What = Kind == ckMessage ? "message dialog" : "input dialog";
  if (FAnswers.empty()) {
    ADD_FAILURE() << "unscripted " << What;
    return false;
  }
  Answer = FAnswers.front();
  FAnswers.pop_front();
  if (Answer.Kind != Kind) {
    ADD_FAILURE() << "a " << What << " got an answer scripted for the other kind";
    return false;
  }
  return true;
}

TModalResult TScriptedDialogs::MessageDlg(const std::string& Text, const TMsgDlgButtons& Buttons) {
  TCall Call;
  Call.Kind = ckMessage;
  Call.Text = Text;
  Call.Buttons = Buttons;
  FCalls.push_back(Call);
  TAnswer Answer;
  if (!Take(ckMessage, Answer)) return mrCancel;
  // Closing the dialog is always possible; otherwise only a shown button
  // can be pressed.
  const bool Shown = std::any_of(Buttons.begin(), Buttons.end(),
                                 [&](TMsgDlgBtn B) { return ButtonResult(B) == Answer.Result; });
  if (Answer.Result != mrCancel && !Shown) {
    ADD_FAILURE() << "scripted result " << Answer.Result << " is not one of the buttons shown for: " << Text;
    return mrCancel;
  }
  return Answer.Result;
}

bool TScriptedDialogs::InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value,
                                  bool Masked) {
  TCall Call;
  Call.Kind = ckInput;
  Call.Caption = Caption;
  Call.Prompt = Prompt;
  Call.InitialValue = Value;
  Call.Masked = Masked;
  FCalls.push_back(Call);
  TAnswer Answer;
  if (!Take(ckInput, Answer) || !Answer.Ok) return false;
  Value = Answer.Text;
  return true;
}
