// Conversions between the code-page texts the launcher keeps and UTF-16.
#pragma once
#include <stdio.h>

#include <string>

#include "sys/wide.h"
#include "sys/win.h"

namespace vexlo {

// The code page the narrow file APIs use: ANSI, or OEM once a program has
// switched them.
inline UINT FileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

// False when a character has no form in the code page ("?" stands in for it
// in *narrow) and when the conversion fails (*narrow is then empty). In code
// pages without a default character (UTF-8, UTF-7, ...) every character has
// a form, except an unpaired surrogate in UTF-8.
bool WideToNarrow(const WideString& wide, UINT code_page, std::string* narrow);
// Empty when the conversion fails.
WideString NarrowToWide(const std::string& narrow, UINT code_page);

// Runs a Win32 "fill this buffer" call until the buffer is large enough. The
// call returns the length written, the size it needs (larger than the
// buffer) or, for the module file name APIs, the buffer size when it cut the
// text; 0 is failure and gives the empty text.
template <typename Char, typename Call>
std::basic_string<Char> FillGrowing(Call call) {
  std::basic_string<Char> out(MAX_PATH, Char());
  for (int attempt = 0; attempt < 8; ++attempt) {
    const DWORD length = call(&out[0], static_cast<DWORD>(out.size()));
    if (length == 0) return std::basic_string<Char>();
    if (length < out.size()) {
      out.resize(length);
      return out;
    }
    out.resize(length + 1 > out.size() * 2 ? length + 1 : out.size() * 2);
  }
  return std::basic_string<Char>();
}

// The value of an environment variable, of any length; empty when unset.
inline std::string EnvironmentVariable(const char* name) {
  return FillGrowing<char>(
      [name](char* buffer, DWORD size) { return GetEnvironmentVariableA(name, buffer, size); });
}

// Backslash collapsing of narrow text, done on its wide form so that no trail
// byte of a double-byte code page is taken for a backslash. The text stays as
// it is when the result does not convert back.
void CollapseNarrowBackslashes(std::string& narrow, UINT code_page = CP_ACP);

// Ends a line that reports a system error code on `stream`: " (error N): "
// and the system's text for the code ("?" when it has none).
void PrintErrorText(FILE* stream, DWORD error);

}  // namespace vexlo
