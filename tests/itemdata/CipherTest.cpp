#include <gtest/gtest.h>

#include <zlib.h>

#include <vector>

#include "directory/DirItem.h"
#include "itemdata/Cipher.h"
#include "platform/Exceptions.h"
#include "support/PeerTools.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

namespace {

TBytes RawInflate(const TBytes& In, size_t Expected) {
  TBytes Out(Expected);
  z_stream Z{};
  inflateInit2(&Z, -15);
  Z.next_in = const_cast<Bytef*>(In.data());
  Z.avail_in = static_cast<uInt>(In.size());
  Z.next_out = Out.data();
  Z.avail_out = static_cast<uInt>(Out.size());
  int Result = inflate(&Z, Z_FINISH);
  Out.resize(Z.total_out);
  inflateEnd(&Z);
  EXPECT_EQ(Result, Z_STREAM_END);
  return Out;
}

std::unique_ptr<TMemoryStream> StreamOf(const TBytes& Bytes, int64_t Position) {
  auto S = std::make_unique<TMemoryStream>();
  S->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  S->SetPosition(Position);
  return S;
}

TEST(Cipher, InitialKeys) {
  TCVCipherKeys Keys;
  InitCipherKeys(Keys, "");
  EXPECT_EQ(Keys.Key0, 0x12345678u);
  EXPECT_EQ(Keys.Key1, 0x23456789u);
  EXPECT_EQ(Keys.Key2, 0x34567890u);
  // Password bytes are used as stored: case and each byte count.
  TCVCipherKeys Lower, Upper, Longer;
  InitCipherKeys(Lower, "pw");
  InitCipherKeys(Upper, "PW");
  InitCipherKeys(Longer, std::string("pw\0", 3));
  EXPECT_NE(Lower.Key0, Upper.Key0);
  EXPECT_NE(Lower.Key0, Longer.Key0);
}

TEST(Cipher, ExpectedCheckByte) {
  struct {
    uint32_t Crc;
    uint16_t Time;
    uint16_t Flags;
    uint8_t Want;
  } Cases[] = {
      {0xA1B2C3D4, 0x5E6F, 0x0000, 0xA1},
      {0xA1B2C3D4, 0x5E6F, 0x0001, 0xA1},
      {0xA1B2C3D4, 0x5E6F, 0x0008, 0x5E},  // bit 3: the time, though the CRC is there
      {0xA1B2C3D4, 0x5E6F, 0x0809, 0x5E},
      {0x00000000, 0x5E6F, 0x0008, 0x5E},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Flags);
    EXPECT_EQ(ExpectedCheckByte(C.Crc, C.Time, C.Flags), C.Want);
  }
}

// Entries encrypted by the builder: the check byte passes with the right
// password, the keys left after the header decrypt the data, and the stream
// stands on the first data byte.
TEST(Cipher, CheckEncryptionHeaderOnBuiltEntries) {
  const std::string Plain = "secret text, secret text, secret text";
  struct {
    const char* Title;
    bool Deflated;
    bool Descriptor;
  } Cases[] = {{"stored", false, false}, {"deflated", true, false}, {"stored, bit 3", false, true},
               {"deflated, bit 3", true, true}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Title);
    ZipBuilder B;
    ZipEntry& E = B.Add("s.txt", Plain).Encrypt("right").Time(2022, 3, 4, 17, 30, 0);
    if (C.Deflated) E.Deflated();
    if (C.Descriptor) E.DataDescriptor();
    ZipLayout L = B.Layout();
    TBytes A = B.Build();
    TLocalFileHeader Local;
    Local.Decode(A.data() + L.Entries[0].LocalHeader);

    auto S = StreamOf(A, L.Entries[0].Data);
    TCVCipherKeys Keys;
    ASSERT_TRUE(CheckEncryptionHeader(*S, "right", Keys, Local.Crc32, Local.ModTime, Local.Flags));
    EXPECT_EQ(S->Position(), L.Entries[0].Data + 12);
    TBytes Data(A.begin() + L.Entries[0].Data + 12, A.begin() + L.Entries[0].DataEnd);
    DecryptBuffer(Data.data(), static_cast<int32_t>(Data.size()), Keys);
    EXPECT_EQ(C.Deflated ? RawInflate(Data, Plain.size()) : Data, ToBytes(Plain));

    // The builder's check byte for a wrong password lands on 1 in 256; a
    // handful of wrong ones must not all pass.
    int Accepted = 0;
    for (const char* Wrong : {"wrong", "Right", "right ", "", "rightt", "r", "RIGHT", "password"}) {
      auto W = StreamOf(A, L.Entries[0].Data);
      TCVCipherKeys WrongKeys;
      Accepted += CheckEncryptionHeader(*W, Wrong, WrongKeys, Local.Crc32, Local.ModTime, Local.Flags);
      EXPECT_EQ(W->Position(), L.Entries[0].Data + 12);
    }
    EXPECT_LE(Accepted, 1);
  }
}

