#include "support/ZipCipher.h"

#include <algorithm>

void EncryptBuffer(uint8_t* Buffer, size_t Count, TCVCipherKeys& Keys) {
  for (size_t I = 0; I < Count; ++I) {
    uint8_t Plain = Buffer[I];
    Buffer[I] = Plain ^ CipherKeyByte(Keys);
    UpdateCipherKeys(Keys, Plain);
  }
}

std::vector<uint8_t> EncryptEntryData(const std::vector<uint8_t>& Payload, const std::string& Password,
                                      uint8_t CheckByte, uint32_t Seed) {
  std::vector<uint8_t> Out(EncryptionHeaderSize + Payload.size());
  uint32_t X = Seed * 2654435761u + 0x9E3779B9u;
  for (size_t I = 0; I + 1 < EncryptionHeaderSize; ++I) {
    X ^= X << 13;
    X ^= X >> 17;
    X ^= X << 5;
    Out[I] = static_cast<uint8_t>(X >> 24);
  }
  Out[EncryptionHeaderSize - 1] = CheckByte;
  std::copy(Payload.begin(), Payload.end(), Out.begin() + EncryptionHeaderSize);
  TCVCipherKeys Keys;
  InitCipherKeys(Keys, Password);
  EncryptBuffer(Out.data(), Out.size(), Keys);
  return Out;
}
