#include "sys/user32_win.h"

namespace vexlo {

FARPROC User32Procedure(const char* name) {
  // LoadLibrary counts references: a second load returns the same module.
  HMODULE user32 = LoadLibraryA("user32.dll");
  return user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
}

}  // namespace vexlo
