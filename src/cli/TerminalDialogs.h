#pragma once

#include <functional>
#include <string>

#include "platform/Dialogs.h"

// The standard dialogs on the controlling terminal. Without one (a script, a
// pipe, a service) every dialog answers as if the user closed it: Cancel.
// Texts are escaped before they are shown: they may carry archive names.
class TTerminalDialogs : public IDialogs {
 public:
  // BeforeAsk runs before anything is shown (the progress bars step aside).
  explicit TTerminalDialogs(std::function<void()> BeforeAsk = {});
  ~TTerminalDialogs() override;
  TTerminalDialogs(const TTerminalDialogs&) = delete;
  TTerminalDialogs& operator=(const TTerminalDialogs&) = delete;

  // Shows Text and the buttons with their keys ("y = Yes, N = No to All");
  // reads a key or a caption (any case). An unknown answer asks again, at most
  // three times; end of input or Ctrl-C closes the dialog (mrCancel).
  TModalResult MessageDlg(const std::string& Text, const TMsgDlgButtons& Buttons) override;
  // Shows Caption and Prompt and reads one line, without echo when Masked.
  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value,
                  bool Masked) override;

 private:
  std::function<void()> FBeforeAsk;
  IDialogs* FPrevious;
};

// The key that answers with Button on the terminal.
const char* ButtonKey(TMsgDlgBtn Button);
// The button Answer names among Buttons: its key exactly, or its caption
// ignoring ASCII case; false when none.
bool ButtonForAnswer(const std::string& Answer, const TMsgDlgButtons& Buttons, TMsgDlgBtn& Button);
