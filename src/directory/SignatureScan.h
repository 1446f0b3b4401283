#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Stream.h"

// Finds a 4-byte record signature in a stream, reading it in large chunks
// that are searched in memory. Calls with growing start positions read every
// byte of the stream at most once (chunks overlap by three bytes), so a scan
// of the whole file stays linear however many signatures it holds. The
// stream's position is restored after every read; other readers of the
// stream may work between calls.
class TSignatureScanner {
 public:
  static constexpr size_t DefaultChunkSize = 1 << 20;

  TSignatureScanner(TStream& Stream, uint32_t Signature, size_t ChunkSize = DefaultChunkSize);

  // The first offset at or after Start where the signature's four bytes lie
  // wholly inside the stream, or -1. A negative Start counts as 0.
  int64_t Find(int64_t Start);
  // Reads Count bytes at Offset into Out, from the chunk in memory when it
  // holds them. False (Out unspecified) when the stream ends before.
  bool ReadAt(int64_t Offset, uint8_t* Out, size_t Count);
  // The stream's size when the scanner was made.
  int64_t Size() const { return FSize; }

 private:
  // Makes the chunk start at Start; false when nothing could be read.
  bool Load(int64_t Start);
  bool Holds(int64_t Offset, size_t Count) const;
  // The first match lying wholly in [From, End), or null.
  const uint8_t* Search(const uint8_t* From, const uint8_t* End) const;

  TStream& FStream;
  uint8_t FPattern[4];
  int64_t FSize;
  std::vector<uint8_t> FChunk;
  int64_t FChunkStart = 0;
  size_t FChunkLength = 0;
};

// Reads up to Count bytes at Offset and restores the position; returns the
// count read.
int64_t ReadStreamAt(TStream& Stream, int64_t Offset, uint8_t* Out, int64_t Count);
