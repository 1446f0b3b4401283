#pragma once

#include <cstdint>

// The ZIP CRC-32 (reflected polynomial 0xEDB88320). The update neither sets
// the initial value nor complements the result: start a running value at
// 0xFFFFFFFF, pass it through one update per buffer in data order, and
// compare its complement with the stored CRC-32.

constexpr uint32_t Crc32Initial = 0xFFFFFFFF;

// The running value after Count bytes of Buffer. A null Buffer or a Count of
// 0 or less returns Crc unchanged.
uint32_t Crc32Update(uint32_t Crc, const void* Buffer, int32_t Count);
// The same, replacing Crc by the result.
void Crc32Update(const void* Buffer, int32_t Count, uint32_t& Crc);

// One table step with one byte; the cipher's key update is built on it.
uint32_t Crc32Step(uint32_t Crc, uint8_t Byte);
