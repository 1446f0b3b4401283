#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "itemdata/Crc32.h"

namespace {

uint32_t Crc(const std::string& S) {
  return ~Crc32Update(Crc32Initial, S.data(), static_cast<int32_t>(S.size()));
}

// A plain bit-at-a-time CRC-32, written from the polynomial alone.
uint32_t ReferenceCrc(const std::vector<uint8_t>& Data) {
  uint32_t C = 0xFFFFFFFF;
  for (uint8_t B : Data) {
    C ^= B;
    for (int K = 0; K < 8; ++K) C = (C >> 1) ^ (0xEDB88320u & (0u - (C & 1)));
  }
  return ~C;
}

std::vector<uint8_t> Noise(size_t Size) {
  std::vector<uint8_t> V(Size);
  uint32_t X = 12345;
  for (uint8_t& B : V) {
    X = X * 1664525u + 1013904223u;
    B = static_cast<uint8_t>(X >> 24);
  }
  return V;
}

TEST(Crc32, KnownAnswers) {
  std::string AllBytes;
  for (int I = 0; I < 256; ++I) AllBytes += static_cast<char>(I);
  const std::pair<std::string, uint32_t> Cases[] = {
      {"", 0x00000000},
      {"123456789", 0xCBF43926},
      {"a", 0xE8B7BE43},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339},
      {AllBytes, 0x29058C73},
  };
  for (const auto& [Text, Want] : Cases) {
    SCOPED_TRACE(Text.substr(0, 20));
    EXPECT_EQ(Crc(Text), Want);
  }
}

TEST(Crc32, MatchesTheBitwiseDefinitionAndTheTableStep) {
  std::vector<uint8_t> Data = Noise(100003);
  uint32_t Bulk = Crc32Update(Crc32Initial, Data.data(), static_cast<int32_t>(Data.size()));
  uint32_t Stepped = Crc32Initial;
  for (uint8_t B : Data) Stepped = Crc32Step(Stepped, B);
  EXPECT_EQ(~Bulk, ReferenceCrc(Data));
  EXPECT_EQ(Stepped, Bulk);
}

TEST(Crc32, SplitComputationEqualsOnePass) {
  std::vector<uint8_t> Data = Noise(1000);
  uint32_t Whole = Crc32Update(Crc32Initial, Data.data(), 1000);
  const std::array<int32_t, 2> Cuts[] = {{0, 0}, {1, 1}, {3, 500}, {499, 500}, {999, 999}, {1000, 1000}, {7, 993}};
  for (const auto& Cut : Cuts) {
    SCOPED_TRACE(Cut[0] * 10000 + Cut[1]);
    uint32_t Running = Crc32Initial;
    Crc32Update(Data.data(), Cut[0], Running);
    Crc32Update(Data.data() + Cut[0], Cut[1] - Cut[0], Running);
    Crc32Update(Data.data() + Cut[1], 1000 - Cut[1], Running);
    EXPECT_EQ(Running, Whole);
  }
}

TEST(Crc32, NothingToDoReturnsTheInput) {
  const char Byte = 'x';
  for (uint32_t In : {0u, 0xFFFFFFFFu, 0x12345678u}) {
    SCOPED_TRACE(In);
    EXPECT_EQ(Crc32Update(In, &Byte, 0), In);
    EXPECT_EQ(Crc32Update(In, &Byte, -5), In);
    EXPECT_EQ(Crc32Update(In, nullptr, 10), In);
    uint32_t Running = In;
    Crc32Update(nullptr, 1, Running);
    Crc32Update(&Byte, -1, Running);
    EXPECT_EQ(Running, In);
  }
}

}  // namespace
