// Writing the directory tail: records that load back as the same items,
// ZIP64 sub-records exactly where markers are set, name encoding and
// lengths, entry counts past 65534 and directories past 4 GiB.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "archiver/Corvane.h"
#include "directory/DirManager.h"
#include "platform/ByteOrder.h"
#include "platform/Env.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

namespace {

std::string AsString(const TBytes& B) { return std::string(B.begin(), B.end()); }

std::unique_ptr<TMemoryStream> MemoryOf(const std::string& Bytes) {
  auto S = std::make_unique<TMemoryStream>();
  if (!Bytes.empty()) S->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  S->SetPosition(0);
  return S;
}

std::string BytesOf(TMemoryStream& S) { return std::string(S.Bytes().begin(), S.Bytes().end()); }

// A manager over a stream of its own, as the directory writer and loader see
// an archive that is not the component's.
struct TManaged {
  explicit TManaged(const std::string& Bytes) : Stream(MemoryOf(Bytes)) {
    Z.SetOpenDamaged(false);
    Manager = std::make_unique<TCVDirManager>(Stream.get(), Z, false);
  }
  TCorvane Z;
  std::unique_ptr<TMemoryStream> Stream;
  std::unique_ptr<TCVDirManager> Manager;
};

void ExpectSameItem(const TDirItem& A, const TDirItem& B) {
  EXPECT_EQ(A.Signature, B.Signature);
  EXPECT_EQ(A.VersionMadeBy, B.VersionMadeBy);
  EXPECT_EQ(A.VersionNeeded, B.VersionNeeded);
  EXPECT_EQ(A.Flags, B.Flags);
  EXPECT_EQ(A.Method, B.Method);
  EXPECT_EQ(A.ModTime, B.ModTime);
  EXPECT_EQ(A.ModDate, B.ModDate);
  EXPECT_EQ(A.Crc32, B.Crc32);
  EXPECT_EQ(A.CompressedSize, B.CompressedSize);
  EXPECT_EQ(A.UncompressedSize, B.UncompressedSize);
  EXPECT_EQ(A.NameLength, B.NameLength);
  EXPECT_EQ(A.ExtraLength, B.ExtraLength);
  EXPECT_EQ(A.CommentLength, B.CommentLength);
  EXPECT_EQ(A.DiskNumberStart, B.DiskNumberStart);
  EXPECT_EQ(A.InternalAttr, B.InternalAttr);
  EXPECT_EQ(A.ExternalAttr, B.ExternalAttr);
  EXPECT_EQ(A.LocalHeaderOffset, B.LocalHeaderOffset);
  EXPECT_EQ(A.FileName, B.FileName);
  EXPECT_EQ(A.Comment, B.Comment);
  EXPECT_EQ(A.EffectiveUncompressedSize(), B.EffectiveUncompressedSize());
  EXPECT_EQ(A.EffectiveCompressedSize(), B.EffectiveCompressedSize());
  EXPECT_EQ(A.EffectiveLocalHeaderOffset(), B.EffectiveLocalHeaderOffset());
  EXPECT_EQ(A.EffectiveDiskNumberStart(), B.EffectiveDiskNumberStart());
  ASSERT_EQ(A.ExtraFields.size(), B.ExtraFields.size());
  for (size_t I = 0; I < A.ExtraFields.size(); ++I) {
    EXPECT_EQ(A.ExtraFields[I].HeaderId, B.ExtraFields[I].HeaderId);
    EXPECT_EQ(A.ExtraFields[I].Data, B.ExtraFields[I].Data);
  }
}

TEST(DirWriter, DirectoryWrittenAndLoadedAgainGivesTheSameItems) {
  ZipBuilder B;
  B.Add("a.txt", "hello").Comment("entry comment");
  B.Add("dir/");
  B.Add("dir/deflated.txt", std::string(5000, 'd')).Deflated().ExternalAttr(0x81A40020);
  B.Add("offset64.bin", "o").Zip64(z64Offset);
  B.Add("sizes64.bin", "s")
      .Zip64(z64Sizes)
      .CentralExtra(std::string("\x55\x54\x05\x00\x01\x02\x03\x04\x05", 9));
  B.Add("all64.bin", "all").Zip64(z64SizesAndOffset | z64Disk);
  B.Add("utf8-\xC3\xA9\xE4\xB8\xAD.txt", "u").Utf8Name();
  B.Add("extra.txt", "e").CentralExtra(std::string("\x0A\x00\x04\x00wxyz", 8));
  B.Comment("archive comment");
  const std::string Original = AsString(B.Build());
  const int64_t DirStart = B.Layout().CentralDirectory;

  TManaged Loaded(Original);
  Loaded.Manager->LoadDirectory();
  ASSERT_EQ(Loaded.Manager->DirItems.Count(), 8);

  // Entry data as it was, then the directory written anew after it.
  TMemoryStream Out;
  Out.WriteBuffer(Original.data(), DirStart);
  Loaded.Manager->SaveDirectory(&Out);
  EXPECT_EQ(BytesOf(Out), Original) << "the records this writer makes are the ones the builder makes";

  TManaged Again(BytesOf(Out));
  Again.Manager->LoadDirectory();
  ASSERT_EQ(Again.Manager->DirItems.Count(), Loaded.Manager->DirItems.Count());
  for (int32_t I = 0; I < Loaded.Manager->DirItems.Count(); ++I) {
    SCOPED_TRACE(Loaded.Manager->DirItems.ItemPtr(I).FileName);
    ExpectSameItem(Again.Manager->DirItems.ItemPtr(I), Loaded.Manager->DirItems.ItemPtr(I));
  }
  EXPECT_EQ(Again.Manager->ArchiveComment, "archive comment");
  EXPECT_EQ(Again.Manager->EndRecord.DirOffset, DirStart);
}

TEST(DirWriter, Zip64SubRecordExactlyWhereMarkersAreSet) {
  const std::string Foreign = std::string("\x55\x54\x03\x00xyz", 7);
  struct TCase {
    const char* Title;
    bool Uncompressed, Compressed, Offset, Disk;
    // Written before the foreign sub-record.
    std::string Zip64;
  };
  auto LE = [](uint64_t V, int Bytes) {
    std::string S;
    for (int I = 0; I < Bytes; ++I) S += static_cast<char>((V >> (8 * I)) & 0xFF);
    return S;
  };
  const uint64_t U = 0x123456789ULL, C = 0x23456789AULL, O = 0x3456789ABULL;
  const uint32_t D = 0x10002;
  const TCase Cases[] = {
      {"no marker", false, false, false, false, ""},
      {"uncompressed", true, false, false, false, LE(1, 2) + LE(8, 2) + LE(U, 8)},
      {"compressed", false, true, false, false, LE(1, 2) + LE(8, 2) + LE(C, 8)},
      {"offset", false, false, true, false, LE(1, 2) + LE(8, 2) + LE(O, 8)},
      {"disk", false, false, false, true, LE(1, 2) + LE(4, 2) + LE(D, 4)},
      {"all, in APPNOTE order", true, true, true, true,
       LE(1, 2) + LE(28, 2) + LE(U, 8) + LE(C, 8) + LE(O, 8) + LE(D, 4)},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Title);
    TManaged M("");
    M.Manager->DirItems.SetCount(1);
    TDirItem& Item = M.Manager->DirItems.ItemPtr(0);
    // Whatever ZIP64 sub-record the item was loaded with is never copied.
    const std::string Loaded = LE(1, 2) + LE(8, 2) + LE(99, 8) + Foreign;
    ParseExtraField(Item, reinterpret_cast<const uint8_t*>(Loaded.data()), Loaded.size());
    Item.FileName = "x";
    Item.UncompressedSize = Case.Uncompressed ? Zip64Marker32 : 10;
    Item.CompressedSize = Case.Compressed ? Zip64Marker32 : 9;
    Item.LocalHeaderOffset = Case.Offset ? Zip64Marker32 : 0;
    Item.DiskNumberStart = Case.Disk ? Zip64Marker16 : 0;
    Item.UncompressedSize64 = static_cast<int64_t>(U);
    Item.CompressedSize64 = static_cast<int64_t>(C);
    Item.LocalHeaderOffset64 = static_cast<int64_t>(O);
    Item.DiskNumberStart64 = D;

    const int32_t Zip64Size = static_cast<int32_t>(Case.Zip64.size());
    EXPECT_EQ(M.Manager->Zip64ExtraSize(0), Zip64Size);
    EXPECT_EQ(M.Manager->ExtraFieldLength(0), Zip64Size + static_cast<int32_t>(Foreign.size()));
    std::vector<uint8_t> Extra;
    M.Manager->WriteExtraFields(0, Extra);
    EXPECT_EQ(std::string(Extra.begin(), Extra.end()), Case.Zip64 + Foreign);

    // The record written says so, and loads back with the same values.
    TMemoryStream Out;
    M.Manager->SaveDirectory(&Out);
    EXPECT_EQ(GetLE16(Out.Memory() + 30), Zip64Size + Foreign.size());
    TManaged Again(BytesOf(Out));
    Again.Manager->LoadDirectory();
    ASSERT_EQ(Again.Manager->DirItems.Count(), 1);
    const TDirItem& Read = Again.Manager->DirItems.ItemPtr(0);
    EXPECT_EQ(Read.EffectiveUncompressedSize(), Case.Uncompressed ? static_cast<int64_t>(U) : 10);
    EXPECT_EQ(Read.EffectiveCompressedSize(), Case.Compressed ? static_cast<int64_t>(C) : 9);
    EXPECT_EQ(Read.EffectiveLocalHeaderOffset(), Case.Offset ? static_cast<int64_t>(O) : 0);
    EXPECT_EQ(Read.EffectiveDiskNumberStart(), Case.Disk ? D : 0u);
  }
}

