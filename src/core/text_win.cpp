#include "core/text_win.h"

#include "core/path_text.h"

namespace vexlo {

bool WideToNarrow(const WideString& wide, UINT code_page, std::string* narrow) {
  narrow->clear();
  if (wide.empty()) return true;
  BOOL used_default = FALSE;
  BOOL* used_default_out = (code_page == CP_UTF8) ? nullptr : &used_default;
  const int size = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  narrow->resize(size);
  WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), &(*narrow)[0], size,
                      used_default_out ? "?" : nullptr, used_default_out);
  return !used_default;
}

WideString NarrowToWide(const std::string& narrow, UINT code_page) {
  if (narrow.empty()) return WideString();
  const int size = MultiByteToWideChar(code_page, 0, narrow.data(), static_cast<int>(narrow.size()),
                                       nullptr, 0);
  if (size <= 0) return WideString();
  WideString wide(size, L'\0');
  MultiByteToWideChar(code_page, 0, narrow.data(), static_cast<int>(narrow.size()), &wide[0], size);
  return wide;
}

void CollapseNarrowBackslashes(std::string& narrow, UINT code_page) {
  WideString wide = NarrowToWide(narrow, code_page);
  if (wide.empty()) return;
  CollapseBackslashes(wide);
  std::string back;
  if (WideToNarrow(wide, code_page, &back)) narrow.swap(back);
}

}  // namespace vexlo
