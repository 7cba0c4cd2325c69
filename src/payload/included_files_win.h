// Writing the included files out of this executable at the child's start.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace vexlo {

// Creates the launcher temporary directory and writes the included files
// into it (nothing at all when record 2002 is 0), then records the
// extraction end position. Returns 0, or kCopyReadFailed / kCopyWriteFailed
// (included_files.h) with the partial file already deleted, so the exit
// routine can remove the whole directory. A name the launcher refuses
// (checked for all names before anything is created), or a file or folder
// that cannot be created new because something is at its name already, ends
// the launcher with internal error 11; data that ends inside a size, with
// "Internal Error: readLong". Each file name written is added to
// ExtractedFileNames().
int ExtractIncludedFiles();

// The writing part of the extraction: the first `wanted` names (already
// checked) into the launcher temporary directory, which this run has just
// created; the same results and ends as ExtractIncludedFiles.
int WriteIncludedFiles(const std::vector<std::string>& names, size_t wanted);

}  // namespace vexlo
