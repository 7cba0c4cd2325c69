#include "compile.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>

#include "core/args.h"
#include "core/record_ids.h"
#include "payload/included_file_name.h"
#include "schema.h"
#include "text_encoding.h"
#include "toml_include.h"

namespace vexlo {
namespace builder {

void Diagnostics::Error(SourcePosition position, const std::string& key, const std::string& problem) {
  items_.push_back({position, key.empty() ? problem : key + ": " + problem, false});
}

void Diagnostics::Warning(SourcePosition position, const std::string& key, const std::string& problem) {
  items_.push_back({position, key.empty() ? problem : key + ": " + problem, true});
}

bool Diagnostics::HasErrors() const { return ErrorCount() > 0; }

size_t Diagnostics::ErrorCount() const {
  return static_cast<size_t>(
      std::count_if(items_.begin(), items_.end(), [](const Diagnostic& d) { return !d.warning; }));
}

std::string Diagnostics::Format(const std::string& file) const {
  std::vector<Diagnostic> sorted = items_;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Diagnostic& a, const Diagnostic& b) {
    return a.position.line != b.position.line ? a.position.line < b.position.line
                                              : a.position.column < b.position.column;
  });
  std::string out;
  for (const auto& item : sorted) {
    out += file;
    if (item.position.line != 0) {
      out += ":" + std::to_string(item.position.line) + ":" + std::to_string(item.position.column);
    }
    out += item.warning ? ": warning: " : ": error: ";
    out += item.message + "\n";
  }
  return out;
}

namespace {

namespace fs = std::filesystem;
using record::kLaunchMode;

SourcePosition At(const toml::source_region& region) {
  return {region.begin.line, region.begin.column};
}
SourcePosition At(const toml::node& node) { return At(node.source()); }
SourcePosition At(const toml::key& key) { return At(key.source()); }

std::string TypeName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date-time";
    case toml::node_type::array: return "an array";
    case toml::node_type::table: return "a table";
    default: return "nothing";
  }
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// "a", "b" or "c" (quoted), or a, b and c.
std::string Enumerate(const std::vector<std::string>& names, const char* last, bool quote) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += i + 1 == names.size() ? last : ", ";
    out += quote ? Quoted(names[i]) : names[i];
  }
  return out;
}

// The entries of a table in the order they appear in the file (toml++ keeps
// tables sorted by key; the order of locale blocks matters to the launcher).
std::vector<std::pair<const toml::key*, const toml::node*>> InFileOrder(const toml::table& table) {
  std::vector<std::pair<const toml::key*, const toml::node*>> entries;
  for (auto&& [key, node] : table) entries.emplace_back(&key, &node);
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    const auto pa = a.first->source().begin, pb = b.first->source().begin;
    return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
  });
  return entries;
}

// Service names: the service control manager refuses slashes and more than
// 256 characters.
const char* ServiceNameProblem(const std::string& name) {
  if (name.empty()) return "must not be empty";
  if (name.size() > kServiceNameLimit) return "is longer than the 256 characters a service name may have";
  if (name.find_first_of("/\\") != std::string::npos) return "a service name cannot contain \"/\" or \"\\\"";
  return nullptr;
}

class Compiler {
 public:
  Compiler(const std::string& path, BuildPlan* plan, Diagnostics* diagnostics)
      : base_(fs::u8path(path).parent_path()), plan_(*plan), diagnostics_(*diagnostics) {}

  void Run(const toml::table& root) {
    for (auto&& [key, node] : root) {
      const std::string name(key.str());
      if (std::find(TableNames().begin(), TableNames().end(), name) != TableNames().end()) continue;
      UnknownKey(key, "", name, TableNames());
    }
    using Section = void (Compiler::*)(const toml::table&);
    const std::pair<const char*, Section> sections[] = {
        {"service", &Compiler::Service}, {"java", &Compiler::Java},
        {"jvm", &Compiler::Jvm},         {"search", &Compiler::Search},
        {"paths", &Compiler::Paths},     {"instance", &Compiler::Instance},
        {"logs", &Compiler::Logs},       {"messages", &Compiler::MessagesTable},
        {"locales", &Compiler::Locales}};
    for (const auto& section : sections) {
      if (const toml::node* node = root.get(section.first)) {
        if (const toml::table* table = TableOf(*node, section.first)) (this->*section.second)(*table);
      }
    }
    if (const toml::node* files = root.get("files")) Files(*files);
    WriteMessages();
    WriteLaunchMode();
    produced_ = Produced();
    if (const toml::node* raw = root.get("raw")) {
      if (const toml::table* table = TableOf(*raw, "raw")) Raw(*table);
    }
    if (!plan_.texts.count(record::kServiceName)) {
      diagnostics_.Warning({}, "service.name", "not set: the service needs a name on the command line");
    }
    if (!plan_.texts.count(record::kMainClass)) {
      diagnostics_.Warning({}, "java.main-class", "not set: the launcher class has no application to start");
    }
  }

