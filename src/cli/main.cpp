// salvor-cli: salvages files from ZIP archives from the command line.

#include <cstdio>

#include "cli/Interrupt.h"
#include "cli/Options.h"
#include "cli/Salvage.h"

int main(int argc, char** argv) {
  InstallInterruptHandler();
  TCliOptions Options;
  const TParseResult Parsed = ParseCommandLine(argc, argv, Options);
  if (!Parsed.Proceed) {
    std::fwrite(Parsed.Out.data(), 1, Parsed.Out.size(), stdout);
    std::fwrite(Parsed.Err.data(), 1, Parsed.Err.size(), stderr);
    return Parsed.ExitStatus;
  }
  return RunSalvage(Options);
}
