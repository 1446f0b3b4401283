#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The platform's error classes. Component errors (ECVException) derive from
// Exception; stream and file errors pass through the component unchanged.

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
  std::string Message() const { return what(); }
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

// A whole-buffer read that came up short.
class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError("Stream read error") {}
  using EStreamError::EStreamError;
};

// A whole-buffer write that came up short (full disk, file-size limit, quota).
class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError("Stream write error") {}
  using EStreamError::EStreamError;
};

// 'Cannot open file "NAME". ' + the system's reason.
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// 'Cannot create file "NAME". ' + the system's reason.
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// Which of the two file errors to raise.
enum TFileErrorKind : uint8_t { feOpen = 0, feCreate = 1 };

// The reason given when a path names a folder, a FIFO or a device.
constexpr const char* NotARegularFileReason = "Not a regular file";

// The system's text for an errno value ("No such file or directory").
std::string SystemErrorText(int ErrorCode);
// Raises EFOpenError or EFCreateError naming FileName, with the system's text
// for ErrorCode (an errno value) or the given Reason.
[[noreturn]] void RaiseFileError(TFileErrorKind Kind, const std::string& FileName, int ErrorCode);
[[noreturn]] void RaiseFileError(TFileErrorKind Kind, const std::string& FileName, const std::string& Reason);