 private:
  // ---- reporting and plain values -----------------------------------------

  void Error(const toml::node& node, const std::string& key, const std::string& problem) {
    diagnostics_.Error(At(node), key, problem);
  }

  // `table` is the path shown ("files[2]"), `known` the names it takes.
  void UnknownKey(const toml::key& key, const std::string& table, const std::string& name,
                  const std::vector<std::string>& siblings) {
    const std::string path = table.empty() ? name : table + "." + name;
    std::string suggestion;
    const std::string near = NearestName(name, siblings);
    if (!near.empty()) {
      suggestion = table.empty() ? "[" + near + "]" : table + "." + near;
    } else {
      // A key written in the wrong table, or a table key at the top.
      std::vector<std::string> paths;
      for (const auto& known : AllKeys()) {
        if (std::string(known.table).find('<') == std::string::npos) paths.push_back(known.name);
      }
      const std::string elsewhere = NearestName(name, paths);
      for (const auto& known : AllKeys()) {
        if (!elsewhere.empty() && elsewhere == known.name) {
          suggestion = KeyPath(known) + " (in [" + known.table + "])";
          break;
        }
      }
    }
    std::string problem = "unknown key";
    if (!suggestion.empty()) {
      problem += "; did you mean " + suggestion + "?";
    } else if (!siblings.empty()) {
      problem += table.empty() ? " (the tables are " : " (the keys of " + table + " are ";
      problem += Enumerate(siblings, ", ", false) + ")";
    }
    diagnostics_.Error(At(key), path, problem);
  }

  // Reports keys that the table does not know.
  void CheckKeys(const toml::table& table, const std::string& table_path,
                 const std::vector<std::string>& known) {
    for (auto&& [key, node] : table) {
      const std::string name(key.str());
      if (std::find(known.begin(), known.end(), name) == known.end()) UnknownKey(key, table_path, name, known);
    }
  }

  const toml::table* TableOf(const toml::node& node, const std::string& key) {
    if (const toml::table* table = node.as_table()) return table;
    Error(node, key, "expected a table, found " + TypeName(node));
    return nullptr;
  }

  const toml::array* ArrayOf(const toml::node& node, const std::string& key) {
    if (const toml::array* array = node.as_array()) return array;
    Error(node, key, "expected an array, found " + TypeName(node));
    return nullptr;
  }

  const std::string* StringOf(const toml::node& node, const std::string& key) {
    if (const auto* value = node.as_string()) return &value->get();
    Error(node, key, "expected a string, found " + TypeName(node));
    return nullptr;
  }

  bool BoolOf(const toml::node& node, const std::string& key, bool* out) {
    if (const auto* value = node.as_boolean()) {
      *out = value->get();
      return true;
    }
    Error(node, key, "expected true or false, found " + TypeName(node));
    return false;
  }

  bool ChoiceOf(const toml::node& node, const std::string& key, const std::vector<std::string>& choices,
                std::string* out) {
    const std::string* value = StringOf(node, key);
    if (!value) return false;
    if (std::find(choices.begin(), choices.end(), *value) == choices.end()) {
      Error(node, key, Quoted(*value) + " is not one of " + Enumerate(choices, " or ", true));
      return false;
    }
    *out = *value;
    return true;
  }

  // A text record's value: Windows-1252, within the launcher's buffer.
  bool AnsiOf(const toml::node& node, const std::string& key, size_t limit, std::string* out,
              bool allow_nul = false) {
    const std::string* value = StringOf(node, key);
    if (!value) return false;
    return AnsiFrom(*value, node, key, limit, out, allow_nul);
  }

  bool AnsiFrom(const std::string& utf8, const toml::node& node, const std::string& key, size_t limit,
                std::string* out, bool allow_nul = false) {
    if (!allow_nul && utf8.find('\0') != std::string::npos) {
      Error(node, key, "holds a NUL character; the launcher reads texts only up to the first one");
      return false;
    }
    uint32_t unmappable = 0;
    if (!Utf8ToAnsi(utf8, out, &unmappable)) {
      Error(node, key,
            "the character " + CodePointName(unmappable) +
                " cannot be stored; text records hold Windows-1252 characters only");
      return false;
    }
    if (out->size() > limit) {
      Error(node, key,
            "is " + std::to_string(out->size()) + " bytes long; the launcher reads at most " +
                std::to_string(limit));
      return false;
    }
    return true;
  }

