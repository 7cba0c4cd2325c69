// VM options files and the option line rule: one option text becomes a JVM
// option, an included file or one of the three class path overrides. The same
// rule serves the configured VM parameters, the -J arguments and the lines of
// VM options files. Everything the rule needs from the system comes in through
// OptionSystem, so it runs unchanged in the launcher and in tests.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "core/block_format.h"  // LogSink

namespace vexlo {

// The launcher's services for option assembly: the launcher passes Win32
// implementations, tests an in-memory world. `context` is handed back to
// every call.
struct OptionSystem {
  void* context = nullptr;
  // Expands the launcher's variables in place.
  void (*expand)(void* context, std::string& text) = nullptr;
  // A relative name prefixed with the directory of base_file, or with the
  // executable directory when there is none; backslash runs collapsed.
  std::string (*make_absolute)(void* context, const std::string& name, const char* base_file) = nullptr;
  // Opens a file for reading as text; null when it cannot be opened.
  void* (*open_file)(void* context, const std::string& path) = nullptr;
  // Reads the rest of an open file and closes it. A read error ends the
  // contents as if the file ended there.
  std::string (*read_and_close)(void* context, void* file) = nullptr;
  // The default VM options file beside the executable, or null. *name
  // receives its path, so that it counts as being read while it is.
  void* (*open_default_options_file)(void* context, std::string* name) = nullptr;
  bool (*exists)(void* context, const std::string& path) = nullptr;
  // Names (no directory) matching a pattern such as C:\lib\*.jar, in the
  // order the file system gives them.
  std::vector<std::string> (*list_files)(void* context, const std::string& pattern) = nullptr;
  // False when the variable is not set.
  bool (*environment)(void* context, const std::string& name, std::string* value) = nullptr;
  LogSink log = nullptr;
  LogSink log_error = nullptr;
};

// Replace, append and prepend values for the class path; a later line of the
// same kind replaces an earlier one, whatever its source.
struct ClassPathOverrides {
  std::optional<std::string> replace;
  std::optional<std::string> append;
  std::optional<std::string> prepend;
};

// The ordered JVM options and the overrides, while they are being gathered.
struct OptionAssembly {
  std::vector<std::string> options;
  ClassPathOverrides overrides;
  // The VM options files being read, outermost first: an include of one of
  // them would never end.
  std::vector<std::string> open_files;
  // Included files read so far.
  size_t files_read = 0;
};

// Files including files stop here; deeper includes are refused.
constexpr size_t kMaxNestedOptionFiles = 32;
// Sibling includes of the same file are allowed, so a few lines can ask for
// exponentially many reads; a launch reads at most this many included files.
constexpr size_t kMaxOptionFilesRead = 1000;

// The option lines of a file's text: a leading UTF-8 byte-order mark is
// dropped (Notepad writes one), line ends and surrounding spaces are removed
// (tabs stay), empty lines and lines starting with "#" are left out. Lines
// are kept whole, whatever their length.
std::vector<std::string> OptionFileLines(const std::string& contents);

// Reads every option line of an open file (null: nothing), expands it and
// hands it to HandleOptionLine with `base_file` (null for files that resolve
// includes against the executable directory).
void ReadOptionsFile(const char* base_file, void* file, OptionAssembly* assembly,
                     const OptionSystem& system);

// "-include-options <file>" reads that file (relative names against the
// including file's directory), "-classpath ", "-classpath/p " and
// "-classpath/a " set an override; any other text is one JVM option, unsplit.
void HandleOptionLine(const char* base_file, const std::string& text, OptionAssembly* assembly,
                      const OptionSystem& system);

}  // namespace vexlo
