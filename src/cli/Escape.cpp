#include "cli/Escape.h"

#include "platform/CodePage.h"

namespace {

const char HexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& Out, unsigned Value) {
  Out += "\\x";
  Out += HexDigits[(Value >> 4) & 0xF];
  Out += HexDigits[Value & 0xF];
}

bool IsBidiControl(char32_t C) {
  return C == 0x200E || C == 0x200F || (C >= 0x202A && C <= 0x202E) || (C >= 0x2066 && C <= 0x2069);
}

}  // namespace

std::string EscapeForDisplay(const std::string& Text) {
  std::string Out;
  Out.reserve(Text.size());
  size_t Pos = 0;
  while (Pos < Text.size()) {
    const size_t Start = Pos;
    char32_t C = 0;
    if (!DecodeUtf8Char(Text, Pos, C)) {
      AppendHexByte(Out, static_cast<unsigned char>(Text[Start]));
    } else if (C < 0x20 || (C >= 0x7F && C <= 0x9F)) {
      AppendHexByte(Out, static_cast<unsigned>(C));
    } else if (C == '\\') {
      Out += "\\\\";
    } else if (IsBidiControl(C)) {
      Out += "\\u{";
      for (int Shift = 12; Shift >= 0; Shift -= 4) Out += HexDigits[(C >> Shift) & 0xF];
      Out += '}';
    } else {
      Out.append(Text, Start, Pos - Start);
    }
  }
  return Out;
}
