#pragma once

#include <cstdint>
#include <string>

// Locale id and code pages. "ANSI" text is UTF-8 here; the "OEM" code page is
// CP437.

constexpr uint32_t LocaleTurkish = 1055;
constexpr uint32_t LocaleNeutral = 1033;

// From LC_ALL, LC_COLLATE, LANG (first one set): language "tr" gives 1055,
// anything else LocaleNeutral. Read each call; callers cache it.
uint32_t GetUserDefaultLCID();

// CP437 bytes to UTF-8.
std::string OemToChar(const std::string& Oem);
// UTF-8 to CP437; characters without a CP437 form become "?".
std::string CharToOem(const std::string& Utf8);
// UTF-8 to Windows-1252; characters without a form become "?".
std::string CharToWindows1252(const std::string& Utf8);

// Whether S is well-formed UTF-8.
bool IsValidUtf8(const std::string& S);
// Well-formed UTF-8 holding at least one multi-byte sequence.
bool LooksLikeUtf8(const std::string& S);
