#include "selection/Masks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "selection/CharTables.h"

namespace {

std::vector<uint32_t> CharKeys(const char* S, bool IgnoreCase) {
  const char* End = S + std::strlen(S);
  std::vector<uint32_t> Keys;
  Keys.reserve(static_cast<size_t>(End - S));
  while (S < End) {
    uint32_t K = NextCharKey(S, End);
    Keys.push_back(IgnoreCase && K != '*' && K != '?' ? UpperCharKey(K) : K);
  }
  return Keys;
}

}  // namespace

// The recursive matcher, stated over positions (I in the name, J in the mask):
//   Entry(I, J) = rest of mask is exactly "*.*"  or  Loop(I, J)
//   Loop(I, J)  = rest of mask is exactly "*"          -> true
//                 name exhausted                        -> mask exhausted
//                 mask exhausted                        -> false
//                 mask[J] == '*'   -> Entry(K, J+1) for some K in I..N-1
//                 mask[J] == '?'   -> Loop(I+1, J+1)
//                 otherwise        -> same character and Loop(I+1, J+1)
// Its answer is Entry(0, 0). Recursing on it re-explores the same (I, J)
// pairs exponentially often ("*a*a*a*...b" against "aaaa..."); filling the
// table one mask column at a time, from the end, visits each pair once and
// keeps only two columns.
bool WildcardMatch(const char* Name, const char* Mask, bool IgnoreCase) {
  const std::vector<uint32_t> N = CharKeys(Name, IgnoreCase);
  const std::vector<uint32_t> M = CharKeys(Mask, IgnoreCase);
  const size_t NLen = N.size(), MLen = M.size();
  auto RestIsStarDotStar = [&](size_t J) {
    return MLen - J == 3 && M[J] == '*' && M[J + 1] == '.' && M[J + 2] == '*';
  };
  if (RestIsStarDotStar(0)) return true;

  // Next holds Loop(., J+1), Cur receives Loop(., J).
  std::vector<uint8_t> Next(NLen + 1, 0), Cur(NLen + 1, 0);
  Next[NLen] = 1;  // Loop(., MLen): only an exhausted name matches an exhausted mask
  for (size_t J = MLen; J-- > 0;) {
    const uint32_t C = M[J];
    if (J == MLen - 1 && C == '*') {
      std::fill(Cur.begin(), Cur.end(), 1);
    } else {
      Cur[NLen] = 0;
      if (C == '*') {
        const bool EntryAlways = RestIsStarDotStar(J + 1);
        bool Any = false;
        for (size_t I = NLen; I-- > 0;) {
          Any = Any || EntryAlways || Next[I] != 0;
          Cur[I] = Any ? 1 : 0;
        }
      } else if (C == '?') {
        for (size_t I = 0; I < NLen; ++I) Cur[I] = Next[I + 1];
      } else {
        for (size_t I = 0; I < NLen; ++I) Cur[I] = N[I] == C ? Next[I + 1] : 0;
      }
    }
    std::swap(Cur, Next);
  }
  return Next[0] != 0;
}

bool NameMatchesMask(const std::string& Name, const std::string& Mask) {
  if (Mask.empty()) return false;
  std::string M = Mask;
  if (size_t P = Mask.find("*.*"); P != std::string::npos) M = Mask.substr(0, P + 1) + Mask.substr(P + 3);
  const bool DotEnd = Mask.back() == '.';
  if (DotEnd) M.pop_back();
  std::string N = Name;
  if (!N.empty() && N.back() == '.') N.pop_back();
  if (!WildcardMatch(N.c_str(), M.c_str(), true)) return false;
  if (!DotEnd) return true;
  // A colon never delimits the extension: only a drive colon could, and it
  // sits at the second position with a letter, never a ".", before it.
  size_t Start = Name.rfind('\\');
  size_t Dot = Name.rfind('.');
  if (Dot == std::string::npos || (Start != std::string::npos && Dot < Start)) return true;
  return Dot == Name.size() - 1;
}
