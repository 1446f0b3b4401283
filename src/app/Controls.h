#pragma once

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QString>
#include <QWidget>
#include <cstdint>

class QLineEdit;
class QToolButton;

// A push button with an integer Tag the window keeps its run flag in.
class TButton : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;

  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value) { FTag = Value; }

 private:
  int32_t FTag = 0;
};

// A line edit with a browse button beside it: a file-open dialog with one
// name filter, or a folder chooser. The dialog starts where the text points
// and a chosen path replaces the text.
class TBrowseEdit : public QWidget {
  Q_OBJECT

 public:
  enum TBrowseKind : uint8_t { bkFile = 0, bkFolder = 1 };

  // NameFilter is used by bkFile only ("ZIP files (*.zip)").
  TBrowseEdit(TBrowseKind Kind, const QString& NameFilter, QWidget* Parent);

  QString Text() const;
  void SetText(const QString& Value);
  QLineEdit* Edit() const { return FEdit; }
  QToolButton* BrowseButton() const { return FButton; }

  // Opens the dialog; modal.
  void Browse();

 protected:
  void resizeEvent(QResizeEvent* Event) override;

 private:
  TBrowseKind FKind;
  QString FNameFilter;
  QLineEdit* FEdit;
  QToolButton* FButton;
};

// A status bar showing one text that stays until the next one. QStatusBar's
// own messages are cleared by status tips (a context menu's), so the text
// lives in a label.
class TStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit TStatusBar(QWidget* Parent);

  QString SimpleText() const { return FLabel->text(); }
  void SetSimpleText(const QString& Value) { FLabel->setText(Value); }

 private:
  QLabel* FLabel;
};
