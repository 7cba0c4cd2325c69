// The single tests of the JVM search, each turning one kind of location into
// a Java executable and judging it. searchJvm (search_win.h) runs them in
// order and is all the rest of the launcher needs.
#pragma once
#include <string>

namespace vexlo {

// A runtime directory, resolved against the executable directory and
// prepared when packed. With skip_version_test the result is true whatever
// the runtime is; the caller checks that the executable exists.
bool testDirectory(std::string* java_executable, const std::string& location,
                   const std::string& minimum, const std::string& maximum, bool skip_version_test);

// The runtime directory an environment variable names (slashes turned into
// backslashes, not resolved, not prepared); unset or empty gives false.
bool testEnvironmentVariable(std::string* java_executable, const std::string& variable,
                             const std::string& minimum, const std::string& maximum);

// java.exe as the system's search path finds it.
bool testSearchPath(std::string* java_executable, const std::string& minimum,
                    const std::string& maximum);

// The first line of a location file below the installation directory (record
// 10003, letter case kept); file_name begins with a backslash.
bool readLocationFile(std::string* line, const char* file_name);

}  // namespace vexlo
