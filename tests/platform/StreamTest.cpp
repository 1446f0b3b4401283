#include <gtest/gtest.h>

#include <cstring>

#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Stream.h"

TEST(MemoryStream, ShortReadBufferRaisesReadError) {
  TMemoryStream S;
  S.WriteBuffer("abc", 3);
  S.SetPosition(1);
  char Buf[4];
  EXPECT_THROW(S.ReadBuffer(Buf, 3), EReadError);
  S.SetPosition(0);
  EXPECT_EQ(S.Read(Buf, 4), 3);
  try {
    S.ReadBuffer(Buf, 1);
    FAIL();
  } catch (const EReadError& E) {
    EXPECT_STREQ(E.what(), "Stream read error");
  }
}

TEST(MemoryStream, SeekPastEndThenWriteZeroFills) {
  TMemoryStream S;
  S.Seek(5, soBeginning);
  S.WriteBuffer("x", 1);
  ASSERT_EQ(S.Size(), 6);
  EXPECT_EQ(std::memcmp(S.Memory(), "\0\0\0\0\0x", 6), 0);
  S.SetSize(2);
  EXPECT_EQ(S.Position(), 2);
}

TEST(Format, Directives) {
  struct {
    const char* Fmt;
    TFormatArgs Args;
    const char* Want;
  } Cases[] = {
      {"%5d", {int64_t{12}}, "   12"},
      {"%.3u", {int64_t{7}}, "007"},
      {"%.3u", {int64_t{1234}}, "1234"},
      {"%.2d", {int64_t{100}}, "100"},
      {"File \"%s\" not found", {std::string("a%d.zip")}, "File \"a%d.zip\" not found"},
      {"%d of %d", {int64_t{3000000000LL}, int64_t{-1}}, "3000000000 of -1"},
      {"100%%", {}, "100%"},
      {"%s and %s", {std::string("one")}, "one and %s"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Fmt);
    EXPECT_EQ(FormatArgs(C.Fmt, C.Args), C.Want);
  }
  EXPECT_EQ(Format("%s: %s", "z", std::string("x")), "z: x");
  EXPECT_EQ(FormatFixed(1.5, 2), "1.50");
}
