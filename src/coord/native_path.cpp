#include "coord/native_path.h"

#include "core/path_text.h"

namespace vexlo {

std::string ComposeNativeLibraryPath(const std::string& directories,
                                     const std::string& executable_directory,
                                     const std::string& old_path,
                                     void (*collapse)(std::string& path)) {
  std::string value;
  size_t start = 0;
  while (start <= directories.size()) {
    size_t end = directories.find(';', start);
    if (end == std::string::npos) end = directories.size();
    std::string piece = directories.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    if (IsRelativePath(piece)) piece = executable_directory + piece;
    collapse(piece);
    if (!value.empty()) value += ';';
    value += piece;
  }
  // No separator without a PATH behind it: an empty last element would put
  // the current directory on the JVM's library path.
  if (!value.empty() && value.back() != ';' && !old_path.empty()) value += ';';
  return value + old_path;
}

}  // namespace vexlo
