#pragma once

#include <string>

// Lexical path operations. Nothing here touches the file system or changes the
// process's current folder.

constexpr char PathDelim = '/';

std::string IncludeTrailingPathDelimiter(const std::string& Path);
std::string ExcludeTrailingPathDelimiter(const std::string& Path);
// Everything up to and including the last separator ("" when none).
std::string ExtractFilePath(const std::string& Name);
// Everything after the last separator.
std::string ExtractFileName(const std::string& Name);
// The last "." of the file-name part and what follows it ("" when none).
std::string ExtractFileExt(const std::string& Name);
std::string ChangeFileExt(const std::string& Name, const std::string& Ext);
// The process's current folder, without a trailing separator.
std::string GetCurrentDir();
// Joins a relative Name with the current folder and resolves "." and ".."
// lexically; an absolute Name is only normalised.
std::string ExpandFileName(const std::string& Name);
// Name relative to BaseDir, both made absolute first ("../" where needed).
std::string ExtractRelativePath(const std::string& BaseDir, const std::string& Name);
// ASCII-only case change: never locale-dependent.
std::string AsciiUpperCase(std::string S);
std::string AsciiLowerCase(std::string S);
bool SameTextAscii(const std::string& A, const std::string& B);
