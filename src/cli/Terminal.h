#pragma once

#include <cstdint>
#include <string>

// The few terminal services the CLI needs, POSIX underneath.

bool IsTerminal(int Fd);
// Columns of the terminal on Fd; 80 when it cannot be told.
int TerminalColumns(int Fd);

enum TTtyAnswer : uint8_t {
  taAnswered = 0,
  taEndOfInput = 1,   // Ctrl-D or the terminal went away
  taInterrupted = 2,  // Ctrl-C while waiting
  taNoTerminal = 3,   // no controlling terminal to ask on
};

// Whether questions can be asked: standard input is a terminal and the
// process has a controlling terminal. Scripts and pipes get no questions.
bool CanAskUser();

// Shows Prompt on the controlling terminal and reads one line from it
// (without its line end). Masked turns echo off while reading and restores
// the terminal on every way out, an interrupt included.
TTtyAnswer AskUser(const std::string& Prompt, bool Masked, std::string& Line);

// The local time of day as HH:MM:SS.
std::string TimeOfDay();
