#include "coord/native_path.h"

#include "sys/path_text.h"
#include "sys/text_list.h"

namespace vexlo {

std::string ComposeNativeLibraryPath(const std::string& directories,
                                     const std::string& executable_directory,
                                     const std::string& old_path,
                                     void (*collapse)(std::string& path)) {
  std::string value;
  for (std::string piece : SplitList(directories, ';')) {
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
