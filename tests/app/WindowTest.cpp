#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <limits>

#include "app/Controls.h"
#include "app/Main.h"
#include "app/QtDialogs.h"
#include "app/RunRules.h"
#include "support/TempFolder.h"

namespace {

QWidget* Control(const TSalvor& W, const char* Name) { return W.findChild<QWidget*>(Name); }

QStringList LogLines(const TSalvor& W) {
  return W.findChild<QPlainTextEdit*>("m")->toPlainText().split('\n');
}

QString StatusText(const TSalvor& W) { return W.findChild<TStatusBar*>("sb")->SimpleText(); }

// The line as LogMessage writes it at Time.
QString LogLineAt(const QTime& Time, const QString& Text) {
  return QLocale::system().toString(Time, TSalvor::TimeOfDayFormat()) + "> " + Text;
}

// The named control Widget belongs to ("fn" for the edit inside it).
QString NamedOwner(QWidget* Widget, const TSalvor& W) {
  for (QWidget* P = Widget; P && P != &W; P = P->parentWidget())
    if (P->parentWidget() == &W) return P->objectName();
  return QString();
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ControlsHaveTheirGeometryAndText_data();
  void ControlsHaveTheirGeometryAndText();
  void WindowIsFixedTitledAndCentred();
  void TabOrderFollowsTheTable();
  void OutputFolderStartsAtHome();
  void FileFieldBrowsesForZipFiles();
  void FolderFieldBrowsesForFolders();
  void NoticeCoversTheControlsUntilAccept();
  void LogPutsNewestLineOnTopWithTimeOfDay();
  void TimeFormatLosesOnlyTheZone_data();
  void TimeFormatLosesOnlyTheZone();
  void TimeOfDayShowsNoZoneInAnyLocale();
  void ProgressRoundsHalfToEven_data();
  void ProgressRoundsHalfToEven();
  void ProgressHandlersSetBarsAndCancel();
  void OnlyOverallProgressProcessesEvents();
  void FailureIsLoggedAndActionLeftAlone();
  void DamagedFileIsOneLine();
  void ComponentIsConfigured();
  void ArchivePathRule_data();
  void ArchivePathRule();
};

void WindowTest::ControlsHaveTheirGeometryAndText_data() {
  QTest::addColumn<QString>("Name");
  QTest::addColumn<QString>("Kind");
  QTest::addColumn<QRect>("Geometry");  // width 0: only the position is fixed
  QTest::addColumn<QString>("Text");

  QTest::newRow("Label1") << "Label1"
                          << "QLabel" << QRect(16, 18, 0, 0) << "ZIP file:";
  QTest::newRow("fn") << "fn"
                      << "TBrowseEdit" << QRect(104, 16, 409, 21) << "";
  QTest::newRow("pb") << "pb"
                      << "QProgressBar" << QRect(104, 112, 409, 9) << "0";
  QTest::newRow("Label2") << "Label2"
                          << "QLabel" << QRect(16, 50, 0, 0) << "Files to Extract";
  QTest::newRow("emask") << "emask"
                         << "QLineEdit" << QRect(104, 48, 249, 19) << "*.*";
  QTest::newRow("Button1") << "Button1"
                           << "TButton" << QRect(16, 112, 75, 25) << "Start";
  QTest::newRow("Label3") << "Label3"
                          << "QLabel" << QRect(16, 84, 0, 0) << "Output directory";
  QTest::newRow("dout") << "dout"
                        << "TBrowseEdit" << QRect(104, 80, 409, 21) << QString();
  QTest::newRow("pb2") << "pb2"
                       << "QProgressBar" << QRect(104, 128, 409, 9) << "0";
  QTest::newRow("sb") << "sb"
                      << "TStatusBar" << QRect(0, 269, 533, 19) << "Ready.";
  QTest::newRow("bacc") << "bacc"
                        << "QPushButton" << QRect(432, 272, 99, 17) << "Accept";
}

void WindowTest::ControlsHaveTheirGeometryAndText() {
  QFETCH(QString, Name);
  QFETCH(QString, Kind);
  QFETCH(QRect, Geometry);
  QFETCH(QString, Text);
  TSalvor W;
  QWidget* C = W.findChild<QWidget*>(Name);
  QVERIFY(C);
  QCOMPARE(C->parentWidget(), &W);
  QVERIFY(C->inherits(Kind.toLatin1()));
  if (Geometry.width() == 0)
    QCOMPARE(C->pos(), Geometry.topLeft());
  else
    QCOMPARE(C->geometry(), Geometry);

  if (auto* Label = qobject_cast<QLabel*>(C)) {
    QCOMPARE(Label->text(), Text);
    // The caption ends before its field begins.
    QVERIFY(C->geometry().right() < 104);
  } else if (auto* Edit = qobject_cast<TBrowseEdit*>(C)) {
    if (!Text.isNull()) QCOMPARE(Edit->Text(), Text);
  } else if (auto* Line = qobject_cast<QLineEdit*>(C)) {
    QCOMPARE(Line->text(), Text);
  } else if (auto* Bar = qobject_cast<QProgressBar*>(C)) {
    QCOMPARE(Bar->minimum(), 0);
    QCOMPARE(Bar->maximum(), 100);
    QCOMPARE(QString::number(Bar->value()), Text);
  } else if (auto* Button = qobject_cast<QPushButton*>(C)) {
    QCOMPARE(Button->text(), Text);
  } else if (auto* Bar = qobject_cast<TStatusBar*>(C)) {
    QCOMPARE(Bar->SimpleText(), Text);
  }
}

void WindowTest::WindowIsFixedTitledAndCentred() {
  TSalvor W;
  W.show();
  QVERIFY(QTest::qWaitForWindowExposed(&W));
  QCOMPARE(W.windowTitle(), QString("Salvor - ZIP Recovery"));
  QCOMPARE(W.size(), QSize(533, 288));
  QCOMPARE(W.minimumSize(), QSize(533, 288));
  QCOMPARE(W.maximumSize(), QSize(533, 288));
  QVERIFY(!(W.windowFlags() & Qt::WindowMinimizeButtonHint));
  QVERIFY(!(W.windowFlags() & Qt::WindowMaximizeButtonHint));
  QVERIFY(W.windowFlags() & Qt::WindowCloseButtonHint);
  const QPoint Centre = W.screen()->availableGeometry().center();
  QVERIFY2((W.geometry().center() - Centre).manhattanLength() <= 2,
           qPrintable(QString("window centre %1,%2, desktop centre %3,%4")
                          .arg(W.geometry().center().x())
                          .arg(W.geometry().center().y())
                          .arg(Centre.x())
                          .arg(Centre.y())));
}

void WindowTest::TabOrderFollowsTheTable() {
  TSalvor W;
  W.show();
  W.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&W));
  W.findChild<TBrowseEdit*>("fn")->Edit()->setFocus();
  QStringList Visited;
  for (int I = 0; I < 9; ++I) {
    QWidget* Focus = QApplication::focusWidget();
    QVERIFY(Focus);
    QString Name = NamedOwner(Focus, W);
    if (qobject_cast<QToolButton*>(Focus)) Name += ".browse";
    Visited << Name;
    QTest::keyClick(Focus, Qt::Key_Tab);
  }
  // Progress bars (orders 1 and 5) take no focus; the notice is showing, so
  // Accept is reachable.
  QCOMPARE(Visited,
           QStringList({"fn", "fn.browse", "emask", "Button1", "dout", "dout.browse", "m", "bacc", "fn"}));
  // The bars sit at their places in the chain all the same.
  QStringList Chain;
  QWidget* P = W.findChild<QWidget*>("fn");
  for (int I = 0; I < 40 && Chain.size() < 8; ++I, P = P->nextInFocusChain())
    if (P->parentWidget() == &W && P->objectName() != "sb" && !qobject_cast<QLabel*>(P) &&
        !Chain.contains(P->objectName()))
      Chain << P->objectName();
  QCOMPARE(Chain, QStringList({"fn", "pb", "emask", "Button1", "dout", "pb2", "m", "bacc"}));
}

