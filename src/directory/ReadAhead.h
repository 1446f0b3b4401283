#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Stream.h"

// A read-only view of Source's bytes [0, Limit) that reads ahead in large
// blocks, so a parser may ask for one field at a time without a system call
// each. Size() is Limit: a whole-buffer read that would cross it raises
// EReadError exactly as Source would at its own end. The view reads Source at
// explicit offsets and leaves Source's position undefined.
class TReadAheadStream : public TStream {
 public:
  static constexpr size_t DefaultBlockSize = 256 * 1024;

  TReadAheadStream(TStream& Source, int64_t Start, int64_t Limit, size_t BlockSize = DefaultBlockSize);

  int64_t Read(void* Buffer, int64_t Count) override;
  // Raises EWriteError: the view is read-only.
  int64_t Write(const void* Buffer, int64_t Count) override;
  // Raises EStreamError for a position before the start.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return FLimit; }
  // Raises EStreamError: the view is read-only.
  void SetSize(int64_t NewSize) override;

 private:
  TStream& FSource;
  int64_t FLimit;
  int64_t FPosition;
  size_t FBlockSize;
  std::vector<uint8_t> FBlock;
  int64_t FBlockStart = 0;
};
