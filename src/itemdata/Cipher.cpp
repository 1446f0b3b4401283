#include "itemdata/Cipher.h"

#include <array>

#include "directory/ZipRecords.h"
#include "itemdata/Crc32.h"

void InitCipherKeys(TCVCipherKeys& Keys, const std::string& Password) {
  Keys.Key0 = 0x12345678;
  Keys.Key1 = 0x23456789;
  Keys.Key2 = 0x34567890;
  for (char C : Password) UpdateCipherKeys(Keys, static_cast<uint8_t>(C));
}

void UpdateCipherKeys(TCVCipherKeys& Keys, uint8_t PlainByte) {
  Keys.Key0 = Crc32Step(Keys.Key0, PlainByte);
  Keys.Key1 = (Keys.Key1 + (Keys.Key0 & 0xFF)) * 134775813u + 1;
  Keys.Key2 = Crc32Step(Keys.Key2, static_cast<uint8_t>(Keys.Key1 >> 24));
}

uint8_t CipherKeyByte(const TCVCipherKeys& Keys) {
  // Only the low 16 bits matter; the product of two 16-bit values fits.
  uint32_t T = (Keys.Key2 | 2) & 0xFFFF;
  return static_cast<uint8_t>((T * (T ^ 1)) >> 8);
}

void DecryptBuffer(void* Buffer, int32_t Count, TCVCipherKeys& Keys) {
  auto* P = static_cast<uint8_t*>(Buffer);
  for (int32_t I = 0; I < Count; ++I) {
    P[I] ^= CipherKeyByte(Keys);
    UpdateCipherKeys(Keys, P[I]);
  }
}

void DecryptEncryptionHeader(const std::string& Password, TCVCipherKeys& Keys, uint8_t* Header) {
  InitCipherKeys(Keys, Password);
  DecryptBuffer(Header, static_cast<int32_t>(EncryptionHeaderSize), Keys);
}

uint8_t ExpectedCheckByte(uint32_t LocalCrc32, uint16_t LocalModTime, uint16_t LocalFlags) {
  // Writers that stream the data do not know the CRC when they write the
  // header, so they check against the time instead.
  if (LocalFlags & zfDataDescriptor) return static_cast<uint8_t>(LocalModTime >> 8);
  return static_cast<uint8_t>(LocalCrc32 >> 24);
}

bool CheckEncryptionHeader(TStream& Source, const std::string& Password, TCVCipherKeys& Keys, uint32_t LocalCrc32,
                           uint16_t LocalModTime, uint16_t LocalFlags) {
  std::array<uint8_t, EncryptionHeaderSize> Header;
  Source.ReadBuffer(Header.data(), EncryptionHeaderSize);
  DecryptEncryptionHeader(Password, Keys, Header.data());
  return Header[EncryptionHeaderSize - 1] == ExpectedCheckByte(LocalCrc32, LocalModTime, LocalFlags);
}
