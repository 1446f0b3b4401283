#pragma once

#include <string>

// Other programs used as oracles in tests (unzip, zip, python3). A test that
// needs one skips itself when it is missing.

// Quotes S for the shell.
std::string ShellQuote(const std::string& S);
// Whether Program is on PATH.
bool HaveProgram(const std::string& Program);
// Python 3 with its zipfile module.
bool HavePythonZipfile();
// Runs Command through the shell; returns its exit status (-1 when it did not
// exit normally). Standard output goes to Output when given, else is dropped;
// standard error is dropped.
int RunCommand(const std::string& Command, std::string* Output = nullptr);

// Lists every entry of Archive through Python's zipfile, reading (and so
// checking) its data: one line "name size crc32" per entry, the CRC-32 as
// eight lower-case hex digits, the name as Python decodes it (UTF-8 out).
// Password is used for encrypted entries when not empty.
int PythonListArchive(const std::string& Archive, const std::string& Password, std::string& Output);
