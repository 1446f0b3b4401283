#include <gtest/gtest.h>

#include <set>

#include "archiver/CVConst.h"
#include "archiver/CVExcept.h"

TEST(ECVException, ComposesNameTextAndFiveDigitCode) {
  TComponent Z;
  Z.SetName("z");
  TComponent Unnamed;
  struct {
    int32_t Code;
    TFormatArgs Args;
    bool WithArgs;
    const TComponent* Archiver;
    const char* Want;
  } Cases[] = {
      {13, {}, false, &Z, "z: Archive is not open - Native error: 00013"},
      {12, {std::string("C:\\a.zip")}, true, &Z, "z: File \"C:\\a.zip\" not found - Native error: 00012"},
      {55, {}, false, nullptr, "Deflate64 compression method is not supported - Native error: 00055"},
      {13, {}, false, &Unnamed, "Archive is not open - Native error: 00013"},
      {0, {}, false, &Z, "z: Unknown error - Native error: 00000"},
      {61, {}, false, nullptr, "Unknown error - Native error: 00061"},
      {123456, {}, false, nullptr, "Unknown error - Native error: 123456"},
      {-3, {}, false, nullptr, "Unknown error - Native error: 000-3"},
      // The plain constructor keeps placeholders; a file name holding "%s" is
      // never formatted again.
      {12, {}, false, nullptr, "File \"%s\" not found - Native error: 00012"},
      {19, {std::string("x%s%d.txt")}, true, nullptr, "Cannot create file \"x%s%d.txt\" - Native error: 00019"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Want);
    ECVException E = C.WithArgs ? ECVException(C.Code, C.Args, C.Archiver) : ECVException(C.Code, C.Archiver);
    EXPECT_EQ(std::string(E.what()), C.Want);
    EXPECT_EQ(E.NativeError, C.Code);
  }
}

TEST(ECVException, WholeMapAndUnknownCodes) {
  std::set<int32_t> Used;
  for (int32_t N = 0; N <= 60; ++N) {
    SCOPED_TRACE(N);
    EXPECT_EQ(ErrorCodeMap[N].NativeError, N);
    ECVException E(N, nullptr);
    EXPECT_EQ(E.ErrorCode, ErrorCodeMap[N].ErrorCode);
    if (N >= 57) {
      EXPECT_EQ(E.ErrorCode, -1);
      EXPECT_EQ(std::string(E.what()).rfind("Unknown error - Native error: 000", 0), 0u);
    } else {
      Used.insert(E.ErrorCode);
      EXPECT_EQ(std::string(E.what()).rfind(ErrorMessages[E.ErrorCode], 0), 0u);
    }
  }
  // Every message 0..33 is reached by some code, 34..40 by none.
  EXPECT_EQ(Used.size(), 34u);
  EXPECT_EQ(*Used.rbegin(), 33);
  for (int I = 34; I < ErrorMessageCount; ++I) EXPECT_STREQ(ErrorMessages[I], "");
  EXPECT_EQ(ECVException(8, nullptr).ErrorCode, 4);
  EXPECT_EQ(ECVException(46, nullptr).ErrorCode, 25);
}
