// Loading the chosen runtime's JVM library into this process.
#pragma once
#include <string>

#include "sys/win.h"

namespace vexlo {

// Searches for a runtime, loads its jvm.dll (PATH extended by its bin
// directory), resolves JNI_CreateJavaVM and sets the JVM home. On failure it
// has logged and shown the one message that fits how the runtime was found.
bool LoadDLL();

// The bin directory of the executable, then the jre\bin directory beside it.
HMODULE loadJvmLibrary(const std::string& java_executable);
// All VM types of one bin directory, with PATH extended while it is tried and
// restored when nothing loaded.
HMODULE loadFromBinDirectory(const std::string& java_executable);
HMODULE tryJvmDll(const std::string& bin_directory, const std::string& vm_type);
bool resolveCreateJavaVm(HMODULE library);

// The JNI_CreateJavaVM export of the loaded library; null before LoadDLL
// succeeded.
FARPROC CreateJavaVmEntry();

}  // namespace vexlo