  bool NonEmptyAnsiOf(const toml::node& node, const std::string& key, std::string* out,
                      const char* forbidden = nullptr) {
    if (!AnsiOf(node, key, kTextLimit, out)) return false;
    if (out->empty()) {
      Error(node, key, "must not be empty");
      return false;
    }
    if (forbidden && out->find_first_of(forbidden) != std::string::npos) {
      Error(node, key, std::string("must not contain ") + Enumerate(Characters(forbidden), " or ", true) +
                           "; the record separates its entries with it");
      return false;
    }
    return true;
  }

  static std::vector<std::string> Characters(const char* set) {
    std::vector<std::string> out;
    for (const char* c = set; *c; ++c) out.emplace_back(1, *c);
    return out;
  }

  bool WideOf(const toml::node& node, const std::string& key, WideString* out) {
    const std::string* value = StringOf(node, key);
    if (!value) return false;
    if (value->find('\0') != std::string::npos) {
      Error(node, key, "holds a NUL character; the launcher reads texts only up to the first one");
      return false;
    }
    if (!Utf8ToWide(*value, out)) {
      Error(node, key, "is not valid UTF-8");
      return false;
    }
    if (out->size() > kTextLimit) {
      Error(node, key,
            "is " + std::to_string(out->size()) + " UTF-16 characters long; the launcher reads at most " +
                std::to_string(kTextLimit));
      return false;
    }
    return true;
  }

  // A list record from an array: `entry` checks each element and gives its
  // stored form; the forms are joined by the separator.
  using EntryReader = bool (Compiler::*)(const toml::node& element, const std::string& key, std::string* entry);
  bool JoinedEntries(const toml::node& node, const std::string& key, char separator, EntryReader entry,
                     std::string* out) {
    const toml::array* array = ArrayOf(node, key);
    if (!array) return false;
    std::string joined;
    bool ok = true;
    size_t index = 0;
    for (const toml::node& element : *array) {
      std::string value;
      if (!(this->*entry)(element, key + "[" + std::to_string(++index) + "]", &value)) {
        ok = false;
        continue;
      }
      if (index > 1) joined.push_back(separator);
      joined += value;
    }
    if (!ok) return false;
    if (joined.size() > kTextLimit) {
      Error(node, key, "the entries take " + std::to_string(joined.size()) +
                           " bytes together; the launcher reads at most " + std::to_string(kTextLimit));
      return false;
    }
    *out = joined;
    return true;
  }

  // Elements of the plain lists: non-empty texts without the separator.
  bool DependencyEntry(const toml::node& element, const std::string& key, std::string* entry) {
    if (!NonEmptyAnsiOf(element, key, entry, ",")) return false;
    if (const char* problem = ServiceNameProblem(*entry)) {
      Error(element, key, problem);
      return false;
    }
    return true;
  }
  bool DirectoryEntry(const toml::node& element, const std::string& key, std::string* entry) {
    return NonEmptyAnsiOf(element, key, entry, ";");
  }

  // Arguments split like a command line: a string as it is, or an array whose
  // elements are quoted so that the launcher's splitting (blanks separate,
  // either quote groups, no escapes) gives each back unchanged.
  bool CommandLineOf(const toml::node& node, const std::string& key, std::string* out) {
    if (node.is_string()) return AnsiOf(node, key, kTextLimit, out);
    if (!node.is_array()) {
      Error(node, key, "expected a string or an array of strings, found " + TypeName(node));
      return false;
    }
    return JoinedEntries(node, key, ' ', &Compiler::ArgumentEntry, out);
  }

  bool ArgumentEntry(const toml::node& element, const std::string& key, std::string* entry) {
    std::string value;
    if (!AnsiOf(element, key, kTextLimit, &value)) return false;
    entry->clear();
    if (!AppendQuotedArgument(value, entry)) {
      Error(element, key,
            "holds both quote characters; the launcher splits arguments without an escape "
            "character, so it cannot receive this one");
      return false;
    }
    return true;
  }

  void SetText(int32_t id, const std::string& value) { plan_.texts[id] = value; }
  void SetFlag(int32_t id, bool value) { plan_.texts[id] = value ? "1" : "0"; }

