#include "cli/Listing.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/Escape.h"
#include "platform/Files.h"

namespace {

std::string SizeText(int64_t Size, bool Unknown) { return Unknown ? "?" : std::to_string(Size); }

std::string Crc32Text(uint32_t Crc) {
  char Text[9];
  std::snprintf(Text, sizeof Text, "%08X", Crc);
  return Text;
}

std::string PadLeft(const std::string& S, size_t Width) {
  return S.size() >= Width ? S : std::string(Width - S.size(), ' ') + S;
}

std::string PadRight(const std::string& S, size_t Width) {
  return S.size() >= Width ? S : S + std::string(Width - S.size(), ' ');
}

std::string FirstLine(bool Rebuilt, int32_t EntryCount) {
  return std::string(Rebuilt ? "Directory rebuilt from local headers: "
                             : "Directory read from the archive: ") +
         std::to_string(EntryCount) + (EntryCount == 1 ? " entry" : " entries");
}

}  // namespace

std::string DosStampText(uint16_t Date, uint16_t Time) {
  const uint32_t Stamp = (static_cast<uint32_t>(Date) << 16) | Time;
  if (!IsValidDosDateTime(Stamp)) return "-";
  char Text[24];
  std::snprintf(Text, sizeof Text, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (Date >> 9), (Date >> 5) & 0xF,
                Date & 0x1F, Time >> 11, (Time >> 5) & 0x3F, (Time & 0x1F) * 2);
  return Text;
}

std::vector<std::string> ListingLines(const std::string& Archive, bool Rebuilt, int32_t EntryCount,
                                      const std::vector<TCliArchiver::TListedItem>& Items) {
  std::vector<std::string> Lines;
  std::string First = FirstLine(Rebuilt, EntryCount);
  if (static_cast<int32_t>(Items.size()) != EntryCount)
    First += ", " + std::to_string(Items.size()) + " selected";
  Lines.push_back(First + " (" + EscapeForDisplay(Archive) + ")");
  Lines.push_back(PadLeft("Size", 12) + PadLeft("Packed", 12) + "  " + PadRight("Method", 10) +
                  PadRight("CRC-32", 10) + PadRight("Enc", 5) + PadRight("Modified", 21) + "Name");
  for (const TCliArchiver::TListedItem& I : Items) {
    Lines.push_back(PadLeft(SizeText(I.UncompressedSize, I.SizesUnknown), 12) +
                    PadLeft(SizeText(I.CompressedSize, I.SizesUnknown), 12) + "  " +
                    PadRight(MethodName(I.Method), 10) + PadRight(Crc32Text(I.Crc32), 10) +
                    PadRight(I.Encrypted ? "yes" : "-", 5) +
                    PadRight(DosStampText(I.ModDate, I.ModTime), 21) + EscapeForDisplay(I.Name));
  }
  return Lines;
}

std::string ListingJson(const std::string& Archive, bool Rebuilt, int32_t EntryCount,
                        const std::vector<TCliArchiver::TListedItem>& Items, int ExitStatus) {
  using nlohmann::json;
  json Doc;
  Doc["archive"] = Archive;
  Doc["mode"] = "list";
  Doc["rebuilt"] = Rebuilt;
  Doc["entryCount"] = EntryCount;
  json Entries = json::array();
  for (const TCliArchiver::TListedItem& I : Items) {
    json Entry;
    Entry["name"] = I.Name;
    Entry["size"] = I.SizesUnknown ? json(nullptr) : json(I.UncompressedSize);
    Entry["packed"] = I.SizesUnknown ? json(nullptr) : json(I.CompressedSize);
    Entry["method"] = MethodName(I.Method);
    Entry["crc32"] = Crc32Text(I.Crc32);
    Entry["encrypted"] = I.Encrypted;
    Entry["modified"] = DosStampText(I.ModDate, I.ModTime);
    Entry["folder"] = I.Folder;
    Entries.push_back(std::move(Entry));
  }
  Doc["entries"] = std::move(Entries);
  Doc["exitStatus"] = ExitStatus;
  return Doc.dump(2, ' ', false, json::error_handler_t::replace);
}
