#include "support/PeerTools.h"

#include <stdio.h>
#include <sys/wait.h>

#include <cstdlib>
#include <map>

std::string ShellQuote(const std::string& S) {
  std::string Out = "'";
  for (char C : S) {
    if (C == '\'')
      Out += "'\\''";
    else
      Out += C;
  }
  return Out + "'";
}

// Answers are kept: the tests ask often and the answer does not change.
bool HaveProgram(const std::string& Program) {
  static std::map<std::string, bool> Known;
  auto It = Known.find(Program);
  if (It == Known.end()) It = Known.emplace(Program, RunCommand("command -v " + ShellQuote(Program)) == 0).first;
  return It->second;
}

bool HavePythonZipfile() {
  static const bool Have = RunCommand("python3 -c 'import zipfile, zlib'") == 0;
  return Have;
}

int RunCommand(const std::string& Command, std::string* Output) {
  std::string Full = Command + " 2>/dev/null";
  if (Output == nullptr) Full += " >/dev/null";
  FILE* Pipe = popen(Full.c_str(), "r");
  if (Pipe == nullptr) return -1;
  char Buffer[4096];
  size_t N;
  while ((N = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0)
    if (Output != nullptr) Output->append(Buffer, N);
  int Status = pclose(Pipe);
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

int PythonListArchive(const std::string& Archive, const std::string& Password, std::string& Output) {
  static const char* Script =
      "import os, sys, zipfile, zlib\n"
      "pwd = os.fsencode(sys.argv[2]) if sys.argv[2] else None\n"
      "with zipfile.ZipFile(sys.argv[1]) as z:\n"
      "    for i in z.infolist():\n"
      "        d = z.read(i, pwd=pwd)\n"
      "        sys.stdout.buffer.write(('%s %d %08x\\n' % (i.filename, len(d), zlib.crc32(d))).encode('utf-8'))\n";
  return RunCommand("python3 -c " + ShellQuote(Script) + " " + ShellQuote(Archive) + " " + ShellQuote(Password),
                    &Output);
}
