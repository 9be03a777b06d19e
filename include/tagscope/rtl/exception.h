#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace tagscope {

// The one base of every error the system raises; carries the message text shown to users.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Stream and file errors, named by what failed.
class EStreamError : public Exception {
  using Exception::Exception;
};
class EReadError : public EStreamError {
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
  using EStreamError::EStreamError;
};
// A change that was made in full, whose last flush failed: the file holds the new content, but
// a power cut before the system stores it could take the change back.
class ENotDurable : public EWriteError {
  using EWriteError::EWriteError;
};
// A write refused before anything was changed, for a reason a forced write goes past (a tag
// not read in full, a file that is not MP3 by its content).
class EWriteRefused : public EWriteError {
  using EWriteError::EWriteError;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
  using EStreamError::EStreamError;
};
class EConvertError : public Exception {
  using Exception::Exception;
};

// Message texts shared by the stream layer and its users.
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SFOpenErrorEx = "Cannot open file \"%s\". %s";
inline constexpr const char* SFCreateErrorEx = "Cannot create file \"%s\". %s";
inline constexpr const char* SAssignError = "Cannot assign a %s to a %s";
inline constexpr const char* SInvalidStreamOp = "Invalid stream operation";

// printf-style formatting into a std::string. On Windows the C library's own printf family
// is replaced by the standard one (which knows %zu and %lld), and checked as such.
std::string Format(const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace tagscope
