#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Runs the built salvor-cli (SALVOR_CLI_PATH) the way a script would: in a
// new session without a controlling terminal, standard input from
// /dev/null, standard output and error captured.

struct TCliResult {
  // The exit status, or 128 + the signal that ended it.
  int ExitStatus = -1;
  std::string Out;
  std::string Err;
};

TCliResult RunCli(const std::vector<std::string>& Args, const std::string& WorkDir);

// salvor-cli under a pseudo-terminal, as a user at a terminal runs it:
// standard input, output and error all on the terminal.
class TPtyCli {
 public:
  TPtyCli(const std::vector<std::string>& Args, const std::string& WorkDir);
  ~TPtyCli();
  TPtyCli(const TPtyCli&) = delete;
  TPtyCli& operator=(const TPtyCli&) = delete;

  // Reads the terminal until its output holds Text; false when the program
  // ended (or a minute passed) first.
  bool WaitFor(const std::string& Text);
  // Sends SIGINT to the program, as Ctrl-C would.
  void Interrupt();
  // Types Text on the terminal.
  void Type(const std::string& Text);
  // Reads until the program ends and returns its exit status (128 + signal).
  int Wait();
  // Everything the terminal showed so far.
  const std::string& Output() const { return FOutput; }

 private:
  // Reads what is available within TimeoutMs; false at end of output.
  bool ReadSome(int TimeoutMs);

  pid_t FPid = -1;
  int FMaster = -1;
  bool FEnded = false;
  int FStatus = -1;
  std::string FOutput;
};

// The names of the files and folders below Dir, relative, sorted; folders
// end in "/".
std::vector<std::string> ListTree(const std::string& Dir);
