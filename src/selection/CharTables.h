#pragma once

#include <cstddef>
#include <cstdint>

// How two characters of a name compare, with or without case.
//
// A character is one UTF-8 code point. A byte that does not start a
// well-formed sequence (a stray continuation byte, a cut or overlong
// sequence, a surrogate) is one character of its own and equals only itself.
//
// Equal ignoring case means equal upper-case forms: towupper_l under C.UTF-8,
// whatever the user's locale, so a Turkish desktop does not change what a mask
// selects except for the Turkish pairs. Under locale 1055 'i' upper-cases to
// U+0130 and U+0131 to 'I'; elsewhere U+0131 keeps its own form (towupper_l
// would make it 'I', which would let a dotless i match both 'I' and 'i'), so
// the dotted and dotless letters meet 'i' and 'I' only under 1055.
//
// A single-byte code page could rank all 256 characters by the locale's
// collation. Names here are UTF-8 and only equality of characters is ever
// observable, so the "ranked" comparisons order by code point. The tables are
// a 64K upper-case table for the BMP, built once on first use (std::call_once);
// characters beyond it ask towupper_l on a locale created once.

// The locale id the tables were built for (1055 selects the Turkish pairs).
uint32_t CharTablesLocale();

// Builds the tables now. Optional and idempotent: every comparison builds them
// on first use.
void InitCharTables();

// Key of a byte that does not start a valid sequence: above every code point.
constexpr uint32_t InvalidByteKey = 0x110000;

// Decodes the character at P (P < End) and advances P past it. Returns the
// code point, or InvalidByteKey + the byte for a byte that starts no valid
// sequence (P then moves one byte).
uint32_t NextCharKey(const char*& P, const char* End);

// The key of the upper-case form of a character key.
uint32_t UpperCharKey(uint32_t Key);

// Compare S1 and S2 (zero-terminated) over at most MaxLen characters and
// return a negative, zero or positive value as S1 orders before, equal to or
// after S2. A string that ends first orders before; MaxLen 0 gives 0.
// StrLICompRanked compares the upper-case forms. Neither changes its arguments.
int32_t StrLCompRanked(const char* S1, const char* S2, uint32_t MaxLen);
int32_t StrLICompRanked(const char* S1, const char* S2, uint32_t MaxLen);
