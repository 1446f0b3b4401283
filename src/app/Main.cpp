#include "app/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QTextCursor>
#include <QTime>
#include <exception>

#include "app/Controls.h"
#include "app/RunRules.h"
#include "platform/Env.h"
#include "platform/Lock.h"
#include "platform/Stream.h"

namespace {

const char* const Notice =
    "Salvor salvages files from ZIP archives, damaged ones included.\n"
    "\n"
    "Choose the archive, the files to extract (a mask such as *.* or *.txt) and the output folder, then "
    "press Start. A missing or broken directory is rebuilt from the entries that can still be found, and "
    "an entry that fails does not end the run.\n"
    "\n"
    "Files whose data is damaged are still written, so that you get back as much as possible. The log "
    "names each of them: check them before you rely on them. The archive itself is left as it is.\n"
    "\n"
    "Press Start again to stop a run. Press Accept to begin.";

QString FromString(const std::string& Text) { return QString::fromStdString(Text); }

const char* const Captions[] = {"ZIP file:", "Files to Extract", "Output directory"};
// Captions start at 16 and their fields at 104.
constexpr int CaptionRoom = 104 - 16 - 4;

// The layout is fixed in pixels, drawn for an 11-pixel font (8 points at 96
// dpi). The desktop's font family is kept; its size, and if need be its
// width, are chosen so that the captions fit beside their fields.
QFont FittingFont(QFont Font) {
  static constexpr struct {
    int PixelSize;
    int Stretch;
  } Candidates[] = {
      {11, QFont::Unstretched}, {10, QFont::Unstretched}, {10, QFont::SemiCondensed}, {10, QFont::Condensed}};
  for (const auto& C : Candidates) {
    Font.setPixelSize(C.PixelSize);
    Font.setStretch(C.Stretch);
    const QFontMetrics Metrics(Font);
    bool Fits = true;
    for (const char* Caption : Captions) Fits = Fits && Metrics.horizontalAdvance(Caption) <= CaptionRoom;
    if (Fits) break;
  }
  return Font;
}

QLabel* NewLabel(QWidget* Parent, const char* Name, const char* Caption, int Left, int Top) {
  auto* Label = new QLabel(Caption, Parent);
  Label->setObjectName(Name);
  Label->adjustSize();
  Label->move(Left, Top);
  return Label;
}

QProgressBar* NewProgressBar(QWidget* Parent, const char* Name, int Top) {
  auto* Bar = new QProgressBar(Parent);
  Bar->setObjectName(Name);
  Bar->setRange(0, 100);
  Bar->setValue(0);
  // Nine pixels leave no room for a percentage.
  Bar->setTextVisible(false);
  Bar->setGeometry(104, Top, 409, 9);
  return Bar;
}

}  // namespace

