#include "platform/Dialogs.h"

namespace {

class THeadlessDialogs : public IDialogs {
 public:
  TModalResult MessageDlg(const std::string&, const TMsgDlgButtons&) override { return mrCancel; }
  bool InputQuery(const std::string&, const std::string&, std::string&, bool) override { return false; }
};

THeadlessDialogs HeadlessDialogs;
IDialogs* Installed = nullptr;

}  // namespace

const char* ButtonCaption(TMsgDlgBtn Button) {
  switch (Button) {
    case mbYes: return "Yes";
    case mbNo: return "No";
    case mbOK: return "OK";
    case mbCancel: return "Cancel";
    case mbAbort: return "Abort";
    case mbRetry: return "Retry";
    case mbIgnore: return "Ignore";
    case mbAll: return "All";
    case mbNoToAll: return "No to All";
    case mbYesToAll: return "Yes to All";
  }
  return "";
}

TModalResult ButtonResult(TMsgDlgBtn Button) {
  switch (Button) {
    case mbYes: return mrYes;
    case mbNo: return mrNo;
    case mbOK: return mrOk;
    case mbCancel: return mrCancel;
    case mbAbort: return mrAbort;
    case mbRetry: return mrRetry;
    case mbIgnore: return mrIgnore;
    case mbAll: return mrAll;
    case mbNoToAll: return mrNoToAll;
    case mbYesToAll: return mrYesToAll;
  }
  return mrNone;
}

IDialogs& Dialogs() { return Installed ? *Installed : HeadlessDialogs; }

IDialogs* SetDialogs(IDialogs* NewDialogs) {
  IDialogs* Previous = Installed;
  Installed = NewDialogs;
  return Previous;
}