  // Simple keys: a text, a flag or a list, each one record.
  void Text(const toml::table& table, const char* table_name, const char* name, int32_t id,
            size_t limit = kTextLimit) {
    const toml::node* node = table.get(name);
    std::string value;
    if (node && AnsiOf(*node, std::string(table_name) + "." + name, limit, &value)) SetText(id, value);
  }
  void Flag(const toml::table& table, const char* table_name, const char* name, int32_t id) {
    const toml::node* node = table.get(name);
    bool value = false;
    if (node && BoolOf(*node, std::string(table_name) + "." + name, &value)) SetFlag(id, value);
  }
  void Entries(const toml::table& table, const char* table_name, const char* name, int32_t id, char separator,
               EntryReader entry) {
    const toml::node* node = table.get(name);
    std::string joined;
    if (node && JoinedEntries(*node, std::string(table_name) + "." + name, separator, entry, &joined)) {
      SetText(id, joined);
    }
  }

  // ---- tables --------------------------------------------------------------

  void Service(const toml::table& table) {
    CheckKeys(table, "service", KeyNamesOf("service"));
    if (const toml::node* node = table.get("name")) {
      std::string name;
      if (AnsiOf(*node, "service.name", kTextLimit, &name)) {
        if (const char* problem = ServiceNameProblem(name)) {
          Error(*node, "service.name", problem);
        } else {
          SetText(record::kServiceName, name);
        }
      }
    }
    if (const toml::node* node = table.get("description")) {
      WideString description;
      if (WideOf(*node, "service.description", &description)) {
        plan_.wides[record::kServiceDescription] = description;
      }
    }
    if (const toml::node* node = table.get("start")) {
      if (ChoiceOf(*node, "service.start", {"auto", "demand"}, &start_)) start_node_ = node;
    }
    Entries(table, "service", "dependencies", record::kServiceDependencies, ',', &Compiler::DependencyEntry);
  }

  void Java(const toml::table& table) {
    CheckKeys(table, "java", KeyNamesOf("java"));
    if (const toml::node* node = table.get("main-class")) {
      std::string main_class;
      if (NonEmptyAnsiOf(*node, "java.main-class", &main_class)) SetText(record::kMainClass, main_class);
    }
    Entries(table, "java", "class-path", record::kClassPath, ';', &Compiler::ClassPathEntry);
    if (const toml::node* node = table.get("arguments")) {
      std::string arguments;
      if (CommandLineOf(*node, "java.arguments", &arguments)) SetText(record::kAppArguments, arguments);
    }
    if (const toml::node* node = table.get("runtime")) {
      std::string mode;
      if (ChoiceOf(*node, "java.runtime", {"embedded", "beside", "none"}, &mode)) {
        plan_.runtime = mode == "beside" ? RuntimeMode::kBeside
                        : mode == "none" ? RuntimeMode::kNone
                                         : RuntimeMode::kEmbedded;
      }
    }
    if (plan_.runtime == RuntimeMode::kBeside) SetText(record::kModeLetter, "i");
    if (const toml::node* node = table.get("runtime-jar")) {
      if (const std::string* jar = StringOf(*node, "java.runtime-jar")) {
        if (plan_.runtime != RuntimeMode::kEmbedded) {
          Error(*node, "java.runtime-jar", "only an embedded runtime (java.runtime = \"embedded\") is read from a jar");
        } else if (jar->empty()) {
          Error(*node, "java.runtime-jar", "must not be empty");
        } else {
          plan_.runtime_jar = Resolve(*jar);
          plan_.runtime_jar_position = At(*node);
        }
      }
    }
    if (const toml::node* node = table.get("windowed")) {
      if (BoolOf(*node, "java.windowed", &windowed_)) windowed_node_ = node;
    }
  }

  // An entry table with exactly one of `kinds` as its key, and perhaps the
  // `option` key beside it.
  struct KindEntry {
    std::string kind;
    const toml::node* value = nullptr;
    const toml::node* option = nullptr;
  };
  bool OneKind(const toml::node& element, const std::string& key, const std::string& what,
               const std::vector<std::string>& kinds, const char* option, KindEntry* out) {
    const toml::table* table = TableOf(element, key);
    if (!table) return false;
    bool ok = true;
    for (auto&& [entry_key, value] : *table) {
      const std::string name(entry_key.str());
      if (name == option) {
        out->option = &value;
        continue;
      }
      if (std::find(kinds.begin(), kinds.end(), name) == kinds.end()) {
        std::vector<std::string> known = kinds;
        known.push_back(option);
        const std::string near = NearestName(name, known);
        diagnostics_.Error(At(entry_key), key,
                           "unknown " + what + " kind " + Quoted(name) +
                               (near.empty() ? "; the kinds are " + Enumerate(kinds, " and ", false)
                                             : "; did you mean " + near + "?"));
        ok = false;
      } else if (out->value) {
        Error(value, key, "an entry has one kind; found " + out->kind + " and " + name);
        ok = false;
      } else {
        out->kind = name;
        out->value = &value;
      }
    }
    if (ok && !out->value) {
      Error(element, key, "the entry needs one of " + Enumerate(kinds, " or ", false));
      return false;
    }
    return ok;
  }

