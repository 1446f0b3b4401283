#include "cli/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t Mode = imExitAtOnce;
volatile std::sig_atomic_t Requested = 0;

extern "C" void OnInterrupt(int) {
  if (Mode == imExitAtOnce) {
    // Only async-signal-safe calls here.
    static const char Line[] = "\nsalvor-cli: interrupted\n";
    ssize_t Ignored = write(STDERR_FILENO, Line, sizeof Line - 1);
    (void)Ignored;
    _exit(130);
  }
  Requested = 1;
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction Action {};
  Action.sa_handler = OnInterrupt;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = 0;
  sigaction(SIGINT, &Action, nullptr);
}

void SetInterruptMode(TInterruptMode NewMode) { Mode = NewMode; }

bool InterruptRequested() { return Requested != 0; }