TEST(Cipher, CheckByteFollowsTheLocalHeaderNotTheTruth) {
  // Bit 3 set in the local header: the time decides even though the header
  // also carries a CRC (here one that does not match the check byte).
  ZipBuilder B;
  B.Add("t.txt", "data").Encrypt("pw").DataDescriptor().Time(2022, 1, 1, 9, 0, 0);
  ZipLayout L = B.Layout();
  TBytes A = B.Build();
  TLocalFileHeader Local;
  Local.Decode(A.data() + L.Entries[0].LocalHeader);
  ASSERT_EQ(Local.Flags & 0x0008, 0x0008);
  uint32_t CrcWithOtherHighByte = (static_cast<uint32_t>(Local.ModTime >> 8) ^ 0xFF) << 24;
  auto S = StreamOf(A, L.Entries[0].Data);
  TCVCipherKeys Keys;
  EXPECT_TRUE(CheckEncryptionHeader(*S, "pw", Keys, CrcWithOtherHighByte, Local.ModTime, Local.Flags));
  // Without bit 3 the same header is judged by the CRC and fails.
  S->SetPosition(L.Entries[0].Data);
  EXPECT_FALSE(CheckEncryptionHeader(*S, "pw", Keys, CrcWithOtherHighByte, Local.ModTime, 0x0001));
}

TEST(Cipher, HeaderCutShortRaisesReadError) {
  TMemoryStream S;
  S.WriteBuffer("12345678901", 11);
  S.SetPosition(0);
  TCVCipherKeys Keys;
  EXPECT_THROW(CheckEncryptionHeader(S, "pw", Keys, 0, 0, 0), EReadError);
}

TEST(Cipher, DecryptBufferIgnoresEmptyCounts) {
  uint8_t Byte = 0x42;
  TCVCipherKeys Keys, Before;
  InitCipherKeys(Keys, "pw");
  Before = Keys;
  DecryptBuffer(&Byte, 0, Keys);
  DecryptBuffer(&Byte, -3, Keys);
  EXPECT_EQ(Byte, 0x42);
  EXPECT_EQ(Keys.Key0, Before.Key0);
  EXPECT_EQ(Keys.Key2, Before.Key2);
}

// An archive encrypted by Info-ZIP: read its directory with the library,
// pass the check byte with the right password, fail it with wrong ones, and
// decrypt each entry to the bytes that were stored.
TEST(Cipher, InfoZipEncryptedArchive) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  TTempFolder Dir;
  std::string Text;
  for (int I = 0; I < 200; ++I) Text += "line " + std::to_string(I) + " of the encrypted file\n";
  Dir.WriteFile("stored.txt", Text);
  Dir.WriteFile("deflated.txt", Text);
  std::string Cd = "cd " + ShellQuote(Dir.Path()) + " && ";
  ASSERT_EQ(RunCommand(Cd + "zip -q -X -0 -P s3cret a.zip stored.txt"), 0);
  ASSERT_EQ(RunCommand(Cd + "zip -q -X -9 -P s3cret a.zip deflated.txt"), 0);
  TBytes A = ToBytes(TTempFolder::ReadFile(Dir / "a.zip"));

  TEndRecord End;
  ASSERT_GE(A.size(), TEndRecord::Size);
  End.Decode(A.data() + A.size() - TEndRecord::Size);
  ASSERT_EQ(End.Signature, TEndRecord::SignatureValue);
  ASSERT_EQ(End.TotalEntries, 2);
  auto Dir0 = StreamOf(A, End.DirOffset);
  for (int I = 0; I < 2; ++I) {
    TDirItem Item;
    ReadDirItem(*Dir0, Item, true);
    SCOPED_TRACE(Item.FileName);
    ASSERT_EQ(Item.Flags & 0x0001, 1);
    TLocalFileHeader Local;
    Local.Decode(A.data() + Item.LocalHeaderOffset);
    int64_t Data = Item.LocalHeaderOffset + 30 + Local.NameLength + Local.ExtraLength;

    auto S = StreamOf(A, Data);
    TCVCipherKeys Keys;
    ASSERT_TRUE(CheckEncryptionHeader(*S, "s3cret", Keys, Local.Crc32, Local.ModTime, Local.Flags));
    TBytes Body(A.begin() + Data + 12, A.begin() + Data + Item.CompressedSize);
    DecryptBuffer(Body.data(), static_cast<int32_t>(Body.size()), Keys);
    EXPECT_EQ(Item.Method == 8 ? RawInflate(Body, Text.size()) : Body, ToBytes(Text));

    // Each wrong password passes by chance with odds of 1 in 256 (the header
    // is random); four of twenty would be a one-in-a-million accident.
    int Accepted = 0;
    for (int W = 0; W < 20; ++W) {
      auto Wrong = StreamOf(A, Data);
      Accepted += CheckEncryptionHeader(*Wrong, "s3cret" + std::to_string(W), Keys, Local.Crc32, Local.ModTime,
                                        Local.Flags);
    }
    EXPECT_LE(Accepted, 3);
  }
}

}  // namespace
