#include "core/settings.h"

#include <cstring>

namespace vexlo {

std::string ServiceLogPathProblem(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20) return "a path cannot hold a control character";
    if (std::strchr("<>\"|?*", c) != nullptr) return std::string("a path cannot hold \"") + text[i] + "\"";
    const bool drive = i == 1 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
                       i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '/');
    if (c == ':' && !drive) return "\":\" only follows a drive letter, before a backslash (\"D:\\logs\\app.log\")";
  }
  if (text.find("${") != std::string::npos || text.find("%VEXLO_") != std::string::npos ||
      text.find("%TAVRELIUM_") != std::string::npos) {
    return "variables are not expanded here: give a full path or one relative to the executable's folder";
  }
  const size_t last = text.find_last_of("\\/:");
  const std::string name = last == std::string::npos ? text : text.substr(last + 1);
  if (!text.empty() && (name.empty() || name == "." || name == "..")) {
    return "names a folder: end it with the log file's name";
  }
  return std::string();
}

namespace {

// The first `length` characters of `text`, ASCII letters in either case,
// are `upper`.
bool SameAsciiText(const std::string& text, size_t length, const char* upper) {
  size_t i = 0;
  for (; i < length && upper[i] != '\0'; ++i) {
    const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
    if (c != upper[i]) return false;
  }
  return i == length && upper[i] == '\0';
}

// Characters no account name holds, besides control characters.
constexpr char kNotInAccountNames[] = "\"/[]:;|=,+*?<>";

}  // namespace

std::string ServiceAccountName(const std::string& value, const std::string& service_name, bool* user) {
  *user = false;
  std::string name;
  if (value == "LocalService" || value == "NetworkService") {
    name = "NT AUTHORITY\\";
    name += value;
  } else if (value == "virtual") {
    name = "NT SERVICE\\";
    name += service_name;
  } else if (!value.empty() && value != "LocalSystem") {
    *user = true;
    name = value;
  }
  return name;
}

bool IsAccount(const std::string& value) {
  bool user = false;
  ServiceAccountName(value, std::string(), &user);
  if (!user) return true;
  // One separator, with text on both sides.
  const size_t separator = value.find_first_of("\\@");
  bool valid = separator != std::string::npos && separator > 0 && separator + 1 < value.size() &&
               value.find_first_of("\\@", separator + 1) == std::string::npos &&
               value.find_first_of(kNotInAccountNames) == std::string::npos;
  for (char c : value) valid = valid && static_cast<unsigned char>(c) >= 0x20;
  return valid && !(value[separator] == '\\' && (SameAsciiText(value, separator, "NT AUTHORITY") ||
                                                 SameAsciiText(value, separator, "NT SERVICE")));
}

namespace {

// Reads the decimal digits at `text` (at least one, a value at most `max`).
bool ReadNumber(const char*& text, uint64_t max, uint64_t* value) {
  const char* start = text;
  uint64_t number = 0;
  while (*text >= '0' && *text <= '9' && number <= max) number = number * 10 + static_cast<uint64_t>(*text++ - '0');
  *value = number;
  return text != start && number <= max;
}

}  // namespace

bool ParseRecovery(const std::string& record, Recovery* recovery) {
  const char* text = record.c_str();
  uint64_t number = 0;
  if (!ReadNumber(text, kRecoveryResetSetting.max_ms / 1000, &number) ||
      number < kRecoveryResetSetting.min_ms / 1000) {
    return false;
  }
  recovery->reset_seconds = static_cast<uint32_t>(number);
  bool run = false;
  while (*text == ' ' && recovery->action_count < kMaxRecoveryActions) {
    const char kind = text[1];
    if (kind == '\0') return false;
    text += 2;
    RecoveryAction& action = recovery->actions[recovery->action_count++];
    if (kind == 'R' && ReadNumber(text, kRestartDelaySetting.max_ms, &number) &&
        number >= kRestartDelaySetting.min_ms) {
      action = {1, static_cast<uint32_t>(number)};
    } else if (kind == 'N' || kind == 'C') {
      action = {kind == 'N' ? 0u : 3u, 0};
      run = run || kind == 'C';
    } else {
      return false;
    }
  }
  recovery->command_start = static_cast<size_t>(text + 1 - record.c_str());
  return *text == '\n' && recovery->action_count != 0 && run == (text[1] != '\0');
}

std::string VariableNameProblem(const std::string& name) {
  if (name.empty()) return "a variable needs a name";
  for (char c : name) {
    if (c == '=') return "a variable's name cannot hold \"=\"";
    if (static_cast<unsigned char>(c) < 0x20) return "a variable's name cannot hold a control character";
  }
  return std::string();
}

bool NextVariable(const std::string& record, size_t* position, std::string* name, std::string* value) {
  if (*position >= record.size()) return false;
  size_t end = record.find('\n', *position);
  if (end == std::string::npos) end = record.size();
  const size_t equals = record.find('=', *position);
  if (equals == *position || equals >= end) return false;
  *name = record.substr(*position, equals - *position);
  *value = record.substr(equals + 1, end - equals - 1);
  *position = end + 1;
  return true;
}

bool ParseJavaStop(const std::string& record, JavaStop* stop) {
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    const size_t end = record.find('\n', start);
    lines.push_back(record.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (lines.size() < 2 || lines[0].empty() || lines[1].empty()) return false;
  stop->class_name = lines[0];
  stop->method = lines[1];
  stop->arguments.assign(lines.begin() + 2, lines.end());
  return true;
}

bool ParseLogRotation(const std::string& record, LogRotation* rotation) {
  const size_t blank = record.find(' ');
  if (blank == std::string::npos) return false;
  uint64_t bytes = 0, keep = 0;
  const char* count = record.c_str() + blank + 1;
  if (!SizeProblem(record.substr(0, blank), kLogRotateSizeSetting, &bytes).empty() || *count == '0' ||
      !ReadNumber(count, kMaxLogRotateKeep, &keep) || *count != '\0' || keep == 0) {
    return false;
  }
  *rotation = {bytes, static_cast<uint32_t>(keep)};
  return true;
}

}  // namespace vexlo
