#include <algorithm>
#include <vector>

#include "archiver/Corvane.h"
#include "itemdata/Crc32.h"
#include "itemdata/ItemReader.h"
#include "platform/ByteOrder.h"
#include "platform/Format.h"

// The component's own layout for methods other than 0, 8 and 9. After a
// 50-byte header (little-endian):
//   0  block size: plain length of every block but the last (signed)
//   8  plain length of the entry, low 32 bits
//  16  number of blocks (signed)
//  20  algorithm of compressed blocks: 0 = zlib stream
//  21  0 = blocks stored, otherwise compressed
//  22  cipher: 0xFFFF = none, else the low byte names it
//  24  CRC-32 of the 16 check bytes after decryption
//  28  16 check bytes
// each block is a 32-bit length L and L bytes.

bool TCVItemReader::DecryptBlockHook(uint8_t, uint8_t*, int64_t, const std::string&) { return true; }

bool TCVItemReader::ReadBlockFormat() {
  uint8_t Header[BlockHeaderSize];
  int64_t Got = 0;
  if (!ReadAcrossVolumes(Header, BlockHeaderSize, Got))
    return Fail(Format("data cut short at compressed offset %d of %d", Got, FCompressedSize));
  FConsumed += static_cast<int64_t>(BlockHeaderSize);

  const int32_t BlockSize = static_cast<int32_t>(GetLE32(Header + 0));
  const uint32_t PlainLength = GetLE32(Header + 8);
  const int32_t BlockCount = static_cast<int32_t>(GetLE32(Header + 16));
  const uint8_t Algorithm = Header[20];
  const bool Compressed = Header[21] != 0;
  const uint16_t Cipher = GetLE16(Header + 22);
  const bool Encrypted = Cipher != 0xFFFF;

  if (Encrypted && !RunBlockPasswordLoop(static_cast<uint8_t>(Cipher), Header + 28, GetLE32(Header + 24)))
    return false;
  FCrc = Crc32Initial;
  FArchiver.FFileBytesTotal = FSource->Size();

  const int64_t EntrySize = FItem.UncompressedSize == Zip64Marker32 ? FItem.UncompressedSize64 : PlainLength;
  std::vector<uint8_t> Input;
  std::vector<uint8_t> Output;
  for (int32_t Block = 0; Block < BlockCount; ++Block) {
    FArchiver.FFileBytesDone = FConsumed;
    if (!FireProgress()) return true;

    uint8_t LengthBytes[4];
    if (!ReadAcrossVolumes(LengthBytes, sizeof LengthBytes, Got))
      return Fail(Format("data cut short at compressed offset %d of %d", FConsumed + Got, FCompressedSize));
    FConsumed += static_cast<int64_t>(sizeof LengthBytes);
    const int64_t Length = GetLE32(LengthBytes);
    const int64_t Expected = Block == BlockCount - 1 ? EntrySize - FWritten : BlockSize;
    // Lengths come from the archive: none may size a buffer beyond what a
    // block can hold.
    if (Expected < 0 || Expected > MaxBlockSize)
      return Fail(Format("invalid block header: block %d of %d declares %d plain bytes", Block + 1,
                         BlockCount, Expected));
    if (Length > MaxBlockSize)
      return Fail(Format("invalid block header: block %d of %d declares %d stored bytes", Block + 1,
                         BlockCount, Length));

    // Read in pieces, so the buffer holds no more than the bytes present.
    Input.clear();
    bool Whole = true;
    while (Whole && static_cast<int64_t>(Input.size()) < Length) {
      int64_t Piece = std::min(ChunkSize, Length - static_cast<int64_t>(Input.size()));
      size_t Old = Input.size();
      Input.resize(Old + static_cast<size_t>(Piece));
      Whole = ReadAcrossVolumes(Input.data() + Old, Piece, Got);
      Input.resize(Old + static_cast<size_t>(Got));
    }
    if (Encrypted) DecryptBlockHook(static_cast<uint8_t>(Cipher), Input.data(), Length, FArchiver.FPassword);

    bool Ok = true;
    if (!Compressed) {
      if (!Input.empty()) Emit(Input.data(), static_cast<int64_t>(Input.size()));
    } else {
      Ok = InflateBlock(Algorithm, Input.data(), static_cast<int64_t>(Input.size()), Expected, Output);
      // What a failed block decoded before its failure is kept too.
      if (!Output.empty()) Emit(Output.data(), static_cast<int64_t>(Output.size()));
    }
    FConsumed += static_cast<int64_t>(Input.size());
    if (!Whole)
      return Fail(Format("data cut short at compressed offset %d of %d", FConsumed, FCompressedSize));
    if (!Ok) return false;
  }
  return true;
}

bool TCVItemReader::InflateBlock(uint8_t Algorithm, const uint8_t* Input, int64_t InputLength,
                                 int64_t ExpectedLength, std::vector<uint8_t>& Output) {
  Output.clear();
  if (Algorithm != 0) return Fail(Format("unsupported block compression %d", Algorithm));
  TInflater Inflater(TInflater::ZlibWrapped);
  if (!Inflater.Ready()) return Fail("inflate error: the inflate stream could not be started");

  // One byte of room past the expected length shows a block that runs
  // longer; the buffer starts small and grows only as output arrives.
  const int64_t Limit = ExpectedLength + 1;
  Output.resize(static_cast<size_t>(std::min<int64_t>(Limit, std::max<int64_t>(4 * InputLength, 256))));
  z_stream& Z = Inflater.Stream();
  Z.next_in = const_cast<Bytef*>(Input);
  Z.avail_in = static_cast<uInt>(InputLength);
  int Result = Z_OK;
  for (;;) {
    Z.next_out = Output.data() + Z.total_out;
    Z.avail_out = static_cast<uInt>(Output.size() - Z.total_out);
    Result = Inflater.Inflate();
    if (Result == Z_STREAM_END) break;
    const int64_t At = FConsumed + InputLength - Z.avail_in;
    if (Result != Z_OK && Result != Z_BUF_ERROR) {
      Output.resize(Z.total_out);
      return Fail(Format("inflate error at compressed offset %d: %s", At, Inflater.Message(Result)));
    }
    if (Z.avail_out != 0) {
      Output.resize(Z.total_out);
      return Fail(Format("data cut short at compressed offset %d: the block's zlib stream does not end", At));
    }
    if (static_cast<int64_t>(Output.size()) >= Limit) {
      Output.resize(static_cast<size_t>(ExpectedLength));
      return Fail(
          Format("block longer than its declared %d bytes at compressed offset %d", ExpectedLength, At));
    }
    Output.resize(static_cast<size_t>(std::min<int64_t>(Limit, 2 * static_cast<int64_t>(Output.size()))));
  }
  const int64_t Produced = static_cast<int64_t>(Z.total_out);
  if (Inflater.End() < 0) {
    Output.clear();
    return Fail("inflate error: the block's zlib stream could not be ended");
  }
  if (Produced > ExpectedLength) {
    Output.resize(static_cast<size_t>(ExpectedLength));
    return Fail(Format("block longer than its declared %d bytes", ExpectedLength));
  }
  Output.resize(static_cast<size_t>(Produced));
  return true;
}
