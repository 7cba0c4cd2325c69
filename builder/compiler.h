// The reader behind CompileConfiguration, private to the builder. Its member
// functions are defined beside what they read: compile.cpp runs the tables in
// order, compile_values.cpp reports problems and reads plain values,
// compile_service.cpp the service and its messages, compile_java.cpp the
// Java side and compile_files.cpp files, paths, locales and raw records.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "compile.h"
#include "core/duration.h"
#include "toml_include.h"

namespace vexlo {
namespace builder {
namespace compile_detail {

namespace fs = std::filesystem;

inline SourcePosition At(const toml::source_region& region) {
  return {region.begin.line, region.begin.column};
}
inline SourcePosition At(const toml::node& node) { return At(node.source()); }
inline SourcePosition At(const toml::key& key) { return At(key.source()); }

std::string TypeName(const toml::node& node);
std::string Quoted(const std::string& text);

// "a", "b" or "c" (quoted), or a, b and c.
std::string Enumerate(const std::vector<std::string>& names, const char* last, bool quote);

// Service names: the service control manager refuses slashes and more than
// 256 characters.
const char* ServiceNameProblem(const std::string& name);

class Compiler {
 public:
  Compiler(const std::string& path, BuildPlan* plan, Diagnostics* diagnostics)
      : base_(fs::u8path(path).parent_path()), plan_(*plan), diagnostics_(*diagnostics) {}

  void Run(const toml::table& root);

 private:
  // ---- reporting and plain values ------------------------------------------

  void Error(const toml::node& node, const std::string& key, const std::string& problem);

  // `table` is the path shown ("files[2]"), `known` the names it takes.
  void UnknownKey(const toml::key& key, const std::string& table, const std::string& name,
                  const std::vector<std::string>& siblings);

  // Reports keys that the table does not know.
  void CheckKeys(const toml::table& table, const std::string& table_path, const std::vector<std::string>& known);

  const toml::table* TableOf(const toml::node& node, const std::string& key);
  const toml::array* ArrayOf(const toml::node& node, const std::string& key);
  const std::string* StringOf(const toml::node& node, const std::string& key);
  bool BoolOf(const toml::node& node, const std::string& key, bool* out);
  bool ChoiceOf(const toml::node& node, const std::string& key, const std::vector<std::string>& choices,
                std::string* out);

  // A text record's value: Windows-1252, within the launcher's buffer.
  bool AnsiOf(const toml::node& node, const std::string& key, size_t limit, std::string* out,
              bool allow_nul = false);
  bool AnsiFrom(const std::string& utf8, const toml::node& node, const std::string& key, size_t limit,
                std::string* out, bool allow_nul = false);
  bool NonEmptyAnsiOf(const toml::node& node, const std::string& key, std::string* out,
                      const char* forbidden = nullptr);
  bool WideOf(const toml::node& node, const std::string& key, WideString* out);

  // A list record from an array: `entry` checks each element and gives its
  // stored form; the forms are joined by the separator.
  using EntryReader = bool (Compiler::*)(const toml::node& element, const std::string& key, std::string* entry);
  bool JoinedEntries(const toml::node& node, const std::string& key, char separator, EntryReader entry,
                     std::string* out);

  // Elements of the plain lists: non-empty texts without the separator.
  bool DependencyEntry(const toml::node& element, const std::string& key, std::string* entry);
  bool DirectoryEntry(const toml::node& element, const std::string& key, std::string* entry);

  // Arguments split like a command line: a string as it is, or an array whose
  // elements are quoted so that the launcher's splitting (blanks separate,
  // either quote groups, no escapes) gives each back unchanged.
  bool CommandLineOf(const toml::node& node, const std::string& key, std::string* out);
  bool ArgumentEntry(const toml::node& element, const std::string& key, std::string* entry);

  void SetText(int32_t id, const std::string& value) { plan_.texts[id] = value; }
  void SetFlag(int32_t id, bool value) { plan_.texts[id] = value ? "1" : "0"; }

