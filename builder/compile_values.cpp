#include <algorithm>
#include <cstdint>

#include "compiler.h"
#include "core/args.h"
#include "core/expand.h"
#include "schema.h"
#include "text_encoding.h"

namespace vexlo {
namespace builder {
namespace compile_detail {

namespace {

std::vector<std::string> Characters(const char* set) {
  std::vector<std::string> out;
  for (const char* c = set; *c; ++c) out.emplace_back(1, *c);
  return out;
}

}  // namespace

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

std::string Enumerate(const std::vector<std::string>& names, const char* last, bool quote) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += i + 1 == names.size() ? last : ", ";
    out += quote ? Quoted(names[i]) : names[i];
  }
  return out;
}

void Compiler::Error(const toml::node& node, const std::string& key, const std::string& problem) {
  diagnostics_.Error(At(node), key, problem);
}

void Compiler::UnknownKey(const toml::key& key, const std::string& table, const std::string& name,
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

void Compiler::CheckKeys(const toml::table& table, const std::string& table_path,
                         const std::vector<std::string>& known) {
  for (auto&& [key, node] : table) {
    const std::string name(key.str());
    if (std::find(known.begin(), known.end(), name) == known.end()) UnknownKey(key, table_path, name, known);
  }
}

const toml::table* Compiler::TableOf(const toml::node& node, const std::string& key) {
  if (const toml::table* table = node.as_table()) return table;
  Error(node, key, "expected a table, found " + TypeName(node));
  return nullptr;
}

const toml::array* Compiler::ArrayOf(const toml::node& node, const std::string& key) {
  if (const toml::array* array = node.as_array()) return array;
  Error(node, key, "expected an array, found " + TypeName(node));
  return nullptr;
}

const std::string* Compiler::StringOf(const toml::node& node, const std::string& key) {
  if (const auto* value = node.as_string()) return &value->get();
  Error(node, key, "expected a string, found " + TypeName(node));
  return nullptr;
}

bool Compiler::BoolOf(const toml::node& node, const std::string& key, bool* out) {
  if (const auto* value = node.as_boolean()) {
    *out = value->get();
    return true;
  }
  Error(node, key, "expected true or false, found " + TypeName(node));
  return false;
}

bool Compiler::ChoiceOf(const toml::node& node, const std::string& key, const std::vector<std::string>& choices,
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

bool Compiler::AnsiOf(const toml::node& node, const std::string& key, size_t limit, std::string* out,
                      bool allow_nul) {
  const std::string* value = StringOf(node, key);
  if (!value) return false;
  return AnsiFrom(*value, node, key, limit, out, allow_nul);
}

bool Compiler::AnsiFrom(const std::string& utf8, const toml::node& node, const std::string& key, size_t limit,
                        std::string* out, bool allow_nul) {
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

bool Compiler::NonEmptyAnsiOf(const toml::node& node, const std::string& key, std::string* out,
                              const char* forbidden) {
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

bool Compiler::WideOf(const toml::node& node, const std::string& key, WideString* out) {
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

bool Compiler::JoinedEntries(const toml::node& node, const std::string& key, char separator, EntryReader entry,
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

bool Compiler::DependencyEntry(const toml::node& element, const std::string& key, std::string* entry) {
  if (!NonEmptyAnsiOf(element, key, entry, ",")) return false;
  if (const char* problem = ServiceNameProblem(*entry)) {
    Error(element, key, problem);
    return false;
  }
  return true;
}

bool Compiler::DirectoryEntry(const toml::node& element, const std::string& key, std::string* entry) {
  return NonEmptyAnsiOf(element, key, entry, ";");
}

bool Compiler::CommandLineOf(const toml::node& node, const std::string& key, std::string* out) {
  if (node.is_string()) return AnsiOf(node, key, kTextLimit, out);
  if (!node.is_array()) {
    Error(node, key, "expected a string or an array of strings, found " + TypeName(node));
    return false;
  }
  return JoinedEntries(node, key, ' ', &Compiler::ArgumentEntry, out);
}

bool Compiler::ArgumentEntry(const toml::node& element, const std::string& key, std::string* entry) {
  std::string value;
  if (!AnsiOf(element, key, kTextLimit, &value)) return false;
  entry->clear();
  // An element that expands stays one argument whatever its value holds.
  if (!AppendQuotedArgument(value, entry, MayExpand(value))) {
    Error(element, key,
          "holds both quote characters; the launcher splits arguments without an escape "
          "character, so it cannot receive this one");
    return false;
  }
  return true;
}

void Compiler::Text(const toml::table& table, const char* table_name, const char* name, int32_t id,
                    size_t limit) {
  const toml::node* node = table.get(name);
  std::string value;
  if (node && AnsiOf(*node, std::string(table_name) + "." + name, limit, &value)) SetText(id, value);
}

void Compiler::Flag(const toml::table& table, const char* table_name, const char* name, int32_t id) {
  const toml::node* node = table.get(name);
  bool value = false;
  if (node && BoolOf(*node, std::string(table_name) + "." + name, &value)) SetFlag(id, value);
}

void Compiler::Entries(const toml::table& table, const char* table_name, const char* name, int32_t id, char separator,
                       EntryReader entry) {
  const toml::node* node = table.get(name);
  std::string joined;
  if (node && JoinedEntries(*node, std::string(table_name) + "." + name, separator, entry, &joined)) {
    SetText(id, joined);
  }
}

void Compiler::Settings(const toml::table& table, const std::string& table_name) {
  for (const SettingKey& key : SettingKeys()) {
    const toml::node* node = table_name == key.table ? table.get(key.name) : nullptr;
    const std::string path = table_name + "." + key.name;
    std::string text;
    if (!node || !AnsiOf(*node, path, kTextLimit, &text)) continue;
    const std::string problem = key.problem(text);
    if (problem.empty()) SetText(key.id, text);
    else Error(*node, path, problem);
  }
}

bool Compiler::WithinLimit(const toml::node& node, const std::string& key, const std::string& record) {
  if (record.size() <= kTextLimit) return true;
  Error(node, key, "takes " + std::to_string(record.size()) + " bytes; the launcher reads at most " +
                       std::to_string(kTextLimit));
  return false;
}

bool Compiler::DurationOf(const toml::node& node, const std::string& key, const DurationSetting& setting,
                          uint64_t* milliseconds) {
  const std::string* text = StringOf(node, key);
  if (!text) return false;
  const std::string problem = DurationProblem(*text, setting, milliseconds);
  if (!problem.empty()) Error(node, key, problem);
  return problem.empty();
}

}  // namespace compile_detail
}  // namespace builder
}  // namespace vexlo
