// A short, stable stand-in for a long text in the names of system objects.
#pragma once
#include <string>

namespace vexlo {

// The 64-bit FNV-1a digest of the text's bytes as 16 lower-case hex digits:
// fixed and platform-independent, so every process (and the Java side, which
// only receives the name) derives the same name from the same text.
std::string NameDigest(const std::string& text);

}  // namespace vexlo
