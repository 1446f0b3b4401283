#pragma once

#include <cstdint>
#include <string>

// Files and folders, POSIX underneath. Attributes use the DOS bits of a ZIP
// entry's external attributes; date-times are DOS stamps in local time
// (date in the high 16 bits, time in the low 16).

constexpr uint32_t faReadOnly = 0x01;
constexpr uint32_t faHidden = 0x02;
constexpr uint32_t faSysFile = 0x04;
constexpr uint32_t faVolumeID = 0x08;
constexpr uint32_t faDirectory = 0x10;
constexpr uint32_t faArchive = 0x20;
constexpr uint32_t faInvalid = 0xFFFFFFFF;

// A regular file exists at Name (links followed).
bool FileExists(const std::string& Name);
bool DirectoryExists(const std::string& Name);
// Creates Dir with every missing parent (0777 under the umask); true when it
// is a folder afterwards.
bool ForceDirectories(const std::string& Dir);
// A and B name the same existing file (links followed; hard links count).
bool SameFile(const std::string& A, const std::string& B);
// Removes a file (never a folder); true when it was removed.
bool DeleteFile(const std::string& Name);
// Replaces NewName by OldName atomically (rename(2)).
bool RenameFile(const std::string& OldName, const std::string& NewName);

// 0x10 for a folder, 0x20 for anything else, plus 0x01 when the owner may not
// write (the owner's write bit is clear); faInvalid when Name does not exist.
// Links are followed.
uint32_t FileGetAttr(const std::string& Name);
// Applies external attributes to a regular file: a Unix regular-file mode in
// the high 16 bits ((Attr >> 16) & 0xF000 == 0x8000) gives its permission bits
// (& 0777, under the process umask; never set-user-id, set-group-id or
// sticky); then 0x01 removes every write permission. Without a Unix mode, 0x01
// removes write permission and its absence changes nothing. Hidden, system and
// archive bits have no effect. A folder keeps its permissions (a read-only
// folder could not receive the files extracted into it) and true is returned;
// a symbolic link at Name is not followed: nothing changes and false is
// returned, as for a missing Name.
bool FileSetAttr(const std::string& Name, uint32_t Attr);

// A DOS stamp is valid when month is 1-12, day 1 to the month's length,
// hour <= 23, minute <= 59 and seconds/2 <= 29.
bool IsValidDosDateTime(uint32_t DosDateTime);
// The file's last-write time as a DOS stamp, clamped to 1980-2107; -1 for a
// folder or a missing file. Links are followed.
int32_t FileGetDate(const std::string& Name);
// Sets the last-write time (the access time stays); an invalid stamp sets
// nothing and returns false. By name, a symbolic link at Name is not followed
// (the link's own time is set); by handle, the open file's.
bool FileSetDate(const std::string& Name, uint32_t DosDateTime);
bool FileSetDate(int Handle, uint32_t DosDateTime);
// Conversions between DOS stamps and Unix time, in local time (a local time
// skipped by a daylight-saving change counts as the hour after it). An invalid
// stamp gives -1. Unix times outside 1980-2107 give the nearest end of that
// range; odd seconds round down.
int64_t DosDateTimeToUnixTime(uint32_t DosDateTime);
uint32_t UnixTimeToDosDateTime(int64_t UnixTime);

// $TMPDIR or /tmp, with a trailing separator.
std::string TempDirectory();
// Creates a new, empty, unique file in Dir whose name starts with Prefix
// (mkstemp: permissions 0600) and returns its path; empty on failure.
std::string CreateTempFile(const std::string& Dir, const std::string& Prefix);
