#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "archiver/Corvane.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class TBrowseEdit;
class TButton;
class TStatusBar;

// The main window: archive, mask and output folder, Start/Stop, two progress
// bars, a status bar and a log whose newest line is on top. A run executes
// inside Button1Click on this thread; the window stays responsive because
// zOverallProgress processes pending events, which is also how a click on Stop
// arrives.
class TSalvor : public QWidget {
  Q_OBJECT

 public:
  // Client area in pixels at 96 dpi; Qt scales it on denser screens.
  static constexpr int ClientWidth = 533;
  static constexpr int ClientHeight = 288;
  static constexpr int32_t RunSearchAttr = 0x28BF;

  explicit TSalvor(QWidget* Parent = nullptr);
  ~TSalvor() override;

  // The notice covers the input controls until Accept.
  void FormCreate();
  // From the notice to the log layout, for good.
  void baccClick();
  // Starts a run; during one, requests a stop.
  void Button1Click();
  // Text goes to the status bar, and as "<time of day>> Text" to the top of
  // the log.
  void LogMessage(const QString& Text);

  void zFileProgress(TCVBaseArchiver& Sender, const std::string& FileName, double Progress,
                     TCVProcessOperation Operation, TCVProgressPhase ProgressPhase, bool& Cancel);
  void zOverallProgress(TCVBaseArchiver& Sender, double Progress, TCVProcessOperation Operation,
                        TCVProgressPhase ProgressPhase, bool& Cancel);
  void zProcessFileFailure(TCVBaseArchiver& Sender, const std::string& FileName,
                           TCVProcessOperation Operation, int32_t NativeError, int32_t ErrorCode,
                           const std::string& ErrorMessage, TCVAction& Action);
  void zDamagedFile(TCVBaseArchiver& Sender, const std::string& FileName, const std::string& Reason);

  // The locale's long time format without its time-zone name.
  static QString TimeOfDayFormat();

  TCorvane& z() { return *Fz; }
  // The button's run flag: 1 while a run asks to go on, 0 otherwise.
  int32_t RunFlag() const;
  // A run is executing (it may have been asked to stop already).
  bool Running() const { return FRunning; }

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  void CentreOnScreen();

  QLabel* Label1;
  TBrowseEdit* fn;
  QProgressBar* pb;
  QLabel* Label2;
  QLineEdit* emask;
  TButton* Button1;
  QLabel* Label3;
  TBrowseEdit* dout;
  QProgressBar* pb2;
  TStatusBar* sb;
  QPlainTextEdit* m;
  QPushButton* bacc;
  std::unique_ptr<TCorvane> Fz;

  bool FRunning = false;
  bool FCloseRequested = false;
};
