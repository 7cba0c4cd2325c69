// Formatted output with the C runtime's own conventions, as Windows programs
// write it: %S is a wide string in a narrow format and %I64d a 64-bit integer.
// libstdc++ switches MinGW's stdio to its own C99 printf in every C++ file,
// which reads some of these differently and adds about 17 KB, so under MinGW
// the launcher calls msvcrt's functions by name.
#pragma once
#include <stdarg.h>
#include <stdio.h>

#include <string>

namespace vexlo {

inline int CrtVfprintf(FILE* stream, const char* format, va_list args) {
#if defined(__MINGW32__)
  return __ms_vfprintf(stream, format, args);
#else
  return vfprintf(stream, format, args);
#endif
}

inline int CrtFprintf(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = CrtVfprintf(stream, format, args);
  va_end(args);
  return written;
}

// The text of a format, in memory.
inline std::string CrtFormat(const char* format, va_list args) {
  va_list measured;
  va_copy(measured, args);
  const int length = _vscprintf(format, measured);
  va_end(measured);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  _vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace vexlo
