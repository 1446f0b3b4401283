#pragma once

#include <string>

// Names and comments come from the archive and may hold anything. Before such
// text reaches a terminal or a log line, EscapeForDisplay makes every byte
// that could move the cursor, change colours, clear the screen or reorder
// what is shown visible instead:
//   - C0 controls (0x00-0x1F), DEL (0x7F) and C1 controls (U+0080-U+009F) as
//     "\xNN" (the code point),
//   - bidirectional formatting characters (U+200E, U+200F, U+202A-U+202E,
//     U+2066-U+2069) as "\u{NNNN}",
//   - bytes that are not well-formed UTF-8 as "\xNN",
//   - the backslash itself as "\\", so an escape cannot be forged.
// Everything else, printable non-ASCII text included, passes unchanged.
std::string EscapeForDisplay(const std::string& Text);
