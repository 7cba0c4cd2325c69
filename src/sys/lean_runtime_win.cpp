// Lean C++ runtime hooks for the launcher, which ships with every
// application. The launcher throws nothing of its own; the library throws
// only when memory runs out or on a length beyond any real text. Reporting
// those through exception objects pulls the library's exception classes, a
// second (copy-on-write) string implementation and the C++ demangler into the
// executable, about 60 KB. Instead such a failure ends the process at once,
// after the report the launcher registered (sys/library_failure.h).
#include <cstddef>
#include <cstdlib>
#include <string>

#include "sys/library_failure.h"
#include "sys/win.h"

namespace {
volatile LONG g_failing_thread = 0;

[[noreturn]] void Die(const char* what) {
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  const LONG first = InterlockedCompareExchange(&g_failing_thread, self, 0);
  if (first == 0) {
    if (const vexlo::LibraryFailureHook hook = vexlo::CurrentLibraryFailureHook()) hook(what);
  } else if (first != self) {
    // Another thread is reporting its failure and ends the process.
    for (;;) Sleep(INFINITE);
  }
  // A failure inside the report itself ends here at once.
  ExitProcess(1);
}
}  // namespace

// The library's operator new reports exhausted memory by throwing bad_alloc,
// which links the whole exception runtime (unwinder, personality routine,
// type information, emergency pool; about 16 KB). The launcher installs no
// new-handler and catches nothing, so that throw could only end the process:
// these do so directly. The array forms of the library call these.
void* operator new(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);  // a unique pointer even for 0 bytes
  if (block == nullptr) Die("out of memory");
  return block;
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// Hooks of GNU libstdc++; other C++ libraries have their own ways.
#if defined(__GLIBCXX__)

// Thread-safe initialisation of function-local statics (the service process
// has two threads). The library's guard functions throw on a recursive
// initialisation and so link the whole exception runtime (about 14 KB); these
// keep the same contract without it. The first byte of a guard is the
// "initialised" flag the compiler tests inline; the second word marks an
// initialisation in progress. A thread that finds another one initialising
// yields until it is done (or abandoned it). Initialisers of different
// statics may nest; a static whose initialiser needs itself is undefined
// behaviour anyway and would wait for ever.
namespace {
char* InitialisedFlag(long long* guard) { return reinterpret_cast<char*>(guard); }
volatile LONG* InProgress(long long* guard) { return reinterpret_cast<volatile LONG*>(guard) + 1; }
}  // namespace

extern "C" int __cxa_guard_acquire(long long* guard) {
  for (;;) {
    if (__atomic_load_n(InitialisedFlag(guard), __ATOMIC_ACQUIRE) != 0) return 0;
    if (InterlockedCompareExchange(InProgress(guard), 1, 0) == 0) {
      if (__atomic_load_n(InitialisedFlag(guard), __ATOMIC_ACQUIRE) == 0) return 1;  // ours to initialise
      InterlockedExchange(InProgress(guard), 0);
      return 0;
    }
    SwitchToThread();
  }
}

extern "C" void __cxa_guard_release(long long* guard) {
  __atomic_store_n(InitialisedFlag(guard), 1, __ATOMIC_RELEASE);
  InterlockedExchange(InProgress(guard), 0);
}

extern "C" void __cxa_guard_abort(long long* guard) { InterlockedExchange(InProgress(guard), 0); }

namespace __gnu_cxx {
void __verbose_terminate_handler() { Die("terminate"); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { Die("out of memory"); }
void __throw_bad_array_new_length() { Die("array length"); }
void __throw_length_error(const char*) { Die("length error"); }
void __throw_logic_error(const char*) { Die("logic error"); }
void __throw_out_of_range(const char*) { Die("out of range"); }
void __throw_out_of_range_fmt(const char*, ...) { Die("out of range"); }
void __throw_invalid_argument(const char*) { Die("invalid argument"); }
}  // namespace std

// The library's own copies of the string members come with unwind tables, and
// the linker keeps every function that has an unwind table entry (.pdata is
// kept whole): using them costs all of std::string and std::wstring, about
// 45 KB. Instantiated here, without exceptions and unwind tables, they are the
// same code and section GC keeps only the members the launcher calls. The
// linker then never needs the library's string objects.
template class std::basic_string<char>;
template class std::basic_string<wchar_t>;

#endif  // __GLIBCXX__