  bool ClassPathEntry(const toml::node& element, const std::string& key, std::string* entry) {
    static const std::vector<std::string> kKinds = {"archive", "directory", "env", "scan"};
    KindEntry found;
    if (!OneKind(element, key, "class path entry", kKinds, "required", &found)) return false;
    bool required = false;
    if (found.option && !BoolOf(*found.option, key + ".required", &required)) return false;
    std::string location;
    if (!NonEmptyAnsiOf(*found.value, key + "." + found.kind, &location, ";")) return false;
    const char letter = "ADES"[std::find(kKinds.begin(), kKinds.end(), found.kind) - kKinds.begin()];
    *entry = std::string(1, letter) + (required ? "1" : "0") + location;
    return true;
  }

  void Jvm(const toml::table& table) {
    CheckKeys(table, "jvm", KeyNamesOf("jvm"));
    if (const toml::node* node = table.get("options")) {
      std::string options;
      if (CommandLineOf(*node, "jvm.options", &options)) SetText(record::kVmParameters, options);
    }
    Flag(table, "jvm", "allow-j-arguments", record::kAllowJArguments);
    if (const toml::node* node = table.get("vm-type")) {
      std::string type;
      if (AnsiOf(*node, "jvm.vm-type", kVmTypeLimit, &type)) {
        if (type.empty() || type.find_first_of("\\/:") != std::string::npos) {
          Error(*node, "jvm.vm-type", "must be the name of a folder below the runtime's bin folder, such as \"server\"");
        } else {
          SetText(record::kPreferredVmType, type);
        }
      }
    }
  }

  void Search(const toml::table& table) {
    CheckKeys(table, "search", KeyNamesOf("search"));
    Entries(table, "search", "sequence", record::kSearchSequence, ';', &Compiler::SearchEntry);
    Text(table, "search", "min-version", record::kMinimumJavaVersion);
    Text(table, "search", "max-version", record::kMaximumJavaVersion);
    Flag(table, "search", "allow-prerelease", record::kAllowPreRelease);
    Flag(table, "search", "jdk-required", record::kJdkRequired);
    Text(table, "search", "previous-installation", record::kPreviousInstallations);
  }

  bool SearchEntry(const toml::node& element, const std::string& key, std::string* entry) {
    KindEntry found;
    if (!OneKind(element, key, "search entry", {"registry", "env", "dir", "path"}, "retry", &found)) return false;
    const std::string kind_key = key + "." + found.kind;
    if (found.option && found.kind != "dir") {
      Error(*found.option, key + ".retry", "applies to dir entries only");
      return false;
    }
    if (found.kind == "registry" || found.kind == "path") {
      bool on = false;
      if (!BoolOf(*found.value, kind_key, &on)) return false;
      if (!on) {
        Error(*found.value, kind_key, "only true is allowed; leave the entry out to skip it");
        return false;
      }
      *entry = found.kind == "registry" ? "Y" : "S";
      return true;
    }
    std::string location;
    if (!NonEmptyAnsiOf(*found.value, kind_key, &location, ";")) return false;
    char letter = 'E';
    if (found.kind == "dir") {
      // Both A and R are retried without the version test when relative.
      letter = 'A';
      std::string retry;
      if (found.option) {
        if (!ChoiceOf(*found.option, key + ".retry", {"relative", "always"}, &retry)) return false;
        letter = retry == "always" ? 'B' : 'R';
      }
    }
    *entry = letter + location;
    return true;
  }

  void Paths(const toml::table& table) {
    CheckKeys(table, "paths", KeyNamesOf("paths"));
    Text(table, "paths", "working-directory", record::kWorkingDirectory);
    Text(table, "paths", "installation-directory", record::kInstallationDirectory);
    Entries(table, "paths", "native-libraries", record::kNativeLibraryDirectories, ';', &Compiler::DirectoryEntry);
  }

  void Instance(const toml::table& table) {
    CheckKeys(table, "instance", KeyNamesOf("instance"));
    Flag(table, "instance", "single", record::kSingleInstance);
    if (const toml::node* node = table.get("namespace")) {
      std::string scope;
      if (ChoiceOf(*node, "instance.namespace", {"local", "global"}, &scope)) {
        SetFlag(record::kGlobalSemaphore, scope == "global");
      }
    }
  }

