#pragma once

#include <string>

#include "archiver/CVTypes.h"

// Path and drive helpers of the search, the extraction loop, the opening of
// archives and the update commit.
//
// Disk paths are POSIX paths (PathDelim '/') and carry no drive. Text that may
// come from Windows (masks, stored names) can: a drive prefix is only a leading
// ASCII letter and colon followed by a separator or the end ('C:', 'C:\x'), and
// a network prefix only a leading pair of separators ('\\srv\share'). "\" and
// "/" both separate there. A colon anywhere else, as in 'a:b.txt', is an
// ordinary character. Nothing here changes the process's current folder.

// The drive part of Name as text: 'C:' or '\\server\share' (up to the separator
// after the share); empty when Name has none.
std::string ExtractDrivePart(const std::string& Name);

// Name without a leading drive ('C:') or server ('\\server\', the share name
// stays), and without one separator after that; a drive alone gives "".
std::string DropDrivePrefix(const std::string& Name);

// No disk path names a floppy drive here: always false.
bool IsFloppyDrive(const std::string& Path);
// The file system holding Path (the current folder for "") is on a device that
// reports itself removable (Drives()).
bool IsRemovableDrive(const std::string& Path);

// Dir with one trailing separator; for "" the current folder with one.
std::string BaseDirWithSlash(const std::string& Dir);

// Name made absolute against Dir (lexically: "." and ".." resolved, links not
// followed). With an empty Name: Dir made absolute without a trailing separator
// ("/" stays) when Dir is "" or an existing folder, else Dir unchanged.
std::string ExpandInDir(const std::string& Dir, const std::string& Name);

// The name under which the disk file FileName is stored, for a base folder and
// a path mode: spNoPath keeps the file name; spRelativePath the path below the
// base, or the absolute path when FileName lies outside it; spFullPath the
// absolute path; all three without a leading separator, drive or server.
// spFullPathWithDrive keeps the absolute path whole. "\" becomes "/".
std::string BuildStoredName(const std::string& FileName, const std::string& BaseDir,
                            TCVStorePathMode StorePath);

// Path with one trailing separator; "" stays "" (a current-folder-relative
// prefix must not turn into the root).
std::string AddTrailingSlash(const std::string& Path);
// Path without one trailing separator; the root "/" stays.
std::string RemoveTrailingSlash(const std::string& Path);
// Dir exists and is a folder.
bool DirExists(const std::string& Dir);
// Creates Dir with every missing parent; true when it exists as a folder
// afterwards.
bool MakeDirs(const std::string& Dir);
