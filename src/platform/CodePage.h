#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Locale id and code pages. "ANSI" text is UTF-8 here; the "OEM" code page is
// CP437.

constexpr uint32_t LocaleTurkish = 1055;
constexpr uint32_t LocaleNeutral = 1033;

// From LC_ALL, LC_COLLATE, LANG (first one set): language "tr" gives 1055,
// anything else LocaleNeutral. Read each call; callers cache it.
uint32_t GetUserDefaultLCID();

// CP437 bytes to UTF-8; bytes 0x00-0x7F stand for themselves.
std::string OemToChar(const std::string& Oem);
// UTF-8 to CP437; characters without a CP437 form, and bytes that do not start
// a well-formed sequence, become "?" (one per character or byte).
std::string CharToOem(const std::string& Utf8);
// UTF-8 to Windows-1252, "?" as for CharToOem.
std::string CharToWindows1252(const std::string& Utf8);

// Whether S is well-formed UTF-8: no overlong forms, no surrogates, nothing
// above U+10FFFF.
bool IsValidUtf8(const std::string& S);
// Well-formed UTF-8 holding at least one multi-byte sequence.
bool LooksLikeUtf8(const std::string& S);

// Decodes the character at Pos and moves Pos past it. A byte that does not
// start a well-formed sequence is one character of its own: false is returned,
// CodePoint is that byte's value and Pos moves by one.
bool DecodeUtf8Char(const std::string& S, size_t& Pos, char32_t& CodePoint);
// Appends the UTF-8 form of CodePoint (at most U+10FFFF, not a surrogate).
void AppendUtf8(std::string& Out, char32_t CodePoint);
