// Path rules for loading a runtime's JVM library that need no file system:
// where its bin directory is, where a JDK keeps its private runtime, how PATH
// is extended, and which VM types are tried in which order.
#pragma once
#include <string>
#include <vector>

namespace vexlo {

// The runtime's bin directory: the Java executable path without its file name
// ("javaw.exe" by exact case, otherwise as many characters as "java.exe" has)
// and without the backslash before it. c:\jre\bin\javaw.exe gives c:\jre\bin.
std::string BinDirectoryOf(const std::string& java_executable);

// The java.exe of a JDK's private runtime: c:\jdk\bin\java.exe gives
// c:\jdk\bin\..\jre\bin\java.exe.
std::string JreJavaExecutableBeside(const std::string& java_executable);

// PATH with the bin directory appended last. An unset or empty PATH gives the
// directory alone: a leading ";" would put the current directory on the DLL
// search path.
std::string PathWithBinDirectory(const std::string& old_path, const std::string& bin_directory);

// VM type sub-directories in the order of trial: the preferred type (record
// 152) first when there is one, then the fixed list, which tries a preferred
// type that failed once more in its own place.
std::vector<std::string> VmTypeTrials(const std::string& preferred);

}  // namespace vexlo
