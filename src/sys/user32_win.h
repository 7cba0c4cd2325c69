// USER32 on demand. It is loaded the first time a window is really needed (a
// message box, activating another instance's windows), so the service
// process, which runs as long as the service does, and a child that shows
// nothing never map it.
#pragma once
#include "sys/win.h"

namespace vexlo {

// The named USER32 function, or null when USER32 or the function is missing.
// The library stays loaded for the rest of the process.
FARPROC User32Procedure(const char* name);

template <typename Function>
Function User32Function(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(User32Procedure(name)));
}

}  // namespace vexlo
