// An in-memory world for the option rules: files, directories, environment
// variables and the launcher log, behind the OptionSystem callbacks. The
// executable directory is C:\app\; expansion replaces %EXEDIR% with it.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "launch/option_lines.h"
#include "sys/path_text.h"

namespace vexlo {
namespace testing_support {

class FakeOptionSystem {
 public:
  FakeOptionSystem() { Current() = this; }
  ~FakeOptionSystem() { Current() = nullptr; }

  std::map<std::string, std::string> files;          // path -> contents
  std::set<std::string> directories;                 // existing directories
  std::map<std::string, std::vector<std::string>> listings;  // pattern -> names
  std::map<std::string, std::string> environment;
  std::string default_file;  // path of the default VM options file, or empty
  std::vector<std::string> log;
  int open_files = 0;  // opened and not yet closed

  OptionSystem System() {
    OptionSystem system;
    system.context = this;
    system.expand = [](void*, std::string& text) {
      for (size_t at; (at = text.find("%EXEDIR%")) != std::string::npos;) text.replace(at, 8, "C:\\app\\");
    };
    system.make_absolute = [](void*, const std::string& name, const char* base) {
      std::string result = name;
      if (IsRelativePath(name)) {
        const std::string base_text = base ? base : "C:\\app\\x";
        result = base_text.substr(0, base_text.rfind('\\') + 1) + name;
      }
      CollapseBackslashes(result);
      return result;
    };
    system.open_file = [](void* context, const std::string& path) -> void* {
      auto* self = static_cast<FakeOptionSystem*>(context);
      const auto it = self->files.find(path);
      if (it == self->files.end()) return nullptr;
      ++self->open_files;
      return &it->second;
    };
    system.read_and_close = [](void* context, void* file) {
      --static_cast<FakeOptionSystem*>(context)->open_files;
      return *static_cast<std::string*>(file);
    };
    system.open_default_options_file = [](void* context, std::string* name) -> void* {
      auto* self = static_cast<FakeOptionSystem*>(context);
      if (self->default_file.empty()) return nullptr;
      *name = self->default_file;
      return self->System().open_file(context, self->default_file);
    };
    system.exists = [](void* context, const std::string& path) {
      auto* self = static_cast<FakeOptionSystem*>(context);
      return self->files.count(path) > 0 || self->directories.count(path) > 0;
    };
    system.list_files = [](void* context, const std::string& pattern) {
      auto* self = static_cast<FakeOptionSystem*>(context);
      const auto it = self->listings.find(pattern);
      return it == self->listings.end() ? std::vector<std::string>() : it->second;
    };
    system.environment = [](void* context, const std::string& name, std::string* value) {
      auto* self = static_cast<FakeOptionSystem*>(context);
      const auto it = self->environment.find(name);
      if (it == self->environment.end()) return false;
      *value = it->second;
      return true;
    };
    system.log = LogLine;
    system.log_error = LogErrorLine;
    return system;
  }

  bool Logged(const std::string& line) const {
    for (const std::string& logged : log) {
      if (logged == line) return true;
    }
    return false;
  }
  bool LoggedStartingWith(const std::string& start) const {
    for (const std::string& logged : log) {
      if (logged.rfind(start, 0) == 0) return true;
    }
    return false;
  }

 private:
  static void LogLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Current()->Append("", format, args);
    va_end(args);
  }
  static void LogErrorLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Current()->Append("ERROR: ", format, args);
    va_end(args);
  }
  // Log sinks are plain functions: they reach the one live fake.
  static FakeOptionSystem*& Current() {
    static FakeOptionSystem* current = nullptr;
    return current;
  }
  void Append(const char* prefix, const char* format, va_list args) {
    char buffer[4096];
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    log.push_back(prefix + std::string(buffer));
  }
};

}  // namespace testing_support
}  // namespace vexlo
