#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "directory/DirItem.h"
#include "directory/ZipRecords.h"
#include "itemdata/Cipher.h"
#include "itemdata/Inflater.h"
#include "itemdata/VolumeNumberInfo.h"
#include "platform/Stream.h"

class TCVBaseArchiver;

// The state of one ReadItemData call and the steps that share it. Nothing of
// it outlives the call; every buffer and the inflate stream are released on
// every way out.
//
// Inside, failures are Boolean results with a reason kept for the damage
// report; the only exceptions are the component's codes 55 (Deflate64) and
// 46 (short write to Dest), out of memory, and the streams' own errors.
class TCVItemReader {
 public:
  // Compressed input handled in one step.
  static constexpr int64_t ChunkSize = 0x100000;
  // The largest output buffer the ratio estimate may ask for; a full buffer
  // is written out and reused, so the output does not depend on it.
  static constexpr int64_t MaxOutputBuffer = 16 * ChunkSize;
  // Limits of the block format: a block's plain length and stored length.
  static constexpr int64_t MaxBlockSize = 64 * ChunkSize;
  static constexpr size_t BlockHeaderSize = 50;
  static constexpr size_t BlockCheckSize = 16;

  // Source stands on the entry's local header. Item must outlive the reader.
  TCVItemReader(TCVBaseArchiver& Archiver, TStream& Source, TStream& Dest, const TDirItem& Item);
  ~TCVItemReader();
  TCVItemReader(const TCVItemReader&) = delete;
  TCVItemReader& operator=(const TCVItemReader&) = delete;

  // ReadItemData: true when the data was read and written whole and both the
  // size and the CRC-32 match the directory item.
  bool Run();
  // Why Run returned false, for the damage report; empty when it did not,
  // or when the entry was skipped or cancelled.
  const std::string& DamageReason() const { return FReason; }

  // The cipher of the block format; nothing here knows one, so the data stays
  // as it is. The result is not used.
  static bool DecryptBlockHook(uint8_t Cipher, uint8_t* Data, int64_t Count, const std::string& Password);

 private:
  // Up to Count bytes into Buffer, moving on to the next volume of a split or
  // spanned archive when the current one ends. Obtained counts what came;
  // the result is whether all Count bytes did.
  bool ReadAcrossVolumes(uint8_t* Buffer, int64_t Count, int64_t& Obtained);
  bool ReadStoredOrDeflated();
  // Decrypts and decodes Count input bytes, writing every byte decoded.
  bool DecodeChunk(int64_t Count);
  bool ReadBlockFormat();
  // Inflates one block (a complete zlib stream) into Output, never past
  // ExpectedLength bytes. On failure Output holds what was decoded before it.
  bool InflateBlock(uint8_t Algorithm, const uint8_t* Input, int64_t InputLength, int64_t ExpectedLength,
                    std::vector<uint8_t>& Output);

  // The password loop of an entry under the traditional cipher; false when
  // the entry was skipped. Leaves the stream after the 12-byte header and the
  // keys at the first data byte.
  bool RunPasswordLoop();
  // The same for the block format's check bytes.
  bool RunBlockPasswordLoop(uint8_t Cipher, const uint8_t* CheckBytes, uint32_t CheckCrc);
  // One try of Password and, for a non-ASCII one, its CP437 and
  // Windows-1252 forms.
  bool TryPassword(int64_t HeaderPos, const std::string& Password);

  // The progress events before a chunk or block; false when cancelled.
  bool FireProgress();
  // Adds Data to the CRC-32 and writes it to Dest; a short write raises
  // code 46.
  void Emit(const uint8_t* Data, int64_t Count);
  // Keeps the first reason given; returns false.
  bool Fail(const std::string& Reason);
  // An offset in the entry's compressed bytes as a listing counts them,
  // the encryption header included.
  int64_t EntryOffset(int64_t Consumed) const;
  // The bytes a rebuilt entry without sizes may span from DataStart.
  int64_t UnknownSizeBound(int64_t DataStart);

  TCVBaseArchiver& FArchiver;
  TStream* FSource;
  TStream& FDest;
  const TDirItem& FItem;
  TCVVolumeNumberInfo FVolume;
  TLocalFileHeader FLocal;
  bool FEncrypted = false;
  // The directory's sizes, or the bounds chosen for an entry without them.
  int64_t FCompressedSize = 0;
  int64_t FUncompressedSize = 0;
  // The encryption header, when there is one, is not counted here.
  int64_t FConsumed = 0;
  int64_t FHeaderBytes = 0;
  int64_t FWritten = 0;
  uint32_t FCrc = 0;
  TCVCipherKeys FKeys;
  std::unique_ptr<uint8_t[]> FInput;
  std::unique_ptr<uint8_t[]> FOutput;
  int64_t FOutputSize = 0;
  std::unique_ptr<TInflater> FInflater;
  // The deflate data ended: nothing after it belongs to the entry.
  bool FStreamEnded = false;
  std::string FReason;
};
