#include "support/message_box_win.h"

namespace vexlo {
namespace testing_support {
namespace {

// The static control that holds a message box's text.
constexpr int kMessageTextId = 0xFFFF;

struct Search {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char class_name[64] = {};
  GetClassNameA(window, class_name, sizeof(class_name));
  if (owner == search->process_id && lstrcmpA(class_name, "#32770") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

std::string WindowText(HWND window) {
  if (window == nullptr) return std::string();
  const int length = GetWindowTextLengthA(window);
  std::string text(length + 1, '\0');
  const int copied = GetWindowTextA(window, &text[0], length + 1);
  text.resize(copied > 0 ? copied : 0);
  return text;
}

}  // namespace

SeenMessageBox AnswerMessageBox(DWORD process_id, DWORD timeout_ms) {
  SeenMessageBox seen;
  const DWORD start = GetTickCount();
  Search search = {process_id, nullptr};
  while (GetTickCount() - start < timeout_ms) {
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) break;
    Sleep(100);
  }
  if (search.found == nullptr) return seen;
  Sleep(200);  // let the dialog finish laying out its controls
  seen.found = true;
  seen.caption = WindowText(search.found);
  seen.text = WindowText(GetDlgItem(search.found, kMessageTextId));
  PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(search.found, IDOK)));
  return seen;
}

}  // namespace testing_support
}  // namespace vexlo
