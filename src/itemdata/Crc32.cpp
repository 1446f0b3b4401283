#include "itemdata/Crc32.h"

#include <zlib.h>

// zlib complements the value on the way in and on the way out; complementing
// around it gives the bare running value, many times faster than a byte table.
uint32_t Crc32Update(uint32_t Crc, const void* Buffer, int32_t Count) {
  if (Buffer == nullptr || Count <= 0) return Crc;
  uLong Z = crc32(~Crc & 0xFFFFFFFFu, static_cast<const Bytef*>(Buffer), static_cast<uInt>(Count));
  return ~static_cast<uint32_t>(Z);
}

void Crc32Update(const void* Buffer, int32_t Count, uint32_t& Crc) { Crc = Crc32Update(Crc, Buffer, Count); }

uint32_t Crc32Step(uint32_t Crc, uint8_t Byte) {
  // zlib's table is the standard 256-entry table of this polynomial.
  static const z_crc_t* const Table = get_crc_table();
  return static_cast<uint32_t>(Table[(Crc ^ Byte) & 0xFF]) ^ (Crc >> 8);
}
