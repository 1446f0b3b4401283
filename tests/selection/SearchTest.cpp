#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SearchArchiver.h"
#include "archiver/CVExcept.h"
#include "platform/Path.h"

using Names = std::vector<std::string>;

namespace {

struct TFindCase {
  const char* Mask;
  bool Recurse;
  TCVStorePathMode StorePath;
  Names Expected;
};

void CheckFinds(TSearchArchiver& Z, const std::vector<TFindCase>& Cases) {
  for (const TFindCase& C : Cases) {
    SCOPED_TRACE(testing::Message() << "mask '" << C.Mask << "' recurse " << C.Recurse << " store path "
                                    << int(C.StorePath));
    Z.Options().Recurse = C.Recurse;
    Z.Options().StorePath = C.StorePath;
    EXPECT_EQ(Z.Find(C.Mask), C.Expected);
  }
}

}  // namespace

TEST(Search, FolderTestCountsCaseAndNameTestIgnoresIt) {
  TSearchArchiver Z;
  Z.OpenEmpty();
  for (const char* Name : {"a.txt", "docs/a.txt", "docs/old/a.txt", "Docs/a.txt", "x/y/z.txt", "docs/b.bin"})
    Z.Add(Name);
  CheckFinds(Z, {
                    // Without Recurse only the mask's own folder, byte for byte.
                    {"docs/*.txt", false, spRelativePath, {"docs/a.txt"}},
                    {"docs\\*.txt", false, spRelativePath, {"docs/a.txt"}},
                    {"*.txt", false, spRelativePath, {"a.txt"}},
                    {"DOCS/*.txt", false, spRelativePath, {}},
                    // With it the name test alone decides, ignoring case; a
                    // mask without a folder matches by file name anywhere.
                    {"docs/*.txt", true, spRelativePath, {"docs/a.txt", "docs/old/a.txt", "Docs/a.txt"}},
                    {"*.txt",
                     true,
                     spRelativePath,
                     {"a.txt", "docs/a.txt", "docs/old/a.txt", "Docs/a.txt", "x/y/z.txt"}},
                    {"A.TXT", true, spRelativePath, {"a.txt", "docs/a.txt", "docs/old/a.txt", "Docs/a.txt"}},
                    {"", true, spRelativePath, {}},
                });
}

TEST(Search, DrivePrefixOfMaskKeptOnlyWithFullPathAndDrive) {
  TSearchArchiver Z;
  Z.OpenEmpty();
  for (const char* Name : {"docs/a.txt", "/docs/b.txt", "C:/docs/c.txt", "share/docs/d.txt"}) Z.Add(Name);
  CheckFinds(Z, {
                    {"C:\\docs\\*.txt", true, spRelativePath, {"/docs/b.txt"}},
                    {"C:\\docs\\*.txt", true, spFullPath, {"/docs/b.txt"}},
                    {"C:\\docs\\*.txt", true, spFullPathWithDrive, {"C:/docs/c.txt"}},
                    {"\\\\srv\\share\\docs\\*.txt", true, spRelativePath, {"/docs/b.txt"}},
                    // Without Recurse the folder parts meet as well.
                    {"C:\\docs\\*.txt", false, spRelativePath, {"/docs/b.txt"}},
                    {"C:\\docs\\*.txt", false, spFullPathWithDrive, {"C:/docs/c.txt"}},
                });
  TCVArchiveItem F;
  Z.Options().StorePath = spRelativePath;
  ASSERT_TRUE(Z.FindFirst("C:\\docs\\*.txt", F, 0x28BF, std::string()));
  EXPECT_EQ(F.SearchRec.Mask, "/docs/*.txt");
  EXPECT_TRUE(F.SearchRec.Wildcards);
}

