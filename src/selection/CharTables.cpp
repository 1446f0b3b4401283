#include "selection/CharTables.h"

#include <locale.h>
#include <wctype.h>

#include <cstring>
#include <memory>
#include <mutex>

#include "platform/CodePage.h"

namespace {

constexpr uint32_t BmpSize = 0x10000;
constexpr uint32_t DotlessI = 0x131;
constexpr uint32_t DottedCapitalI = 0x130;

struct TCharTables {
  uint32_t Locale = LocaleNeutral;
  locale_t Utf8 = nullptr;  // never freed: the tables live as long as the process
  std::unique_ptr<uint32_t[]> Upper;  // BMP code point -> upper-case code point
};

TCharTables& Tables() {
  static TCharTables T;
  static std::once_flag Once;
  std::call_once(Once, [] {
    T.Locale = GetUserDefaultLCID();
    // Upper-casing must not follow the user's LC_CTYPE: a tr_TR process would
    // apply the Turkish pairs to every locale id. Without C.UTF-8 the fallback
    // is ASCII letters only, which still gives the same answer for every
    // plain name.
    T.Utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    T.Upper = std::make_unique<uint32_t[]>(BmpSize);
    for (uint32_t C = 0; C < BmpSize; ++C) {
      uint32_t U = C;
      if (T.Utf8 != nullptr) {
        U = static_cast<uint32_t>(towupper_l(static_cast<wint_t>(C), T.Utf8));
      } else if (C >= 'a' && C <= 'z') {
        U = C - 'a' + 'A';
      }
      T.Upper[C] = U;
    }
    if (T.Locale == LocaleTurkish) {
      T.Upper['i'] = DottedCapitalI;
      T.Upper[DotlessI] = 'I';
    } else {
      T.Upper[DotlessI] = DotlessI;
    }
  });
  return T;
}

bool IsContinuation(unsigned char B) { return (B & 0xC0) == 0x80; }

}  // namespace

uint32_t CharTablesLocale() { return Tables().Locale; }

void InitCharTables() { Tables(); }

uint32_t NextCharKey(const char*& P, const char* End) {
  const auto* S = reinterpret_cast<const unsigned char*>(P);
  size_t Avail = static_cast<size_t>(End - P);
  unsigned char B0 = S[0];
  if (B0 < 0x80) {
    ++P;
    return B0;
  }
  // Well-formed sequences only (RFC 3629): no overlongs, no surrogates, nothing
  // past U+10FFFF. The second byte's range depends on the first.
  size_t Len = 0;
  unsigned char Lo = 0x80, Hi = 0xBF;
  uint32_t Cp = 0;
  if (B0 >= 0xC2 && B0 <= 0xDF) {
    Len = 2;
    Cp = B0 & 0x1F;
  } else if (B0 >= 0xE0 && B0 <= 0xEF) {
    Len = 3;
    Cp = B0 & 0x0F;
    if (B0 == 0xE0) Lo = 0xA0;
    if (B0 == 0xED) Hi = 0x9F;
  } else if (B0 >= 0xF0 && B0 <= 0xF4) {
    Len = 4;
    Cp = B0 & 0x07;
    if (B0 == 0xF0) Lo = 0x90;
    if (B0 == 0xF4) Hi = 0x8F;
  }
  if (Len == 0 || Avail < Len || S[1] < Lo || S[1] > Hi) {
    ++P;
    return InvalidByteKey + B0;
  }
  for (size_t I = 1; I < Len; ++I) {
    if (!IsContinuation(S[I])) {
      ++P;
      return InvalidByteKey + B0;
    }
    Cp = (Cp << 6) | (S[I] & 0x3F);
  }
  P += Len;
  return Cp;
}

uint32_t UpperCharKey(uint32_t Key) {
  const TCharTables& T = Tables();
  if (Key < BmpSize) return T.Upper[Key];
  if (Key >= InvalidByteKey || T.Utf8 == nullptr) return Key;
  return static_cast<uint32_t>(towupper_l(static_cast<wint_t>(Key), T.Utf8));
}

namespace {

int32_t CompareKeys(const char* S1, const char* S2, uint32_t MaxLen, bool IgnoreCase) {
  const char* End1 = S1 + std::strlen(S1);
  const char* End2 = S2 + std::strlen(S2);
  for (uint32_t N = 0; N < MaxLen; ++N) {
    if (S1 == End1 || S2 == End2) return (S1 == End1 ? 0 : 1) - (S2 == End2 ? 0 : 1);
    uint32_t A = NextCharKey(S1, End1);
    uint32_t B = NextCharKey(S2, End2);
    if (IgnoreCase) {
      A = UpperCharKey(A);
      B = UpperCharKey(B);
    }
    if (A != B) return A < B ? -1 : 1;
  }
  return 0;
}

}  // namespace

int32_t StrLCompRanked(const char* S1, const char* S2, uint32_t MaxLen) {
  return CompareKeys(S1, S2, MaxLen, false);
}

int32_t StrLICompRanked(const char* S1, const char* S2, uint32_t MaxLen) {
  return CompareKeys(S1, S2, MaxLen, true);
}
