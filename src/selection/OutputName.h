#pragma once

#include <string>

// Output names of extracted entries.

// Name, as handlers see it (PathDelim separators), made relative to the output
// folder: a leading drive ('C:') or network prefix ('//server/share'), empty
// components (a leading or doubled separator) and "." and ".." components are
// dropped, so the result never leads outside the folder it is joined to. A
// trailing separator (a folder entry) stays. Empty when nothing is left.
std::string ConfineEntryName(const std::string& Name);

// A name for a new file in Dir ("" or with a trailing separator), unlikely to
// exist: Dir + ".salvor-" + 16 hex digits. Short, so a long target name
// cannot push it past the file system's name limit.
std::string MakeTempOutputName(const std::string& Dir);
