// Encrypted entries: the password loop, OnPassword, code-page forms of a
// password, and archives encrypted by other programs.

#include <gtest/gtest.h>

#include "ReaderFixture.h"
#include "support/PeerTools.h"
#include "support/TempFolder.h"

namespace {

struct TPasswordScript {
  // Answers in order; after the last one the entry is skipped.
  std::vector<std::string> Answers;
  std::vector<std::string> Names;
  std::vector<std::string> Offered;

  void Install(TReaderArchiver& A) {
    A.SetOnPassword([this](TCVBaseArchiver&, const std::string& Name, std::string& Password, bool& Skip) {
      Names.push_back(Name);
      Offered.push_back(Password);
      if (Names.size() <= Answers.size())
        Password = Answers[Names.size() - 1];
      else
        Skip = true;
    });
  }
};

TEST(PasswordReader, SkipOnTheFirstCallEndsTheEntryAfterOneEvent) {
  ZipBuilder B;
  B.Add("dir/secret.txt", "top secret").Deflated().Encrypt("right");
  TReaderArchiver A;
  A.SetPassword("wrong");
  TPasswordScript Script;
  Script.Install(A);
  A.Attach(B);
  TMemoryStream Dest;
  EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
  EXPECT_EQ(Dest.Size(), 0);
  EXPECT_TRUE(A.SkipFileRequested());
  // The entry's own name, separators as stored.
  EXPECT_EQ(Script.Names, std::vector<std::string>{"dir/secret.txt"});
  EXPECT_EQ(Script.Offered, std::vector<std::string>{"wrong"});
}

TEST(PasswordReader, ARightPasswordOnTheSecondCallIsUsedAndKept) {
  ZipBuilder B;
  B.Add("one.txt", "first secret").Deflated().Encrypt("right");
  B.Add("two.txt", "second secret").Encrypt("right");
  TReaderArchiver A;
  A.SetPassword("wrong");
  TPasswordScript Script;
  Script.Answers = {"still wrong", "right"};
  Script.Install(A);
  A.Attach(B);
  TMemoryStream First;
  A.ExtractItemToStream(0, First);
  EXPECT_TRUE(First.Bytes() == ToBytes("first secret"));
  EXPECT_EQ(Script.Names.size(), 2u);
  EXPECT_EQ(A.Password(), "right");
  // The next entry needs no question.
  TMemoryStream Second;
  A.ExtractItemToStream(1, Second);
  EXPECT_TRUE(Second.Bytes() == ToBytes("second secret"));
  EXPECT_EQ(Script.Names.size(), 2u);
  EXPECT_FALSE(A.SkipFileRequested());
}

TEST(PasswordReader, AnEncryptedEntryOfTwelveBytesRunsTheLoopAndChecksItsEmptiness) {
  struct TCase {
    const char* Title;
    uint32_t StoredCrc;
    int32_t Error;
  };
  for (TCase C : {TCase{"empty", 0, -1}, TCase{"claims_data", 0x11111111, 8}}) {
    SCOPED_TRACE(C.Title);
    ZipBuilder B;
    // The check byte follows the CRC-32 the headers claim.
    B.Add("empty.txt", "")
        .Encrypt("pw")
        .StoredCrc32(C.StoredCrc)
        .CheckByte(static_cast<uint8_t>(C.StoredCrc >> 24));
    ASSERT_EQ(B.Layout().Entries[0].CompressedSize, 12u);
    TReaderArchiver A;
    A.SetPassword("not it");
    TPasswordScript Script;
    Script.Answers = {"pw"};
    Script.Install(A);
    A.Attach(B);
    TMemoryStream Dest;
    EXPECT_EQ(RaisedNativeError([&] { A.ExtractItemToStream(0, Dest); }), C.Error);
    EXPECT_EQ(Script.Names.size(), 1u);
    EXPECT_EQ(Dest.Size(), 0);
  }
}

// Windows programs encrypt with the bytes of the ANSI (Windows-1252) or OEM
// (CP437) code page; the password typed here is UTF-8.
TEST(PasswordReader, ANonAsciiPasswordIsTriedInItsWindowsForms) {
  struct TCase {
    const char* Title;
    std::string Encrypted;
  };
  const TCase Cases[] = {
      {"utf8", "caf\xC3\xA9"},
      {"windows1252", "caf\xE9"},
      {"cp437", "caf\x82"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Title);
    ZipBuilder B;
    B.Add("menu.txt", "croissant, baguette").Deflated().Encrypt(C.Encrypted);
    TReaderArchiver A;
    A.SetPassword("caf\xC3\xA9");
    TPasswordScript Script;
    Script.Install(A);
    A.Attach(B);
    TMemoryStream Dest;
    EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
    EXPECT_TRUE(Dest.Bytes() == ToBytes("croissant, baguette"));
    EXPECT_TRUE(Script.Names.empty());
    // The component keeps the text the user typed.
    EXPECT_EQ(A.Password(), "caf\xC3\xA9");
  }
}

TEST(PasswordReader, TheCodePageFormsDoNotAddQuestions) {
  // The password's forms are wrong too: still one question per rejection.
  ZipBuilder B;
  B.Add("menu.txt", "croissant").Encrypt("th\xC3\xA9");
  TReaderArchiver A;
  A.SetPassword("na\xC3\xAFve");
  TPasswordScript Script;
  Script.Answers = {"\u00FCber"};
  Script.Install(A);
  A.Attach(B);
  TMemoryStream Dest;
  EXPECT_NO_THROW(A.ExtractItemToStream(0, Dest));
  EXPECT_EQ(Script.Names.size(), 2u);
  EXPECT_EQ(Script.Offered, (std::vector<std::string>{"na\xC3\xAFve", "\u00FCber"}));
}

// ------------------------------------------------------- other programs

struct TPeerFile {
  std::string Name;
  TBytes Data;
};

std::vector<TPeerFile> PeerFiles() {
  return {
      {"text.txt", ToBytes("The quick brown fox jumps over the lazy dog.\n")},
      // Incompressible: written stored.
      {"noise.bin", Noise(200000, 21)},
      // More than one chunk of deflate data.
      {"mixed.bin", Mixed(3 << 20, 22)},
      {"empty.txt", {}},
  };
}

void CheckPeerArchive(const std::string& Archive, const std::string& Password) {
  TReaderArchiver A;
  A.SetPassword(Password);
  TPasswordScript Script;
  Script.Install(A);
  A.SetFileName(Archive);
  A.OpenArchive();
  ASSERT_EQ(A.ItemCount(), static_cast<int32_t>(PeerFiles().size()));
  std::vector<TPeerFile> Files = PeerFiles();
  int Encrypted = 0;
  for (int32_t I = 0; I < static_cast<int32_t>(Files.size()); ++I) {
    const TDirItem& Item = A.Item(I);
    SCOPED_TRACE(Item.FileName);
    auto It =
        std::find_if(Files.begin(), Files.end(), [&](const TPeerFile& F) { return F.Name == Item.FileName; });
    ASSERT_NE(It, Files.end());
    Encrypted += (Item.Flags & zfEncrypted) != 0;
    TMemoryStream Dest;
    EXPECT_NO_THROW(A.ExtractItemToStream(I, Dest));
    EXPECT_TRUE(Dest.Bytes() == It->Data);
  }
  // Every entry with data is encrypted, and no password was asked for.
  EXPECT_GE(Encrypted, 3);
  EXPECT_TRUE(Script.Names.empty());
}

class PeerEncryption : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const TPeerFile& F : PeerFiles())
      Folder.WriteFile(F.Name, std::string(F.Data.begin(), F.Data.end()));
  }
  std::string FileList() const {
    std::string L;
    for (const TPeerFile& F : PeerFiles()) L += " " + F.Name;
    return L;
  }
  TTempFolder Folder;
};

TEST_F(PeerEncryption, InfoZipZipMinusP) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  const std::string Password = "s\xC3\xA9same 42";
  const std::string Archive = Folder / "zip.zip";
  ASSERT_EQ(RunCommand("cd " + ShellQuote(Folder.Path()) + " && zip -q -X -P " + ShellQuote(Password) + " " +
                       ShellQuote(Archive) + FileList()),
            0);
  CheckPeerArchive(Archive, Password);
}

TEST_F(PeerEncryption, SevenZipWithZipCrypto) {
  std::string Program = HaveProgram("7zz") ? "7zz" : HaveProgram("7z") ? "7z" : "";
  if (Program.empty()) GTEST_SKIP() << "7-Zip is not installed";
  const std::string Archive = Folder / "7z.zip";
  ASSERT_EQ(RunCommand("cd " + ShellQuote(Folder.Path()) + " && " + Program +
                       " a -bd -tzip -mem=ZipCrypto -pSecret7 " + ShellQuote(Archive) + FileList()),
            0);
  CheckPeerArchive(Archive, "Secret7");
}

}  // namespace
