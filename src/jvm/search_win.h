// The JVM search: walks the preferred-location file, the configured search
// sequence, the installer-location file, the relative pass, previous
// installations and the two fixed environment variables, and names the Java
// executable it chose and how it was found.
#pragma once
#include <string>

// <windows.h> defines SearchPath as a macro (SearchPathA), which would rename
// JvmSource::SearchPath in every file that sees both. Include it here first
// and drop the macro: its include guard keeps it from coming back. Call
// SearchPathA by its own name.
#include "sys/win.h"
#undef SearchPath

namespace vexlo {

// How the chosen runtime was found; decides the message shown when its
// library then fails to load.
enum class JvmSource { None = 0, SearchPath = 1, Directory = 2, EnvironmentVariable = 3, Registry = 4 };

// On success *java_executable is the chosen java.exe or javaw.exe (absolute,
// lower-cased) and *location the location text of the source (left untouched
// for Registry). None when nothing acceptable was found.
JvmSource searchJvm(std::string* java_executable, std::string* location);

}  // namespace vexlo
