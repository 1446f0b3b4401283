#include "platform/Path.h"

#include <unistd.h>

#include <cerrno>

#include <vector>

std::string IncludeTrailingPathDelimiter(const std::string& Path) {
  if (!Path.empty() && Path.back() == PathDelim) return Path;
  return Path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& Path) {
  if (!Path.empty() && Path.back() == PathDelim) return Path.substr(0, Path.size() - 1);
  return Path;
}

std::string ExtractFilePath(const std::string& Name) {
  size_t P = Name.rfind(PathDelim);
  return P == std::string::npos ? std::string() : Name.substr(0, P + 1);
}

std::string ExtractFileName(const std::string& Name) {
  size_t P = Name.rfind(PathDelim);
  return P == std::string::npos ? Name : Name.substr(P + 1);
}

std::string ExtractFileExt(const std::string& Name) {
  size_t Slash = Name.rfind(PathDelim);
  size_t Dot = Name.rfind('.');
  if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash)) return std::string();
  return Name.substr(Dot);
}

std::string ChangeFileExt(const std::string& Name, const std::string& Ext) {
  std::string Old = ExtractFileExt(Name);
  return Name.substr(0, Name.size() - Old.size()) + Ext;
}

std::string GetCurrentDir() {
  std::vector<char> Buf(4096);
  while (getcwd(Buf.data(), Buf.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    Buf.resize(Buf.size() * 2);
  }
  return ExcludeTrailingPathDelimiter(Buf.data()).empty() ? "/" : ExcludeTrailingPathDelimiter(Buf.data());
}

std::string ExpandFileName(const std::string& Name) {
  std::string Full = !Name.empty() && Name[0] == PathDelim ? Name : IncludeTrailingPathDelimiter(GetCurrentDir()) + Name;
  bool TrailingDelim = !Name.empty() && Name.back() == PathDelim;
  std::vector<std::string> Parts;
  size_t I = 0;
  while (I <= Full.size()) {
    size_t J = Full.find(PathDelim, I);
    if (J == std::string::npos) J = Full.size();
    std::string Part = Full.substr(I, J - I);
    if (Part == "..") {
      if (!Parts.empty()) Parts.pop_back();
    } else if (!Part.empty() && Part != ".") {
      Parts.push_back(std::move(Part));
    }
    I = J + 1;
  }
  std::string Out;
  for (const auto& P : Parts) Out += PathDelim + P;
  if (Out.empty()) return "/";
  if (TrailingDelim) Out += PathDelim;
  return Out;
}

std::string ExtractRelativePath(const std::string& BaseDir, const std::string& Name) {
  std::string Base = IncludeTrailingPathDelimiter(ExpandFileName(BaseDir));
  std::string Full = ExpandFileName(Name);
  // Longest common folder prefix.
  size_t Common = 0;
  for (size_t I = 0; I < Base.size() && I < Full.size() && Base[I] == Full[I]; ++I)
    if (Base[I] == PathDelim) Common = I + 1;
  std::string Out;
  for (size_t I = Common; I < Base.size(); ++I)
    if (Base[I] == PathDelim) Out += "../";
  return Out + Full.substr(Common);
}

std::string AsciiUpperCase(std::string S) {
  for (char& C : S)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  return S;
}

std::string AsciiLowerCase(std::string S) {
  for (char& C : S)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return S;
}

bool SameTextAscii(const std::string& A, const std::string& B) { return AsciiUpperCase(A) == AsciiUpperCase(B); }
