#include "service/service_log_win.h"

#include <stdarg.h>

#include "core/config.h"
#include "core/config_win.h"
#include "core/log_win.h"
#include "core/settings.h"
#include "service/service_log.h"
#include "sys/crt_print_win.h"
#include "sys/handle_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

constexpr DWORD kFlushIntervalMs = 1000;
// The end of the log that a command reads for the child's last lines: they
// are at most kMaxOutputLine long, so twenty fit many times over.
constexpr DWORD kTailBytes = 256 * 1024;
// Gathered output beyond this is written at once: a chatty child's lines
// never pile up in memory, and each write takes a read's worth.
constexpr size_t kFlushBytes = 256 * 1024;

// The lines not yet written, shared by both threads under g_gather_lock.
struct Gathered {
  bool on = false;
  std::string lines;
  ULONGLONG since = 0;  // when the oldest of them came
};

// The file, the service main's thread's alone.
struct LogFile {
  WideString path;
  uint64_t max_bytes = 0;
  UniqueFile file;
  uint64_t size = 0;
  uint64_t lost_lines = 0;  // not written since the last write that worked
  DWORD lost_error = 0;
  DWORD open_error = 0;      // the last failure to open, logged once
  bool rotation_failed = false;
  OutputLines output;
  std::string writing;  // the lines being written
};

SRWLOCK g_gather_lock = SRWLOCK_INIT;
// Null until the log is first started, before the control handler exists;
// never freed.
Gathered* g_gathered = nullptr;
LogFile* g_file = nullptr;

// The service main's thread may read this without the lock: only it starts
// the log.
bool LogOn() { return g_gathered != nullptr && g_gathered->on; }

std::string StampNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LogStamp({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds});
}

// Called under g_gather_lock, after lines may have been added.
void NoteGathered() {
  if (g_gathered->since == 0 && !g_gathered->lines.empty()) g_gathered->since = GetTickCount64();
}

std::string Format(const char* format, ...) VEXLO_LOG_FORMAT(1, 2);
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = CrtFormat(format, args);
  va_end(args);
  return text;
}

std::string Narrow(const WideString& path) {
  std::string narrow;
  WideToNarrow(path, CP_ACP, &narrow);
  return narrow;
}

