// Wide text as the launcher sees it: UTF-16 code units. On Windows that is
// wchar_t, so Win32 calls take these strings directly; the portable code also
// builds on Linux, where wchar_t is 32 bits wide and char16_t stands in.
#pragma once
#include <string>

namespace vexlo {
#ifdef _WIN32
using WideChar = wchar_t;
#define VEXLO_WIDE(text) L##text
#else
using WideChar = char16_t;
#define VEXLO_WIDE(text) u##text
#endif
using WideString = std::basic_string<WideChar>;
}  // namespace vexlo
