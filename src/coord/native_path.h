// The PATH value that puts the application's native library directories in
// front of the system's library search.
#pragma once
#include <cstddef>
#include <string>

namespace vexlo {

// `directories` (record 10004, already expanded) is cut at ";", empty pieces
// are dropped; a relative piece gets `executable_directory` in front, then
// `collapse` folds its backslash runs. The pieces, joined by ";", are
// followed by ";" and `old_path` whole, however long it is; without an old
// PATH the pieces stand alone.
std::string ComposeNativeLibraryPath(const std::string& directories,
                                     const std::string& executable_directory,
                                     const std::string& old_path,
                                     void (*collapse)(std::string& path));

}  // namespace vexlo
