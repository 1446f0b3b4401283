#pragma once

#include <cstdint>
#include <string>

#include "platform/Component.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

// The component's one exception class. The message is composed once:
// "<Name>: <text> - Native error: 000NN", the name part only when a component
// with a non-empty Name is given.
class ECVException : public Exception {
 public:
  // Archiver may be null (codes raised without the component).
  ECVException(int32_t NativeError, const TComponent* Archiver);
  // Applies Args to the message text ("%s", "%d") before composing.
  ECVException(int32_t NativeError, const TFormatArgs& Args, const TComponent* Archiver);

  int32_t ErrorCode;
  int32_t NativeError;

  // The composed text, exposed for tests and for callers that want it
  // without raising.
  static std::string Compose(int32_t NativeError, const TFormatArgs* Args, const TComponent* Archiver);
};