  // Simple keys: a text, a flag or a list, each one record.
  void Text(const toml::table& table, const char* table_name, const char* name, int32_t id,
            size_t limit = kTextLimit);
  void Flag(const toml::table& table, const char* table_name, const char* name, int32_t id);
  void Entries(const toml::table& table, const char* table_name, const char* name, int32_t id, char separator,
               EntryReader entry);
  // The launcher's own settings of a table (schema SettingKeys), stored as
  // written.
  void Settings(const toml::table& table, const std::string& table_name);
  // True when a record built from a table's keys fits the launcher's buffer;
  // an error at the table otherwise.
  bool WithinLimit(const toml::node& node, const std::string& key, const std::string& record);
  // A duration the setting's rule accepts (0 for off).
  bool DurationOf(const toml::node& node, const std::string& key, const DurationSetting& setting,
                  uint64_t* milliseconds);

  // ---- the service ---------------------------------------------------------

  void Service(const toml::table& table);
  // service.recovery: its reset period and actions as the lines of record 30003.
  void RecoveryTable(const toml::node& node);
  // One action as the record holds it; a run action's command line apart.
  bool RecoveryEntry(const toml::node& element, const std::string& key, std::string* action, std::string* command);
  // service.environment: "NAME=value" lines in the file's order.
  void EnvironmentTable(const toml::node& node);
  void Instance(const toml::table& table);
  void Logs(const toml::table& table);
  // logs.rotate: "<size> <keep>".
  void RotationTable(const toml::node& node, bool any_log);
  void MessagesTable(const toml::table& table);
  void WriteMessages();
  // Record 107 serves three keys: install's start type (4 gives automatic
  // start), message boxes (modes 1 and 5) and the windowed runtime (mode 1).
  void WriteLaunchMode();
  // Warns when a machine shutdown would cut a stop short: the system goes on
  // after the preshutdown time, whatever the stop timeout says.
  void CheckShutdownTime();

  // ---- the Java side -------------------------------------------------------

  void Java(const toml::table& table);
  // java.stop: its class, method and arguments as the lines of the record.
  void StopTable(const toml::node& node);
  // A class or method name: no blanks, line ends, "/" or ";".
  bool JavaNameOf(const toml::node& node, const std::string& key, std::string* out);
  void Jvm(const toml::table& table);
  void Search(const toml::table& table);

  // An entry table with exactly one of `kinds` as its key, and perhaps the
  // `option` key (if any) beside it.
  struct KindEntry {
    std::string kind;
    const toml::node* value = nullptr;
    const toml::node* option = nullptr;
  };
  bool OneKind(const toml::node& element, const std::string& key, const std::string& what,
               const std::vector<std::string>& kinds, const char* option, KindEntry* out);
  bool ClassPathEntry(const toml::node& element, const std::string& key, std::string* entry);
  bool SearchEntry(const toml::node& element, const std::string& key, std::string* entry);

  // ---- the executable's resources (compile_exe.cpp) -------------------------

  void Exe(const toml::table& table);
  bool VersionText(const toml::node& node, const std::string& key, WideString* out);
  bool BuildFile(const toml::node& node, const std::string& key, PlannedFile* file);

  // ---- files, paths, locales and raw records -------------------------------

  void Files(const toml::node& node);
  void Paths(const toml::table& table);
  void Locales(const toml::table& table);
  bool RecordId(const toml::key& key, const std::string& table, int32_t* id);
  // True, with an error, for an id of the launcher's own settings: [raw]
  // tables and locale blocks cannot write those.
  bool OwnRecord(const toml::key& key, const std::string& path, int32_t id);
  // Which key wrote each record so far.
  std::map<int32_t, std::string> Produced() const;
  void Raw(const toml::table& table);
  std::string Resolve(const std::string& path) const;

  fs::path base_;
  BuildPlan& plan_;
  Diagnostics& diagnostics_;
  std::string start_;
  const toml::node* start_node_ = nullptr;
  bool dialog_ = false;
  const toml::node* dialog_node_ = nullptr;
  bool windowed_ = false;
  const toml::node* windowed_node_ = nullptr;
  std::map<int32_t, std::string> messages_;
  std::set<int32_t> omitted_;
  std::map<int32_t, std::string> produced_;
};

}  // namespace compile_detail
}  // namespace builder
}  // namespace vexlo
