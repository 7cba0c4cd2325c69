// The rules of the service log, free of Win32 so they are tested everywhere:
// its path, its line format, how the child's output becomes lines and where
// a write may stop before the file reaches its limit.
//
// Every line is "<local time> [service] <what the service did>" or
// "<local time> [child] <a line the child wrote>", ended by CR LF.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sys/wide.h"

namespace vexlo {

// A moment as the log shows it, in local time.
struct LogTime {
  unsigned year, month, day, hour, minute, second, millisecond;
};

// "2026-12-09 08:07:50.123 ": what every line begins with.
std::string LogStamp(const LogTime& time);

constexpr char kServiceTag[] = "[service] ";
constexpr char kChildTag[] = "[child] ";

// A longer line of the child's becomes several lines of this length, so a
// child that never writes a line end still reaches the file.
constexpr size_t kMaxOutputLine = 8192;

// The child's output between two blocks: the line not yet ended.
struct OutputLines {
  std::string unfinished;
};

// Appends each line that `data` ends to *log, with the stamp and the child's
// tag (a CR before the LF is dropped), and keeps what is left unfinished.
void AppendOutputLines(OutputLines& lines, const char* data, size_t size, const std::string& stamp,
                       std::string* log);
// The output has ended: an unfinished last line is appended all the same.
void AppendUnfinishedLine(OutputLines& lines, const std::string& stamp, std::string* log);

// How many bytes of `text` from `offset` on are whole lines that fit in
// `room`: the most there is room for without cutting a line; 0 when not even
// the first fits.
size_t WholeLinesWithin(const std::string& text, size_t offset, uint64_t room);

// The line ends in `text` from `offset` on.
size_t LineCount(const std::string& text, size_t offset);

// The service log's path from the value of logs.service (`record`, null when
// the executable has none) and the executable's full path: no record gives
// "logs\<name>.service.log" in the executable's folder (<name> without
// ".exe"); "" gives "" (no log); a relative path lies below the folder (a
// leading "\" included), a full one ("D:\...", "\\server\...") stays as it is;
// "/" becomes "\" and backslash runs after the first two characters one.
WideString ServiceLogPathFor(const WideString* record, const WideString& executable_path);

// The last `max_lines` lines that the child of the service's last run wrote,
// as it wrote them (without time and tag), from the log's `text`. The last
// run begins at the last "service '<service_name>' starting" line; a text
// without one (the end of a long log) is all of the last run. `cut`: the text
// was read from the middle of the file and its first line is a piece.
std::vector<std::string> LastRunChildLines(const std::string& text, bool cut, const std::string& service_name,
                                           size_t max_lines);

// A stretch of time as the log shows it: "35 ms" below a second, else to
// the tenth of a second ("2.5 s").
std::string ElapsedText(uint64_t milliseconds);

}  // namespace vexlo
