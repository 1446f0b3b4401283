#include "platform/Lock.h"

namespace {
std::function<void()>& Hook() {
  static std::function<void()> H;
  return H;
}
}  // namespace

std::recursive_mutex& GlobalLock() {
  static std::recursive_mutex M;
  return M;
}

void ProcessMessages() {
  if (Hook()) Hook()();
}

std::function<void()> SetProcessMessagesHook(std::function<void()> NewHook) {
  std::function<void()> Previous = std::move(Hook());
  Hook() = std::move(NewHook);
  return Previous;
}
