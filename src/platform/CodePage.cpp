#include <algorithm>
#include <array>
#include <utility>

#include "platform/CodePage.h"

namespace {

// CP437's upper half; the lower half is ASCII.
constexpr char16_t Cp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Windows-1252's 0x80-0x9F; 0xA0-0xFF are Latin-1. 0 marks an unused byte.
constexpr char16_t Cp1252C1[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

using TReverseTable = std::array<std::pair<char16_t, uint8_t>, 128>;

// Code point to byte for the upper half, sorted for binary search.
TReverseTable BuildReverse(const char16_t (&High)[128]) {
  TReverseTable Table;
  for (size_t I = 0; I < 128; ++I) Table[I] = {High[I], static_cast<uint8_t>(0x80 + I)};
  std::sort(Table.begin(), Table.end());
  return Table;
}

char Lookup(const TReverseTable& Table, char32_t CodePoint) {
  if (CodePoint > 0xFFFF) return '?';
  auto It = std::lower_bound(Table.begin(), Table.end(), std::make_pair(static_cast<char16_t>(CodePoint), uint8_t{0}));
  return It != Table.end() && It->first == CodePoint ? static_cast<char>(It->second) : '?';
}

template <typename ToByte>
std::string Encode(const std::string& Utf8, ToByte Convert) {
  std::string Out;
  Out.reserve(Utf8.size());
  size_t Pos = 0;
  while (Pos < Utf8.size()) {
    char32_t C;
    if (!DecodeUtf8Char(Utf8, Pos, C))
      Out += '?';
    else
      Out += C < 0x80 ? static_cast<char>(C) : Convert(C);
  }
  return Out;
}

}  // namespace

bool DecodeUtf8Char(const std::string& S, size_t& Pos, char32_t& CodePoint) {
  const auto Byte = [&](size_t I) { return static_cast<uint8_t>(S[I]); };
  uint8_t B0 = Byte(Pos);
  CodePoint = B0;
  size_t Length;
  // The second byte's range rules out overlong forms (E0, F0), surrogates
  // (ED) and code points above U+10FFFF (F4).
  uint8_t Low = 0x80, High = 0xBF;
  if (B0 < 0x80) {
    ++Pos;
    return true;
  } else if (B0 >= 0xC2 && B0 <= 0xDF) {
    Length = 2;
  } else if (B0 >= 0xE0 && B0 <= 0xEF) {
    Length = 3;
    if (B0 == 0xE0) Low = 0xA0;
    if (B0 == 0xED) High = 0x9F;
  } else if (B0 >= 0xF0 && B0 <= 0xF4) {
    Length = 4;
    if (B0 == 0xF0) Low = 0x90;
    if (B0 == 0xF4) High = 0x8F;
  } else {
    ++Pos;
    return false;
  }
  if (Pos + Length > S.size() || Byte(Pos + 1) < Low || Byte(Pos + 1) > High) {
    ++Pos;
    return false;
  }
  char32_t C = B0 & (0x7F >> Length);
  for (size_t I = 1; I < Length; ++I) {
    uint8_t B = Byte(Pos + I);
    if ((B & 0xC0) != 0x80) {
      ++Pos;
      return false;
    }
    C = (C << 6) | (B & 0x3F);
  }
  CodePoint = C;
  Pos += Length;
  return true;
}

void AppendUtf8(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | (C >> 6));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (C >> 18));
    Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  }
}

std::string OemToChar(const std::string& Oem) {
  std::string Out;
  Out.reserve(Oem.size() * 2);
  for (char Ch : Oem) {
    auto B = static_cast<uint8_t>(Ch);
    AppendUtf8(Out, B < 0x80 ? char32_t{B} : char32_t{Cp437High[B - 0x80]});
  }
  return Out;
}

std::string CharToOem(const std::string& Utf8) {
  static const TReverseTable Reverse = BuildReverse(Cp437High);
  return Encode(Utf8, [](char32_t C) { return Lookup(Reverse, C); });
}

std::string CharToWindows1252(const std::string& Utf8) {
  return Encode(Utf8, [](char32_t C) {
    if (C >= 0xA0 && C <= 0xFF) return static_cast<char>(C);
    for (size_t I = 0; I < 32; ++I)
      if (Cp1252C1[I] != 0 && Cp1252C1[I] == C) return static_cast<char>(0x80 + I);
    return '?';
  });
}

bool IsValidUtf8(const std::string& S) {
  size_t Pos = 0;
  char32_t C;
  while (Pos < S.size())
    if (!DecodeUtf8Char(S, Pos, C)) return false;
  return true;
}

bool LooksLikeUtf8(const std::string& S) {
  bool MultiByte = std::any_of(S.begin(), S.end(), [](char Ch) { return static_cast<uint8_t>(Ch) >= 0x80; });
  return MultiByte && IsValidUtf8(S);
}
