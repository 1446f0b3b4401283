#include "platform/Stream.h"

#include <algorithm>
#include <cstring>

#include "platform/Exceptions.h"

int64_t TStream::Size() {
  int64_t Pos = Seek(0, soCurrent);
  int64_t End = Seek(0, soEnd);
  Seek(Pos, soBeginning);
  return End;
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError();
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  constexpr int64_t MaxChunk = 1 << 20;
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  std::vector<uint8_t> Buffer(static_cast<size_t>(std::min(Count, MaxChunk)));
  int64_t Left = Count;
  while (Left > 0) {
    int64_t N = std::min(Left, MaxChunk);
    Source.ReadBuffer(Buffer.data(), N);
    WriteBuffer(Buffer.data(), N);
    Left -= N;
  }
  return Count;
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition >= Size()) return 0;
  int64_t N = std::min(Count, Size() - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(N));
  FPosition += N;
  return N;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  int64_t End = FPosition + Count;
  if (End > Size()) {
    if (static_cast<uint64_t>(End) > FData.capacity())
      FData.reserve(std::max<size_t>(static_cast<size_t>(End), FData.capacity() * 2));
    FData.resize(static_cast<size_t>(End));
  }
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = End;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t Base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : Size();
  int64_t NewPos = Base + Offset;
  if (NewPos < 0) throw EStreamError("Seek before the start of a stream");
  FPosition = NewPos;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError("Negative stream size");
  FData.resize(static_cast<size_t>(NewSize));
  FPosition = std::min(FPosition, NewSize);
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source) {
  Source.SetPosition(0);
  int64_t N = Source.Size();
  FData.assign(static_cast<size_t>(N), 0);
  Source.ReadBuffer(FData.data(), N);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& Dest) { Dest.WriteBuffer(FData.data(), Size()); }

int64_t TNullStream::Write(const void*, int64_t Count) {
  if (Count <= 0) return 0;
  FPosition += Count;
  FSize = std::max(FSize, FPosition);
  return Count;
}

int64_t TNullStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t Base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : FSize;
  if (Base + Offset < 0) throw EStreamError("Seek before the start of a stream");
  FPosition = Base + Offset;
  return FPosition;
}

void TNullStream::SetSize(int64_t NewSize) {
  FSize = std::max<int64_t>(0, NewSize);
  FPosition = std::min(FPosition, FSize);
}
