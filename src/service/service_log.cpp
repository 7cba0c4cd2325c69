#include "service/service_log.h"

#include <cstring>

#include "sys/path_text.h"

namespace vexlo {
namespace {

void AppendDigits(unsigned value, int width, std::string* text) {
  char digits[10];
  for (int i = width - 1; i >= 0; --i, value /= 10) digits[i] = static_cast<char>('0' + value % 10);
  text->append(digits, static_cast<size_t>(width));
}

constexpr size_t kTagSize = sizeof(kChildTag) - 1;
constexpr size_t kGrowBytes = 64 * 1024;

// The first line feed from `next` on, or `end`. A word at a time: the C
// runtime's memchr of the launcher is a byte loop.
const char* FindLineFeed(const char* next, const char* end) {
  constexpr uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u, kLineFeeds = kOnes * '\n';
  for (; end - next >= 8; next += 8) {
    uint64_t word;
    std::memcpy(&word, next, 8);
    word ^= kLineFeeds;
    if (((word - kOnes) & ~word & kHighs) != 0) break;
  }
  while (next < end && *next != '\n') ++next;
  return next;
}

// Writes one line of the child's at `out` and returns where it ends;
// `ended` when a line feed ended it (not a cut). The unfinished part of the
// line, if any, comes first.
char* PutLine(char* out, const std::string& unfinished, const char* line, size_t length, bool ended,
              const std::string& stamp) {
  std::memcpy(out, stamp.data(), stamp.size());
  out += stamp.size();
  std::memcpy(out, kChildTag, kTagSize);
  out += kTagSize;
  std::memcpy(out, unfinished.data(), unfinished.size());
  out += unfinished.size();
  std::memcpy(out, line, length);
  out += length;
  if (ended && unfinished.size() + length > 0 && out[-1] == '\r') --out;
  std::memcpy(out, "\r\n", 2);
  return out + 2;
}

}  // namespace

std::string LogStamp(const LogTime& time) {
  const struct {
    unsigned value;
    int width;
    char after;
  } parts[] = {{time.year, 4, '-'},   {time.month, 2, '-'},  {time.day, 2, ' '},         {time.hour, 2, ':'},
               {time.minute, 2, ':'}, {time.second, 2, '.'}, {time.millisecond, 3, ' '}};
  std::string stamp;
  for (const auto& part : parts) {
    AppendDigits(part.value, part.width, &stamp);
    stamp += part.after;
  }
  return stamp;
}

void AppendOutputLines(OutputLines& lines, const char* data, size_t size, const std::string& stamp,
                       std::string* log) {
  std::string& rest = lines.unfinished;
  const char* next = data;
  const char* const end = data + size;
  const size_t prefix = stamp.size() + kTagSize + 2;
  size_t used = log->size();
  while (next < end) {
    const char* newline = FindLineFeed(next, end);
    const size_t length = static_cast<size_t>(newline - next);
    const bool cut = rest.size() + length > kMaxOutputLine;
    if (!cut && newline == end) {
      rest.append(next, length);
      break;
    }
    // Lines are written in place, the log grown a block at a time: a chatty
    // child's output passes here at pipe speed.
    const size_t take = cut ? kMaxOutputLine - rest.size() : length;
    if (log->size() - used < prefix + rest.size() + take) log->resize(used + prefix + rest.size() + take + kGrowBytes);
    used = static_cast<size_t>(PutLine(&(*log)[used], rest, next, take, !cut, stamp) - &(*log)[0]);
    rest.clear();
    next += cut ? take : length + 1;
  }
  log->resize(used);
}

void AppendUnfinishedLine(OutputLines& lines, const std::string& stamp, std::string* log) {
  if (lines.unfinished.empty()) return;
  const size_t start = log->size();
  log->resize(start + stamp.size() + kTagSize + lines.unfinished.size() + 2);
  char* const base = &(*log)[0];
  log->resize(static_cast<size_t>(PutLine(base + start, lines.unfinished, "", 0, true, stamp) - base));
  lines.unfinished.clear();
}

size_t WholeLinesWithin(const std::string& text, size_t offset, uint64_t room) {
  const size_t left = text.size() - offset;
  if (room >= left) return left;
  if (room == 0) return 0;
  const size_t last_end = text.rfind('\n', offset + static_cast<size_t>(room) - 1);
  return last_end == std::string::npos || last_end < offset ? 0 : last_end + 1 - offset;
}

size_t LineCount(const std::string& text, size_t offset) {
  size_t count = 0;
  for (size_t i = offset; i < text.size(); ++i) count += text[i] == '\n';
  return count;
}

WideString ServiceLogPathFor(const WideString* record, const WideString& executable_path) {
  const WideChar kBackslash = static_cast<WideChar>('\\');
  const WideString folder = executable_path.substr(0, executable_path.rfind(kBackslash) + 1);
  WideString path;
  if (record == nullptr) {
    WideString name = executable_path.substr(folder.size());
    const WideString kExe = VEXLO_WIDE(".exe");
    if (name.size() > kExe.size()) {
      const WideString extension = name.substr(name.size() - kExe.size());
      bool exe = true;
      for (size_t i = 0; i < kExe.size(); ++i) exe = exe && (extension[i] | 0x20) == kExe[i];
      if (exe) name.resize(name.size() - kExe.size());
    }
    path = folder + VEXLO_WIDE("logs\\") + name + VEXLO_WIDE(".service.log");
  } else if (!record->empty()) {
    path = *record;
    for (WideChar& c : path) c = c == static_cast<WideChar>('/') ? kBackslash : c;
    const bool drive = path.size() >= 3 && path[1] == static_cast<WideChar>(':') && path[2] == kBackslash;
    const bool network = path.size() >= 2 && path[0] == kBackslash && path[1] == kBackslash;
    if (!drive && !network) path = folder + path;
  }
  CollapseBackslashes(path);
  return path;
}

std::vector<std::string> LastRunChildLines(const std::string& text, bool cut, const std::string& service_name,
                                           size_t max_lines) {
  // Every line begins with a stamp of one length, then its tag.
  const size_t stamp_size = LogStamp({}).size();
  const std::string run_start = std::string(kServiceTag) + "service '" + service_name + "' starting";
  std::vector<std::string> lines;
  size_t start = cut ? text.find('\n') : 0;
  start = start == std::string::npos ? text.size() : start + (cut ? 1 : 0);
  while (start < text.size() && max_lines > 0) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const size_t next = end + 1;
    if (end > start && text[end - 1] == '\r') --end;
    const size_t body = start + stamp_size;
    const size_t body_size = end - start > stamp_size ? end - body : 0;
    if (body_size >= run_start.size() && text.compare(body, run_start.size(), run_start) == 0) {
      lines.clear();
    } else if (body_size >= kTagSize && text.compare(body, kTagSize, kChildTag) == 0) {
      if (lines.size() == max_lines) lines.erase(lines.begin());
      lines.push_back(text.substr(body + kTagSize, body_size - kTagSize));
    }
    start = next;
  }
  return lines;
}

std::string ElapsedText(uint64_t milliseconds) {
  if (milliseconds < 1000) return std::to_string(milliseconds) + " ms";
  const uint64_t tenths = (milliseconds + 50) / 100;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

}  // namespace vexlo
