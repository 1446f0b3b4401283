#pragma once

#include <cstdint>
#include <string>

// Checks made before the component is called, so bad input gets one clear
// line: the component's open would create a missing archive, and would only
// find an unwritable output folder entry by entry.

// Why Archive cannot be salvaged ("" when it is a regular file): it does not
// exist, is a folder, or is not a regular file (a FIFO, a device, a socket).
std::string ArchiveProblem(const std::string& Archive);

// Why Dir cannot receive the output ("" when it can): it exists and is not a
// folder or cannot be written; or it does not exist and its nearest existing
// parent is not a folder or cannot be written, so it cannot be created.
std::string OutputFolderProblem(const std::string& Dir);

// Which file is at a path, without following a link there: a file that was
// replaced by a rename has a new identity.
struct TFileIdentity {
  bool Exists = false;
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;

  bool SameFile(const TFileIdentity& Other) const {
    return Exists && Other.Exists && Device == Other.Device && Inode == Other.Inode;
  }
};
TFileIdentity IdentifyFile(const std::string& Path);
