#include "directory/ReadAhead.h"

#include <algorithm>
#include <cstring>

#include "platform/Exceptions.h"

TReadAheadStream::TReadAheadStream(TStream& Source, int64_t Start, int64_t Limit, size_t BlockSize)
    : FSource(Source),
      FLimit(std::max<int64_t>(Limit, 0)),
      FPosition(Start),
      FBlockSize(std::max<size_t>(BlockSize, 1)) {}

int64_t TReadAheadStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition >= FLimit) return 0;
  Count = std::min(Count, FLimit - FPosition);
  uint8_t* Out = static_cast<uint8_t*>(Buffer);
  int64_t Done = 0;
  while (Done < Count) {
    const int64_t BlockEnd = FBlockStart + static_cast<int64_t>(FBlock.size());
    if (FPosition >= FBlockStart && FPosition < BlockEnd) {
      const int64_t N = std::min(Count - Done, BlockEnd - FPosition);
      std::memcpy(Out + Done, FBlock.data() + (FPosition - FBlockStart), static_cast<size_t>(N));
      Done += N;
      FPosition += N;
      continue;
    }
    const int64_t Left = Count - Done;
    FSource.SetPosition(FPosition);
    if (Left >= static_cast<int64_t>(FBlockSize)) {
      // Large reads (a long name or extra field) go straight through.
      const int64_t N = FSource.Read(Out + Done, Left);
      if (N <= 0) break;
      Done += N;
      FPosition += N;
      continue;
    }
    FBlock.resize(
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(FBlockSize), FLimit - FPosition)));
    const int64_t N = FSource.Read(FBlock.data(), static_cast<int64_t>(FBlock.size()));
    FBlock.resize(static_cast<size_t>(std::max<int64_t>(N, 0)));
    FBlockStart = FPosition;
    if (N <= 0) break;
  }
  return Done;
}

int64_t TReadAheadStream::Write(const void*, int64_t) { throw EWriteError(); }

int64_t TReadAheadStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int64_t Base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : FLimit;
  if (Base + Offset < 0) throw EStreamError("Seek before the start of a stream");
  FPosition = Base + Offset;
  return FPosition;
}

void TReadAheadStream::SetSize(int64_t) { throw EStreamError("Read-only stream"); }