void WindowTest::OutputFolderStartsAtHome() {
  TSalvor W;
  QCOMPARE(W.findChild<TBrowseEdit*>("dout")->Text(), QDir::toNativeSeparators(QDir::homePath()));
  QVERIFY(!W.findChild<TBrowseEdit*>("dout")->Text().isEmpty());
}

void WindowTest::FileFieldBrowsesForZipFiles() {
  TTempFolder Temp;
  Temp.WriteFile("salvage me.zip", "PK");
  TSalvor W;
  W.show();
  auto* Field = W.findChild<TBrowseEdit*>("fn");
  Field->SetText(QString::fromStdString(Temp.Path()) + "/");
  QStringList Filters;
  QFileDialog::FileMode Mode = QFileDialog::AnyFile;
  QTimer::singleShot(0, [&] {
    auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!Dialog) return;
    Filters = Dialog->nameFilters();
    Mode = Dialog->fileMode();
    Dialog->selectFile(QString::fromStdString(Temp / "salvage me.zip"));
    static_cast<QDialog*>(Dialog)->accept();
  });
  QTest::mouseClick(Field->BrowseButton(), Qt::LeftButton);
  QCOMPARE(Filters, QStringList("ZIP files (*.zip)"));
  QCOMPARE(Mode, QFileDialog::ExistingFile);
  QCOMPARE(Field->Text(), QString::fromStdString(Temp / "salvage me.zip"));
}

