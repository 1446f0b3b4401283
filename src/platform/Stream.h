#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Seekable byte streams with 64-bit size and position.

enum TSeekOrigin : uint8_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
 public:
  virtual ~TStream() = default;
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Reads up to Count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes up to Count bytes; returns how many were written. A full disk or a
  // file-size limit gives a short count, not an exception.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Returns the new position. Seeking past the end is allowed.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  virtual int64_t Size();
  // Truncates or extends; the position is clamped to the new size.
  virtual void SetSize(int64_t NewSize) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }

  // Raise EReadError / EWriteError unless exactly Count bytes move.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);

  // Copies Count bytes from Source's position; Count 0 copies all of Source
  // from its start. Returns the count copied; a short source raises EReadError.
  int64_t CopyFrom(TStream& Source, int64_t Count);
};

// 16-bit file modes as the component spells them.
constexpr uint16_t fmCreate = 0xFFFF;          // create or truncate, read-write
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A file on disk, opened with O_CLOEXEC and 64-bit offsets. POSIX has no share
// modes, so the share bits only matter for choosing the access:
//   fmCreate      create or truncate, read-write;
//   0x22, 0x40    an existing file, read-only: nothing here writes to an
//                 existing archive;
//   other modes   an existing file with the access of the low two bits
//                 (fmOpenRead, fmOpenWrite, fmOpenReadWrite).
// Anything that is not a regular file (a folder, a FIFO, a device) is refused
// without blocking: EFOpenError (EFCreateError for fmCreate) with the reason
// "Not a regular file". The stream owns its descriptor and closes it.
class TFileStream : public TStream {
 public:
  // Raises EFCreateError (fmCreate) or EFOpenError, naming the file.
  TFileStream(const std::string& FileName, uint16_t Mode);
  ~TFileStream() override;

  // Read returns what it got (0 at the end or on an I/O error); Write returns
  // what the system took, short on a full disk, a file-size limit or a quota.
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  // Raises EStreamError for a position before the start.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  // Raises EStreamError naming the file when the size cannot be changed.
  void SetSize(int64_t NewSize) override;

  const std::string& FileName() const { return FFileName; }
  int Handle() const { return FHandle; }
  // Pushes written data to the device (fsync). Raises EWriteError when the
  // system reports that written data was lost.
  void Flush();

 protected:
  // For wrappers that adopt an already open descriptor; the stream owns it.
  // A tag type, not a bare int, so TFileStream(Name, 0x40) can never pick it.
  struct TAdoptHandle {
    int Handle;
  };
  TFileStream(const std::string& FileName, TAdoptHandle Adopted);

 private:
  std::string FFileName;
  int FHandle = -1;
};

// A growable stream in memory.
class TMemoryStream : public TStream {
 public:
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t NewSize) override;

  void Clear();
  const uint8_t* Memory() const { return FData.data(); }
  uint8_t* Memory() { return FData.data(); }
  const std::vector<uint8_t>& Bytes() const { return FData; }
  void LoadFromStream(TStream& Source);
  void SaveToStream(TStream& Dest);

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// Discards what it receives; reads give nothing. Test runs write here.
class TNullStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return FSize; }
  void SetSize(int64_t NewSize) override;

 private:
  int64_t FSize = 0;
  int64_t FPosition = 0;
};
