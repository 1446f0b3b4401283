#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/QtDialogs.h"
#include "platform/Dialogs.h"
#include "platform/Lock.h"

Q_DECLARE_METATYPE(TMsgDlgButtons)

namespace {

// Runs Act on the dialog that is about to be shown, once it is the active
// modal widget.
void WhenDialogShows(std::function<void(QWidget*)> Act) {
  auto* Poll = new QTimer;
  Poll->setInterval(10);
  QObject::connect(Poll, &QTimer::timeout, [Poll, Act] {
    if (QWidget* Modal = QApplication::activeModalWidget()) {
      Poll->stop();
      Poll->deleteLater();
      Act(Modal);
    }
  });
  Poll->start();
}

struct TSeenBox {
  QString Title;
  QString Text;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  QStringList Buttons;  // left to right
  QString Escape;
  QString Default;
};

TSeenBox Inspect(QMessageBox* Box) {
  TSeenBox Seen;
  Seen.Title = Box->windowTitle();
  Seen.Text = Box->text();
  Seen.Icon = Box->icon();
  QList<QAbstractButton*> Buttons = Box->buttons();
  std::sort(Buttons.begin(), Buttons.end(), [](QAbstractButton* A, QAbstractButton* B) {
    return A->mapToGlobal(QPoint()).x() < B->mapToGlobal(QPoint()).x();
  });
  for (QAbstractButton* B : Buttons) Seen.Buttons << B->text();
  if (Box->escapeButton()) Seen.Escape = Box->escapeButton()->text();
  if (Box->defaultButton()) Seen.Default = Box->defaultButton()->text();
  return Seen;
}

QAbstractButton* ButtonCaptioned(QMessageBox* Box, const QString& Caption) {
  for (QAbstractButton* B : Box->buttons())
    if (B->text() == Caption) return B;
  return nullptr;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void MessageBoxShowsTextAndButtons_data();
  void MessageBoxShowsTextAndButtons();
  void EveryButtonGivesItsResult();
  void PasswordIsMaskedAndAnswered();
  void CancelledInputKeepsValue();
  void PlatformInstallsAndRestores();
};

void DialogsTest::MessageBoxShowsTextAndButtons_data() {
  QTest::addColumn<QString>("Text");
  QTest::addColumn<TMsgDlgButtons>("Buttons");
  QTest::addColumn<QStringList>("Captions");
  QTest::addColumn<QString>("Escape");
  QTest::addColumn<int>("EscapeResult");
  QTest::newRow("overwrite") << "Overwrite file \"/out/a.txt\" with \"a.txt\""
                             << TMsgDlgButtons{mbYes, mbNo, mbNoToAll, mbYesToAll}
                             << QStringList{"Yes", "No", "No to All", "Yes to All"} << "No" << int(mrNo);
  QTest::newRow("volume") << "Please insert disk #2" << TMsgDlgButtons{mbOK, mbCancel}
                          << QStringList{"OK", "Cancel"} << "Cancel" << int(mrCancel);
  QTest::newRow("failure") << "z: Stream read error. File processing error, possibly disk is full"
                           << TMsgDlgButtons{mbAbort, mbRetry, mbIgnore}
                           << QStringList{"Abort", "Retry", "Ignore"} << "Abort" << int(mrAbort);
}

void DialogsTest::MessageBoxShowsTextAndButtons() {
  QFETCH(QString, Text);
  QFETCH(TMsgDlgButtons, Buttons);
  QFETCH(QStringList, Captions);
  QFETCH(QString, Escape);
  QFETCH(int, EscapeResult);
  TQtDialogs Dialogs;
  TSeenBox Seen;
  WhenDialogShows([&](QWidget* Modal) {
    auto* Box = qobject_cast<QMessageBox*>(Modal);
    if (!Box) return;
    Seen = Inspect(Box);
    QTest::keyClick(Box, Qt::Key_Escape);
  });
  const TModalResult Result = Dialogs.MessageDlg(Text.toStdString(), Buttons);
  QCOMPARE(Seen.Title, QString("Confirm"));
  QCOMPARE(Seen.Text, Text);
  QCOMPARE(Seen.Icon, QMessageBox::Question);
  QCOMPARE(Seen.Buttons, Captions);
  QCOMPARE(Seen.Escape, Escape);
  QCOMPARE(Seen.Default, Captions.first());
  QCOMPARE(int(Result), EscapeResult);
}

void DialogsTest::EveryButtonGivesItsResult() {
  TQtDialogs Dialogs;
  const TMsgDlgButtons All = {mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbNoToAll, mbYesToAll};
  for (TMsgDlgBtn Button : All) {
    const QString Caption = ButtonCaption(Button);
    bool Clicked = false;
    WhenDialogShows([&](QWidget* Modal) {
      auto* Box = qobject_cast<QMessageBox*>(Modal);
      if (QAbstractButton* B = Box ? ButtonCaptioned(Box, Caption) : nullptr) {
        Clicked = true;
        QTest::mouseClick(B, Qt::LeftButton);
      }
    });
    const TModalResult Result = Dialogs.MessageDlg("Which?", All);
    QVERIFY2(Clicked, qPrintable(Caption));
    QCOMPARE(int(Result), int(ButtonResult(Button)));
  }
}

void DialogsTest::PasswordIsMaskedAndAnswered() {
  TQtDialogs Dialogs;
  QString Title, Label, Initial;
  QLineEdit::EchoMode Echo = QLineEdit::Normal;
  WhenDialogShows([&](QWidget* Modal) {
    auto* Input = qobject_cast<QInputDialog*>(Modal);
    if (!Input) return;
    Title = Input->windowTitle();
    Label = Input->labelText();
    Initial = Input->textValue();
    Echo = Input->textEchoMode();
    Input->setTextValue("s3cret é");
    Input->accept();
  });
  std::string Value = "old";
  QVERIFY(Dialogs.InputQuery("Password for \"docs/a.txt\"", "Enter password: ", Value, true));
  QCOMPARE(Title, QString("Password for \"docs/a.txt\""));
  QCOMPARE(Label, QString("Enter password: "));
  QCOMPARE(Initial, QString("old"));
  QCOMPARE(Echo, QLineEdit::Password);
  QCOMPARE(Value, std::string("s3cret \xC3\xA9"));
}

void DialogsTest::CancelledInputKeepsValue() {
  TQtDialogs Dialogs;
  WhenDialogShows([](QWidget* Modal) {
    if (auto* Input = qobject_cast<QInputDialog*>(Modal)) {
      Input->setTextValue("typed");
      QTest::keyClick(Input, Qt::Key_Escape);
    }
  });
  std::string Value = "old";
  QVERIFY(!Dialogs.InputQuery("Password for \"a\"", "Enter password: ", Value, true));
  QCOMPARE(Value, std::string("old"));
}

void DialogsTest::PlatformInstallsAndRestores() {
  IDialogs* Before = &Dialogs();
  int Delivered = 0;
  {
    TQtPlatform Platform;
    QVERIFY(dynamic_cast<TQtDialogs*>(&Dialogs()));
    QTimer::singleShot(0, [&] { ++Delivered; });
    ProcessMessages();
    QCOMPARE(Delivered, 1);
  }
  QCOMPARE(&Dialogs(), Before);
  QTimer::singleShot(0, [&] { ++Delivered; });
  ProcessMessages();
  QCOMPARE(Delivered, 1);
  QCoreApplication::processEvents();
  QCOMPARE(Delivered, 2);
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
