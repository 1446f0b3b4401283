#include "cli/Checks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Path.h"

namespace {

std::string Quoted(const std::string& S) { return "\"" + S + "\""; }

// The nearest existing ancestor of a path that does not exist.
std::string NearestExisting(const std::string& Path) {
  std::string P = ExcludeTrailingPathDelimiter(Path);
  for (;;) {
    std::string Parent = ExtractFilePath(P);
    if (Parent.empty()) return ".";
    if (Parent == "/") return Parent;
    P = ExcludeTrailingPathDelimiter(Parent);
    if (FileGetAttr(P) != faInvalid) return P;
  }
}

std::string WritableFolderProblem(const std::string& Dir) {
  if (!DirectoryExists(Dir)) return Quoted(Dir) + " is not a folder";
  if (access(Dir.c_str(), W_OK | X_OK) != 0)
    return "cannot write into " + Quoted(Dir) + ": " + SystemErrorText(errno);
  return std::string();
}

}  // namespace

std::string ArchiveProblem(const std::string& Archive) {
  if (Archive.empty()) return "no archive named";
  if (FileGetAttr(Archive) == faInvalid) return "cannot open " + Quoted(Archive) + ": no such file";
  if (DirectoryExists(Archive)) return Quoted(Archive) + " is a folder, not an archive";
  if (!FileExists(Archive)) return Quoted(Archive) + " is not a regular file (a FIFO, a device or a socket)";
  return std::string();
}

std::string OutputFolderProblem(const std::string& Dir) {
  if (FileGetAttr(Dir) != faInvalid) {
    const std::string Problem = WritableFolderProblem(Dir);
    return Problem.empty() ? Problem : "output folder: " + Problem;
  }
  const std::string Parent = NearestExisting(Dir);
  const std::string Problem = WritableFolderProblem(Parent);
  return Problem.empty() ? Problem : "cannot create output folder " + Quoted(Dir) + ": " + Problem;
}

TFileIdentity IdentifyFile(const std::string& Path) {
  TFileIdentity Id;
  struct stat St {};
  if (lstat(Path.c_str(), &St) != 0) return Id;
  Id.Exists = true;
  Id.Device = static_cast<uint64_t>(St.st_dev);
  Id.Inode = static_cast<uint64_t>(St.st_ino);
  Id.Size = static_cast<int64_t>(St.st_size);
  return Id;
}