  void Logs(const toml::table& table) {
    CheckKeys(table, "logs", KeyNamesOf("logs"));
    const struct {
      const char* name;
      int32_t pass_id, file_id;
    } kLogs[] = {{"error", record::kPassErrorLog, record::kErrorLog},
                 {"output", record::kPassOutputLog, record::kOutputLog}};
    for (const auto& log : kLogs) {
      const toml::node* node = table.get(log.name);
      std::string file;
      if (node && NonEmptyAnsiOf(*node, std::string("logs.") + log.name, &file)) {
        SetFlag(log.pass_id, true);
        SetText(log.file_id, file);
      }
    }
    Flag(table, "logs", "append", record::kAppendLogs);
  }

  void MessagesTable(const toml::table& table) {
    CheckKeys(table, "messages", KeyNamesOf("messages"));
    if (const toml::node* node = table.get("dialog")) {
      if (BoolOf(*node, "messages.dialog", &dialog_)) dialog_node_ = node;
    }
    for (const auto& message : Messages()) {
      const toml::node* node = table.get(message.name);
      std::string text;
      if (node && AnsiOf(*node, std::string("messages.") + message.name, kTextLimit, &text)) {
        messages_[message.id] = text;
      }
    }
    const toml::node* omit = table.get("omit");
    const toml::array* array = omit ? ArrayOf(*omit, "messages.omit") : nullptr;
    if (!array) return;
    size_t index = 0;
    for (const toml::node& element : *array) {
      const std::string key = "messages.omit[" + std::to_string(++index) + "]";
      const std::string* name = StringOf(element, key);
      if (!name) continue;
      const MessageSpec* message = FindMessage(*name);
      if (!message) {
        std::vector<std::string> names;
        for (const auto& known : Messages()) names.push_back(known.name);
        const std::string near = NearestName(*name, names);
        Error(element, key, "unknown message " + Quoted(*name) + (near.empty() ? "" : "; did you mean " + near + "?"));
      } else if (table.get(message->name)) {
        Error(element, key, std::string("messages.") + message->name + " is set and omitted at once");
      } else {
        omitted_.insert(message->id);
      }
    }
  }

  void WriteMessages() {
    for (const auto& message : Messages()) {
      if (omitted_.count(message.id)) continue;
      const auto given = messages_.find(message.id);
      SetText(message.id, given != messages_.end() ? given->second : message.default_text);
    }
  }

  // Record 107 serves three keys: install's start type (4 gives automatic
  // start), message boxes (modes 1 and 5) and the windowed runtime (mode 1).
  void WriteLaunchMode() {
    if (!start_node_ && !dialog_node_ && !windowed_node_) return;
    const bool automatic = start_ == "auto";
    if (windowed_ && dialog_node_ && !dialog_) {
      Error(*windowed_node_, "java.windowed",
            "the windowed runtime comes with message boxes (launch mode 1); messages.dialog = false "
            "cannot be kept");
      return;
    }
    if (automatic && (dialog_ || windowed_)) {
      Error(windowed_ ? *windowed_node_ : *dialog_node_, windowed_ ? "java.windowed" : "messages.dialog",
            "message boxes and service.start = \"auto\" exclude each other: the launcher registers "
            "automatic start only in launch mode 4 and shows message boxes only in modes 1 and 5");
      return;
    }
    SetText(kLaunchMode, windowed_ ? "1" : dialog_ ? "5" : automatic ? "4" : "0");
  }

