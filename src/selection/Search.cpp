// Entry search and selection: FindFirst, FindNext, SelectItems, FileCount.

#include <algorithm>
#include <utility>

#include "archiver/Corvane.h"
#include "directory/DirArray.h"
#include "directory/DirManager.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "selection/Masks.h"
#include "selection/PathHelpers.h"

namespace {

// Stored names and prepared masks separate folders with "/" only; the decoder
// has already turned "\" into "/". A colon is an ordinary character.
constexpr char StoredDelim = '/';

std::string WithoutOneTrailingDelim(const std::string& S) {
  return !S.empty() && (S.back() == StoredDelim || S.back() == '\\') ? S.substr(0, S.size() - 1) : S;
}

std::string FolderPart(const std::string& S) {
  size_t P = S.rfind(StoredDelim);
  return P == std::string::npos ? std::string() : S.substr(0, P + 1);
}

std::string NamePart(const std::string& S) {
  size_t P = S.rfind(StoredDelim);
  return P == std::string::npos ? S : S.substr(P + 1);
}

}  // namespace

TCVDirArray* TCVBaseArchiver::DirectoryItems() const {
  return FDirManager ? &FDirManager->DirItems : nullptr;
}

bool TCVBaseArchiver::EntryMatches(const TDirItem& Item, const TInternalSearchRec& Rec) const {
  // Folder test: only without Recurse, and byte for byte, so case counts here
  // although the name test below ignores it.
  if (!FOptions.Recurse && FolderPart(WithoutOneTrailingDelim(Item.FileName)) != FolderPart(Rec.Mask))
    return false;

  if (Rec.UseMaskLists) {
    const std::string N = ToEventName(Item.FileName);
    auto Matches = [&N](const std::string& Mask) { return NameMatchesMask(N, Mask); };
    if (std::none_of(FFileMasks.begin(), FFileMasks.end(), Matches)) return false;
    if (std::any_of(FExclusionMasks.begin(), FExclusionMasks.end(), Matches)) return false;
  } else {
    // A mask without a folder matches by file name anywhere; one with a folder
    // meets the whole stored name.
    const std::string N = WithoutOneTrailingDelim(Item.FileName);
    if (!NameMatchesMask(N, Rec.Mask) && !NameMatchesMask(NamePart(N), Rec.Mask)) return false;
  }

  // Read-only, archive and the high bits never exclude an entry.
  return (Item.ExternalAttr & 0x1E & ~static_cast<uint32_t>(Rec.SearchAttr)) == 0;
}

bool TCVBaseArchiver::SearchStep(TCVArchiveItem& F) const {
  const TCVDirArray* Items = DirectoryItems();
  if (Items == nullptr || F.SearchRec.ItemIndex < 0) return false;
  for (int32_t I = F.SearchRec.ItemIndex; I < Items->Count(); ++I) {
    const TDirItem& Item = Items->ItemPtr(I);
    if (!EntryMatches(Item, F.SearchRec)) continue;

    F.SearchRec.ItemIndex = I;
    const std::string S = WithoutOneTrailingDelim(Item.FileName);
    F.FileName = NamePart(S);
    F.StoredPath = ToEventName(FolderPart(S));
    F.CompressedSize = Item.EffectiveCompressedSize();
    F.UncompressedSize = Item.EffectiveUncompressedSize();
    F.CompressionRate = 100.0;
    if (F.UncompressedSize > 0)
      F.CompressionRate = std::max(
          0.0,
          (1.0 - static_cast<double>(F.CompressedSize) / static_cast<double>(F.UncompressedSize)) * 100.0);
    F.Encrypted = (Item.Flags & 1) != 0;
    F.LastModFileDate = Item.ModDate;
    F.LastModFileTime = Item.ModTime;
    F.CRC = Item.Crc32;
    F.ExternalFileAttributes = Item.ExternalAttr;
    F.Comment = Item.Comment;
    return true;
  }
  return false;
}

bool TCVBaseArchiver::FindFirst(const std::string& FileMask, TCVArchiveItem& F, int32_t SearchAttr,
                                const std::string& ExclusionMask) {
  // Names are stored without a drive unless the archive was made with the
  // full path and drive, so only then may a mask keep its drive.
  std::string Mask = FileMask;
  if (FOptions.StorePath != spFullPathWithDrive) Mask.erase(0, ExtractDrivePart(Mask).size());
  std::replace(Mask.begin(), Mask.end(), '\\', StoredDelim);

  TInternalSearchRec& Rec = F.SearchRec;
  Rec.Mask = std::move(Mask);
  Rec.ExclusionMask = ExclusionMask;
  Rec.UseMaskLists = false;
  Rec.Wildcards = Rec.Mask.find_first_of("*?") != std::string::npos;
  Rec.SearchAttr = SearchAttr;
  Rec.ItemIndex = 0;
  return SearchStep(F);
}

bool TCVBaseArchiver::FindNext(TCVArchiveItem& F) {
  ++F.SearchRec.ItemIndex;
  return SearchStep(F);
}

void TCVBaseArchiver::SelectItems(const std::string& FileMask, int32_t SearchAttr,
                                  const std::string& ExclusionMask) {
  TCVDirArray* Items = DirectoryItems();
  if (Items == nullptr) return;
  Items->ClearMarks();
  TCVArchiveItem F;
  for (bool Found = FindFirst(FileMask, F, SearchAttr, ExclusionMask); Found; Found = FindNext(F))
    Items->ItemPtr(F.SearchRec.ItemIndex).Marked = true;
}

int32_t TCVBaseArchiver::FileCount() {
  CheckActive();
  const TCVDirArray* Items = DirectoryItems();
  if (Items == nullptr) return 0;

  struct TRecurseRestorer {
    TCVOptions& Options;
    bool Saved;
    ~TRecurseRestorer() { Options.Recurse = Saved; }
  } Restore{FOptions, FOptions.Recurse};
  FOptions.Recurse = true;

  // Folders are told by their attribute bit; a folder entry that is also
  // hidden, system or a volume label is not found here and counts as a file.
  int32_t Folders = 0;
  TCVArchiveItem F;
  for (bool Found = FindFirst("*.*", F, faDirectory, std::string()); Found; Found = FindNext(F))
    if (F.ExternalFileAttributes & faDirectory) ++Folders;
  return Items->Count() - Folders;
}
