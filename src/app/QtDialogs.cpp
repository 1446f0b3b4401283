#include "app/QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <utility>
#include <vector>

#include "platform/Lock.h"

namespace {

QString FromString(const std::string& Text) { return QString::fromStdString(Text); }

}  // namespace

TModalResult TQtDialogs::MessageDlg(const std::string& Text, const TMsgDlgButtons& Buttons) {
  QMessageBox Box(QMessageBox::Question, "Confirm", FromString(Text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  std::vector<std::pair<QPushButton*, TMsgDlgBtn>> Shown;
  for (TMsgDlgBtn Button : Buttons) {
    // One role for all keeps the box from reordering them by role.
    QPushButton* Pushed = Box.addButton(ButtonCaption(Button), QMessageBox::ActionRole);
    Shown.emplace_back(Pushed, Button);
  }
  if (!Shown.empty()) Box.setDefaultButton(Shown.front().first);
  for (TMsgDlgBtn Escape : {mbCancel, mbNo, mbAbort}) {
    auto It = std::find_if(Shown.begin(), Shown.end(), [&](const auto& P) { return P.second == Escape; });
    if (It != Shown.end()) {
      Box.setEscapeButton(It->first);
      break;
    }
  }
  Box.exec();
  for (const auto& [Pushed, Button] : Shown)
    if (Box.clickedButton() == Pushed) return ButtonResult(Button);
  return mrCancel;
}

bool TQtDialogs::InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value,
                            bool Masked) {
  QInputDialog Dialog(QApplication::activeWindow());
  Dialog.setInputMode(QInputDialog::TextInput);
  Dialog.setWindowTitle(FromString(Caption));
  Dialog.setLabelText(FromString(Prompt));
  Dialog.setTextValue(FromString(Value));
  Dialog.setTextEchoMode(Masked ? QLineEdit::Password : QLineEdit::Normal);
  if (Dialog.exec() != QDialog::Accepted) return false;
  Value = Dialog.textValue().toStdString();
  return true;
}

TQtPlatform::TQtPlatform()
    : FPreviousDialogs(SetDialogs(&FDialogs)),
      FPreviousHook(SetProcessMessagesHook([] { QCoreApplication::processEvents(); })) {}

TQtPlatform::~TQtPlatform() {
  SetProcessMessagesHook(std::move(FPreviousHook));
  SetDialogs(FPreviousDialogs);
}
