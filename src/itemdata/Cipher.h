#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Stream.h"

// The traditional PKWARE cipher (APPNOTE 6.1). Keys are 32-bit values; all
// arithmetic is modulo 2^32. A password's bytes are used as stored: no case
// folding, no code-page conversion, no terminator.

struct TCVCipherKeys {
  uint32_t Key0 = 0;
  uint32_t Key1 = 0;
  uint32_t Key2 = 0;
};

// Encrypted entry data starts with this many header bytes, counted in the
// compressed size; the last of them, decrypted, is the check byte.
constexpr size_t EncryptionHeaderSize = 12;

// 0x12345678, 0x23456789, 0x34567890, then one update per password byte.
void InitCipherKeys(TCVCipherKeys& Keys, const std::string& Password);
// Advances the keys by one plain byte.
void UpdateCipherKeys(TCVCipherKeys& Keys, uint8_t PlainByte);
// The next keystream byte; the keys do not change.
uint8_t CipherKeyByte(const TCVCipherKeys& Keys);
// Decrypts in place, the keys running on; a Count of 0 or less does nothing.
void DecryptBuffer(void* Buffer, int32_t Count, TCVCipherKeys& Keys);
// Initialises Keys from Password and decrypts the 12 header bytes in place;
// Keys are then positioned at the first data byte.
void DecryptEncryptionHeader(const std::string& Password, TCVCipherKeys& Keys, uint8_t* Header);

// The value the decrypted check byte must have: the high byte of the local
// header's modification time when its flag bit 3 is set (sizes and CRC
// follow the data), else the high byte of its CRC-32.
uint8_t ExpectedCheckByte(uint32_t LocalCrc32, uint16_t LocalModTime, uint16_t LocalFlags);

// Reads the 12 header bytes at Source's position (EReadError when they are
// not all there), decrypts them with Password and compares byte 11 with the
// expected check byte. Byte 10 is not compared, so about one wrong password
// in 256 passes. Source is left after the header and Keys at the state after
// it, accepted or not. The arguments are the local header's Crc32, ModTime
// and Flags.
bool CheckEncryptionHeader(TStream& Source, const std::string& Password, TCVCipherKeys& Keys, uint32_t LocalCrc32,
                           uint16_t LocalModTime, uint16_t LocalFlags);
