#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

// Contents that make the bytes of an archive predictable.

// Text that deflates well.
inline std::string TextOf(int Lines, const std::string& Tag) {
  std::string Text;
  for (int I = 0; I < Lines; ++I) Text += Tag + " line " + std::to_string(I) + " of some text\n";
  return Text;
}

// Bytes that do not compress: a stored or deflated entry of N of them takes
// about N bytes in the archive.
inline std::string NoiseOf(size_t N, uint32_t Seed) {
  std::mt19937 Random(Seed);
  std::string Bytes(N, '\0');
  for (char& C : Bytes) C = static_cast<char>(Random());
  return Bytes;
}

// An archive with its last entry cut in the middle of its data, so its
// directory and end record are gone: "first.txt" survives whole, "cut.bin"
// (deflated noise) is damaged. The first entry is larger than the cut one,
// so what is left of the file can hold the cut entry's recorded size and a
// rebuild accepts its header.
struct TTruncatedArchive {
  std::string FirstData = NoiseOf(30000, 7);
  std::string CutData = NoiseOf(12000, 8);
  ZipBuilder Builder;
  int64_t CutAt = 0;

  TTruncatedArchive() {
    Builder.Add("first.txt", FirstData).Stored();
    Builder.Add("cut.bin", CutData).Deflated();
    const ZipEntryOffsets Cut = Builder.Layout().Entries[1];
    CutAt = Cut.Data + (Cut.DataEnd - Cut.Data) / 2;
    Builder.Truncate(CutAt);
  }
};
