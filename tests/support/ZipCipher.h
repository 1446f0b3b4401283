#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "itemdata/Cipher.h"

// The traditional cipher's encrypting direction, which only fixtures need.

// Encrypts in place, the keys running on.
void EncryptBuffer(uint8_t* Buffer, size_t Count, TCVCipherKeys& Keys);

// The 12-byte encryption header (11 bytes from Seed, then CheckByte) and
// Payload, encrypted with Password.
std::vector<uint8_t> EncryptEntryData(const std::vector<uint8_t>& Payload, const std::string& Password,
                                      uint8_t CheckByte, uint32_t Seed);