  void Files(const toml::node& node) {
    const toml::array* array = node.as_array();
    if (!array) {
      Error(node, "files", "expected [[files]] tables, found " + TypeName(node));
      return;
    }
    size_t index = 0;
    std::map<std::string, std::pair<std::string, uint32_t>> used;  // folded name -> key, line
    if (plan_.runtime == RuntimeMode::kEmbedded) used[Folded(kRuntimeJarName)] = {"java.runtime = \"embedded\"", 0};
    size_t names_size = plan_.runtime == RuntimeMode::kEmbedded ? sizeof(kRuntimeJarName) - 1 : 0;
    for (const toml::node& element : *array) {
      const std::string key = "files[" + std::to_string(++index) + "]";
      const toml::table* table = TableOf(element, key);
      if (!table) continue;
      CheckKeys(*table, key, KeyNamesOf("files"));
      const toml::node* source_node = table->get("source");
      if (!source_node) {
        Error(element, key, "needs a source: the file's path on this machine");
        continue;
      }
      const std::string* source = StringOf(*source_node, key + ".source");
      if (!source) continue;
      if (source->empty()) {
        Error(*source_node, key + ".source", "must not be empty");
        continue;
      }
      const toml::node* name_node = table->get("name");
      std::string utf8_name;
      if (name_node) {
        const std::string* given = StringOf(*name_node, key + ".name");
        if (!given) continue;
        utf8_name = *given;
      } else {
        utf8_name = fs::u8path(*source).filename().u8string();
      }
      const toml::node& at = name_node ? *name_node : *source_node;
      const std::string name_key = key + ".name";
      std::string name;
      if (!AnsiFrom(utf8_name, at, name_key, kTextLimit, &name)) continue;
      std::replace(name.begin(), name.end(), '/', '\\');
      const IncludedNameProblem problem = CheckIncludedFileName(name);
      if (problem != IncludedNameProblem::kNone) {
        Error(at, name_key, Quoted(utf8_name) + ": " + IncludedNameProblemText(problem));
        continue;
      }
      const auto clash = used.find(Folded(name));
      if (clash != used.end()) {
        Error(at, name_key,
              Quoted(utf8_name) + " is already used by " + clash->second.first +
                  (clash->second.second ? " (line " + std::to_string(clash->second.second) + ")" : ""));
        continue;
      }
      used[Folded(name)] = {key, At(at).line};
      names_size += (names_size > 0 ? 1 : 0) + name.size();
      plan_.files.push_back({*source, Resolve(*source), name, At(*source_node)});
    }
    if (names_size > kTextLimit) {
      Error(node, "files", "the names of the included files take " + std::to_string(names_size) +
                               " bytes together; the launcher reads at most " + std::to_string(kTextLimit));
    }
  }

  // Windows compares file names without regard to ASCII case.
  static std::string Folded(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
  }

  void Locales(const toml::table& table) {
    for (const auto& [key_ptr, node_ptr] : InFileOrder(table)) {
      const std::string prefix(key_ptr->str());
      const std::string key = "locales." + prefix;
      if (prefix.size() > 8 || prefix.find_first_not_of(
                                   "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_") != std::string::npos) {
        diagnostics_.Error(At(*key_ptr), key,
                           "not a locale prefix: locales look like \"de\", \"de_AT\" or \"no_NO_NY\" "
                           "(at most 8 letters and underscores)");
        continue;
      }
      const toml::table* block = TableOf(*node_ptr, key);
      if (!block) continue;
      CheckKeys(*block, key, KeyNamesOf("locales.<prefix>"));
      LocaleOverrides overrides;
      overrides.prefix = prefix;
      std::map<int32_t, WideString> values;
      if (const toml::node* node = block->get("description")) {
        WideString description;
        if (WideOf(*node, key + ".description", &description)) values[record::kServiceDescription] = description;
      }
      if (const toml::node* node = block->get("raw")) {
        if (const toml::table* raw = TableOf(*node, key + ".raw")) {
          for (auto&& [id_key, value] : *raw) {
            int32_t id = 0;
            if (!RecordId(id_key, key + ".raw", &id)) continue;
            if (id == record::kServiceDescription && values.count(id)) {
              diagnostics_.Error(At(id_key), key + ".raw." + std::string(id_key.str()),
                                 "record 20017 is written by " + key + ".description; set it there");
              continue;
            }
            WideString text;
            if (WideOf(value, key + ".raw." + std::string(id_key.str()), &text)) values[id] = text;
          }
        }
      }
      overrides.values.assign(values.begin(), values.end());
      plan_.locales.push_back(overrides);
    }
  }

  // ---- raw records -----------------------------------------------------------

  bool RecordId(const toml::key& key, const std::string& table, int32_t* id) {
    const std::string text(key.str());
    const bool digits = !text.empty() && text.find_first_not_of("0123456789", text[0] == '-' ? 1 : 0) == std::string::npos &&
                        text != "-";
    long long value = 0;
    if (digits && text.size() <= 11) value = std::stoll(text);
    if (!digits || text.size() > 11 || value < INT32_MIN || value > INT32_MAX) {
      diagnostics_.Error(At(key), table + "." + text, "a raw record's key is its id, a 32-bit integer");
      return false;
    }
    *id = static_cast<int32_t>(value);
    return true;
  }