void WindowTest::FolderFieldBrowsesForFolders() {
  TTempFolder Temp;
  QDir(QString::fromStdString(Temp.Path())).mkdir("out");
  TSalvor W;
  W.show();
  auto* Field = W.findChild<TBrowseEdit*>("dout");
  Field->SetText(QString::fromStdString(Temp.Path()));
  QFileDialog::FileMode Mode = QFileDialog::AnyFile;
  bool DirsOnly = false;
  QTimer::singleShot(0, [&] {
    auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!Dialog) return;
    Mode = Dialog->fileMode();
    DirsOnly = Dialog->testOption(QFileDialog::ShowDirsOnly);
    Dialog->selectFile(QString::fromStdString(Temp / "out"));
    static_cast<QDialog*>(Dialog)->accept();
  });
  QTest::mouseClick(Field->BrowseButton(), Qt::LeftButton);
  QCOMPARE(Mode, QFileDialog::Directory);
  QVERIFY(DirsOnly);
  QCOMPARE(Field->Text(), QString::fromStdString(Temp / "out"));

  // Cancel keeps what was typed.
  QTimer::singleShot(0, [] {
    if (auto* Dialog = QApplication::activeModalWidget()) qobject_cast<QDialog*>(Dialog)->reject();
  });
  QTest::mouseClick(Field->BrowseButton(), Qt::LeftButton);
  QCOMPARE(Field->Text(), QString::fromStdString(Temp / "out"));
}

void WindowTest::NoticeCoversTheControlsUntilAccept() {
  TSalvor W;
  W.show();
  QVERIFY(QTest::qWaitForWindowExposed(&W));
  auto* M = W.findChild<QPlainTextEdit*>("m");
  auto* Accept = W.findChild<QPushButton*>("bacc");
  QCOMPARE(M->geometry(), QRect(0, 0, 533, 269));
  QVERIFY(M->toPlainText().contains("damaged"));
  QVERIFY(M->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn);
  QCOMPARE(M->frameShape(), QFrame::NoFrame);
  // Accept is in front of the notice, the notice in front of the inputs.
  QCOMPARE(W.childAt(Accept->geometry().center()), static_cast<QWidget*>(Accept));
  QCOMPARE(NamedOwner(W.childAt(Control(W, "Button1")->geometry().center()), W), QString("m"));

  QTest::mouseClick(Accept, Qt::LeftButton);
  QCOMPARE(M->geometry(), QRect(0, 152, 533, 117));
  QVERIFY(M->toPlainText().isEmpty());
  QVERIFY(Accept->isHidden());
  QCOMPARE(W.childAt(Control(W, "Button1")->geometry().center()), Control(W, "Button1"));
  QCOMPARE(NamedOwner(W.childAt(QPoint(266, 200)), W), QString("m"));
  QCOMPARE(StatusText(W), QString("Ready."));
}

