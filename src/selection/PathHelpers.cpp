#include "selection/PathHelpers.h"

#include <algorithm>

#include "platform/Env.h"
#include "platform/Files.h"
#include "platform/Path.h"

namespace {

bool IsSeparator(char C) { return C == '\\' || C == '/'; }

bool IsAsciiLetter(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); }

bool HasDriveLetter(const std::string& S) {
  return S.size() >= 2 && IsAsciiLetter(S[0]) && S[1] == ':' && (S.size() == 2 || IsSeparator(S[2]));
}

bool HasNetworkPrefix(const std::string& S) { return S.size() >= 2 && IsSeparator(S[0]) && IsSeparator(S[1]); }

size_t FindSeparator(const std::string& S, size_t From) { return S.find_first_of("\\/", From); }

}  // namespace

std::string ExtractDrivePart(const std::string& Name) {
  if (HasDriveLetter(Name)) return Name.substr(0, 2);
  if (!HasNetworkPrefix(Name)) return std::string();
  size_t ServerEnd = FindSeparator(Name, 2);
  if (ServerEnd == std::string::npos) return Name;
  return Name.substr(0, FindSeparator(Name, ServerEnd + 1));
}

std::string DropDrivePrefix(const std::string& Name) {
  size_t Start = 0;
  if (HasDriveLetter(Name)) {
    Start = 2;
  } else if (HasNetworkPrefix(Name)) {
    Start = 2;
    if (size_t ServerEnd = FindSeparator(Name, 2); ServerEnd != std::string::npos) Start = ServerEnd + 1;
  }
  if (Start < Name.size() && IsSeparator(Name[Start])) ++Start;
  return Name.substr(std::min(Start, Name.size()));
}

bool IsFloppyDrive(const std::string& /*Path*/) { return false; }

bool IsRemovableDrive(const std::string& Path) {
  return IsFloppyDrive(Path) || Drives().IsRemovable(Path.empty() ? GetCurrentDir() : Path);
}

std::string BaseDirWithSlash(const std::string& Dir) {
  return IncludeTrailingPathDelimiter(Dir.empty() ? GetCurrentDir() : Dir);
}

std::string ExpandInDir(const std::string& Dir, const std::string& Name) {
  const std::string D = BaseDirWithSlash(Dir);
  if (!Name.empty()) return ExpandFileName(Name[0] == PathDelim ? Name : D + Name);
  if (!Dir.empty() && !DirectoryExists(D)) return Dir;
  return RemoveTrailingSlash(ExpandFileName(D));
}

std::string BuildStoredName(const std::string& FileName, const std::string& BaseDir,
                            TCVStorePathMode StorePath) {
  const std::string B = ExpandInDir(BaseDir, std::string());
  std::string P = ExpandInDir(B, FileName);
  if (!P.empty() && IsSeparator(P.back())) P.pop_back();
  if (!P.empty() && P.back() == '.') P.pop_back();

  switch (StorePath) {
    case spNoPath: {
      size_t Sep = P.find_last_of("\\/");
      if (Sep != std::string::npos) P.erase(0, Sep + 1);
      break;
    }
    case spRelativePath: {
      // Case counts: folders that differ only in case are different folders
      // here.
      std::string R = ExtractRelativePath(BaseDirWithSlash(B), P);
      if (R.find("..\\") == std::string::npos && R.find("../") == std::string::npos) P = R;
      break;
    }
    case spFullPath:
      break;
    case spFullPathWithDrive:
      if (!P.empty()) P = ExpandFileName(P);
      break;
  }
  if (StorePath != spFullPathWithDrive) P = DropDrivePrefix(P);
  std::replace(P.begin(), P.end(), '\\', '/');
  return P;
}

std::string AddTrailingSlash(const std::string& Path) {
  return Path.empty() ? Path : IncludeTrailingPathDelimiter(Path);
}

std::string RemoveTrailingSlash(const std::string& Path) {
  return Path.size() > 1 ? ExcludeTrailingPathDelimiter(Path) : Path;
}

bool DirExists(const std::string& Dir) { return DirectoryExists(Dir); }

bool MakeDirs(const std::string& Dir) { return !Dir.empty() && ForceDirectories(Dir); }
