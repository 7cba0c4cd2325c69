#include <algorithm>

#include "compiler.h"
#include "core/record_ids.h"
#include "schema.h"

namespace vexlo {
namespace builder {
namespace compile_detail {

void Compiler::Java(const toml::table& table) {
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
  if (const toml::node* node = table.get("stop")) StopTable(*node);
}

void Compiler::StopTable(const toml::node& node) {
  const std::string key = "java.stop";
  const toml::table* table = TableOf(node, key);
  if (!table) return;
  CheckKeys(*table, key, {"class", "method", "arguments"});
  std::string class_name, method = "main";
  const toml::node* class_node = table->get("class");
  if (!class_node) {
    Error(node, key + ".class", "not set: name the class whose public static method stops the application");
    return;
  }
  if (!JavaNameOf(*class_node, key + ".class", &class_name)) return;
  const toml::node* method_node = table->get("method");
  if (method_node && !JavaNameOf(*method_node, key + ".method", &method)) return;
  std::string record = class_name + "\n" + method;
  if (const toml::node* arguments_node = table->get("arguments")) {
    const toml::array* arguments = ArrayOf(*arguments_node, key + ".arguments");
    if (!arguments) return;
    size_t index = 0;
    for (const toml::node& element : *arguments) {
      const std::string path = key + ".arguments[" + std::to_string(++index) + "]";
      std::string argument;
      if (!AnsiOf(element, path, kTextLimit, &argument)) return;
      if (argument.find_first_of("\r\n") != std::string::npos) {
        Error(element, path, "must be one line");
        return;
      }
      record += "\n" + argument;
    }
  }
  if (WithinLimit(node, key, record)) SetText(record::kJavaStop, record);
}

bool Compiler::JavaNameOf(const toml::node& node, const std::string& key, std::string* out) {
  if (!NonEmptyAnsiOf(node, key, out)) return false;
  // Java names hold no blanks, and a line end would end the record's line.
  if (out->find_first_of(" \t\r\n/;") == std::string::npos) return true;
  Error(node, key, Quoted(*out) + " is no Java name: it holds a blank, a line end, \"/\" or \";\"");
  return false;
}

bool Compiler::OneKind(const toml::node& element, const std::string& key, const std::string& what,
                       const std::vector<std::string>& kinds, const char* option, KindEntry* out) {
  const toml::table* table = TableOf(element, key);
  if (!table) return false;
  bool ok = true;
  for (auto&& [entry_key, value] : *table) {
    const std::string name(entry_key.str());
    if (option != nullptr && name == option) {
      out->option = &value;
      continue;
    }
    if (std::find(kinds.begin(), kinds.end(), name) == kinds.end()) {
      std::vector<std::string> known = kinds;
      if (option != nullptr) known.push_back(option);
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

bool Compiler::ClassPathEntry(const toml::node& element, const std::string& key, std::string* entry) {
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

void Compiler::Jvm(const toml::table& table) {
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

void Compiler::Search(const toml::table& table) {
  CheckKeys(table, "search", KeyNamesOf("search"));
  Entries(table, "search", "sequence", record::kSearchSequence, ';', &Compiler::SearchEntry);
  Text(table, "search", "min-version", record::kMinimumJavaVersion);
  Text(table, "search", "max-version", record::kMaximumJavaVersion);
  Flag(table, "search", "allow-prerelease", record::kAllowPreRelease);
  Flag(table, "search", "jdk-required", record::kJdkRequired);
  Text(table, "search", "previous-installation", record::kPreviousInstallations);
}

bool Compiler::SearchEntry(const toml::node& element, const std::string& key, std::string* entry) {
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

}  // namespace compile_detail
}  // namespace builder
}  // namespace vexlo