  // Which key wrote each record so far.
  std::map<int32_t, std::string> Produced() const {
    std::map<int32_t, std::string> produced;
    for (const auto& text : plan_.texts) {
      std::string owner;
      for (const auto& message : Messages()) {
        if (message.id == text.first) owner = std::string("messages.") + message.name;
      }
      for (const auto& key : AllKeys()) {
        if (owner.empty() && std::find(key.records.begin(), key.records.end(), text.first) != key.records.end()) {
          owner = KeyPath(key);
        }
      }
      produced[text.first] = owner;
    }
    return produced;
  }

  void Raw(const toml::table& table) {
    CheckKeys(table, "raw", {"text", "wide"});
    if (const toml::node* node = table.get("text")) {
      if (const toml::table* texts = TableOf(*node, "raw.text")) {
        for (auto&& [key, value] : *texts) {
          int32_t id = 0;
          const std::string path = "raw.text." + std::string(key.str());
          if (!RecordId(key, "raw.text", &id)) continue;
          if (id == record::kIncludedFileCount || id == record::kIncludedFileNames) {
            diagnostics_.Error(At(key), path, "records 2002 and 2003 are written from the [[files]] tables");
            continue;
          }
          const auto owner = produced_.find(id);
          if (owner != produced_.end()) {
            diagnostics_.Error(At(key), path,
                               "record " + std::to_string(id) + " is written by " + owner->second + "; set it there");
            continue;
          }
          std::string text;
          if (!AnsiOf(value, path, RawLimit(id), &text, true)) continue;
          if (id == record::kModeLetter && text.size() > 1) {
            Error(value, path, "record 2001 holds one character");
            continue;
          }
          SetText(id, text);
        }
      }
    }
    if (const toml::node* node = table.get("wide")) {
      if (const toml::table* wides = TableOf(*node, "raw.wide")) {
        for (auto&& [key, value] : *wides) {
          int32_t id = 0;
          const std::string path = "raw.wide." + std::string(key.str());
          if (!RecordId(key, "raw.wide", &id)) continue;
          if (plan_.wides.count(id)) {
            diagnostics_.Error(At(key), path, "record " + std::to_string(id) + " is written by service.description; set it there");
            continue;
          }
          const std::string* utf8 = StringOf(value, path);
          WideString text;
          if (utf8 && !Utf8ToWide(*utf8, &text)) Error(value, path, "is not valid UTF-8");
          else if (utf8) plan_.wides[id] = text;
        }
      }
    }
  }

  // Raw texts keep the launcher's buffer limits for the records it reads.
  static size_t RawLimit(int32_t id) {
    if (id == record::kPreferredVmType) return kVmTypeLimit;
    for (int32_t known : record::kLauncherRecordIds) {
      if (known == id) return kTextLimit;
    }
    return SIZE_MAX;
  }

  std::string Resolve(const std::string& path) const {
    const fs::path given = fs::u8path(path);
    return (given.is_absolute() || base_.empty() ? given : base_ / given).lexically_normal().u8string();
  }

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

}  // namespace

bool CompileConfiguration(const std::string& text, const std::string& path, BuildPlan* plan,
                          Diagnostics* diagnostics) {
  *plan = BuildPlan();
  toml::parse_result parsed = toml::parse(text, path);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    diagnostics->Error(At(error.source()), "", std::string(error.description()));
    return false;
  }
  Compiler(path, plan, diagnostics).Run(parsed.table());
  return !diagnostics->HasErrors();
}

bool AssembleLauncher(const BuildPlan& plan, const std::string& runtime_jar, const FileReader& read,
                      BlockContents* contents, std::vector<IncludedFile>* files,
                      Diagnostics* diagnostics) {
  files->clear();
  std::string bytes, error;
  if (plan.runtime == RuntimeMode::kEmbedded) {
    if (read(runtime_jar, &bytes, &error)) {
      files->push_back({kRuntimeJarName, bytes});
    } else {
      diagnostics->Error(plan.runtime_jar_position, plan.runtime_jar.empty() ? "" : "java.runtime-jar",
                         "cannot read the Java runtime jar " + runtime_jar + ": " + error);
    }
  }
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const PlannedFile& file = plan.files[i];
    if (read(file.path, &bytes, &error)) {
      files->push_back({file.name, bytes});
    } else {
      diagnostics->Error(file.position, "files[" + std::to_string(i + 1) + "].source",
                         "cannot read " + file.source + ": " + error);
    }
  }
  if (diagnostics->HasErrors()) return false;
  *contents = BlockContents();
  contents->texts.assign(plan.texts.begin(), plan.texts.end());
  contents->wides.assign(plan.wides.begin(), plan.wides.end());
  contents->locales = plan.locales;
  DescribeIncludedFiles(*files, contents);
  return true;
}

}  // namespace builder
}  // namespace vexlo
