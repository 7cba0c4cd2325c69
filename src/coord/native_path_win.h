// Puts the application's native library directories in front of PATH.
#pragma once

namespace vexlo {

// Record 10004 (expanded, relative entries against the executable directory)
// in front of this process's PATH, in the process environment and in the C
// runtime's copy of it. Runs also when nothing is configured; never fails
// the launch. A result longer than an environment value can be leaves PATH
// as inherited, whole, and logs the failure.
void PrependNativeLibraryDirectories();

}  // namespace vexlo
