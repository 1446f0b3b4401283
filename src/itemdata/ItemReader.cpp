#include "itemdata/ItemReader.h"

#include <algorithm>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "itemdata/Crc32.h"
#include "platform/Format.h"

TCVItemReader::TCVItemReader(TCVBaseArchiver& Archiver, TStream& Source, TStream& Dest, const TDirItem& Item)
    : FArchiver(Archiver), FSource(&Source), FDest(Dest), FItem(Item), FVolume(Archiver.ItemVolume(Item)) {}

TCVItemReader::~TCVItemReader() = default;

bool TCVItemReader::Run() {
  FEncrypted = (FItem.Flags & zfEncrypted) != 0;

  // Only the name and extra lengths of the local header are used to find
  // the data; its signature may be broken. Sizes, CRC-32 and method come
  // from the directory item.
  uint8_t Raw[TLocalFileHeader::Size];
  FSource->ReadBuffer(Raw, sizeof Raw);
  FLocal.Decode(Raw);
  FSource->Seek(int64_t{FLocal.NameLength} + FLocal.ExtraLength, soCurrent);

  FCrc = Crc32Initial;
  FCompressedSize = FItem.EffectiveCompressedSize();
  FUncompressedSize = FItem.EffectiveUncompressedSize();
  if (FItem.SizesUnknown) FCompressedSize = UnknownSizeBound(FSource->Position());
  FArchiver.FFileBytesTotal = FCompressedSize;
  FArchiver.FSkipFileRequested = false;

  bool Result = false;
  switch (FItem.Method) {
    case 0:
    case 8:
      Result = ReadStoredOrDeflated();
      break;
    case 9:
      throw ECVException(55, &FArchiver);
    case 99:
      // AES (extra field 0x9901): no password could ever pass here, so
      // neither the password loop nor the block format is tried.
      Result = Fail("unsupported method 99 (AES encryption)");
      break;
    default:
      if (FItem.VersionNeeded <= 10)
        Result = Fail(Format("unsupported method %d", FItem.Method));
      else
        Result = ReadBlockFormat();
      break;
  }

  if (FItem.SizesUnknown) {
    // Whatever was read, nothing can vouch for it.
    FReason = FReason.empty() ? "sizes unknown" : "sizes unknown; " + FReason;
    return false;
  }
  if (Result && FWritten != FUncompressedSize)
    Result = Fail(Format("size mismatch: %d bytes produced, %d expected", FWritten, FUncompressedSize));
  if (Result && !FArchiver.FSkipFileRequested) {
    uint32_t Computed = ~FCrc;
    if (Computed != FItem.Crc32)
      Result = Fail(Format("CRC-32 mismatch: stored %.8x, computed %.8x", FItem.Crc32, Computed));
  }
  return Result;
}

bool TCVItemReader::ReadAcrossVolumes(uint8_t* Buffer, int64_t Count, int64_t& Obtained) {
  Obtained = FSource->Read(Buffer, Count);
  while (Obtained < Count && FArchiver.SpanningMode() != smNone) {
    // Data that runs past the last volume is cut short; no volume after it
    // is asked for.
    if (FVolume.LastNumber >= 0 && FVolume.Number >= FVolume.LastNumber) break;
    FVolume.SetNumber(FVolume.Number + 1);
    try {
      FArchiver.OpenVolume(FVolume);
    } catch (const ECVException& E) {
      // A missing or refused next volume ends the entry as if its data were
      // cut there: what was read is kept under ExtractCorruptedFiles.
      if (E.NativeError != 45) throw;
      Fail(Format("data cut short at compressed offset %d of %d (volume %d not available)",
                  EntryOffset(FConsumed + Obtained), EntryOffset(FCompressedSize), FVolume.Number + 1));
      return false;
    }
    if (!FArchiver.FArchiveStream) break;
    FSource = FArchiver.FArchiveStream.get();
    FSource->SetPosition(0);
    Obtained += FSource->Read(Buffer + Obtained, Count - Obtained);
    if (FSource->Position() == 0) break;
  }
  return Obtained == Count;
}

