#pragma once

#include "cli/Options.h"

// One salvor-cli run after the command line was parsed: checks the input,
// opens the archive, lists, tests or extracts, prints the log, the summary or
// the JSON report, and returns the exit status.
int RunSalvage(const TCliOptions& Options);