TEST(Search, AttributeFilter) {
  TSearchArchiver Z;
  Z.OpenEmpty();
  Z.Add("docs/", 0x10);
  Z.Add("plain.txt", 0x20);
  Z.Add("readonly.txt", 0x21);
  Z.Add("unix.txt", 0x81A40000);
  Z.Add("hidden.txt", 0x22);
  Z.Add("system.txt", 0x24);
  Z.Add("label", 0x08);
  Z.Add("hidden-folder/", 0x12);
  const Names Visible = {"plain.txt", "readonly.txt", "unix.txt"};
  static constexpr struct {
    const char* Mask;
    int32_t SearchAttr;
  } Masks[] = {{"*.*", 0}, {"*.*", 0x28BF}, {"*.*", 0x10}, {"docs", 0}, {"docs", 0x28BF}};
  const Names Expected[] = {
      Visible,
      {"docs/", "plain.txt", "readonly.txt", "unix.txt", "hidden.txt", "system.txt", "label",
       "hidden-folder/"},
      {"docs/", "plain.txt", "readonly.txt", "unix.txt"},
      {},
      {"docs/"},
  };
  for (size_t I = 0; I < std::size(Masks); ++I) {
    SCOPED_TRACE(testing::Message() << Masks[I].Mask << " with 0x" << std::hex << Masks[I].SearchAttr);
    EXPECT_EQ(Z.Find(Masks[I].Mask, Masks[I].SearchAttr), Expected[I]);
  }
}

TEST(Search, RecordDescribesTheEntry) {
  TSearchArchiver Z;
  Z.OpenEmpty();
  TDirItem& Big = Z.Add("a/b/big.bin");
  Big.CompressedSize = Big.UncompressedSize = 0xFFFFFFFF;
  Big.CompressedSize64 = 0x100000000LL;
  Big.UncompressedSize64 = 0x400000000LL;
  Big.Flags = 0x0009;
  Big.ModDate = 0x5A21;
  Big.ModTime = 0x6B3C;
  Big.Crc32 = 0xCBF43926;
  Big.Comment = "note";
  TDirItem& Empty = Z.Add("empty.txt");
  Empty.CompressedSize = 2;
  TDirItem& Grown = Z.Add("grown.bin");
  Grown.CompressedSize = 120;
  Grown.UncompressedSize = 100;
  Z.Add("a/b/", 0x10);

  TCVArchiveItem F;
  ASSERT_TRUE(Z.FindFirst("*.*", F, 0x28BF, "big.bin"));
  EXPECT_EQ(F.FileName, "big.bin");
  EXPECT_EQ(F.StoredPath, std::string("a") + PathDelim + "b" + PathDelim);
  EXPECT_EQ(F.CompressedSize, 0x100000000LL);
  EXPECT_EQ(F.UncompressedSize, 0x400000000LL);
  EXPECT_DOUBLE_EQ(F.CompressionRate, 75.0);
  EXPECT_TRUE(F.Encrypted);
  EXPECT_EQ(F.LastModFileDate, 0x5A21);
  EXPECT_EQ(F.LastModFileTime, 0x6B3C);
  EXPECT_EQ(F.CRC, 0xCBF43926u);
  EXPECT_EQ(F.Comment, "note");
  // The exclusion string is kept, never applied.
  EXPECT_EQ(F.SearchRec.ExclusionMask, "big.bin");

  ASSERT_TRUE(Z.FindNext(F));
  EXPECT_EQ(F.FileName, "empty.txt");
  EXPECT_EQ(F.StoredPath, "");
  EXPECT_DOUBLE_EQ(F.CompressionRate, 100.0);
  EXPECT_FALSE(F.Encrypted);
  EXPECT_EQ(F.Comment, "");

  ASSERT_TRUE(Z.FindNext(F));
  EXPECT_DOUBLE_EQ(F.CompressionRate, 0.0);

  ASSERT_TRUE(Z.FindNext(F));
  EXPECT_EQ(F.FileName, "b");
  EXPECT_EQ(F.StoredPath, std::string("a") + PathDelim);
  EXPECT_EQ(F.ExternalFileAttributes, 0x10u);
  EXPECT_EQ(F.SearchRec.ItemIndex, 3);

  // Past the last match: nothing changes but the start of the next step.
  TCVArchiveItem Before = F;
  EXPECT_FALSE(Z.FindNext(F));
  EXPECT_EQ(F.SearchRec.ItemIndex, 4);
  EXPECT_EQ(F.FileName, Before.FileName);
  EXPECT_EQ(F.StoredPath, Before.StoredPath);
  EXPECT_EQ(F.ExternalFileAttributes, Before.ExternalFileAttributes);
}