bool TCVItemReader::ReadStoredOrDeflated() {
  if (FEncrypted) {
    FHeaderBytes = static_cast<int64_t>(EncryptionHeaderSize);
    FCompressedSize -= FHeaderBytes;
    if (!RunPasswordLoop()) return false;
  }
  if (FCompressedSize <= 0) return true;

  int64_t FirstChunk = std::min(ChunkSize, FCompressedSize);
  FInput = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(FirstChunk));
  if (FItem.Method == 8) {
    FInflater = std::make_unique<TInflater>(TInflater::RawDeflate);
    if (!FInflater->Ready()) return Fail("inflate error: the inflate stream could not be started");
    // The output buffer is sized from the entry's size ratio, in 64 bits (a
    // 32-bit product of these sizes wraps) and capped, so that a lying ratio
    // cannot ask for gigabytes. A full buffer is written out and reused.
    uint64_t Ratio = FCompressedSize > 0 && FUncompressedSize > 0
                         ? static_cast<uint64_t>(FUncompressedSize) / static_cast<uint64_t>(FCompressedSize)
                         : 0;
    Ratio = std::min<uint64_t>(Ratio, MaxOutputBuffer);
    uint64_t Estimate =
        (static_cast<uint64_t>(FirstChunk + FirstChunk / 2 + 12 + 255) * (Ratio + 1)) & ~uint64_t{0xFF};
    FOutputSize = static_cast<int64_t>(std::min<uint64_t>(Estimate, MaxOutputBuffer));
    FOutput = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(FOutputSize));
  }

  while (FConsumed < FCompressedSize) {
    FArchiver.FFileBytesDone = FConsumed;
    if (!FireProgress()) break;
    int64_t Chunk = std::min(ChunkSize, FCompressedSize - FConsumed);
    int64_t Obtained = 0;
    bool Whole = ReadAcrossVolumes(FInput.get(), Chunk, Obtained);
    // Whatever arrived is decoded and written before the entry fails.
    if (Obtained > 0 && !DecodeChunk(Obtained)) return false;
    FConsumed += Obtained;
    // The end of the deflate data ends the entry's data: bytes after it,
    // present or missing, do not matter; the size and CRC-32 decide.
    if (FStreamEnded) break;
    if (!Whole)
      return Fail(Format("data cut short at compressed offset %d of %d", EntryOffset(FConsumed),
                         EntryOffset(FCompressedSize)));
  }
  return true;
}

bool TCVItemReader::DecodeChunk(int64_t Count) {
  if (Count <= 0) return false;
  if (FEncrypted) DecryptBuffer(FInput.get(), static_cast<int32_t>(Count), FKeys);
  if (FItem.Method == 0) {
    Emit(FInput.get(), Count);
    return true;
  }

  // The deflate state runs on from chunk to chunk. After each call, a full
  // output buffer means zlib may still hold output (up to a 258-byte match)
  // even when the chunk's input is used up, so it is called again.
  z_stream& Z = FInflater->Stream();
  Z.next_in = FInput.get();
  Z.avail_in = static_cast<uInt>(Count);
  for (;;) {
    Z.next_out = FOutput.get();
    Z.avail_out = static_cast<uInt>(FOutputSize);
    int Result = FInflater->Inflate();
    int64_t Produced = FOutputSize - Z.avail_out;
    if (Produced > 0) Emit(FOutput.get(), Produced);
    if (Result == Z_STREAM_END) {
      FStreamEnded = true;
      return true;
    }
    if (Result != Z_OK && Result != Z_BUF_ERROR)
      return Fail(Format("inflate error at compressed offset %d: %s",
                         EntryOffset(FConsumed + Count - Z.avail_in), FInflater->Message(Result)));
    // Room left over: zlib stopped because the input ran out.
    if (Z.avail_out != 0) return true;
  }
}

bool TCVItemReader::FireProgress() {
  if (!FArchiver.FProgressEnabled) return true;
  long double Done = FArchiver.FFileBytesDone;
  long double Total = FArchiver.FFileBytesTotal;
  long double Selected = FArchiver.FSelectedFileCount > 0 ? FArchiver.FSelectedFileCount : 1;
  FArchiver.DoOnFileProgress(FItem.FileName, static_cast<double>(Done / Total * 100), FItem.Operation,
                             ppProcess, FArchiver.FCancelRequested);
  if (FArchiver.FCancelRequested) return false;
  FArchiver.DoOnOverallProgress(
      static_cast<double>((Done / Total + FArchiver.FProcessedFileCount) / Selected * 100), FItem.Operation,
      ppProcess, FArchiver.FCancelRequested);
  return !FArchiver.FCancelRequested;
}

void TCVItemReader::Emit(const uint8_t* Data, int64_t Count) {
  Crc32Update(Data, static_cast<int32_t>(Count), FCrc);
  // A full disk is not damage in the archive: it is never excused.
  if (FDest.Write(Data, Count) != Count) throw ECVException(46, &FArchiver);
  FWritten += Count;
}

bool TCVItemReader::Fail(const std::string& Reason) {
  if (FReason.empty()) FReason = Reason;
  return false;
}

int64_t TCVItemReader::EntryOffset(int64_t Consumed) const { return Consumed + FHeaderBytes; }

int64_t TCVItemReader::UnknownSizeBound(int64_t DataStart) {
  // Deflate data says itself where it ends; the end of the file bounds it.
  // Stored data runs to the next local header the rebuild accepted.
  int64_t End = FSource->Size();
  if (FItem.Method == 0 && FArchiver.FDirManager) {
    int64_t Own = FItem.EffectiveLocalHeaderOffset();
    const TCVDirArray& Items = FArchiver.FDirManager->DirItems;
    for (int32_t I = 0; I < Items.Count(); ++I) {
      int64_t Offset = Items.ItemPtr(I).EffectiveLocalHeaderOffset();
      if (Offset > Own && Offset < End) End = Offset;
    }
  }
  return std::max<int64_t>(End - DataStart, 0);
}
