#include "app/Controls.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QToolButton>

TBrowseEdit::TBrowseEdit(TBrowseKind Kind, const QString& NameFilter, QWidget* Parent)
    : QWidget(Parent), FKind(Kind), FNameFilter(NameFilter) {
  FEdit = new QLineEdit(this);
  FEdit->setObjectName("Edit");
  FButton = new QToolButton(this);
  FButton->setObjectName("Browse");
  FButton->setText("...");
  FButton->setToolTip(Kind == bkFile ? "Choose the archive" : "Choose the output folder");
  // Clicks on the field land in the edit, and so does the focus the tab order
  // gives the field.
  setFocusProxy(FEdit);
  connect(FButton, &QToolButton::clicked, this, &TBrowseEdit::Browse);
}

QString TBrowseEdit::Text() const { return FEdit->text(); }

void TBrowseEdit::SetText(const QString& Value) { FEdit->setText(Value); }

void TBrowseEdit::resizeEvent(QResizeEvent*) {
  // The button is square, as high as the field.
  const int H = height();
  FEdit->setGeometry(0, 0, width() - H - 2, H);
  FButton->setGeometry(width() - H, 0, H, H);
}

void TBrowseEdit::Browse() {
  QFileDialog Dialog(window());
  const QFileInfo Current(Text());
  if (FKind == bkFile) {
    Dialog.setWindowTitle("Open");
    Dialog.setFileMode(QFileDialog::ExistingFile);
    Dialog.setNameFilter(FNameFilter);
    if (Current.isFile()) {
      Dialog.setDirectory(Current.absolutePath());
      Dialog.selectFile(Current.fileName());
    } else if (Current.dir().exists()) {
      Dialog.setDirectory(Current.dir());
    }
  } else {
    Dialog.setWindowTitle("Select folder");
    Dialog.setFileMode(QFileDialog::Directory);
    Dialog.setOption(QFileDialog::ShowDirsOnly);
    if (Current.isDir()) Dialog.setDirectory(Current.absoluteFilePath());
  }
  if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return;
  SetText(QDir::toNativeSeparators(Dialog.selectedFiles().first()));
}

TStatusBar::TStatusBar(QWidget* Parent) : QStatusBar(Parent) {
  setSizeGripEnabled(false);
  FLabel = new QLabel(this);
  addWidget(FLabel, 1);
}
