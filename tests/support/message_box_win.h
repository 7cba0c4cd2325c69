// Reads a message box that another process shows: finds its dialog window by
// process, reads caption and text, and presses OK. Needs a display (Xvfb
// under Wine).
#pragma once
#include <string>

#include "sys/win.h"

namespace vexlo {
namespace testing_support {

struct SeenMessageBox {
  bool found = false;
  std::string caption;
  std::string text;
};

SeenMessageBox AnswerMessageBox(DWORD process_id, DWORD timeout_ms);

}  // namespace testing_support
}  // namespace vexlo
