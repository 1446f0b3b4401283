#include "directory/SignatureScan.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteOrder.h"

int64_t ReadStreamAt(TStream& Stream, int64_t Offset, uint8_t* Out, int64_t Count) {
  const int64_t Saved = Stream.Position();
  Stream.SetPosition(Offset);
  int64_t Done = 0;
  // A file stream may return less than asked before its end.
  while (Done < Count) {
    const int64_t N = Stream.Read(Out + Done, Count - Done);
    if (N <= 0) break;
    Done += N;
  }
  Stream.SetPosition(Saved);
  return Done;
}

TSignatureScanner::TSignatureScanner(TStream& Stream, uint32_t Signature, size_t ChunkSize)
    : FStream(Stream), FSize(Stream.Size()) {
  PutLE32(FPattern, Signature);
  // Small archives get a chunk of their own size, not a mebibyte.
  const int64_t Wanted = std::clamp<int64_t>(FSize, 4, static_cast<int64_t>(std::max<size_t>(ChunkSize, 4)));
  FChunk.resize(static_cast<size_t>(Wanted));
}

bool TSignatureScanner::Holds(int64_t Offset, size_t Count) const {
  return Offset >= FChunkStart &&
         Offset - FChunkStart + static_cast<int64_t>(Count) <= static_cast<int64_t>(FChunkLength);
}

const uint8_t* TSignatureScanner::Search(const uint8_t* From, const uint8_t* End) const {
  // memchr runs many times faster than a general substring search, and the
  // first byte of a signature ("P") is rare enough in compressed data.
  const uint8_t* Last = End - 3;
  while (From < Last) {
    From = static_cast<const uint8_t*>(std::memchr(From, FPattern[0], static_cast<size_t>(Last - From)));
    if (!From) return nullptr;
    if (From[1] == FPattern[1] && From[2] == FPattern[2] && From[3] == FPattern[3]) return From;
    ++From;
  }
  return nullptr;
}

bool TSignatureScanner::Load(int64_t Start) {
  const int64_t Want = std::min<int64_t>(static_cast<int64_t>(FChunk.size()), FSize - Start);
  FChunkStart = Start;
  FChunkLength = Want > 0 ? static_cast<size_t>(ReadStreamAt(FStream, Start, FChunk.data(), Want)) : 0;
  return FChunkLength > 0;
}

int64_t TSignatureScanner::Find(int64_t Start) {
  Start = std::max<int64_t>(Start, 0);
  while (Start <= FSize - 4) {
    if (!Holds(Start, 4) && (!Load(Start) || !Holds(Start, 4))) return -1;
    const uint8_t* Hit = Search(FChunk.data() + (Start - FChunkStart), FChunk.data() + FChunkLength);
    if (Hit) return FChunkStart + (Hit - FChunk.data());
    const int64_t ChunkEnd = FChunkStart + static_cast<int64_t>(FChunkLength);
    if (ChunkEnd >= FSize || FChunkLength < 4) return -1;
    // A signature may straddle the chunk's end: keep its last three bytes.
    Start = ChunkEnd - 3;
  }
  return -1;
}

bool TSignatureScanner::ReadAt(int64_t Offset, uint8_t* Out, size_t Count) {
  if (Offset < 0) return false;
  if (Holds(Offset, Count)) {
    std::memcpy(Out, FChunk.data() + (Offset - FChunkStart), Count);
    return true;
  }
  return ReadStreamAt(FStream, Offset, Out, static_cast<int64_t>(Count)) == static_cast<int64_t>(Count);
}
