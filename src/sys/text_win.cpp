#include "sys/text_win.h"

#include <limits.h>

#include <utility>

#include "sys/code_pages.h"
#include "sys/crt_print_win.h"
#include "sys/handle_win.h"
#include "sys/path_text.h"

namespace vexlo {
namespace {

// The code page that a pseudo code page (CP_ACP and the like) stands for, so
// that its rules can be looked up: CP_ACP is 65001 on a system set to UTF-8.
UINT ActualCodePage(UINT code_page) {
  LCTYPE locale_code_page = 0;
  LCID locale = LOCALE_SYSTEM_DEFAULT;
  switch (code_page) {
    case CP_ACP:
      return GetACP();
    case CP_OEMCP:
      return GetOEMCP();
    case CP_THREAD_ACP:
      locale_code_page = LOCALE_IDEFAULTANSICODEPAGE;
      locale = GetThreadLocale();
      break;
    case CP_MACCP:
      locale_code_page = LOCALE_IDEFAULTMACCODEPAGE;
      break;
    default:
      return code_page;
  }
  DWORD value = 0;
  const int got = GetLocaleInfoW(locale, locale_code_page | LOCALE_RETURN_NUMBER,
                                 reinterpret_cast<LPWSTR>(&value), sizeof(value) / sizeof(WCHAR));
  return got > 0 ? value : code_page;
}

}  // namespace

bool WideToNarrow(const WideString& wide, UINT code_page, std::string* narrow) {
  narrow->clear();
  if (wide.empty()) return true;
  if (wide.size() > static_cast<size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(wide.size());
  const UINT actual = ActualCodePage(code_page);
  // Code pages such as UTF-8 refuse the default-character arguments: every
  // character has a form there, except that an unpaired surrogate has none
  // in UTF-8, which WC_ERR_INVALID_CHARS turns into a failure.
  const bool takes_default = !CodePageRejectsDefaultChar(actual);
  const DWORD flags = actual == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
  const char* default_char = takes_default ? "?" : nullptr;
  BOOL used_default = FALSE;
  BOOL* used_default_out = takes_default ? &used_default : nullptr;
  const int size = WideCharToMultiByte(actual, flags, wide.data(), length, nullptr, 0, default_char,
                                       used_default_out);
  if (size <= 0) return false;
  narrow->resize(size);
  if (WideCharToMultiByte(actual, flags, wide.data(), length, &(*narrow)[0], size, default_char,
                          used_default_out) != size) {
    narrow->clear();
    return false;
  }
  return !used_default;
}

WideString NarrowToWide(const std::string& narrow, UINT code_page) {
  if (narrow.empty() || narrow.size() > static_cast<size_t>(INT_MAX)) return WideString();
  const int length = static_cast<int>(narrow.size());
  const int size = MultiByteToWideChar(code_page, 0, narrow.data(), length, nullptr, 0);
  if (size <= 0) return WideString();
  WideString wide(size, L'\0');
  if (MultiByteToWideChar(code_page, 0, narrow.data(), length, &wide[0], size) != size) {
    return WideString();
  }
  return wide;
}

void CollapseNarrowBackslashes(std::string& narrow, UINT code_page) {
  WideString wide = NarrowToWide(narrow, code_page);
  if (wide.empty()) return;
  CollapseBackslashes(wide);
  std::string back;
  if (WideToNarrow(wide, code_page, &back)) narrow = std::move(back);
}

void PrintErrorText(FILE* stream, DWORD error) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
      reinterpret_cast<char*>(&text), 0, nullptr);
  const UniqueLocal owner(text);
  // The system's texts end in a line break, some in a full stop and a blank.
  while (length > 0 && static_cast<unsigned char>(text[length - 1]) <= ' ') --length;
  if (length > 0) text[length] = '\0';
  CrtFprintf(stream, " (error %d): %s\n", static_cast<int>(error), length > 0 ? text : "?");
}

}  // namespace vexlo
