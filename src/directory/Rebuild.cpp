#include <limits>
#include <string>

#include "archiver/CVExcept.h"
#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "directory/SignatureScan.h"

// The rebuild trusts local headers alone: every local-header signature with
// a plausible header behind it becomes an item, in file order, and entries
// whose sizes follow their data take them from the next data descriptor.
// Both signatures are found by scanners that read the file once each.

namespace {

constexpr int64_t LocalHeaderSize = static_cast<int64_t>(TLocalFileHeader::Size);
constexpr int64_t DescriptorSize = static_cast<int64_t>(TDataDescriptor::Size);
// Longer local extra fields are taken for a false signature.
constexpr uint16_t MaxLocalExtraLength = 260;

// The first local-header signature at or after Start, or -1 when there is
// none or it has fewer than 30 bytes behind it.
int64_t FirstLocalHeader(TSignatureScanner& Headers, int64_t Start) {
  const int64_t H = Headers.Find(Start);
  if (H >= 0 && Headers.Size() - H < LocalHeaderSize) return -1;
  return H;
}

bool ReadDescriptorAt(TSignatureScanner& Descriptors, int64_t At, TDataDescriptor& Descriptor) {
  uint8_t Bytes[TDataDescriptor::Size];
  if (At < 0 || Descriptors.Size() - At < DescriptorSize || !Descriptors.ReadAt(At, Bytes, sizeof Bytes))
    return false;
  Descriptor.Decode(Bytes);
  return true;
}

// The first data descriptor at or after each of a rising series of starts.
// The answer for one start stands for every later start up to it, so a run
// of entries without descriptors does not scan the rest of the file each.
class TDescriptorFinder {
 public:
  explicit TDescriptorFinder(TStream& Stream) : FScanner(Stream, TDataDescriptor::SignatureValue) {}

  bool Find(int64_t Start, TDataDescriptor& Descriptor) {
    if (!FKnown || Start < FSearchedFrom || (FNext >= 0 && FNext < Start)) {
      FNext = FScanner.Find(Start);
      FSearchedFrom = Start;
      FKnown = true;
    }
    return ReadDescriptorAt(FScanner, FNext, Descriptor);
  }

 private:
  TSignatureScanner FScanner;
  bool FKnown = false;
  int64_t FSearchedFrom = 0;
  int64_t FNext = -1;
};

}  // namespace

int64_t TCVDirManager::FindLocalHeader(int64_t Start) {
  TSignatureScanner Headers(*Stream, TLocalFileHeader::SignatureValue);
  return FirstLocalHeader(Headers, Start);
}

bool TCVDirManager::FindDataDescriptor(int64_t Start, TDataDescriptor& Descriptor) {
  TSignatureScanner Descriptors(*Stream, TDataDescriptor::SignatureValue);
  return ReadDescriptorAt(Descriptors, Descriptors.Find(Start), Descriptor);
}

void TCVDirManager::RebuildDirectory() {
  TSignatureScanner Headers(*Stream, TLocalFileHeader::SignatureValue);
  TDescriptorFinder Descriptors(*Stream);
  const int64_t FileSize = Headers.Size();
  const bool OEMFileNames = FArchiver.Options().OEMFileNames;

  int64_t H = FirstLocalHeader(Headers, 0);
  // Raised without the component: the message carries no name prefix.
  if (H < 0) throw ECVException(35, nullptr);

  std::string StoredName;
  // The scan goes on 4 bytes after each header, not after its data: a wrong
  // recorded size must not hide the headers behind it.
  for (; H >= 0; H = FirstLocalHeader(Headers, H + 4)) {
    uint8_t Bytes[TLocalFileHeader::Size];
    if (!Headers.ReadAt(H, Bytes, sizeof Bytes)) break;
    TLocalFileHeader Local;
    Local.Decode(Bytes);
    if (Local.CompressedSize >= FileSize || Local.ExtraLength > MaxLocalExtraLength) continue;
    if (DirItems.Count() == std::numeric_limits<int32_t>::max()) break;

    TDirItem Item;
    Item.Signature = Local.Signature;
    Item.VersionMadeBy = Local.VersionNeeded;
    Item.VersionNeeded = Local.VersionNeeded;
    Item.Flags = Local.Flags;
    Item.Method = Local.Method;
    Item.ModTime = Local.ModTime;
    Item.ModDate = Local.ModDate;
    Item.Crc32 = Local.Crc32;
    Item.CompressedSize = Local.CompressedSize;
    Item.UncompressedSize = Local.UncompressedSize;
    Item.NameLength = Local.NameLength;
    Item.ExtraLength = Local.ExtraLength;
    // Offsets past 4 GiB are kept whole, behind the ZIP64 marker.
    Item.SetEffectiveLocalHeaderOffset(H);

    // A name that runs past the end of the file leaves the item nameless.
    const int64_t NameAt = H + LocalHeaderSize;
    if (Local.NameLength != 0 && FileSize - NameAt >= Local.NameLength) {
      StoredName.resize(Local.NameLength);
      if (Headers.ReadAt(NameAt, reinterpret_cast<uint8_t*>(StoredName.data()), StoredName.size()))
        Item.FileName = DecodeStoredName(StoredName, Local.Flags, OEMFileNames);
    }
    // The name decides: an empty file stays a file, and a folder entry
    // written with a descriptor stays a folder.
    const bool IsFolder = !Item.FileName.empty() && Item.FileName.back() == '/';
    Item.ExternalAttr = IsFolder ? 0x10 : 0x20;

    if (Local.Flags & zfDataDescriptor) {
      TDataDescriptor Descriptor;
      if (Descriptors.Find(H, Descriptor)) {
        Item.Crc32 = Descriptor.Crc32;
        Item.CompressedSize = Descriptor.CompressedSize;
        Item.UncompressedSize = Descriptor.UncompressedSize;
      } else {
        Item.SizesUnknown = true;
      }
    }

    const int32_t Index = DirItems.Count();
    DirItems.SetCount(Index + 1);
    DirItems.SetItem(Index, Item);
  }
  Rebuilt = true;
}
