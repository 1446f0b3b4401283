#include "cli/Interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t Mode = imExitAtOnce;
volatile std::sig_atomic_t Requested = 0;
// Read end and write end of the self-pipe.
int PipeFds[2] = {-1, -1};

extern "C" void OnInterrupt(int) {
  if (Mode == imExitAtOnce) {
    // Only async-signal-safe calls here.
    static const char Line[] = "\nsalvor-cli: interrupted\n";
    ssize_t Ignored = write(STDERR_FILENO, Line, sizeof Line - 1);
    (void)Ignored;
    _exit(130);
  }
  Requested = 1;
  if (PipeFds[1] >= 0) {
    const char Byte = 1;
    ssize_t Ignored = write(PipeFds[1], &Byte, 1);
    (void)Ignored;
  }
}

}  // namespace

void InstallInterruptHandler() {
  if (PipeFds[0] < 0 && pipe2(PipeFds, O_CLOEXEC | O_NONBLOCK) != 0) PipeFds[0] = PipeFds[1] = -1;
  struct sigaction Action {};
  Action.sa_handler = OnInterrupt;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = 0;
  sigaction(SIGINT, &Action, nullptr);
}

void SetInterruptMode(TInterruptMode NewMode) { Mode = NewMode; }

bool InterruptRequested() { return Requested != 0; }

int InterruptFd() { return PipeFds[0]; }
