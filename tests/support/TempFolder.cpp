#include "support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

TTempFolder::TTempFolder() {
  const char* Tmp = std::getenv("TMPDIR");
  std::string Pattern = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/salvor-test-XXXXXX";
  std::vector<char> Buf(Pattern.begin(), Pattern.end());
  Buf.push_back('\0');
  if (mkdtemp(Buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + Pattern);
  FPath = Buf.data();
}

TTempFolder::~TTempFolder() {
  std::error_code Ignored;
  // Folders made read-only by a test would stop the removal.
  for (auto It = std::filesystem::recursive_directory_iterator(FPath, Ignored);
       It != std::filesystem::recursive_directory_iterator(); It.increment(Ignored))
    if (It->is_directory(Ignored) && !It->is_symlink(Ignored))
      std::filesystem::permissions(It->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, Ignored);
  std::filesystem::remove_all(FPath, Ignored);
}

std::string TTempFolder::WriteFile(const std::string& Name, const std::string& Bytes) const {
  std::string FileName = *this / Name;
  std::ofstream Out(FileName, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (!Out) throw std::runtime_error("cannot write " + FileName);
  return FileName;
}

std::string TTempFolder::ReadFile(const std::string& FileName) {
  std::ifstream In(FileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}
