#include "launch/option_lines.h"

#include "sys/path_text.h"

namespace vexlo {
namespace {

bool StartsWith(const std::string& text, const char* prefix, size_t length) {
  return text.compare(0, length, prefix) == 0;
}

void IncludeOptionsFile(const char* base_file, std::string name, OptionAssembly* assembly,
                        const OptionSystem& system) {
  system.expand(system.context, name);
  const std::string absolute = system.make_absolute(system.context, name, base_file);
  for (const std::string& open : assembly->open_files) {
    if (ComparablePath(open) == ComparablePath(absolute)) {
      system.log_error("vmoptions file <%s> is already being read: include refused",
                       absolute.c_str());
      return;
    }
  }
  if (assembly->open_files.size() >= kMaxNestedOptionFiles) {
    system.log_error("vmoptions files nested deeper than %d: <%s> not read",
                     static_cast<int>(kMaxNestedOptionFiles), absolute.c_str());
    return;
  }
  if (assembly->files_read >= kMaxOptionFilesRead) {
    system.log_error("vmoptions files: more than %d included: <%s> not read",
                     static_cast<int>(kMaxOptionFilesRead), absolute.c_str());
    return;
  }
  void* file = system.open_file(system.context, absolute);
  system.log("adding vmoptions from <%s> (%s) (%p)", absolute.c_str(), name.c_str(), file);
  if (file == nullptr) return;  // a missing include is skipped without a word to the user
  ++assembly->files_read;
  assembly->open_files.push_back(absolute);
  ReadOptionsFile(absolute.c_str(), file, assembly, system);
  assembly->open_files.pop_back();
}

}  // namespace

std::vector<std::string> OptionFileLines(const std::string& contents) {
  std::vector<std::string> lines;
  size_t start = StartsWith(contents, "\xEF\xBB\xBF", 3) ? 3 : 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    size_t first = start;
    size_t last = end;
    while (last > first && (contents[last - 1] == '\r' || contents[last - 1] == '\n')) --last;
    while (first < last && contents[first] == ' ') ++first;
    while (last > first && contents[last - 1] == ' ') --last;
    if (last > first && contents[first] != '#') lines.push_back(contents.substr(first, last - first));
    start = end + 1;
  }
  return lines;
}

void ReadOptionsFile(const char* base_file, void* file, OptionAssembly* assembly,
                     const OptionSystem& system) {
  if (file == nullptr) return;
  for (std::string& line : OptionFileLines(system.read_and_close(system.context, file))) {
    system.expand(system.context, line);
    HandleOptionLine(base_file, line, assembly, system);
  }
}

void HandleOptionLine(const char* base_file, const std::string& text, OptionAssembly* assembly,
                      const OptionSystem& system) {
  static const char kInclude[] = "-include-options ";
  static const char kReplace[] = "-classpath ";
  static const char kPrepend[] = "-classpath/p ";
  static const char kAppend[] = "-classpath/a ";
  if (StartsWith(text, kInclude, sizeof(kInclude) - 1)) {
    IncludeOptionsFile(base_file, text.substr(sizeof(kInclude) - 1), assembly, system);
  } else if (StartsWith(text, kReplace, sizeof(kReplace) - 1)) {
    assembly->overrides.replace = text.substr(sizeof(kReplace) - 1);
  } else if (StartsWith(text, kPrepend, sizeof(kPrepend) - 1)) {
    assembly->overrides.prepend = text.substr(sizeof(kPrepend) - 1);
  } else if (StartsWith(text, kAppend, sizeof(kAppend) - 1)) {
    assembly->overrides.append = text.substr(sizeof(kAppend) - 1);
  } else {
    assembly->options.push_back(text);
  }
}

}  // namespace vexlo
