#pragma once

#include <string>

// File masks. "*" matches any run of characters, folder separators included;
// "?" matches exactly one character (one UTF-8 code point); every other
// character matches itself (ignoring case when asked, see CharTables.h). There
// is no escape.
//
// The matcher keeps the answers of the classic recursive matcher, oddities
// included, but takes time proportional to name length times mask length:
// - a whole mask of exactly "*.*" matches everything, even an empty name;
// - a mask rest of exactly "*" matches whatever is left, even nothing
//   ('a*' matches 'a'), but a "*" otherwise needs at least one character
//   ('a**' does not match 'a');
// - a "*" followed by exactly "*.*" matches any non-empty rest.

// Name and Mask are zero-terminated.
bool WildcardMatch(const char* Name, const char* Mask, bool IgnoreCase);

// The selection test, ignoring case. An empty mask matches nothing. The first
// "*.*" of the mask counts as "*". A mask ending in "." matches names without
// an extension (or with a bare "."): the extension runs from the last "." after
// the last "\" (not "/") to the end of the name.
bool NameMatchesMask(const std::string& Name, const std::string& Mask);
