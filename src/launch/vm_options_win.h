// VM options files and the rest of option assembly on this system: the
// default file beside the executable and the Win32 services the portable
// option rules call.
#pragma once
#include <stdio.h>

#include <string>

#include "launch/option_lines.h"

namespace vexlo {

// The default VM options file: <exe without .exe>.vmoptions, then
// <exe>.vmoptions, first for the executable's long path and then for its
// module file name as the system reports it (they differ when the launcher
// was started through a short path). Opened by the wide name, so characters
// outside the ANSI code page in the path do not matter. *name receives the
// file's path in the ANSI code page when it opened.
FILE* OpenDefaultOptionsFile(std::string* name);

// The launcher's implementations of the option system: variable expansion,
// path resolution, text-mode files, directory listings, the environment and
// the launcher log.
OptionSystem LauncherOptionSystem();

}  // namespace vexlo
