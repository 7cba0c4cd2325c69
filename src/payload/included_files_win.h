// Writing the included files out of this executable at the child's start.
#pragma once

namespace vexlo {

// Creates the launcher temporary directory and writes the included files
// into it (nothing at all when record 2002 is 0), then records the
// extraction end position. Returns 0, or kCopyReadFailed / kCopyWriteFailed
// (included_files.h) with the partial file already deleted, so the exit
// routine can remove the whole directory. A name that would lead out of the
// directory, or a file that cannot be created, ends the launcher with
// internal error 11; data that ends inside a size, with "Internal Error:
// readLong".
int ExtractIncludedFiles();

}  // namespace vexlo