TEST(Search, LongMasksHaveNoLimit) {
  TSearchArchiver Z;
  Z.OpenEmpty();
  const std::string Folder(300, 'd');
  Z.Add(Folder + "/" + std::string(280, 'f') + ".txt");
  Z.Add(Folder + "/other.txt");
  Z.Options().Recurse = false;
  EXPECT_EQ(Z.Find(Folder + "/" + std::string(280, 'F') + ".*"),
            Names{Folder + "/" + std::string(280, 'f') + ".txt"});
}

// No operation sets UseMaskLists; a search record that has it tests names
// against the component's two lists instead of its own mask.
TEST(Search, MaskListsReplaceTheMaskWhenAsked) {
  TSearchArchiver Z;
  Z.OpenEmpty();
  for (const char* Name : {"a.txt", "b.doc", "c.bin", "secret.txt", "dir/secret2.doc", "dir/x.TXT"})
    Z.Add(Name);
  Z.SetFileMasks({"*.txt", "*.doc"});
  Z.SetExclusionMasks({"secret*"});

  TCVArchiveItem F;
  ASSERT_TRUE(Z.FindFirst("c.bin", F, 0x28BF, std::string()));
  EXPECT_FALSE(F.SearchRec.UseMaskLists);
  F.SearchRec.UseMaskLists = true;
  F.SearchRec.ItemIndex = -1;
  Names Found;
  while (Z.FindNext(F)) Found.push_back(Z.Items().ItemPtr(F.SearchRec.ItemIndex).FileName);
  // The lists meet the whole name: 'secret*' does not exclude a file below a
  // folder.
  EXPECT_EQ(Found, (Names{"a.txt", "b.doc", "dir/secret2.doc", "dir/x.TXT"}));

  // FindFirst starts every search without the lists.
  ASSERT_TRUE(Z.FindFirst("c.bin", F, 0x28BF, std::string()));
  EXPECT_FALSE(F.SearchRec.UseMaskLists);
}

TEST(Search, SelectItemsMarksExactlyTheMatches) {
  TSearchArchiver Z;
  Z.OpenEmpty();
  for (const char* Name : {"a.txt", "b.bin", "d/c.txt"}) Z.Add(Name);
  Z.Add("d/", 0x10);
  Z.SelectItems("*.bin", 0x28BF, std::string());
  EXPECT_EQ(Z.Marked(), Names{"b.bin"});
  Z.SelectItems("*.txt", 0x28BF, std::string());
  EXPECT_EQ(Z.Marked(), (Names{"a.txt", "d/c.txt"}));
  Z.SelectItems("*.*", 0, std::string());
  EXPECT_EQ(Z.Marked(), (Names{"a.txt", "b.bin", "d/c.txt"}));
  Z.SelectItems("", 0x28BF, std::string());
  EXPECT_EQ(Z.Marked(), Names{});
}

TEST(Search, FileCountCountsAllButFolderEntries) {
  for (bool Recurse : {false, true}) {
    SCOPED_TRACE(Recurse);
    TSearchArchiver Z;
    Z.OpenEmpty();
    for (const char* Name : {"a.txt", "d/b.txt", "d/e/c.txt", "f.bin", "g"}) Z.Add(Name);
    Z.Add("d/", 0x10);
    Z.Add("d/e/", 0x10);
    Z.Options().Recurse = Recurse;
    EXPECT_EQ(Z.FileCount(), 5);
    EXPECT_EQ(Z.Options().Recurse, Recurse);
    // A folder entry that is also hidden is not found by the folder search.
    Z.Add("h/", 0x12);
    EXPECT_EQ(Z.FileCount(), 6);
    EXPECT_EQ(Z.Options().Recurse, Recurse);
  }
}

TEST(Search, FileCountNeedsAnOpenArchive) {
  TSearchArchiver Z;
  Z.Options().Recurse = false;
  try {
    Z.FileCount();
    FAIL() << "no exception";
  } catch (const ECVException& E) {
    EXPECT_EQ(E.NativeError, 13);
  }
  EXPECT_FALSE(Z.Options().Recurse);
}
