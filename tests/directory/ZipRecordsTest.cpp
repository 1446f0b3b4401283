#include <gtest/gtest.h>

#include <cstdio>

#include "directory/ZipRecords.h"
#include "platform/Exceptions.h"
#include "support/ZipBuilder.h"

namespace {

TBytes Hex(const char* Text) {
  TBytes Out;
  unsigned V;
  int N;
  while (std::sscanf(Text, " %2x%n", &V, &N) == 1) {
    Out.push_back(static_cast<uint8_t>(V));
    Text += N;
  }
  return Out;
}

// Decoding Bytes and encoding the result gives Bytes back, through memory and
// through streams; a stream that ends one byte early raises EReadError.
template <typename TRecord>
TRecord DecodeChecked(const TBytes& Bytes) {
  EXPECT_EQ(Bytes.size(), TRecord::Size);
  TRecord R;
  R.Decode(Bytes.data());
  TBytes Again(TRecord::Size);
  R.Encode(Again.data());
  EXPECT_EQ(Again, Bytes);

  TMemoryStream In;
  In.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  In.WriteBuffer("tail", 4);
  In.SetPosition(0);
  TRecord FromStream;
  FromStream.Read(In);
  EXPECT_EQ(In.Position(), static_cast<int64_t>(TRecord::Size));
  TMemoryStream Out;
  FromStream.Write(Out);
  EXPECT_EQ(Out.Bytes(), Bytes);

  TMemoryStream Short;
  Short.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size() - 1));
  Short.SetPosition(0);
  TRecord Cut;
  EXPECT_THROW(Cut.Read(Short), EReadError);
  return R;
}

// Every field has a distinct value, so a field read from a neighbour's offset
// shows.
TEST(ZipRecords, LocalFileHeaderFields) {
  auto H = DecodeChecked<TLocalFileHeader>(
      Hex("50 4B 03 04 14 00 09 08 08 00 21 43 65 87 78 56 34 12 9A BC DE F0 11 22 33 44 05 00 0C 00"));
  EXPECT_EQ(H.Signature, TLocalFileHeader::SignatureValue);
  EXPECT_EQ(H.VersionNeeded, 0x0014);
  EXPECT_EQ(H.Flags, 0x0809);
  EXPECT_EQ(H.Method, 8);
  EXPECT_EQ(H.ModTime, 0x4321);
  EXPECT_EQ(H.ModDate, 0x8765);
  EXPECT_EQ(H.Crc32, 0x12345678u);
  EXPECT_EQ(H.CompressedSize, 0xF0DEBC9Au);
  EXPECT_EQ(H.UncompressedSize, 0x44332211u);
  EXPECT_EQ(H.NameLength, 5);
  EXPECT_EQ(H.ExtraLength, 12);
}

TEST(ZipRecords, CentralFileHeaderFields) {
  auto H = DecodeChecked<TCentralFileHeader>(
      Hex("50 4B 01 02 1E 03 14 00 01 00 08 00 21 43 65 87 78 56 34 12 9A BC DE F0 11 22 33 44 "
          "05 00 0C 00 07 00 02 00 01 00 00 00 ED 81 AA BB CC DD"));
  EXPECT_EQ(H.Signature, TCentralFileHeader::SignatureValue);
  EXPECT_EQ(H.VersionMadeBy, 0x031E);
  EXPECT_EQ(H.VersionNeeded, 0x0014);
  EXPECT_EQ(H.Flags, 0x0001);
  EXPECT_EQ(H.Method, 8);
  EXPECT_EQ(H.ModTime, 0x4321);
  EXPECT_EQ(H.ModDate, 0x8765);
  EXPECT_EQ(H.Crc32, 0x12345678u);
  EXPECT_EQ(H.CompressedSize, 0xF0DEBC9Au);
  EXPECT_EQ(H.UncompressedSize, 0x44332211u);
  EXPECT_EQ(H.NameLength, 5);
  EXPECT_EQ(H.ExtraLength, 12);
  EXPECT_EQ(H.CommentLength, 7);
  EXPECT_EQ(H.DiskNumberStart, 2);
  EXPECT_EQ(H.InternalAttr, 1);
  EXPECT_EQ(H.ExternalAttr, 0x81ED0000u);
  EXPECT_EQ(H.LocalHeaderOffset, 0xDDCCBBAAu);
}

TEST(ZipRecords, DataDescriptorFields) {
  auto D = DecodeChecked<TDataDescriptor>(Hex("50 4B 07 08 78 56 34 12 9A BC DE F0 11 22 33 44"));
  EXPECT_EQ(D.Signature, TDataDescriptor::SignatureValue);
  EXPECT_EQ(D.Crc32, 0x12345678u);
  EXPECT_EQ(D.CompressedSize, 0xF0DEBC9Au);
  EXPECT_EQ(D.UncompressedSize, 0x44332211u);
}

TEST(ZipRecords, EndRecordFields) {
  auto E = DecodeChecked<TEndRecord>(Hex("50 4B 05 06 03 00 02 00 05 00 09 00 11 22 33 44 55 66 77 88 0A 00"));
  EXPECT_EQ(E.Signature, TEndRecord::SignatureValue);
  EXPECT_EQ(E.DiskNumber, 3);
  EXPECT_EQ(E.DirDisk, 2);
  EXPECT_EQ(E.DiskEntries, 5);
  EXPECT_EQ(E.TotalEntries, 9);
  EXPECT_EQ(E.DirSize, 0x44332211u);
  EXPECT_EQ(E.DirOffset, 0x88776655u);
  EXPECT_EQ(E.CommentLength, 10);
}

