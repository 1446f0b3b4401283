#pragma once

#include <cstdint>

// Ctrl-C. While the component opens the archive or rebuilds its directory no
// event fires, so nothing could pass a cancel on: an interrupt then ends the
// process at once with status 130 (nothing has been written yet). During a
// run an interrupt only sets a flag; the progress handlers answer Cancel, the
// component removes the entry it was writing, and the run ends normally.

enum TInterruptMode : uint8_t { imExitAtOnce = 0, imRequestCancel = 1 };

// Installs the SIGINT handler (without SA_RESTART, so a blocked terminal read
// returns and can look at the flag). Starts in imExitAtOnce.
void InstallInterruptHandler();
void SetInterruptMode(TInterruptMode Mode);
// An interrupt arrived while in imRequestCancel.
bool InterruptRequested();
// Becomes readable once an interrupt arrived in imRequestCancel, so a wait
// (poll) cannot miss one that came just before it began. -1 before
// InstallInterruptHandler.
int InterruptFd();
