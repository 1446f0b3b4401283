#include "itemdata/VolumeFiles.h"

#include <filesystem>
#include <system_error>

#include "platform/Files.h"
#include "platform/Path.h"

std::string FindVolumeFile(const std::string& Name) {
  if (Name.empty()) return std::string();
  if (FileExists(Name)) return Name;
  const std::string Folder = ExtractFilePath(Name);
  const std::string Wanted = ExtractFileName(Name);
  if (Wanted.empty()) return std::string();

  // The folder is read once; a folder that cannot be read holds no match.
  std::error_code Error;
  std::filesystem::directory_iterator It(Folder.empty() ? std::filesystem::path(".") : std::filesystem::path(Folder),
                                         Error);
  std::string Best;
  for (; !Error && It != std::filesystem::directory_iterator(); It.increment(Error)) {
    const std::string Entry = It->path().filename().string();
    if (!SameTextAscii(Entry, Wanted)) continue;
    if ((Best.empty() || Entry < Best) && FileExists(Folder + Entry)) Best = Entry;
  }
  return Best.empty() ? std::string() : Folder + Best;
}
