// What the launcher does when the C++ library fails inside it (memory
// exhausted, a length beyond any real text). The lean runtime, which turns
// such failures into the end of the process, sits below everything that
// knows what to report; the launcher registers its report here from above.
#pragma once

namespace vexlo {

// Called once, with a short text of what failed, before the process ends
// with exit code 1. It must not use operator new or the library's strings:
// memory may be gone, and a failure inside it ends the process at once.
using LibraryFailureHook = void (*)(const char* what);

// Set before any thread starts; null removes it.
void SetLibraryFailureHook(LibraryFailureHook hook);
LibraryFailureHook CurrentLibraryFailureHook();

}  // namespace vexlo
