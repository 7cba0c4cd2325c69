// Collects the lines portable code logs, for tests that check them.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace vexlo {
namespace testing_support {

inline std::vector<std::string>& RecordedLines() {
  static std::vector<std::string> lines;
  return lines;
}

inline void RecordLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line(size > 0 ? size : 0, '\0');
  std::vsnprintf(&line[0], line.size() + 1, format, args);
  va_end(args);
  RecordedLines().push_back(line);
}

}  // namespace testing_support
}  // namespace vexlo
