// Runs a program of the Linux host from Windows code under Wine, with its
// standard input, output and error connected to Windows handles. Test doubles
// use it to stand in for Windows-only parts with the host's own programs (the
// JVM bridge runs the host's java this way).
//
// Wine's CreateProcess cannot start a Linux program with Windows pipes, so
// this uses Wine's ntdll export __wine_unix_spawnvp and three FIFOs in a
// scratch directory, pumped by threads between the FIFOs and the handles.
#pragma once
#include <string>
#include <vector>

#include "sys/win.h"

namespace vexlo {
namespace testing_support {

// True when running under Wine with the exports this needs.
bool HostProgramsAvailable();

// The Linux path of a Windows path, or empty when Wine cannot tell.
std::string HostPath(const std::string& windows_path);

// Runs argv (argv[0] a program on the host's PATH or an absolute Linux path)
// to its end. Standard input is read from `input` until its end and written
// to the program; its output and error are written to `output` and `error`
// (any of the three may be null: no input, output discarded). Returns the
// program's exit status, or -1 when it could not be run.
int RunHostProgram(const std::vector<std::string>& argv, HANDLE input, HANDLE output, HANDLE error);

// The host's java command line for a JVM given `options` that runs
// `class_name` (JNI form, a/b/C) with `arguments`: the class path, and class
// path entries and arguments that are absolute Windows paths, become Linux
// paths; of the other options only -D and -X are handed on. The variables of
// `environment` ("NAME=value") are set for java through env(1).
std::vector<std::string> HostJavaCommand(const std::string& host_java, const std::vector<std::string>& options,
                                         const std::string& class_name, const std::vector<std::string>& arguments,
                                         const std::vector<std::string>& environment = {});

}  // namespace testing_support
}  // namespace vexlo
