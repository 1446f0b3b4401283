#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The standard message and input dialogs, behind an interface so the window
// shows Qt dialogs, the CLI asks on the terminal and tests script the answers.

enum TMsgDlgBtn : uint8_t {
  mbYes = 0,
  mbNo = 1,
  mbOK = 2,
  mbCancel = 3,
  mbAbort = 4,
  mbRetry = 5,
  mbIgnore = 6,
  mbAll = 7,
  mbNoToAll = 8,
  mbYesToAll = 9,
};
using TMsgDlgButtons = std::vector<TMsgDlgBtn>;

enum TModalResult : int32_t {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrNoToAll = 9,
  mrYesToAll = 10,
  mrClose = 11,
};

// The caption shown for a button ("Yes", "No to All", ...), and the result
// pressing it gives.
const char* ButtonCaption(TMsgDlgBtn Button);
TModalResult ButtonResult(TMsgDlgBtn Button);

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // A confirmation dialog (question icon, title "Confirm") showing Text with
  // Buttons in the given order. Returns the button's result, or mrCancel when
  // the user closed the dialog.
  virtual TModalResult MessageDlg(const std::string& Text, const TMsgDlgButtons& Buttons) = 0;
  // A one-line input dialog. Value comes in as the field's initial text and
  // goes out as what was entered; returns true for OK, false for Cancel (Value
  // unchanged then). Masked hides what is typed.
  virtual bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value,
                          bool Masked) = 0;
};

// The process-wide dialogs. With none installed every dialog answers as if the
// user closed it (mrCancel; InputQuery false).
IDialogs& Dialogs();
// Installs Dialogs (nullptr: back to the headless default); returns the
// previous one, or nullptr for the default.
IDialogs* SetDialogs(IDialogs* NewDialogs);
