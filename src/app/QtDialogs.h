#pragma once

#include <functional>
#include <string>

#include "platform/Dialogs.h"

// The component's standard dialogs as Qt dialogs, parented to the active
// window.
class TQtDialogs : public IDialogs {
 public:
  // A question box titled "Confirm" with exactly Buttons, captioned as
  // ButtonCaption gives them, left to right in the given order; the first is
  // the default. Escape presses Cancel, or No, or Abort, whichever is shown
  // first in that list; closing the box without a button gives mrCancel.
  TModalResult MessageDlg(const std::string& Text, const TMsgDlgButtons& Buttons) override;
  // An input box titled Caption with the label Prompt and Value as its text;
  // Masked shows the typed characters as dots.
  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value,
                  bool Masked) override;
};

// What the window needs from the platform layer while it lives: the Qt
// dialogs, and ProcessMessages pointed at Qt's event loop. Both are put back
// as they were when this object goes.
class TQtPlatform {
 public:
  TQtPlatform();
  ~TQtPlatform();
  TQtPlatform(const TQtPlatform&) = delete;
  TQtPlatform& operator=(const TQtPlatform&) = delete;

 private:
  TQtDialogs FDialogs;
  IDialogs* FPreviousDialogs;
  std::function<void()> FPreviousHook;
};
