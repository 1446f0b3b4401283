#include "platform/Format.h"

#include <charconv>
#include <cstdlib>

namespace {

struct TSpec {
  bool LeftAlign = false;
  int Width = 0;
  int Precision = -1;
  char Conversion = 0;
};

std::string Pad(std::string Body, const TSpec& Spec) {
  if (static_cast<int>(Body.size()) >= Spec.Width) return Body;
  std::string Fill(Spec.Width - Body.size(), ' ');
  return Spec.LeftAlign ? Body + Fill : Fill + Body;
}

std::string Number(int64_t V, const TSpec& Spec) {
  char Buf[32];
  bool Negative = false;
  uint64_t Magnitude;
  if (Spec.Conversion == 'u' || Spec.Conversion == 'x') {
    // %u and %x show the 32-bit pattern of a negative Integer, as printf would.
    Magnitude = V < 0 && V >= INT32_MIN ? static_cast<uint32_t>(V) : static_cast<uint64_t>(V);
  } else {
    Negative = V < 0;
    Magnitude = Negative ? 0 - static_cast<uint64_t>(V) : static_cast<uint64_t>(V);
  }
  auto Res = std::to_chars(Buf, Buf + sizeof(Buf), Magnitude, Spec.Conversion == 'x' ? 16 : 10);
  std::string Digits(Buf, Res.ptr);
  if (Spec.Precision > static_cast<int>(Digits.size()))
    Digits.insert(0, Spec.Precision - Digits.size(), '0');
  if (Negative) Digits.insert(0, 1, '-');
  return Digits;
}

}  // namespace

std::string FormatArgs(const std::string& Fmt, const TFormatArgs& Args) {
  std::string Out;
  Out.reserve(Fmt.size() + 16);
  size_t NextArg = 0;
  size_t I = 0;
  while (I < Fmt.size()) {
    char C = Fmt[I];
    if (C != '%') {
      Out += C;
      ++I;
      continue;
    }
    if (I + 1 < Fmt.size() && Fmt[I + 1] == '%') {
      Out += '%';
      I += 2;
      continue;
    }
    size_t Start = I++;
    TSpec Spec;
    if (I < Fmt.size() && Fmt[I] == '-') {
      Spec.LeftAlign = true;
      ++I;
    }
    while (I < Fmt.size() && Fmt[I] >= '0' && Fmt[I] <= '9') Spec.Width = Spec.Width * 10 + (Fmt[I++] - '0');
    if (I < Fmt.size() && Fmt[I] == '.') {
      ++I;
      Spec.Precision = 0;
      while (I < Fmt.size() && Fmt[I] >= '0' && Fmt[I] <= '9')
        Spec.Precision = Spec.Precision * 10 + (Fmt[I++] - '0');
    }
    if (I >= Fmt.size() || (Fmt[I] != 's' && Fmt[I] != 'd' && Fmt[I] != 'u' && Fmt[I] != 'x')) {
      // Not a directive we know: copy it through untouched.
      Out.append(Fmt, Start, I - Start);
      continue;
    }
    Spec.Conversion = Fmt[I++];
    if (NextArg >= Args.size()) {
      Out.append(Fmt, Start, I - Start);
      continue;
    }
    const TFormatArg& Arg = Args[NextArg++];
    std::string Body;
    if (const auto* S = std::get_if<std::string>(&Arg)) {
      Body = *S;
      if (Spec.Conversion == 's' && Spec.Precision >= 0 && static_cast<int>(Body.size()) > Spec.Precision)
        Body.resize(Spec.Precision);
    } else {
      TSpec NumSpec = Spec;
      if (Spec.Conversion == 's') NumSpec.Precision = -1, NumSpec.Conversion = 'd';
      Body = Number(std::get<int64_t>(Arg), NumSpec);
    }
    Out += Pad(std::move(Body), Spec);
  }
  return Out;
}

std::string FormatFixed(double Value, int Decimals) {
  char Buf[64];
  auto Res = std::to_chars(Buf, Buf + sizeof(Buf), Value, std::chars_format::fixed, Decimals);
  return std::string(Buf, Res.ptr);
}
