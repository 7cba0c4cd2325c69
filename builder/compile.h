// Reading a configuration file: TOML text in, the records and included files
// of a launcher out, with every problem reported at its file position.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/block_writer.h"
#include "core/resource_section.h"

namespace vexlo {
namespace builder {

// Longest text the launcher reads into its 8192-byte buffers.
constexpr size_t kTextLimit = 8191;
// Record 152 is read into 200 bytes.
constexpr size_t kVmTypeLimit = 199;
// The service control manager refuses longer service names.
constexpr size_t kServiceNameLimit = 256;
// Name of the runtime jar when java.runtime = "embedded".
constexpr char kRuntimeJarName[] = "vexlo-runtime.jar";

struct SourcePosition {
  uint32_t line = 0;  // 0: the problem has no place in the file
  uint32_t column = 0;
};

struct Diagnostic {
  SourcePosition position;
  std::string message;  // "java.main-class: expected a string, found an integer"
  bool warning = false;
};

class Diagnostics {
 public:
  void Error(SourcePosition position, const std::string& key, const std::string& problem);
  void Warning(SourcePosition position, const std::string& key, const std::string& problem);
  bool HasErrors() const;
  size_t ErrorCount() const;
  const std::vector<Diagnostic>& items() const { return items_; }
  // "app.toml:3:5: error: ..." lines, one per diagnostic.
  std::string Format(const std::string& file) const;

 private:
  std::vector<Diagnostic> items_;
};

enum class RuntimeMode { kEmbedded, kBeside, kNone };

struct PlannedFile {
  std::string source;  // as written in the configuration
  std::string path;    // resolved against the configuration's folder
  std::string name;    // stored name: ANSI, backslash as separator
  SourcePosition position;
};

// The [exe] table: the executable's version resource, icon and manifest.
struct ExePlan {
  bool version_resource = false;  // a version key is set
  VersionInfo version;
  PlannedFile icon;      // source empty: no icon
  PlannedFile manifest;  // source empty: the default manifest
  bool no_manifest = false;
};

// Everything the configuration says, checked; files are not read yet.
struct BuildPlan {
  std::map<int32_t, std::string> texts;  // ANSI values, ordered by id
  std::map<int32_t, WideString> wides;
  std::vector<LocaleOverrides> locales;  // in file order
  RuntimeMode runtime = RuntimeMode::kEmbedded;
  std::string runtime_jar;  // java.runtime-jar resolved, or empty
  SourcePosition runtime_jar_position;
  std::vector<PlannedFile> files;
  ExePlan exe;
};

// Parses and checks a configuration. `path` names the file in messages and
// its folder is the base of relative paths. False when there are errors.
bool CompileConfiguration(const std::string& text, const std::string& path, BuildPlan* plan,
                          Diagnostics* diagnostics);

// Reads a file's bytes; false with *error set (for example "No such file or
// directory") when it cannot.
using FileReader = std::function<bool(const std::string& path, std::string* bytes, std::string* error)>;

// Reads the included files (the runtime jar first when it is embedded, from
// `runtime_jar`) and fills the block contents: text records in id order, then
// the included-file records. False with diagnostics when a file is missing.
bool AssembleLauncher(const BuildPlan& plan, const std::string& runtime_jar, const FileReader& read,
                      BlockContents* contents, std::vector<IncludedFile>* files,
                      Diagnostics* diagnostics);

// Reads the icon and manifest files of the [exe] table and gives the
// executable's resources. False with diagnostics naming the file when one is
// missing or not usable.
bool AssembleResources(const BuildPlan& plan, const FileReader& read, ExeResources* resources,
                       Diagnostics* diagnostics);

}  // namespace builder
}  // namespace vexlo
