#pragma once

#include <string>
#include <vector>

#include "cli/CliArchiver.h"

// --list: the directory as it was read or rebuilt.

// "Directory rebuilt from local headers: N entries" (or "read from the
// archive"), then a header and one line per item: sizes ("?" when unknown),
// method, CRC-32, "yes" when encrypted, the stored date and time ("-" when
// invalid), the name escaped.
std::vector<std::string> ListingLines(const std::string& Archive, bool Rebuilt, int32_t EntryCount,
                                      const std::vector<TCliArchiver::TListedItem>& Items);

// The same as one JSON document; invalid UTF-8 is replaced.
std::string ListingJson(const std::string& Archive, bool Rebuilt, int32_t EntryCount,
                        const std::vector<TCliArchiver::TListedItem>& Items, int ExitStatus);

// "YYYY-MM-DD HH:MM:SS" of a DOS date and time, "-" when the stamp is invalid.
std::string DosStampText(uint16_t Date, uint16_t Time);