void WindowTest::LogPutsNewestLineOnTopWithTimeOfDay() {
  TSalvor W;
  W.baccClick();
  const QTime Before = QTime::currentTime();
  W.LogMessage("Opening file: /tmp/a.zip");
  W.LogMessage("docs/readme.txt...");
  W.LogMessage("Done. Extracted files: 1");
  const QTime After = QTime::currentTime();
  const QStringList Lines = LogLines(W);
  QCOMPARE(Lines.size(), 3);
  const QStringList Texts = {"Done. Extracted files: 1", "docs/readme.txt...", "Opening file: /tmp/a.zip"};
  for (int I = 0; I < 3; ++I) {
    // The second may tick between the clock reads.
    const bool AtBefore = Lines[I] == LogLineAt(Before, Texts[I]);
    const bool AtAfter = Lines[I] == LogLineAt(After, Texts[I]);
    QVERIFY2(AtBefore || AtAfter, qPrintable(Lines[I]));
  }
  QCOMPARE(StatusText(W), QString("Done. Extracted files: 1"));
  // Hours, minutes and seconds are there.
  const QString Stamp = Lines[0].left(Lines[0].indexOf("> "));
  QVERIFY(QLocale::system().toTime(Stamp, TSalvor::TimeOfDayFormat()).isValid());
  QVERIFY(Stamp.contains(QString::asprintf("%02d", Before.second())) ||
          Stamp.contains(QString::asprintf("%02d", After.second())));
}

void WindowTest::TimeFormatLosesOnlyTheZone_data() {
  QTest::addColumn<QString>("Format");
  QTest::addColumn<QString>("Expected");
  QTest::newRow("zone after") << "HH:mm:ss t"
                              << "HH:mm:ss";
  QTest::newRow("am/pm and zone") << "h:mm:ss AP t"
                                  << "h:mm:ss AP";
  QTest::newRow("zone first") << "t HH:mm:ss"
                              << "HH:mm:ss";
  QTest::newRow("long zone") << "HH:mm:ss tttt"
                             << "HH:mm:ss";
  QTest::newRow("zone between") << "HH:mm:ss t 'Uhr'"
                                << "HH:mm:ss 'Uhr'";
  QTest::newRow("quoted t kept") << "'at' HH:mm:ss t"
                                 << "'at' HH:mm:ss";
  QTest::newRow("escaped quote") << "HH''mm''ss t"
                                 << "HH''mm''ss";
  QTest::newRow("no zone") << "HH:mm:ss"
                           << "HH:mm:ss";
}

void WindowTest::TimeFormatLosesOnlyTheZone() {
  QFETCH(QString, Format);
  QFETCH(QString, Expected);
  QCOMPARE(TimeFormatWithoutZone(Format), Expected);
}

void WindowTest::TimeOfDayShowsNoZoneInAnyLocale() {
  const QDateTime Now = QDateTime::currentDateTime();
  const QString Zone = Now.timeZoneAbbreviation();
  QVERIFY(!Zone.isEmpty());
  const QTime Time(23, 59, 58);
  for (const char* Name : {"en_US", "en_GB", "de_DE", "fr_FR", "ja_JP", "zh_CN", "tr_TR", "ko_KR", "C"}) {
    const QLocale Locale(Name);
    const QString Long = Locale.toString(Now.time(), QLocale::LongFormat);
    const QString Shown =
        Locale.toString(Time, TimeFormatWithoutZone(Locale.timeFormat(QLocale::LongFormat)));
    QVERIFY2(!Shown.contains(Zone), qPrintable(QString("%1: %2").arg(Name, Shown)));
    QVERIFY2(Shown.contains("58"), qPrintable(QString("%1: %2").arg(Name, Shown)));
    // The locale's own long text does carry the zone: that is what is left out.
    QVERIFY2(Long.contains(Zone), qPrintable(QString("%1: %2").arg(Name, Long)));
  }
}