TSalvor::TSalvor(QWidget* Parent) : QWidget(Parent) {
  setWindowTitle("Salvor - ZIP Recovery");
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(ClientWidth, ClientHeight);
  setFont(FittingFont(QApplication::font()));

  // Created in tab order, which is also the focus chain's order.
  Label1 = NewLabel(this, "Label1", Captions[0], 16, 18);
  fn = new TBrowseEdit(TBrowseEdit::bkFile, "ZIP files (*.zip)", this);
  fn->setObjectName("fn");
  fn->setGeometry(104, 16, 409, 21);
  pb = NewProgressBar(this, "pb", 112);
  Label2 = NewLabel(this, "Label2", Captions[1], 16, 50);
  emask = new QLineEdit("*.*", this);
  emask->setObjectName("emask");
  emask->setGeometry(104, 48, 249, 19);
  Button1 = new TButton("Start", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(16, 112, 75, 25);
  Label3 = NewLabel(this, "Label3", Captions[2], 16, 84);
  dout = new TBrowseEdit(TBrowseEdit::bkFolder, QString(), this);
  dout->setObjectName("dout");
  dout->setGeometry(104, 80, 409, 21);
  dout->SetText(QDir::toNativeSeparators(QDir::homePath()));
  pb2 = NewProgressBar(this, "pb2", 128);
  sb = new TStatusBar(this);
  sb->setObjectName("sb");
  sb->setGeometry(0, 269, 533, 19);
  sb->SetSimpleText("Ready.");
  m = new QPlainTextEdit(Notice, this);
  m->setObjectName("m");
  m->setReadOnly(true);
  m->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m->setTabChangesFocus(true);
  m->setFrameShape(QFrame::NoFrame);
  m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m->setGeometry(0, 152, 533, 117);
  bacc = new QPushButton("Accept", this);
  bacc->setObjectName("bacc");
  bacc->setGeometry(432, 272, 99, 17);

  connect(Button1, &QPushButton::clicked, this, &TSalvor::Button1Click);
  connect(bacc, &QPushButton::clicked, this, &TSalvor::baccClick);

  Fz = std::make_unique<TCorvane>();
  TCorvane& Z = *Fz;
  Z.SetName("z");
  Z.SetExtractCorruptedFiles(false);
  Z.SetCompressionLevel(clFastest);
  Z.SetCompressionMode(1);
  Z.SetSpanningMode(smNone);
  Z.SpanningOptions().AdvancedNaming = true;
  Z.SpanningOptions().VolumeSize = vsAutoDetect;
  Z.Options().FlushBuffers = true;
  Z.Options().OEMFileNames = true;
  Z.SetInMemory(false);
  Z.SetZip64Mode(zmDisabled);
  Z.SetOnFileProgress([this](TCVBaseArchiver& Sender, const std::string& FileName, double Progress,
                             TCVProcessOperation Operation, TCVProgressPhase ProgressPhase, bool& Cancel) {
    zFileProgress(Sender, FileName, Progress, Operation, ProgressPhase, Cancel);
  });
  Z.SetOnOverallProgress([this](TCVBaseArchiver& Sender, double Progress, TCVProcessOperation Operation,
                                TCVProgressPhase ProgressPhase, bool& Cancel) {
    zOverallProgress(Sender, Progress, Operation, ProgressPhase, Cancel);
  });
  Z.SetOnProcessFileFailure([this](TCVBaseArchiver& Sender, const std::string& FileName,
                                   TCVProcessOperation Operation, int32_t NativeError, int32_t ErrorCode,
                                   const std::string& ErrorMessage, TCVAction& Action) {
    zProcessFileFailure(Sender, FileName, Operation, NativeError, ErrorCode, ErrorMessage, Action);
  });
  Z.SetOnDamagedFile([this](TCVBaseArchiver& Sender, const std::string& FileName, const std::string& Reason) {
    zDamagedFile(Sender, FileName, Reason);
  });

  FormCreate();
  CentreOnScreen();
}

// The component goes first: destroying it closes the archive while the
// window's handlers still have their widgets.
TSalvor::~TSalvor() { Fz.reset(); }

void TSalvor::FormCreate() {
  m->setGeometry(0, 0, ClientWidth, sb->y());
  m->raise();
  bacc->raise();
}

void TSalvor::baccClick() {
  m->setGeometry(0, sb->y() - 117, ClientWidth, 117);
  m->clear();
  bacc->hide();
}

void TSalvor::Button1Click() {
  if (Button1->Tag() != 0) {
    Button1->SetTag(0);
    return;
  }
  // A stopped run that has not returned yet is still inside the component; a
  // second run started from its event processing would close the archive
  // under it.
  if (FRunning) return;
  FRunning = true;
  try {
    Button1->setText("Stop");
    m->clear();
    Button1->SetTag(1);
    const std::string ArchivePath = ArchivePathOf(fn->Text().toStdString());
    Fz->SetFileName(ArchivePath);
    Fz->SetOpenDamaged(true);
    Fz->SetExtractCorruptedFiles(true);
    LogMessage("Opening file: " + FromString(ArchivePath));
    // Paint the line before the open starts.
    ProcessMessages();
    // A run salvages an archive that exists. For a missing name the
    // component would create a new, empty archive and the run would end as
    // "Done"; the platform's open error says what is wrong instead.
    if (!ArchivePath.empty()) FileSystem().OpenFile(ArchivePath, fmOpenRead | fmShareDenyNone);
    Fz->OpenArchive();
    Fz->SetBaseDir(dout->Text().toStdString());
    Fz->ExtractFiles(emask->text().toStdString(), RunSearchAttr, std::string());
    LogMessage("Done. Extracted files: " + QString::number(Fz->FileCount()));
  } catch (const std::exception& E) {
    LogMessage(QString::fromUtf8(E.what()));
  }
  Button1->SetTag(0);
  Button1->setText("Start");
  FRunning = false;
  // A close asked for during the run happens now that the component has
  // returned, from the event loop rather than from inside this click.
  if (FCloseRequested) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TSalvor::LogMessage(const QString& Text) {
  sb->SetSimpleText(Text);
  const QString Line = QLocale::system().toString(QTime::currentTime(), TimeOfDayFormat()) + "> " + Text;
  QTextCursor Cursor(m->document());
  Cursor.movePosition(QTextCursor::Start);
  Cursor.insertText(m->document()->isEmpty() ? Line : Line + '\n');
}

QString TSalvor::TimeOfDayFormat() {
  return TimeFormatWithoutZone(QLocale::system().timeFormat(QLocale::LongFormat));
}

void TSalvor::zFileProgress(TCVBaseArchiver&, const std::string& FileName, double Progress,
                            TCVProcessOperation, TCVProgressPhase ProgressPhase, bool& Cancel) {
  pb->setValue(ProgressPosition(Progress));
  Cancel = Button1->Tag() == 0;
  if (ProgressPhase == ppStart) LogMessage(FromString(FileName) + "...");
}

void TSalvor::zOverallProgress(TCVBaseArchiver&, double Progress, TCVProcessOperation, TCVProgressPhase,
                               bool& Cancel) {
  pb2->setValue(ProgressPosition(Progress));
  Cancel = Button1->Tag() == 0;
  ProcessMessages();
}

void TSalvor::zProcessFileFailure(TCVBaseArchiver&, const std::string&, TCVProcessOperation, int32_t, int32_t,
                                  const std::string& ErrorMessage, TCVAction&) {
  LogMessage(FromString(ErrorMessage));
}

void TSalvor::zDamagedFile(TCVBaseArchiver&, const std::string& FileName, const std::string& Reason) {
  LogMessage("Damaged, kept: " + FromString(FileName) + " - " + FromString(Reason));
}

int32_t TSalvor::RunFlag() const { return Button1->Tag(); }

void TSalvor::closeEvent(QCloseEvent* Event) {
  if (FRunning) {
    // Ask the run to stop; the window goes when it has returned.
    Button1->SetTag(0);
    FCloseRequested = true;
    Event->ignore();
    return;
  }
  Event->accept();
}

void TSalvor::CentreOnScreen() {
  const QScreen* Screen = QApplication::primaryScreen();
  if (!Screen) return;
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), Screen->availableGeometry()));
}
