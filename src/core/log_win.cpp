#include "core/log_win.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>

#include <string>
#include <utility>

#include "sys/crt_print_win.h"
#include "sys/file_tests_win.h"
#include "sys/text_win.h"
#include "sys/win.h"

namespace vexlo {
namespace {

// Statically initialised, so even a first call from two threads at once is
// serialised.
SRWLOCK g_log_lock = SRWLOCK_INIT;
bool g_setup_done = false;
std::string* g_log_path = nullptr;  // null while logging is off; never freed

bool VariableIsYes(const char* name) {
  char value[8];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  return length == 3 && value[0] == 'y' && value[1] == 'e' && value[2] == 's';
}

std::string WithBackslash(std::string directory) {
  if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') directory += '\\';
  return directory;
}

// TMP when it names an existing path, else c:\, else the current drive's
// root, else the current directory.
std::string LogDirectory() {
  const std::string tmp = EnvironmentVariable("TMP");
  if (!tmp.empty() && Exists(tmp)) return WithBackslash(tmp);
  if (Exists("c:\\")) return "c:\\";
  char current[MAX_PATH + 1];
  const DWORD length = GetCurrentDirectoryA(sizeof(current), current);
  if (length >= 3 && length < sizeof(current) && current[1] == ':') {
    return std::string(current, 2) + "\\";
  }
  return std::string();
}

FILE* SetUpLog() {
  g_setup_done = true;
  if (!VariableIsYes("VEXLO_LOG") && !VariableIsYes("TAVRELIUM_LOG")) return nullptr;
  g_log_path = new std::string();
  FILE* file = CreateNumberedLog(LogDirectory(), g_log_path);
  if (file == nullptr) {
    *g_log_path = "c:\\tvl_nlog";
    file = OpenLogFile(g_log_path->c_str(), false);
    if (file == nullptr) return nullptr;  // later calls retry with append
  }
  const std::string module = FillGrowing<char>(
      [](char* buffer, DWORD size) { return GetModuleFileNameA(nullptr, buffer, size); });
  const time_t now = time(nullptr);
  const char* stamp = ctime(&now);  // ends in a line feed: an empty line follows
  CrtFprintf(file, "Started executable %s at %s\n", module.c_str(), stamp ? stamp : "\n");
  fflush(file);
  return file;
}

// Without `wait`, a line that would have to wait for the lock or set the log
// up (which allocates) is dropped.
void WriteLine(const char* prefix, const char* format, va_list args, bool wait = true) {
  if (wait) AcquireSRWLockExclusive(&g_log_lock);
  else if (!TryAcquireSRWLockExclusive(&g_log_lock)) return;
  FILE* file = nullptr;
  if (!g_setup_done) file = wait ? SetUpLog() : nullptr;
  else if (g_log_path != nullptr) file = OpenLogFile(g_log_path->c_str(), true);
  if (file != nullptr) {
    fputs(prefix, file);
    CrtVfprintf(file, format, args);
    fputc('\n', file);
    fclose(file);
  }
  ReleaseSRWLockExclusive(&g_log_lock);
}

}  // namespace

// Claims the first free tvl_nlog_N (N from 2) with an exclusive create, so
// two processes starting at once never share a file.
FILE* CreateNumberedLog(const std::string& directory, std::string* path) {
  for (unsigned number = 2; number < 1000000; ++number) {
    std::string candidate = directory + "tvl_nlog_" + std::to_string(number);
    const int fd = _open(candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_TEXT | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      FILE* file = _fdopen(fd, "w");
      if (file == nullptr) _close(fd);
      else *path = std::move(candidate);
      return file;
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

FILE* OpenLogFile(const char* path, bool append) {
  // "N": msvcrt opens the file non-inheritable.
  return fopen(path, append ? "aN" : "wN");
}

void LogLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine("", format, args);
  va_end(args);
}

void LogErrorLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine("ERROR: ", format, args);
  va_end(args);
}

void LogErrorLineNow(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine("ERROR: ", format, args, false);
  va_end(args);
}

const char* LogFilePath() {
  AcquireSRWLockExclusive(&g_log_lock);
  const char* path = g_log_path ? g_log_path->c_str() : nullptr;
  ReleaseSRWLockExclusive(&g_log_lock);
  return path;
}

}  // namespace vexlo