void WindowTest::ProgressRoundsHalfToEven_data() {
  QTest::addColumn<double>("Progress");
  QTest::addColumn<int>("Position");
  QTest::newRow("12.5") << 12.5 << 12;
  QTest::newRow("13.5") << 13.5 << 14;
  QTest::newRow("0.5") << 0.5 << 0;
  QTest::newRow("99.5") << 99.5 << 100;
  QTest::newRow("33.3") << 100.0 / 3 << 33;
  QTest::newRow("66.7") << 200.0 / 3 << 67;
  QTest::newRow("above") << 250.0 << 100;
  QTest::newRow("below") << -3.0 << 0;
  QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
  QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 100;
}

void WindowTest::ProgressRoundsHalfToEven() {
  QFETCH(double, Progress);
  QFETCH(int, Position);
  QCOMPARE(ProgressPosition(Progress), Position);
}

void WindowTest::ProgressHandlersSetBarsAndCancel() {
  TSalvor W;
  W.baccClick();
  auto* Pb = W.findChild<QProgressBar*>("pb");
  auto* Pb2 = W.findChild<QProgressBar*>("pb2");
  bool Cancel = false;
  // Idle: the flag is 0, which reads as a stop request.
  W.zFileProgress(W.z(), "docs/readme.txt", 12.5, poExtract, ppStart, Cancel);
  QCOMPARE(Pb->value(), 12);
  QVERIFY(Cancel);
  QCOMPARE(LogLines(W).size(), 1);
  QVERIFY(LogLines(W)[0].endsWith("> docs/readme.txt..."));
  Cancel = false;
  W.zOverallProgress(W.z(), 13.5, poExtract, ppProcess, Cancel);
  QCOMPARE(Pb2->value(), 14);
  QVERIFY(Cancel);

  // Only ppStart writes a line.
  W.zFileProgress(W.z(), "docs/readme.txt", 50, poExtract, ppProcess, Cancel);
  W.zFileProgress(W.z(), "docs/readme.txt", 100, poExtract, ppEnd, Cancel);
  QCOMPARE(Pb->value(), 100);
  QCOMPARE(LogLines(W).size(), 1);
}

void WindowTest::OnlyOverallProgressProcessesEvents() {
  TQtPlatform Platform;
  TSalvor W;
  int Delivered = 0;
  QTimer::singleShot(0, [&] { ++Delivered; });
  bool Cancel = false;
  W.zFileProgress(W.z(), "a.txt", 10, poExtract, ppStart, Cancel);
  W.zFileProgress(W.z(), "a.txt", 20, poExtract, ppProcess, Cancel);
  QCOMPARE(Delivered, 0);
  W.zOverallProgress(W.z(), 20, poExtract, ppProcess, Cancel);
  QCOMPARE(Delivered, 1);
}

void WindowTest::FailureIsLoggedAndActionLeftAlone() {
  TSalvor W;
  W.baccClick();
  const std::string Message = "z: Cannot create file \"/out/readme.txt\" - Native error: 00019";
  for (TCVAction Preset : {fxaIgnore, fxaRetry, fxaAbort}) {
    TCVAction Action = Preset;
    W.zProcessFileFailure(W.z(), "readme.txt", poExtract, 19, 5, Message, Action);
    QCOMPARE(Action, Preset);
    QVERIFY(LogLines(W)[0].endsWith("> " + QString::fromStdString(Message)));
    QCOMPARE(StatusText(W), QString::fromStdString(Message));
  }
  QCOMPARE(LogLines(W).size(), 3);
}

void WindowTest::DamagedFileIsOneLine() {
  TSalvor W;
  W.baccClick();
  W.zDamagedFile(W.z(), "docs/report.txt", "CRC-32 mismatch: stored 0x1234ABCD, computed 0x0BADF00D");
  const QStringList Lines = LogLines(W);
  QCOMPARE(Lines.size(), 1);
  QVERIFY(Lines[0].contains("docs/report.txt"));
  QVERIFY(Lines[0].endsWith("CRC-32 mismatch: stored 0x1234ABCD, computed 0x0BADF00D"));
}

