// Small file-system tests used throughout the launcher.
#pragma once
#include <string>

namespace vexlo {

// True when the path names something that exists. A drive root ("D:\",
// "D:\." or "D:\.\.") exists by definition, even for an empty drive; anything
// else exists when a directory search finds it, so wildcards that match count
// and a path ending in a backslash does not.
bool Exists(const std::string& path);

}  // namespace vexlo
