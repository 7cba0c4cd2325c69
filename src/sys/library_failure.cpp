#include "sys/library_failure.h"

namespace vexlo {
namespace {
LibraryFailureHook g_hook = nullptr;
}  // namespace

void SetLibraryFailureHook(LibraryFailureHook hook) { g_hook = hook; }

LibraryFailureHook CurrentLibraryFailureHook() { return g_hook; }

}  // namespace vexlo
