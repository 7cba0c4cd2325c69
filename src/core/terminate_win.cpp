// The default terminate handler prints the exception's demangled type and
// pulls the whole C++ demangler (about 50 KB) into the launcher. The launcher
// throws nothing of its own; if the library ever does (out of memory), end
// the process without the report.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
