#include "core/paths_win.h"

#include <utility>

#include "core/config_win.h"
#include "sys/path_text.h"
#include "sys/text_win.h"
#include "sys/win.h"

namespace vexlo {
namespace {

std::string SystemFullPath(const std::string& path) {
  std::string full = FillGrowing<char>([&](char* buffer, DWORD size) {
    return GetFullPathNameA(path.c_str(), size, buffer, nullptr);
  });
  return full.empty() ? path : full;
}

// Lower-cases through UTF-16 so that letters beyond ASCII follow the system's
// rules; keeps the text when the result has no form in the code page.
void LowerCase(std::string& text) {
  WideString wide = NarrowToWide(text, CP_ACP);
  if (wide.empty()) return;
  const int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0);
  if (size <= 0) return;
  WideString lower(size, L'\0');
  LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, wide.data(), static_cast<int>(wide.size()),
               &lower[0], size);
  std::string back;
  if (WideToNarrow(lower, CP_ACP, &back)) text = std::move(back);
}

}  // namespace

std::string MakeAbsolute(const std::string& text, const char* base_file) {
  std::string result = text;
  if (IsRelativePath(text)) {
    std::string base;
    if (base_file != nullptr) {
      base = SystemFullPath(base_file);
      const size_t last_backslash = base.rfind('\\');
      base.resize(last_backslash == std::string::npos ? 0 : last_backslash + 1);
    } else {
      base = ExecutableDirectory();
    }
    result = base + text;
  }
  CollapseNarrowBackslashes(result);
  return result;
}

std::string FullPath(const std::string& text, bool keep_case) {
  std::string full = SystemFullPath(MakeAbsolute(text));
  if (!keep_case) LowerCase(full);
  CollapseNarrowBackslashes(full);
  return full;
}

}  // namespace vexlo
