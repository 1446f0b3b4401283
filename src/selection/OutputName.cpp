#include "selection/OutputName.h"

#include <cstdint>
#include <mutex>
#include <random>

#include "platform/Path.h"
#include "selection/PathHelpers.h"

std::string ConfineEntryName(const std::string& Name) {
  const std::string Rest = Name.substr(ExtractDrivePart(Name).size());
  std::string Result;
  size_t Start = 0;
  while (Start <= Rest.size()) {
    size_t End = Rest.find(PathDelim, Start);
    if (End == std::string::npos) End = Rest.size();
    const std::string Part = Rest.substr(Start, End - Start);
    if (!Part.empty() && Part != "." && Part != "..") {
      if (!Result.empty()) Result += PathDelim;
      Result += Part;
    }
    Start = End + 1;
  }
  if (!Result.empty() && !Rest.empty() && Rest.back() == PathDelim) Result += PathDelim;
  return Result;
}

std::string MakeTempOutputName(const std::string& Dir) {
  static std::mutex Guard;
  static std::mt19937_64 Generator{std::random_device{}()};
  uint64_t Value;
  {
    std::lock_guard<std::mutex> Lock(Guard);
    Value = Generator();
  }
  static constexpr char Hex[] = "0123456789abcdef";
  std::string Suffix(16, '0');
  for (char& C : Suffix) {
    C = Hex[Value & 15];
    Value >>= 4;
  }
  return Dir + ".salvor-" + Suffix;
}