TEST(DirWriter, NamesAreWrittenWithTheirEncodedLength) {
  struct TCase {
    const char* Title;
    std::string FileName;
    uint16_t Flags;
    bool OEMFileNames;
    std::string Stored;
  };
  const TCase Cases[] = {
      {"ASCII", "dir/a.txt", 0, true, "dir/a.txt"},
      {"CP437 holds it", "\xC3\xA9t\xC3\xA9.txt", 0, true, "\x82t\x82.txt"},
      {"CP437 cannot hold it", "\xE4\xB8\xAD.txt", 0, true, "\xE4\xB8\xAD.txt"},
      {"UTF-8 flag", "\xC3\xA9.txt", zfUtf8Names, true, "\xC3\xA9.txt"},
      {"OEM names off", "\xC3\xA9.txt", 0, false, "\xC3\xA9.txt"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Title);
    EXPECT_EQ(EncodeStoredName(C.FileName, C.Flags, C.OEMFileNames), C.Stored);

    TManaged M("");
    M.Z.Options().OEMFileNames = C.OEMFileNames;
    M.Manager->DirItems.SetCount(1);
    TDirItem& Item = M.Manager->DirItems.ItemPtr(0);
    Item.FileName = C.FileName;
    Item.Flags = C.Flags;
    // A length left from reading (a name cut there) does not survive.
    Item.NameLength = 300;
    TMemoryStream Out;
    M.Manager->SaveDirectory(&Out);
    EXPECT_EQ(GetLE16(Out.Memory() + 28), C.Stored.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Out.Memory()) + 46, C.Stored.size()), C.Stored);

    TManaged Again(BytesOf(Out));
    Again.Manager->LoadDirectory();
    ASSERT_EQ(Again.Manager->DirItems.Count(), 1);
    EXPECT_EQ(Again.Manager->DirItems.ItemPtr(0).FileName, C.FileName);
  }
}