bool OpenFile(LogFile& log) {
  // No security attributes: the child never inherits the log.
  auto open = [&log] {
    log.file.reset(CreateFileW(log.path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    return static_cast<bool>(log.file);
  };
  if (!open() && GetLastError() == ERROR_PATH_NOT_FOUND) {
    CreateFoldersOf(log.path);
    open();
  }
  LARGE_INTEGER size = {};
  if (!log.file || !GetFileSizeEx(log.file.get(), &size)) {
    const DWORD error = GetLastError();
    if (error != log.open_error) {
      LogErrorLine("cannot open the service log %s (%d)", Narrow(log.path).c_str(), static_cast<int>(error));
    }
    log.open_error = log.lost_error = error;
    log.file.reset();
    return false;
  }
  log.open_error = 0;
  log.size = static_cast<uint64_t>(size.QuadPart);
  return true;
}

// Moves the full file to "<path>.1", replacing the old one, and opens a new
// one. A file that cannot be moved (another program holds "<path>.1" open,
// say) grows on past its limit, said once, and the move is tried again at the
// next write.
void Rotate(LogFile& log) {
  log.file.reset();
  const WideString old = log.path + L".1";
  // Deleting first is several times faster under Wine than a move that
  // replaces (measured: 2 ms against 11 ms for 10 MB); the move still
  // replaces should the delete have failed for a reason the move does not.
  DeleteFileW(old.c_str());
  if (MoveFileExW(log.path.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    log.rotation_failed = false;
  } else if (!log.rotation_failed) {
    log.rotation_failed = true;
    const int error = static_cast<int>(GetLastError());
    LogErrorLine("cannot rename the service log to %s (%d)", Narrow(old).c_str(), error);
    ServiceLogEvent("could not rename this log to %s (error %d): it grows past its limit until it can",
                    Narrow(old).c_str(), error);
  }
  OpenFile(log);
}

// Writes whole lines of `text` from `*offset` on, moving to a new file
// whenever the next line would take the file past its limit. False, with
// *offset at the first line not written, when a write fails.
bool WriteLines(LogFile& log, const std::string& text, size_t* offset) {
  while (*offset < text.size()) {
    if (!log.file && !OpenFile(log)) return false;
    size_t length = WholeLinesWithin(text, *offset, log.max_bytes > log.size ? log.max_bytes - log.size : 0);
    if (length == 0 && log.size > 0 && !log.rotation_failed) {
      Rotate(log);
      continue;
    }
    // A file that could not move on takes the rest; an empty one takes at
    // least a line.
    if (length == 0) length = log.size > 0 ? text.size() - *offset : text.find('\n', *offset) + 1 - *offset;
    DWORD written = 0;
    if (!WriteFile(log.file.get(), text.data() + *offset, static_cast<DWORD>(length), &written, nullptr) ||
        written != length) {
      log.lost_error = GetLastError();
      log.file.reset();  // opened anew for the next lines
      return false;
    }
    log.size += length;
    *offset += length;
  }
  if (log.rotation_failed && log.size > log.max_bytes) Rotate(log);
  return true;
}

// Says how many lines were lost, once, before the lines that follow them.
bool ReportLostLines(LogFile& log) {
  if (log.lost_lines == 0) return true;
  const std::string report = StampNow() + kServiceTag +
                             Format("%I64u lines could not be written to this log (error %lu)\r\n",
                                    static_cast<unsigned long long>(log.lost_lines), log.lost_error);
  size_t offset = 0;
  if (!WriteLines(log, report, &offset)) return false;
  log.lost_lines = 0;
  return true;
}

}  // namespace

void CreateFoldersOf(const WideString& path) {
  for (size_t end = path.find(L'\\', 1); end != WideString::npos; end = path.find(L'\\', end + 1)) {
    CreateDirectoryW(path.substr(0, end).c_str(), nullptr);
  }
}

WideString ServiceLogPath() {
  const std::string* record = ConfigRecords().texts.Find(record::kServiceLog);
  if (record != nullptr) {
    const std::string problem = ServiceLogPathProblem(*record);
    if (!problem.empty()) {
      LogErrorLine("record %d: \"%s\" is not a valid value (%s); using the default", record::kServiceLog,
                   record->c_str(), problem.c_str());
      record = nullptr;
    }
  }
  const WideString value = record != nullptr ? NarrowToWide(*record, CP_ACP) : WideString();
  return ServiceLogPathFor(record != nullptr ? &value : nullptr, ExecutableLongPath());
}

void StartServiceLog() {
  uint64_t max_bytes = 0;
  const std::string& text = ConfigText(kServiceLogMaxSizeSetting.id);
  if (!text.empty() && !SizeProblem(text, kServiceLogMaxSizeSetting, &max_bytes).empty()) {
    LogErrorLine("record %d: \"%s\" is not a valid value; using %s", static_cast<int>(kServiceLogMaxSizeSetting.id),
                 text.c_str(), kServiceLogMaxSizeSetting.default_text);
  }
  if (max_bytes == 0) SizeProblem(kServiceLogMaxSizeSetting.default_text, kServiceLogMaxSizeSetting, &max_bytes);
  StartServiceLogAt(ServiceLogPath(), max_bytes);
}

void StartServiceLogAt(const WideString& path, uint64_t max_bytes) {
  AcquireSRWLockExclusive(&g_gather_lock);
  if (g_gathered == nullptr) {
    g_gathered = new Gathered();
    g_file = new LogFile();
  }
  *g_gathered = Gathered();
  g_gathered->on = !path.empty();
  *g_file = LogFile();
  g_file->path = path;
  g_file->max_bytes = max_bytes;
  ReleaseSRWLockExclusive(&g_gather_lock);
  LogLine("service log %s", path.empty() ? "off" : Narrow(path).c_str());
}

void ServiceLogEvent(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string line = StampNow() + kServiceTag + CrtFormat(format, args) + "\r\n";
  va_end(args);
  AcquireSRWLockExclusive(&g_gather_lock);
  if (LogOn()) {
    g_gathered->lines += line;
    NoteGathered();
  }
  ReleaseSRWLockExclusive(&g_gather_lock);
}

void ServiceLogOutput(const char* data, size_t size) {
  if (!LogOn()) return;
  const std::string stamp = StampNow();
  AcquireSRWLockExclusive(&g_gather_lock);
  AppendOutputLines(g_file->output, data, size, stamp, &g_gathered->lines);
  NoteGathered();
  const bool full = g_gathered->lines.size() >= kFlushBytes;
  ReleaseSRWLockExclusive(&g_gather_lock);
  if (full) FlushServiceLog();
}

void ServiceLogOutputEnded() {
  if (!LogOn()) return;
  const std::string stamp = StampNow();
  AcquireSRWLockExclusive(&g_gather_lock);
  AppendUnfinishedLine(g_file->output, stamp, &g_gathered->lines);
  NoteGathered();
  ReleaseSRWLockExclusive(&g_gather_lock);
}

DWORD ServiceLogDueMs() {
  AcquireSRWLockShared(&g_gather_lock);
  const ULONGLONG since = LogOn() ? g_gathered->since : 0;
  ReleaseSRWLockShared(&g_gather_lock);
  if (since == 0) return INFINITE;
  const ULONGLONG waited = GetTickCount64() - since;
  return waited >= kFlushIntervalMs ? 0 : static_cast<DWORD>(kFlushIntervalMs - waited);
}

void FlushServiceLog() {
  if (!LogOn()) return;
  LogFile& log = *g_file;
  AcquireSRWLockExclusive(&g_gather_lock);
  log.writing.swap(g_gathered->lines);
  g_gathered->since = 0;
  ReleaseSRWLockExclusive(&g_gather_lock);
  if (log.writing.empty()) return;
  size_t offset = 0;
  if (!ReportLostLines(log) || !WriteLines(log, log.writing, &offset)) {
    log.lost_lines += LineCount(log.writing, offset);
  }
  log.writing.clear();
}

std::vector<std::string> LastChildLines(const std::string& service_name, size_t max_lines) {
  const WideString path = ServiceLogPath();
  if (path.empty()) return {};
  // Shared every way: the service may be writing or rotating it.
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size = {};
  if (!file || !GetFileSizeEx(file.get(), &size)) return {};
  LARGE_INTEGER offset = {};
  offset.QuadPart = size.QuadPart > kTailBytes ? size.QuadPart - kTailBytes : 0;
  std::string text(kTailBytes, '\0');
  DWORD got = 0;
  if (!SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN) ||
      !ReadFile(file.get(), &text[0], kTailBytes, &got, nullptr)) {
    return {};
  }
  text.resize(got);
  return LastRunChildLines(text, offset.QuadPart > 0, service_name, max_lines);
}

}  // namespace vexlo
