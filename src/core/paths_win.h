// Path utilities shared by the whole launcher. Paths are narrow text in the
// ANSI code page.
#pragma once
#include <string>

namespace vexlo {

// A relative text is prefixed with the directory of `base_file` (its full path
// cut after the last backslash) or, without one, with the executable
// directory; then backslash runs are collapsed.
std::string MakeAbsolute(const std::string& text, const char* base_file = nullptr);

// MakeAbsolute against the executable directory, then the system's full path
// form ("." and ".." resolved), lower-cased unless keep_case is set, with
// backslash runs collapsed.
std::string FullPath(const std::string& text, bool keep_case);

}  // namespace vexlo
