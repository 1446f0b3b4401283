#include "platform/Exceptions.h"

#include <cstring>

std::string SystemErrorText(int ErrorCode) {
  // The GNU strerror_r returns a pointer that may or may not be Buf.
  char Buf[256];
  return strerror_r(ErrorCode, Buf, sizeof(Buf));
}

void RaiseFileError(TFileErrorKind Kind, const std::string& FileName, int ErrorCode) {
  RaiseFileError(Kind, FileName, SystemErrorText(ErrorCode));
}

void RaiseFileError(TFileErrorKind Kind, const std::string& FileName, const std::string& Reason) {
  if (Kind == feCreate) throw EFCreateError("Cannot create file \"" + FileName + "\". " + Reason);
  throw EFOpenError("Cannot open file \"" + FileName + "\". " + Reason);
}
