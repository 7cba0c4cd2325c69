// Names of the semaphores that mark running instances of one executable.
#pragma once
#include <cstddef>
#include <string>

namespace vexlo {

// Longest name the ANSI semaphore calls accept: MAX_PATH less the terminator
// (longer names fail with ERROR_FILENAME_EXCED_RANGE).
constexpr size_t kMaxObjectNameLength = 259;
// Room kept for the instance number of the default mode (0 to 100000).
constexpr size_t kInstanceNumberDigits = 6;

// "Global\" or "Local\", then the normalised executable path (absolute,
// lower-cased, single backslashes) with every backslash and space made "_".
// When that, with `reserved` characters left for a number, would be longer
// than kMaxObjectNameLength, the middle of the path part gives way to
// "~<16 hex digits>~", a digest of the whole normalised path: every instance
// of one executable computes the same name, and deep paths that share their
// beginning and end still differ. Lengths count the bytes of the ANSI text,
// never fewer than the UTF-16 characters the system counts.
std::string InstanceNameBase(bool global, const std::string& normalised_path, size_t reserved);

}  // namespace vexlo
