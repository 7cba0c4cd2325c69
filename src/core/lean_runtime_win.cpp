// Lean C++ runtime hooks for the launcher, which ships with every
// application. The launcher throws nothing of its own; the library throws
// only when memory runs out or on a length beyond any real text. Reporting
// those through exception objects pulls the library's exception classes, a
// second (copy-on-write) string implementation and the C++ demangler into the
// executable, about 60 KB. Instead such a failure ends the process at once.
#include <cstdlib>

#include "core/win.h"

// Hooks of GNU libstdc++; other C++ libraries have their own ways.
#if defined(__GLIBCXX__)

namespace {
[[noreturn]] void Die() {
  // Not the exit routine: its clean-up allocates, and memory may be gone.
  ExitProcess(1);
}
}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { Die(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { Die(); }
void __throw_bad_array_new_length() { Die(); }
void __throw_length_error(const char*) { Die(); }
void __throw_logic_error(const char*) { Die(); }
void __throw_out_of_range(const char*) { Die(); }
void __throw_out_of_range_fmt(const char*, ...) { Die(); }
void __throw_invalid_argument(const char*) { Die(); }
}  // namespace std

#endif  // __GLIBCXX__
