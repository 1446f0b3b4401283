#include "archiver/CVExcept.h"

#include "archiver/CVConst.h"

namespace {

// Codes 57 to 60 map to ErrorCode -1, which names no message: they read as
// "Unknown error" rather than indexing the table with -1.
const char* MessageText(int32_t ErrorCode) {
  if (ErrorCode < 0 || ErrorCode >= ErrorMessageCount) return ErrorMessages[0];
  return ErrorMessages[ErrorCode];
}

}  // namespace

std::string ECVException::Compose(int32_t NativeError, const TFormatArgs* Args, const TComponent* Archiver) {
  std::string Text = MessageText(ErrorCodeFor(NativeError));
  if (Args != nullptr) Text = FormatArgs(Text, *Args);
  if (Archiver != nullptr && !Archiver->Name().empty()) Text = Format("%s: %s", Archiver->Name(), Text);
  std::string Number = Format("%5d", NativeError);
  for (char& C : Number)
    if (C == ' ') C = '0';
  return Text + " - Native error: " + Number;
}

ECVException::ECVException(int32_t NativeError, const TComponent* Archiver)
    : Exception(Compose(NativeError, nullptr, Archiver)),
      ErrorCode(ErrorCodeFor(NativeError)),
      NativeError(NativeError) {}

ECVException::ECVException(int32_t NativeError, const TFormatArgs& Args, const TComponent* Archiver)
    : Exception(Compose(NativeError, &Args, Archiver)),
      ErrorCode(ErrorCodeFor(NativeError)),
      NativeError(NativeError) {}
