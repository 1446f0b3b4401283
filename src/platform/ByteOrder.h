#pragma once

#include <cstdint>
#include <cstring>

// Little-endian loads and stores, byte by byte so alignment never matters.

inline uint16_t GetLE16(const uint8_t* P) {
  return static_cast<uint16_t>(P[0] | (P[1] << 8));
}
inline uint32_t GetLE32(const uint8_t* P) {
  return static_cast<uint32_t>(P[0]) | (static_cast<uint32_t>(P[1]) << 8) |
         (static_cast<uint32_t>(P[2]) << 16) | (static_cast<uint32_t>(P[3]) << 24);
}
inline uint64_t GetLE64(const uint8_t* P) {
  return static_cast<uint64_t>(GetLE32(P)) | (static_cast<uint64_t>(GetLE32(P + 4)) << 32);
}
inline void PutLE16(uint8_t* P, uint16_t V) {
  P[0] = static_cast<uint8_t>(V);
  P[1] = static_cast<uint8_t>(V >> 8);
}
inline void PutLE32(uint8_t* P, uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = static_cast<uint8_t>(V >> (8 * i));
}
inline void PutLE64(uint8_t* P, uint64_t V) {
  for (int i = 0; i < 8; ++i) P[i] = static_cast<uint8_t>(V >> (8 * i));
}
