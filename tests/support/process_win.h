// Running launcher executables from tests: real processes, with their
// standard output and error captured and the exit code read.
#pragma once
#include <string>
#include <vector>

#include "sys/win.h"

namespace vexlo {
namespace testing_support {

struct ProcessResult {
  bool started = false;
  DWORD exit_code = 0xFFFFFFFF;
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // NAME=VALUE entries that replace or extend the inherited environment; an
  // entry "NAME=" removes NAME.
  std::vector<std::wstring> environment;
  std::wstring current_directory;
  // A file that becomes the standard input; the empty input (NUL) without.
  std::wstring input_path;
  // For StartProcess: an inheritable handle that becomes the standard input
  // (say, a pipe's read end); the child then has no other standard handles.
  HANDLE input_handle = nullptr;
  DWORD timeout_ms = 90000;
  // Added to CreateProcess's flags (DETACHED_PROCESS: no console, as a
  // service's child runs).
  DWORD creation_flags = 0;
};

// Runs a command line to its end. Output goes through temporary files, so a
// chatty process can never block on a full pipe.
ProcessResult RunProcess(const std::wstring& command_line, const ProcessOptions& options = {});

// Starts a process without waiting; the caller owns the returned handles.
bool StartProcess(const std::wstring& command_line, const ProcessOptions& options,
                  PROCESS_INFORMATION* info);

std::wstring Widen(const std::string& text);   // ANSI code page
std::string Narrow(const std::wstring& text);  // ANSI code page
// ASCII letters lower-cased, as paths are compared here.
std::string Lower(std::string text);
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
std::vector<std::string> ListDirectory(const std::string& directory);  // names, no . or ..
void RemoveTree(const std::string& path);
// Creates a directory and the directories above it that are missing.
void CreateDirectories(const std::string& path);
// Lines of a text, split at "\r\n" or "\n".
std::vector<std::string> SplitLines(const std::string& text);
bool HasLine(const std::vector<std::string>& lines, const std::string& line);
// Index of the first line that begins with the prefix; lines.size() if none.
size_t FindLine(const std::vector<std::string>& lines, const std::string& prefix);

}  // namespace testing_support
}  // namespace vexlo
