#include "cli/Terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>

#include "cli/Interrupt.h"

namespace {

// The controlling terminal, closed on every way out.
class TTty {
 public:
  TTty() : FFd(open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)) {}
  ~TTty() {
    if (FFd >= 0) close(FFd);
  }
  TTty(const TTty&) = delete;
  TTty& operator=(const TTty&) = delete;
  int Fd() const { return FFd; }

  void Write(const std::string& Text) const {
    size_t Done = 0;
    while (Done < Text.size()) {
      ssize_t N = write(FFd, Text.data() + Done, Text.size() - Done);
      if (N < 0 && errno == EINTR) continue;
      if (N <= 0) return;
      Done += static_cast<size_t>(N);
    }
  }

 private:
  int FFd;
};

// Turns echo off for its lifetime.
class TEchoOff {
 public:
  explicit TEchoOff(int Fd) : FFd(Fd) {
    if (tcgetattr(FFd, &FSaved) != 0) return;
    termios Quiet = FSaved;
    Quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    Quiet.c_lflag |= ECHONL;
    FActive = tcsetattr(FFd, TCSAFLUSH, &Quiet) == 0;
  }
  ~TEchoOff() {
    if (FActive) tcsetattr(FFd, TCSADRAIN, &FSaved);
  }
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;

 private:
  int FFd;
  termios FSaved{};
  bool FActive = false;
};

}  // namespace

bool IsTerminal(int Fd) { return isatty(Fd) == 1; }

int TerminalColumns(int Fd) {
  winsize Size{};
  if (ioctl(Fd, TIOCGWINSZ, &Size) == 0 && Size.ws_col >= 20) return Size.ws_col;
  return 80;
}

bool CanAskUser() {
  if (!IsTerminal(STDIN_FILENO)) return false;
  TTty Tty;
  return Tty.Fd() >= 0;
}

TTtyAnswer AskUser(const std::string& Prompt, bool Masked, std::string& Line) {
  TTty Tty;
  if (Tty.Fd() < 0) return taNoTerminal;
  if (InterruptRequested()) return taInterrupted;
  std::string Read;
  TTtyAnswer Answer = taAnswered;
  {
    // Echo goes off before the prompt shows, so nothing typed after it can
    // be echoed (or flushed away by the switch).
    std::unique_ptr<TEchoOff> Echo;
    if (Masked) Echo = std::make_unique<TEchoOff>(Tty.Fd());
    Tty.Write(Prompt);
    for (;;) {
      // Waiting on the interrupt pipe too: an interrupt that arrives just
      // before the wait begins is still seen.
      pollfd Fds[2] = {{Tty.Fd(), POLLIN, 0}, {InterruptFd(), POLLIN, 0}};
      const int Ready = poll(Fds, InterruptFd() >= 0 ? 2 : 1, -1);
      if (InterruptRequested()) {
        Answer = taInterrupted;
        break;
      }
      if (Ready < 0 && errno == EINTR) continue;
      char C;
      ssize_t N = Ready < 0 ? -1 : read(Tty.Fd(), &C, 1);
      if (N < 0 && errno == EINTR) continue;
      if (N <= 0) {
        Answer = taEndOfInput;
        break;
      }
      if (C == '\n') break;
      Read += C;
    }
  }
  // The line end typed was not echoed, or was never typed.
  if (Answer != taAnswered) Tty.Write("\n");
  if (!Read.empty() && Read.back() == '\r') Read.pop_back();
  if (Answer == taAnswered) Line = std::move(Read);
  return Answer;
}

std::string TimeOfDay() {
  std::time_t Now = std::time(nullptr);
  std::tm Local{};
  localtime_r(&Now, &Local);
  char Text[16];
  std::strftime(Text, sizeof Text, "%H:%M:%S", &Local);
  return Text;
}