TEST(ZipRecords, Zip64EndRecordFields) {
  auto E = DecodeChecked<TZip64EndRecord>(
      Hex("50 4B 06 06 2C 00 00 00 00 00 00 00 2D 00 2E 00 03 00 00 00 02 00 00 00 "
          "05 00 00 00 00 00 00 00 09 00 00 00 01 00 00 00 11 22 33 44 55 00 00 00 "
          "01 02 03 04 05 06 07 08"));
  EXPECT_EQ(E.Signature, TZip64EndRecord::SignatureValue);
  EXPECT_EQ(E.RecordSize, 44u);
  EXPECT_EQ(E.VersionMadeBy, 45);
  EXPECT_EQ(E.VersionNeeded, 46);
  EXPECT_EQ(E.DiskNumber, 3u);
  EXPECT_EQ(E.DirDisk, 2u);
  EXPECT_EQ(E.DiskEntries, 5u);
  EXPECT_EQ(E.TotalEntries, 0x100000009u);
  EXPECT_EQ(E.DirSize, 0x5544332211u);
  EXPECT_EQ(E.DirOffset, 0x0807060504030201u);
}

TEST(ZipRecords, Zip64LocatorFields) {
  auto L = DecodeChecked<TZip64Locator>(Hex("50 4B 06 07 02 00 00 00 08 07 06 05 04 03 02 01 03 00 00 00"));
  EXPECT_EQ(L.Signature, TZip64Locator::SignatureValue);
  EXPECT_EQ(L.EndRecordDisk, 2u);
  EXPECT_EQ(L.EndRecordOffset, 0x0102030405060708u);
  EXPECT_EQ(L.TotalDisks, 3u);
}

TEST(ZipRecords, ExtraFieldHeaderAndData) {
  TBytes Header = Hex("01 00 1C 00");
  TExtraField F;
  F.Decode(Header.data());
  EXPECT_EQ(F.HeaderId, Zip64ExtraId);
  EXPECT_EQ(F.DataSize, 28);
  TBytes Again(TExtraField::Size);
  F.Encode(Again.data());
  EXPECT_EQ(Again, Header);

  // The stream form reads the data too, and refuses a length the stream
  // cannot hold before allocating anything.
  TMemoryStream S;
  S.WriteBuffer("\xFE\xCA\x03\x00" "abcTAIL", 11);
  S.SetPosition(0);
  TExtraField G;
  G.Read(S);
  EXPECT_EQ(G.HeaderId, 0xCAFE);
  EXPECT_EQ(G.Data, ToBytes("abc"));
  EXPECT_EQ(S.Position(), 7);
  TMemoryStream W;
  G.Write(W);
  EXPECT_EQ(W.Bytes(), ToBytes(std::string("\xFE\xCA\x03\x00" "abc", 7)));

  TMemoryStream Claim;
  Claim.WriteBuffer("\xFE\xCA\xFF\xFF" "abc", 7);
  Claim.SetPosition(0);
  TExtraField H;
  EXPECT_THROW(H.Read(Claim), EReadError);
}

// The builder writes records with its own code: both sides must agree on
// where every field of a real entry lies.
TEST(ZipRecords, DecodeTheBuildersHeaders) {
  ZipBuilder B;
  B.Prefix("stub");
  B.Add("x.txt", "x");
  B.Add("dir/a.txt", "hello hello hello").Deflated().Time(2020, 2, 29, 23, 59, 58).Comment("c").Encrypt("pw");
  B.Comment("zip comment");
  ZipLayout L = B.Layout();
  TBytes A = B.Build();
  const ZipEntryOffsets& E = L.Entries[1];

  TLocalFileHeader Local;
  Local.Decode(A.data() + E.LocalHeader);
  TCentralFileHeader Central;
  Central.Decode(A.data() + E.CentralHeader);
  TEndRecord End;
  End.Decode(A.data() + L.EndRecord);

  EXPECT_EQ(Local.Signature, TLocalFileHeader::SignatureValue);
  EXPECT_EQ(Local.Flags, zfEncrypted);
  EXPECT_EQ(Local.Method, 8);
  EXPECT_EQ(Local.ModDate, (40 << 9) | (2 << 5) | 29);
  EXPECT_EQ(Local.ModTime, (23 << 11) | (59 << 5) | 29);
  EXPECT_EQ(Local.Crc32, E.Crc32);
  EXPECT_EQ(Local.CompressedSize, E.CompressedSize);
  EXPECT_EQ(Local.UncompressedSize, 17u);
  EXPECT_EQ(Local.NameLength, 9);
  EXPECT_EQ(E.LocalHeader + 30 + 9, E.Data);

  EXPECT_EQ(Central.Signature, TCentralFileHeader::SignatureValue);
  EXPECT_EQ(Central.Crc32, Local.Crc32);
  EXPECT_EQ(Central.CompressedSize, Local.CompressedSize);
  EXPECT_EQ(Central.CommentLength, 1);
  EXPECT_EQ(Central.ExternalAttr, 0x20u);
  EXPECT_EQ(Central.LocalHeaderOffset, static_cast<uint32_t>(E.LocalHeader));

  EXPECT_EQ(End.Signature, TEndRecord::SignatureValue);
  EXPECT_EQ(End.TotalEntries, 2);
  EXPECT_EQ(End.DirOffset, static_cast<uint32_t>(L.CentralDirectory));
  EXPECT_EQ(End.DirSize, static_cast<uint32_t>(L.EndRecord - L.CentralDirectory));
  EXPECT_EQ(End.CommentLength, 11);
  EXPECT_EQ(L.EndRecord + 22 + 11, L.Size);
}

}  // namespace
