#include "CliProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace {

int StatusOf(int WaitStatus) {
  if (WIFEXITED(WaitStatus)) return WEXITSTATUS(WaitStatus);
  if (WIFSIGNALED(WaitStatus)) return 128 + WTERMSIG(WaitStatus);
  return -1;
}

std::vector<char*> Argv(std::vector<std::string>& Storage) {
  std::vector<char*> Argv;
  for (std::string& S : Storage) Argv.push_back(S.data());
  Argv.push_back(nullptr);
  return Argv;
}

void Check(int Result, const char* What) {
  if (Result != 0) throw std::runtime_error(std::string(What) + " failed");
}

}  // namespace

TCliResult RunCli(const std::vector<std::string>& Args, const std::string& WorkDir) {
  std::vector<std::string> Storage{SALVOR_CLI_PATH};
  Storage.insert(Storage.end(), Args.begin(), Args.end());
  std::vector<char*> ArgvList = Argv(Storage);

  int OutPipe[2];
  int ErrPipe[2];
  Check(pipe2(OutPipe, O_CLOEXEC), "pipe");
  Check(pipe2(ErrPipe, O_CLOEXEC), "pipe");

  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&Actions, OutPipe[1], 1);
  posix_spawn_file_actions_adddup2(&Actions, ErrPipe[1], 2);
  if (!WorkDir.empty()) posix_spawn_file_actions_addchdir_np(&Actions, WorkDir.c_str());
  posix_spawnattr_t Attr;
  posix_spawnattr_init(&Attr);
  // A new session: no controlling terminal, so nothing can be asked.
  posix_spawnattr_setflags(&Attr, POSIX_SPAWN_SETSID);

  pid_t Pid = -1;
  const int Spawned = posix_spawn(&Pid, Storage[0].c_str(), &Actions, &Attr, ArgvList.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  posix_spawnattr_destroy(&Attr);
  close(OutPipe[1]);
  close(ErrPipe[1]);
  if (Spawned != 0) {
    close(OutPipe[0]);
    close(ErrPipe[0]);
    throw std::runtime_error("cannot start " + Storage[0]);
  }

  TCliResult Result;
  pollfd Fds[2] = {{OutPipe[0], POLLIN, 0}, {ErrPipe[0], POLLIN, 0}};
  std::string* Sinks[2] = {&Result.Out, &Result.Err};
  int Open = 2;
  while (Open > 0) {
    if (poll(Fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int I = 0; I < 2; ++I) {
      if (Fds[I].fd < 0 || Fds[I].revents == 0) continue;
      char Buffer[65536];
      const ssize_t N = read(Fds[I].fd, Buffer, sizeof Buffer);
      if (N > 0) {
        Sinks[I]->append(Buffer, static_cast<size_t>(N));
      } else if (N == 0 || errno != EINTR) {
        close(Fds[I].fd);
        Fds[I].fd = -1;
        --Open;
      }
    }
  }
  int WaitStatus = 0;
  while (waitpid(Pid, &WaitStatus, 0) < 0 && errno == EINTR) {
  }
  Result.ExitStatus = StatusOf(WaitStatus);
  return Result;
}

TPtyCli::TPtyCli(const std::vector<std::string>& Args, const std::string& WorkDir) {
  std::vector<std::string> Storage{SALVOR_CLI_PATH};
  Storage.insert(Storage.end(), Args.begin(), Args.end());
  std::vector<char*> ArgvList = Argv(Storage);
  winsize Size{};
  Size.ws_row = 24;
  Size.ws_col = 100;
  FPid = forkpty(&FMaster, nullptr, nullptr, &Size);
  if (FPid < 0) throw std::runtime_error("forkpty failed");
  if (FPid == 0) {
    if (!WorkDir.empty() && chdir(WorkDir.c_str()) != 0) _exit(127);
    execv(ArgvList[0], ArgvList.data());
    _exit(127);
  }
}

TPtyCli::~TPtyCli() {
  if (!FEnded && FPid > 0) {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
  }
  if (FMaster >= 0) close(FMaster);
}

bool TPtyCli::ReadSome(int TimeoutMs) {
  pollfd Fd{FMaster, POLLIN, 0};
  const int Ready = poll(&Fd, 1, TimeoutMs);
  if (Ready <= 0) return Ready == 0 || errno == EINTR;
  char Buffer[4096];
  const ssize_t N = read(FMaster, Buffer, sizeof Buffer);
  // EIO: every slave side was closed, the program ended.
  if (N <= 0) return false;
  FOutput.append(Buffer, static_cast<size_t>(N));
  return true;
}

bool TPtyCli::WaitFor(const std::string& Text) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (FOutput.find(Text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > Deadline) return false;
    if (!ReadSome(100)) return FOutput.find(Text) != std::string::npos;
  }
  return true;
}

void TPtyCli::Interrupt() { kill(FPid, SIGINT); }

void TPtyCli::Type(const std::string& Text) {
  size_t Done = 0;
  while (Done < Text.size()) {
    const ssize_t N = write(FMaster, Text.data() + Done, Text.size() - Done);
    if (N <= 0) return;
    Done += static_cast<size_t>(N);
  }
}

int TPtyCli::Wait() {
  if (FEnded) return FStatus;
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (ReadSome(100) && std::chrono::steady_clock::now() < Deadline) {
  }
  int WaitStatus = 0;
  if (std::chrono::steady_clock::now() >= Deadline) kill(FPid, SIGKILL);
  while (waitpid(FPid, &WaitStatus, 0) < 0 && errno == EINTR) {
  }
  FEnded = true;
  FStatus = StatusOf(WaitStatus);
  return FStatus;
}

std::vector<std::string> ListTree(const std::string& Dir) {
  std::vector<std::string> Names;
  std::error_code Error;
  for (auto It = std::filesystem::recursive_directory_iterator(Dir, Error);
       !Error && It != std::filesystem::recursive_directory_iterator(); It.increment(Error)) {
    std::string Name = std::filesystem::relative(It->path(), Dir).string();
    if (It->is_directory()) Name += "/";
    Names.push_back(Name);
  }
  std::sort(Names.begin(), Names.end());
  return Names;
}