void WindowTest::ComponentIsConfigured() {
  TSalvor W;
  TCorvane& Z = W.z();
  QCOMPARE(Z.Name(), std::string("z"));
  QVERIFY(!Z.ExtractCorruptedFiles());
  QCOMPARE(Z.CompressionLevel(), clFastest);
  QCOMPARE(Z.CompressionMode(), uint8_t(1));
  QCOMPARE(Z.SpanningMode(), smNone);
  QVERIFY(Z.SpanningOptions().AdvancedNaming);
  QCOMPARE(Z.SpanningOptions().VolumeSize, vsAutoDetect);
  QVERIFY(Z.Options().FlushBuffers);
  QVERIFY(Z.Options().OEMFileNames);
  QVERIFY(!Z.InMemory());
  QCOMPARE(Z.Zip64Mode(), zmDisabled);
  QVERIFY(!Z.Active());
  QVERIFY(Z.OnFileProgress());
  QVERIFY(Z.OnOverallProgress());
  QVERIFY(Z.OnProcessFileFailure());
  QVERIFY(Z.OnDamagedFile());
  // Everything else keeps the component's own default.
  QVERIFY(!Z.OnConfirmOverwrite());
  QVERIFY(!Z.OnConfirmProcessFile());
  QVERIFY(!Z.AfterOpen());
  QVERIFY(!Z.OnPassword());
  QVERIFY(!Z.OnRequestBlankVolume());
  QVERIFY(!Z.OnRequestFirstVolume());
  QVERIFY(!Z.OnRequestLastVolume());
  QVERIFY(!Z.OnRequestMiddleVolume());
  QVERIFY(!Z.OnDiskFull());
  QVERIFY(!Z.OnStoreFile());
  QVERIFY(!Z.OnExtractFile());

  // The handlers reach the window.
  bool Cancel = false;
  Z.OnOverallProgress()(Z, 13.5, poExtract, ppProcess, Cancel);
  QCOMPARE(W.findChild<QProgressBar*>("pb2")->value(), 14);
}

void WindowTest::ArchivePathRule_data() {
  static TTempFolder Temp;
  const std::string Spaced = Temp.WriteFile("my archive.zip", "PK");
  const std::string Quoted = Temp.WriteFile("say \"hi\".zip", "PK");
  QTest::addColumn<QString>("Field");
  QTest::addColumn<QString>("Path");
  QTest::newRow("existing file with a blank")
      << QString::fromStdString(Spaced) << QString::fromStdString(Spaced);
  QTest::newRow("existing file with quotes")
      << QString::fromStdString(Quoted) << QString::fromStdString(Quoted);
  QTest::newRow("quoted, missing") << "\"/no such/dir/a b.zip\" extra"
                                   << "/no such/dir/a b.zip";
  QTest::newRow("first item") << "  /tmp/none.zip  /tmp/other.zip"
                              << "/tmp/none.zip";
  QTest::newRow("tab separates") << "/tmp/none.zip\t/tmp/x"
                                 << "/tmp/none.zip";
  QTest::newRow("quotes inside an item") << "/tmp/a\"b c\"d.zip e"
                                         << "/tmp/ab cd.zip";
  QTest::newRow("unclosed quote") << "\"/tmp/a b"
                                  << "/tmp/a b";
  QTest::newRow("blank") << "   "
                         << "";
  QTest::newRow("empty") << ""
                         << "";
  QTest::newRow("existing folder is split")
      << QString::fromStdString(Temp.Path()) + " x" << QString::fromStdString(Temp.Path());
}

void WindowTest::ArchivePathRule() {
  QFETCH(QString, Field);
  QFETCH(QString, Path);
  QCOMPARE(QString::fromStdString(ArchivePathOf(Field.toStdString())), Path);
}

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
