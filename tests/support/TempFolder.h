#pragma once

#include <string>

// A fresh folder under the temporary folder, removed with everything in it
// when the object goes.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  // The folder, without a trailing separator.
  const std::string& Path() const { return FPath; }
  // Path() + "/" + Name.
  std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }
  // Writes Bytes to Name below the folder (replacing it) and returns its path.
  std::string WriteFile(const std::string& Name, const std::string& Bytes) const;
  // The bytes of a file, "" when it cannot be read.
  static std::string ReadFile(const std::string& FileName);

 private:
  std::string FPath;
};
