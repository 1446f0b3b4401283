#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ByteOrder.h"

// A bounds-checked reader over bytes in memory. A read that does not fit
// returns 0, takes nothing and makes the failure sticky, so a parser can read
// a run of fields and test Ok() once.
class TByteCursor {
 public:
  TByteCursor(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}

  bool Ok() const { return FOk; }
  size_t Position() const { return FPosition; }
  size_t Left() const { return FSize - FPosition; }
  // The next N bytes lie inside the data (and nothing failed before).
  bool Has(size_t N) const { return FOk && N <= Left(); }

  uint16_t GetLE16() { return Take(2) ? ::GetLE16(FData + FPosition - 2) : 0; }
  uint32_t GetLE32() { return Take(4) ? ::GetLE32(FData + FPosition - 4) : 0; }
  uint64_t GetLE64() { return Take(8) ? ::GetLE64(FData + FPosition - 8) : 0; }
  // The next N bytes, or null when they do not fit.
  const uint8_t* GetBytes(size_t N) { return Take(N) ? FData + FPosition - N : nullptr; }

 private:
  bool Take(size_t N) {
    if (!Has(N)) {
      FOk = false;
      return false;
    }
    FPosition += N;
    return true;
  }

  const uint8_t* FData;
  size_t FSize;
  size_t FPosition = 0;
  bool FOk = true;
};
