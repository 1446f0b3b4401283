#include <algorithm>
#include <cstring>

#include "archiver/Corvane.h"
#include "itemdata/Crc32.h"
#include "itemdata/ItemReader.h"
#include "platform/CodePage.h"

namespace {

bool IsAscii(const std::string& S) {
  return std::all_of(S.begin(), S.end(), [](char C) { return static_cast<uint8_t>(C) < 0x80; });
}

}  // namespace

bool TCVItemReader::RunPasswordLoop() {
  int64_t HeaderPos = FSource->Position();
  for (;;) {
    if (TryPassword(HeaderPos, FArchiver.FPassword)) return true;
    // A password the handler assigns stays in the component for later
    // entries.
    FArchiver.DoOnPassword(FItem.FileName, FArchiver.FPassword, FArchiver.FSkipFileRequested);
    if (FArchiver.FSkipFileRequested) return false;
  }
}

bool TCVItemReader::TryPassword(int64_t HeaderPos, const std::string& Password) {
  FSource->SetPosition(HeaderPos);
  if (CheckEncryptionHeader(*FSource, Password, FKeys, FLocal.Crc32, FLocal.ModTime, FLocal.Flags))
    return true;
  if (IsAscii(Password) || !IsValidUtf8(Password)) return false;
  // Archives made on Windows encrypt with the bytes of its OEM or ANSI code
  // page; the text typed here is UTF-8. These tries are part of the same
  // attempt: the user is asked no more often than before.
  const std::string Forms[] = {CharToOem(Password), CharToWindows1252(Password)};
  for (size_t I = 0; I < std::size(Forms); ++I) {
    if (Forms[I] == Password || (I > 0 && Forms[I] == Forms[0])) continue;
    FSource->SetPosition(HeaderPos);
    if (CheckEncryptionHeader(*FSource, Forms[I], FKeys, FLocal.Crc32, FLocal.ModTime, FLocal.Flags))
      return true;
  }
  return false;
}

bool TCVItemReader::RunBlockPasswordLoop(uint8_t Cipher, const uint8_t* CheckBytes, uint32_t CheckCrc) {
  for (;;) {
    uint8_t Plain[BlockCheckSize];
    std::memcpy(Plain, CheckBytes, BlockCheckSize);
    DecryptBlockHook(Cipher, Plain, BlockCheckSize, FArchiver.FPassword);
    if (~Crc32Update(Crc32Initial, Plain, BlockCheckSize) == CheckCrc) return true;
    FArchiver.DoOnPassword(FItem.FileName, FArchiver.FPassword, FArchiver.FSkipFileRequested);
    if (FArchiver.FSkipFileRequested) return false;
  }
}