TEST(DirWriter, CountsPast65534AreFoundThroughTheZip64Records) {
  for (int32_t Count : {65534, 65535, 70000}) {
    SCOPED_TRACE(Count);
    TManaged M("");
    M.Manager->DirItems.SetCount(Count);
    for (int32_t I = 0; I < Count; ++I) M.Manager->DirItems.ItemPtr(I).FileName = "f";
    TMemoryStream Out;
    M.Manager->SaveDirectory(&Out);
    const uint8_t* End = Out.Memory() + Out.Size() - TEndRecord::Size;
    const bool Marked = Count > 65534;
    EXPECT_EQ(GetLE16(End + 8), Marked ? 0xFFFF : Count);
    EXPECT_EQ(GetLE16(End + 10), Marked ? 0xFFFF : Count);
    const uint8_t* Locator = End - TZip64Locator::Size;
    EXPECT_EQ(GetLE32(Locator) == TZip64Locator::SignatureValue, Marked);
    if (Marked) {
      const uint8_t* Zip64End = Locator - TZip64EndRecord::Size;
      EXPECT_EQ(GetLE32(Zip64End), TZip64EndRecord::SignatureValue);
      EXPECT_EQ(GetLE64(Zip64End + 32), static_cast<uint64_t>(Count));
      EXPECT_EQ(GetLE64(Locator + 8), static_cast<uint64_t>(Out.Size()) - 22 - 20 - 56);
    }
    TManaged Again(BytesOf(Out));
    Again.Manager->LoadDirectory();
    EXPECT_EQ(Again.Manager->DirItems.Count(), Count);
  }
}

TEST(DirWriter, DirectoryPastFourGiBGetsTheZip64EndRecordAndLocator) {
  TTempFolder Dir;
  const int64_t DirStart = 0x100000010LL;
  auto File = FileSystem().OpenFile(Dir / "big.zip", fmCreate);
  // Sparse: the entry data is never written.
  File->SetSize(DirStart);
  TCorvane Z;
  TCVDirManager M(File.get(), Z, false);
  M.DirItems.SetCount(1);
  TDirItem& Item = M.DirItems.ItemPtr(0);
  Item.FileName = "late.bin";
  Item.LocalHeaderOffset = Zip64Marker32;
  Item.LocalHeaderOffset64 = DirStart - 100;
  M.SaveDirectory();

  EXPECT_EQ(M.EndRecord.DirOffset, Zip64Marker32);
  EXPECT_EQ(M.Zip64EndRecord.DirOffset, static_cast<uint64_t>(DirStart));
  EXPECT_EQ(M.Zip64EndRecord.TotalEntries, 1u);
  EXPECT_EQ(M.Zip64EndRecord.DirSize, 46u + 8 + 12);
  EXPECT_EQ(M.Zip64Locator.EndRecordOffset, static_cast<uint64_t>(DirStart) + 46 + 8 + 12);
  EXPECT_EQ(M.Zip64Locator.TotalDisks, 1u);
  EXPECT_EQ(File->Size(), DirStart + 66 + 56 + 20 + 22);

  TCVDirManager Again(File.get(), Z, false);
  Z.SetOpenDamaged(false);
  Again.LoadDirectory();
  ASSERT_EQ(Again.DirItems.Count(), 1);
  EXPECT_EQ(Again.DirItems.ItemPtr(0).FileName, "late.bin");
  EXPECT_EQ(Again.DirItems.ItemPtr(0).EffectiveLocalHeaderOffset(), DirStart - 100);
}

}  // namespace
