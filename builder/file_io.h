// Files of the builder: whole reads, and writes that replace a file only
// once its new content is complete.
#pragma once
#include <string>

namespace vexlo {
namespace builder {

// False with *error (the system's text) when the file cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// Writes the bytes to a temporary file of this call's own beside `path` and
// renames it over `path`, so an existing file is either kept or wholly
// replaced, also while another build writes the same output. False with
// *error, and nothing left behind, when that fails.
bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string* error);

// Path of the running builder executable, or "" when unknown.
std::string OwnExecutablePath();

}  // namespace builder
}  // namespace vexlo
