// This process's PATH, read and set whole. The launcher puts the native
// library directories and then the Java runtime's bin directory in front of
// it, and hands it to Java; an inherited PATH may be longer than
// GetEnvironmentVariable passes on (32767 characters; Wine returns such a
// value cut to its length modulo 32768).
#pragma once
#include <string>
#include <vector>

#include "sys/win.h"

namespace vexlo {

// Longest value, in UTF-16 characters, that the system can store in an
// environment variable. Windows refuses a longer one; Wine keeps only its
// length modulo 32768. A process may still inherit a longer value.
constexpr size_t kMaxEnvironmentValueLength = 32767;

// The process environment block's "NAME=value" entries, in the block's order
// and each whole.
std::vector<std::string> EnvironmentEntries();

// PATH from the environment block; *set (when given) tells a PATH that is not
// defined from an empty one.
std::string ProcessPath(bool* set = nullptr);

// Sets PATH in the process environment and in the C runtime's own copy
// (getenv and _spawn read that one, and so does a JVM); null removes it from
// both. A value longer than an environment variable can hold is refused with
// nothing changed, since Wine would keep a cut copy. False, with *error set,
// when the value was refused or the process environment did not take it.
bool SetProcessPath(const char* value, DWORD* error);

}  // namespace vexlo
