#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

// Dialogs for tests: answers come from a script, every call is recorded.
// Installed for its lifetime; the dialogs installed before come back after.
// A dialog without a scripted answer, an answer of the wrong kind, or a
// message result that none of the shown buttons gives fails the test and
// answers as if the user closed the dialog. Answers left unused when the
// object goes away fail the test too: the dialog they were meant for never
// came.
class TScriptedDialogs : public IDialogs {
 public:
  enum TCallKind { ckMessage, ckInput };

  struct TCall {
    TCallKind Kind = ckMessage;
    // MessageDlg.
    std::string Text;
    TMsgDlgButtons Buttons;
    // InputQuery.
    std::string Caption;
    std::string Prompt;
    std::string InitialValue;
    bool Masked = false;
  };

  TScriptedDialogs();
  ~TScriptedDialogs() override;
  TScriptedDialogs(const TScriptedDialogs&) = delete;
  TScriptedDialogs& operator=(const TScriptedDialogs&) = delete;

  // The next message dialog returns Result (mrCancel: the user closed it).
  void AnswerMessage(TModalResult Result);
  // The next input dialog answers OK with Text, or Cancel.
  void AnswerInput(bool Ok, const std::string& Text = {});

  const std::vector<TCall>& Calls() const { return FCalls; }
  size_t PendingAnswers() const { return FAnswers.size(); }

  TModalResult MessageDlg(const std::string& Text, const TMsgDlgButtons& Buttons) override;
  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value, bool Masked) override;

 private:
  struct TAnswer {
    TCallKind Kind;
    TModalResult Result;
    bool Ok;
    std::string Text;
  };

  // The next answer of Kind; false (after reporting) when there is none.
  bool Take(TCallKind Kind, TAnswer& Answer);

  IDialogs* FPrevious;
  std::deque<TAnswer> FAnswers;
  std::vector<TCall> FCalls;
};
