// Path text rules that need no file system: backslash collapsing and the
// relative-path test.
#pragma once
#include <string>

namespace vexlo {

// Collapses every run of backslashes to one, except that the first two
// characters are always kept, so the leading "\\" of a network path survives.
template <typename Char>
void CollapseBackslashes(std::basic_string<Char>& text) {
  const Char kBackslash = static_cast<Char>('\\');
  if (text.size() <= 2) return;
  size_t out = 2;
  for (size_t in = 2; in < text.size(); ++in) {
    if (text[in] == kBackslash && text[out - 1] == kBackslash) continue;
    text[out++] = text[in];
  }
  text.resize(out);
}

// True for text shorter than 3 characters; otherwise, after one leading double
// quote is skipped, false only for a drive path ("C:\...") or a network path
// ("\\..."): \dir, C:dir and .\x are relative.
bool IsRelativePath(const std::string& text);

// The form of a path by which two names of one file compare equal, from the
// text alone: "/" read as "\", separator runs, "." parts and the trailing
// dots and blanks of the last part dropped, ".." parts applied (never above
// the drive or the \\server\share), ASCII letters lower-cased. Links and short
// names are not resolved.
std::string ComparablePath(const std::string& path);

}  // namespace vexlo
