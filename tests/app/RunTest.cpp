#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <cerrno>
#include <random>

#include "app/Controls.h"
#include "app/Main.h"
#include "app/QtDialogs.h"
#include "platform/Dialogs.h"
#include "platform/Exceptions.h"
#include "support/TempFolder.h"

namespace {

// Any dialog during these runs is a fault: the window handles what a run
// needs, and nothing here is encrypted or split. Records it and answers as if
// closed.
class TNoDialogs : public IDialogs {
 public:
  TNoDialogs() : FPrevious(SetDialogs(this)) {}
  ~TNoDialogs() override { SetDialogs(FPrevious); }
  TModalResult MessageDlg(const std::string& Text, const TMsgDlgButtons&) override {
    Shown << QString::fromStdString(Text);
    return mrCancel;
  }
  bool InputQuery(const std::string& Caption, const std::string&, std::string&, bool) override {
    Shown << QString::fromStdString(Caption);
    return false;
  }
  QStringList Shown;

 private:
  IDialogs* FPrevious;
};

// The log's lines without their time of day, newest first.
QStringList LogTexts(const TSalvor& W) {
  QStringList Texts;
  for (const QString& Line : W.findChild<QPlainTextEdit*>("m")->toPlainText().split('\n'))
    Texts << Line.mid(Line.indexOf("> ") + 2);
  return Texts;
}

std::string PseudoRandomBytes(size_t Size) {
  std::mt19937 Gen(20240611);
  std::string Bytes(Size, '\0');
  for (char& C : Bytes) C = static_cast<char>(Gen() & 0xFF);
  return Bytes;
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void RunOnSmallArchive();
  void BlankPathBeforeAccept();
  void NotAnArchive();
  void EventsRunOnceAfterTheOpeningLine();
  void MissingArchiveIsNotCreated();
  void StopFromProgressHandlerDeletesPartialFile();
  void ClickAfterStopStartsNoSecondRun();
  void CloseDuringRunWaitsForIt();

 private:
  // Zips the files below Source (created from Files) into Name with the zip
  // command; "" and a skip when zip is missing.
  QString MakeZip(const QString& Name, const QList<QPair<QString, std::string>>& Files, bool Store);
  void SetFields(TSalvor& W, const QString& Archive, const QString& Out, const QString& Mask = "*.*");

  std::unique_ptr<TTempFolder> FTemp;
  std::unique_ptr<TQtPlatform> FPlatform;
  std::unique_ptr<TNoDialogs> FNoDialogs;
};

void RunTest::init() {
  FTemp = std::make_unique<TTempFolder>();
  FPlatform = std::make_unique<TQtPlatform>();
  FNoDialogs = std::make_unique<TNoDialogs>();
}

void RunTest::cleanup() {
  if (FNoDialogs) QVERIFY2(FNoDialogs->Shown.isEmpty(), qPrintable(FNoDialogs->Shown.join(" | ")));
  FNoDialogs.reset();
  FPlatform.reset();
  FTemp.reset();
}

QString RunTest::MakeZip(const QString& Name, const QList<QPair<QString, std::string>>& Files, bool Store) {
  const QString Zip = QStandardPaths::findExecutable("zip");
  if (Zip.isEmpty()) return QString();
  const QString Source = QString::fromStdString(*FTemp / "source");
  QStringList Args = {"-q", "-r", "-X"};
  if (Store) Args << "-0";
  Args << QString::fromStdString(*FTemp / Name.toStdString());
  for (const auto& [Path, Bytes] : Files) {
    QDir(Source).mkpath(QFileInfo(Source + "/" + Path).path());
    QFile F(Source + "/" + Path);
    if (!F.open(QIODevice::WriteOnly)) return QString();
    F.write(Bytes.data(), qint64(Bytes.size()));
    // Folders go in by name, so zip stores an entry for each of them.
    const QString Top = Path.section('/', 0, 0);
    if (!Args.contains(Top)) Args << Top;
  }
  QProcess P;
  P.setWorkingDirectory(Source);
  P.start(Zip, Args);
  if (!P.waitForFinished(60000) || P.exitCode() != 0) return QString();
  return QString::fromStdString(*FTemp / Name.toStdString());
}

void RunTest::SetFields(TSalvor& W, const QString& Archive, const QString& Out, const QString& Mask) {
  W.findChild<TBrowseEdit*>("fn")->SetText(Archive);
  W.findChild<TBrowseEdit*>("dout")->SetText(Out);
  W.findChild<QLineEdit*>("emask")->setText(Mask);
}

void RunTest::RunOnSmallArchive() {
  const QString Archive = MakeZip(
      "small archive.zip", {{"readme.txt", "read me\n"}, {"docs/guide.txt", std::string(5000, 'g')}}, false);
  if (Archive.isEmpty()) QSKIP("zip is not available");
  const QString Out = QString::fromStdString(*FTemp / "out");
  QDir().mkpath(Out);
  TSalvor W;
  W.baccClick();
  SetFields(W, Archive, Out);
  QTest::mouseClick(W.findChild<QPushButton*>("Button1"), Qt::LeftButton);

  const QStringList Texts = LogTexts(W);
  QVERIFY2(Texts.size() >= 2, qPrintable(Texts.join('\n')));
  // The entry zip stores for the folder is not counted.
  QCOMPARE(Texts.first(), QString("Done. Extracted files: 2"));
  QCOMPARE(Texts.last(), "Opening file: " + Archive);
  QVERIFY(Texts.contains("readme.txt..."));
  QCOMPARE(W.findChild<QPushButton*>("Button1")->text(), QString("Start"));
  QCOMPARE(W.RunFlag(), 0);
  QCOMPARE(W.findChild<QProgressBar*>("pb2")->value(), 100);
  QCOMPARE(QString::fromStdString(TTempFolder::ReadFile((Out + "/readme.txt").toStdString())),
           QString("read me\n"));
  QCOMPARE(TTempFolder::ReadFile((Out + "/docs/guide.txt").toStdString()), std::string(5000, 'g'));

  // A mask that matches nothing still reports the archive's count.
  QDir(Out).removeRecursively();
  QDir().mkpath(Out);
  W.findChild<QLineEdit*>("emask")->setText("*.none");
  QTest::mouseClick(W.findChild<QPushButton*>("Button1"), Qt::LeftButton);
  QCOMPARE(LogTexts(W), QStringList({"Done. Extracted files: 2", "Opening file: " + Archive}));
  QVERIFY(!QFile::exists(Out + "/readme.txt"));
}

void RunTest::BlankPathBeforeAccept() {
  TSalvor W;
  SetFields(W, "", QString::fromStdString(FTemp->Path()));
  auto* M = W.findChild<QPlainTextEdit*>("m");
  QTest::mouseClick(W.findChild<QPushButton*>("Button1"), Qt::LeftButton);
  // The notice is gone; the log is written into the full-window area.
  QCOMPARE(M->geometry(), QRect(0, 0, 533, 269));
  const QString Error = "z: File name is blank. Specify appropriate file name - Native error: 00009";
  QCOMPARE(LogTexts(W), QStringList({Error, "Opening file: "}));
  QCOMPARE(W.findChild<TStatusBar*>("sb")->SimpleText(), Error);
  QCOMPARE(W.findChild<QPushButton*>("Button1")->text(), QString("Start"));
  QCOMPARE(W.RunFlag(), 0);
  QVERIFY(!W.findChild<QPushButton*>("bacc")->isHidden());

  // Accept docks the log and clears it again.
  W.baccClick();
  QCOMPARE(M->geometry(), QRect(0, 152, 533, 117));
  QVERIFY(M->toPlainText().isEmpty());
}

void RunTest::NotAnArchive() {
  const std::string Path =
      FTemp->WriteFile("notes.zip", std::string(4096, 'x') + "no local header anywhere\n");
  TSalvor W;
  W.baccClick();
  SetFields(W, QString::fromStdString(Path), QString::fromStdString(FTemp->Path()));
  QTest::mouseClick(W.findChild<QPushButton*>("Button1"), Qt::LeftButton);
  QCOMPARE(LogTexts(W), QStringList({"Invalid archive file. - Native error: 00035",
                                     "Opening file: " + QString::fromStdString(Path)}));
  QCOMPARE(W.findChild<QPushButton*>("Button1")->text(), QString("Start"));
}

void RunTest::EventsRunOnceAfterTheOpeningLine() {
  TSalvor W;
  W.baccClick();
  SetFields(W, "", QString::fromStdString(FTemp->Path()));
  QStringList SeenByEvent;
  int Delivered = 0;
  QTimer::singleShot(0, this, [&] {
    ++Delivered;
    SeenByEvent = LogTexts(W);
  });
  // click() runs the handler at once; the pending timer can only fire inside
  // the run.
  W.findChild<QPushButton*>("Button1")->click();
  QCOMPARE(Delivered, 1);
  QCOMPARE(SeenByEvent, QStringList("Opening file: "));
  QCOMPARE(LogTexts(W).size(), 2);
}

void RunTest::MissingArchiveIsNotCreated() {
  const QString Out = QString::fromStdString(*FTemp / "out");
  QDir().mkpath(Out);
  const struct {
    std::string Path;
    std::string Reason;
  } Cases[] = {
      {*FTemp / "missing.zip", SystemErrorText(ENOENT)},
      {*FTemp / "nofolder/missing.zip", SystemErrorText(ENOENT)},
      {Out.toStdString(), NotARegularFileReason},
  };
  for (const auto& C : Cases) {
    TSalvor W;
    W.baccClick();
    SetFields(W, QString::fromStdString(C.Path), Out);
    QTest::mouseClick(W.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    const QString Error = QString::fromStdString("Cannot open file \"" + C.Path + "\". " + C.Reason);
    QCOMPARE(LogTexts(W), QStringList({Error, "Opening file: " + QString::fromStdString(C.Path)}));
    QVERIFY(!W.z().Active());
  }
  QVERIFY(!QFile::exists(QString::fromStdString(*FTemp / "missing.zip")));
  QVERIFY(!QFile::exists(QString::fromStdString(*FTemp / "nofolder")));
  QVERIFY(QFileInfo(Out).isDir());
}

void RunTest::StopFromProgressHandlerDeletesPartialFile() {
  // Several 1 MiB chunks, so the entry is stopped half-way.
  const QString Archive =
      MakeZip("big.zip", {{"big.bin", PseudoRandomBytes(3 << 20)}, {"after.txt", "later\n"}}, true);
  if (Archive.isEmpty()) QSKIP("zip is not available");
  const QString Out = QString::fromStdString(*FTemp / "out");
  QDir().mkpath(Out);
  TSalvor W;
  W.baccClick();
  SetFields(W, Archive, Out);
  auto* Button = W.findChild<QPushButton*>("Button1");
  int StopClicks = 0;
  bool PartialSeen = false;
  // The click arrives while the file progress handler runs, as a click on
  // Stop arrives through the event processing of a run.
  connect(W.findChild<QProgressBar*>("pb"), &QProgressBar::valueChanged, this, [&](int Value) {
    if (Value > 0 && Value < 100 && StopClicks == 0) {
      PartialSeen = !QDir(Out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
      QCOMPARE(Button->text(), QString("Stop"));
      ++StopClicks;
      QTest::mouseClick(Button, Qt::LeftButton);
      QCOMPARE(W.RunFlag(), 0);
      QVERIFY(W.Running());
    }
  });
  QTest::mouseClick(Button, Qt::LeftButton);
  QCOMPARE(StopClicks, 1);
  QVERIFY(PartialSeen);
  const QStringList Texts = LogTexts(W);
  QCOMPARE(Texts.first(), QString("Done. Extracted files: 2"));
  QCOMPARE(Texts.last(), "Opening file: " + Archive);
  QVERIFY(!Texts.contains("after.txt..."));
  // Only the output of the stopped entry was there, and it is gone.
  QCOMPARE(QDir(Out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
  QCOMPARE(Button->text(), QString("Start"));
  QVERIFY(!W.Running());
}

void RunTest::ClickAfterStopStartsNoSecondRun() {
  const QString Archive = MakeZip("big.zip", {{"big.bin", PseudoRandomBytes(3 << 20)}}, true);
  if (Archive.isEmpty()) QSKIP("zip is not available");
  const QString Out = QString::fromStdString(*FTemp / "out");
  QDir().mkpath(Out);
  TSalvor W;
  W.baccClick();
  SetFields(W, Archive, Out);
  auto* Button = W.findChild<QPushButton*>("Button1");
  int Clicks = 0;
  connect(W.findChild<QProgressBar*>("pb"), &QProgressBar::valueChanged, this, [&](int Value) {
    if (Value > 0 && Value < 100 && Clicks == 0) {
      Clicks = 2;
      // Stop, then Start again before the stopped run has returned.
      QTest::mouseClick(Button, Qt::LeftButton);
      QTest::mouseClick(Button, Qt::LeftButton);
    }
  });
  QTest::mouseClick(Button, Qt::LeftButton);
  QCOMPARE(Clicks, 2);
  // One run, stopped in its only entry.
  QCOMPARE(LogTexts(W), QStringList({"Done. Extracted files: 1", "big.bin...", "Opening file: " + Archive}));
  QVERIFY(!QFile::exists(Out + "/big.bin"));
  QCOMPARE(Button->text(), QString("Start"));
}

void RunTest::CloseDuringRunWaitsForIt() {
  const QString Archive = MakeZip("big.zip", {{"big.bin", PseudoRandomBytes(3 << 20)}}, true);
  if (Archive.isEmpty()) QSKIP("zip is not available");
  const QString Out = QString::fromStdString(*FTemp / "out");
  QDir().mkpath(Out);
  TSalvor W;
  W.show();
  QVERIFY(QTest::qWaitForWindowExposed(&W));
  W.baccClick();
  SetFields(W, Archive, Out);
  bool Asked = false;
  bool Closed = true;
  bool VisibleAfterClose = false;
  connect(W.findChild<QProgressBar*>("pb2"), &QProgressBar::valueChanged, this, [&](int Value) {
    if (Value > 0 && Value < 100 && !Asked) {
      Asked = true;
      Closed = W.close();
      VisibleAfterClose = W.isVisible();
    }
  });
  QTest::mouseClick(W.findChild<QPushButton*>("Button1"), Qt::LeftButton);
  QVERIFY(Asked);
  QVERIFY(!Closed);
  QVERIFY(VisibleAfterClose);
  QCOMPARE(LogTexts(W).first(), QString("Done. Extracted files: 1"));
  QVERIFY(!QFile::exists(Out + "/big.bin"));
  // Now that the run has returned, the window goes.
  QTRY_VERIFY(!W.isVisible());
}

QTEST_MAIN(RunTest)
#include "RunTest.moc"
