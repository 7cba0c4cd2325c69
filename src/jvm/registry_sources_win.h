// Candidates the registry names: the Java vendors' keys (the JavaSoft keys,
// then the keys of current distributions), the located-JVM lists and the
// runtimes of previous installations. Every candidate is judged by
// checkJavaExe; these functions decide which are tried and which one wins.
#pragma once
#include <string>

#include "sys/win.h"

namespace vexlo {

// The search-sequence entry Y: the vendor keys' runtime unless the located
// lists give one of at least the same version. *java_executable is the
// winner's executable.
bool findRegistryJvm(std::string* java_executable, const std::string& minimum,
                     const std::string& maximum);

// The vendor keys: the CurrentVersion route, the enumeration of the JRE and
// JDK keys, then the current distributions' keys, stopping at the first
// runtime accepted.
bool findJavaSoftJvm(std::string* java_executable, std::string* version, const std::string& minimum,
                     const std::string& maximum);

// The newest acceptable entry of the located-JVM lists: the user's only when
// strictly newer than the machine's; on equal versions the earlier entry.
bool findLocatedJvm(std::string* java_executable, std::string* version, const std::string& minimum,
                    const std::string& maximum);

// The first installation directory listed under root (HKCU or HKLM) whose
// jre sub-directory holds an acceptable runtime. Nothing is read when
// record 160 is empty.
bool findPreviousInstallation(HKEY root, std::string* java_executable, const std::string& minimum,
                              const std::string& maximum);

}  // namespace vexlo
