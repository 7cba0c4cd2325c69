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

// What the create of an instance semaphore tells, from its last error and,
// after an access-denied create, the last error of opening the same name for
// synchronisation only (0 when that open succeeded). An access-denied create
// means either that another session holds the name with rights this process
// lacks, or that the namespace itself is refused (Global\ without the
// privilege); only the open tells them apart: a name that is not found was
// refused, anything else exists.
enum class InstanceSemaphore {
  kOurs,           // created: this is the first instance
  kOtherInstance,  // the name exists: another instance holds it
  kUnavailable,    // no semaphore at all: counts as no other instance
};
InstanceSemaphore JudgeInstanceSemaphore(unsigned long create_error, unsigned long open_error);

// The Win32 codes JudgeInstanceSemaphore reads.
constexpr unsigned long kErrorFileNotFound = 2;
constexpr unsigned long kErrorAccessDenied = 5;
constexpr unsigned long kErrorAlreadyExists = 183;

}  // namespace vexlo
