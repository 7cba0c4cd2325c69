#include <algorithm>
#include <optional>

#include "compiler.h"
#include "core/args.h"
#include "core/record_ids.h"
#include "core/settings.h"
#include "schema.h"
#include "toml_text.h"

namespace vexlo {
namespace builder {
namespace compile_detail {

const char* ServiceNameProblem(const std::string& name) {
  if (name.empty()) return "must not be empty";
  if (name.size() > kServiceNameLimit) return "is longer than the 256 characters a service name may have";
  if (name.find_first_of("/\\") != std::string::npos) return "a service name cannot contain \"/\" or \"\\\"";
  return nullptr;
}

void Compiler::Service(const toml::table& table) {
  CheckKeys(table, "service", KeyNamesOf("service"));
  if (const toml::node* node = table.get("name")) {
    std::string name;
    if (AnsiOf(*node, "service.name", kTextLimit, &name)) {
      const char* problem = ServiceNameProblem(name);
      if (problem == nullptr && StartsLikeCommand(name)) {
        problem = "must not begin with \"-\" or \"/\": the launcher would read it as a command word";
      }
      if (problem != nullptr) {
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
    if (ChoiceOf(*node, "service.start", {"auto", "delayed-auto", "demand"}, &start_)) start_node_ = node;
    if (start_ == "delayed-auto") SetText(record::kDelayedStart, "1");
  }
  Entries(table, "service", "dependencies", record::kServiceDependencies, ',', &Compiler::DependencyEntry);
  if (const toml::node* node = table.get("account")) {
    std::string account;
    if (AnsiOf(*node, "service.account", kTextLimit, &account)) {
      if (IsAccount(account)) {
        SetText(record::kServiceAccount, account);
      } else {
        Error(*node, "service.account",
              Quoted(account) + " is no account: expected \"LocalSystem\", \"LocalService\", \"NetworkService\", "
              "\"virtual\" or a user as \".\\name\", \"DOMAIN\\name\" or \"name@domain\" (the system's own "
              "accounts by these names, not as NT AUTHORITY\\... or NT SERVICE\\...)");
      }
    }
  }
  if (const toml::node* node = table.get("recovery")) RecoveryTable(*node);
  if (const toml::node* node = table.get("environment")) EnvironmentTable(*node);
}

namespace {

// The variable's name as Windows compares names: ASCII case does not count.
std::string FoldedName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return folded;
}

}  // namespace

void Compiler::EnvironmentTable(const toml::node& node) {
  const std::string key = "service.environment";
  const toml::table* table = TableOf(node, key);
  if (!table) return;
  // In the file's order, not the table's sorted one: a value may use a
  // variable of an earlier line.
  std::vector<std::pair<const toml::key*, const toml::node*>> entries;
  for (auto&& [name, value] : *table) entries.emplace_back(&name, &value);
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    const toml::source_position x = a.first->source().begin, y = b.first->source().begin;
    return x.line != y.line ? x.line < y.line : x.column < y.column;
  });
  std::map<std::string, std::string> seen;  // folded name: name as written
  std::string record;
  bool ok = true;
  for (const auto& [name_key, value_node] : entries) {
    const std::string path = key + "." + TomlKey(std::string(name_key->str()));
    std::string name, value;
    if (!AnsiFrom(std::string(name_key->str()), *value_node, path, kTextLimit, &name) ||
        !AnsiOf(*value_node, path, kTextLimit, &value)) {
      ok = false;
      continue;
    }
    std::string problem = VariableNameProblem(name);
    const auto earlier = seen.emplace(FoldedName(name), name);
    if (problem.empty() && !earlier.second) {
      problem = "names the variable " + earlier.first->second + " again: Windows ignores the case of names";
    }
    if (problem.empty() && value.find_first_of("\r\n") != std::string::npos) problem = "must be one line";
    if (!problem.empty()) {
      Error(*value_node, path, problem);
      ok = false;
      continue;
    }
    record += (record.empty() ? "" : "\n") + name + "=" + value;
  }
  if (ok && !record.empty() && WithinLimit(node, key, record)) SetText(record::kServiceEnvironment, record);
}

void Compiler::RecoveryTable(const toml::node& node) {
  const std::string key = "service.recovery";
  const toml::table* table = TableOf(node, key);
  if (!table) return;
  CheckKeys(*table, key, {"actions", "reset-after"});
  uint64_t reset_ms = 0;
  DurationValue(kRecoveryResetSetting.default_text, kRecoveryResetSetting, &reset_ms);
  const toml::node* reset_node = table->get("reset-after");
  if (reset_node && !DurationOf(*reset_node, key + ".reset-after", kRecoveryResetSetting, &reset_ms)) return;
  const toml::node* actions_node = table->get("actions");
  if (!actions_node) {
    Error(node, key + ".actions", "not set: give one to three actions, or leave service.recovery out");
    return;
  }
  const toml::array* actions = ArrayOf(*actions_node, key + ".actions");
  if (!actions) return;
  if (actions->empty() || actions->size() > kMaxRecoveryActions) {
    Error(*actions_node, key + ".actions",
          "holds " + std::to_string(actions->size()) + " actions; the system takes one to three");
    return;
  }
  std::string record = std::to_string(reset_ms / 1000);
  std::string command;  // of the first run action
  size_t index = 0;
  bool ok = true;
  for (const toml::node& element : *actions) {
    const std::string path = key + ".actions[" + std::to_string(++index) + "]";
    std::string action, run;
    if (!RecoveryEntry(element, path, &action, &run)) {
      ok = false;
    } else if (!run.empty() && !command.empty() && run != command) {
      Error(element, path + ".run", "differs from the command of an earlier run action; the system keeps one "
                                    "command for all of them");
      ok = false;
    } else {
      if (!run.empty()) command = run;
      record += " " + action;
    }
  }
  if (!ok) return;
  record += "\n" + command;
  if (WithinLimit(node, key, record)) SetText(record::kRecovery, record);
}

bool Compiler::RecoveryEntry(const toml::node& element, const std::string& key, std::string* action,
                              std::string* command) {
  if (const std::string* word = element.as_string() ? &element.as_string()->get() : nullptr) {
    if (*word == "none") {
      *action = "N";
      return true;
    }
    Error(element, key, Quoted(*word) + " is not an action; the actions are { restart = \"<duration>\" }, "
                        "{ run = \"<command line>\" } and \"none\" (a launcher never reboots the machine)");
    return false;
  }
  KindEntry found;
  if (!OneKind(element, key, "recovery action", {"restart", "run"}, nullptr, &found)) return false;
  if (found.kind == "restart") {
    uint64_t delay_ms = 0;
    if (!DurationOf(*found.value, key + ".restart", kRestartDelaySetting, &delay_ms)) return false;
    *action = "R" + std::to_string(delay_ms);
    return true;
  }
  if (!NonEmptyAnsiOf(*found.value, key + ".run", command)) return false;
  if (command->find_first_of("\r\n") != std::string::npos) {
    Error(*found.value, key + ".run", "must be one line");
    return false;
  }
  *action = "C";
  return true;
}

void Compiler::Instance(const toml::table& table) {
  CheckKeys(table, "instance", KeyNamesOf("instance"));
  Flag(table, "instance", "single", record::kSingleInstance);
  if (const toml::node* node = table.get("namespace")) {
    std::string scope;
    if (ChoiceOf(*node, "instance.namespace", {"local", "global"}, &scope)) {
      SetFlag(record::kGlobalSemaphore, scope == "global");
    }
  }
}

void Compiler::Logs(const toml::table& table) {
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
  if (const toml::node* node = table.get("rotate")) RotationTable(*node, table.get("error") || table.get("output"));
}

void Compiler::RotationTable(const toml::node& node, bool any_log) {
  const std::string key = "logs.rotate";
  const toml::table* table = TableOf(node, key);
  if (!table) return;
  CheckKeys(*table, key, {"max-size", "keep"});
  std::string size = kLogRotateSizeSetting.default_text;
  uint64_t bytes = 0;
  if (const toml::node* size_node = table->get("max-size")) {
    const std::string* text = StringOf(*size_node, key + ".max-size");
    if (!text) return;
    const std::string problem = SizeProblem(*text, kLogRotateSizeSetting, &bytes);
    if (!problem.empty()) {
      Error(*size_node, key + ".max-size", problem);
      return;
    }
    size = *text;
  }
  int64_t keep = kDefaultLogRotateKeep;
  if (const toml::node* keep_node = table->get("keep")) {
    const std::optional<int64_t> given = keep_node->value_exact<int64_t>();
    if (!given || *given < 1 || *given > kMaxLogRotateKeep) {
      Error(*keep_node, key + ".keep", "expected a whole number of files from 1 to " +
                                           std::to_string(kMaxLogRotateKeep));
      return;
    }
    keep = *given;
  }
  if (!any_log) {
    diagnostics_.Warning(At(node), key, "rotates nothing: neither logs.output nor logs.error is set");
  }
  SetText(record::kLogRotation, size + " " + std::to_string(keep));
}

void Compiler::MessagesTable(const toml::table& table) {
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

void Compiler::WriteMessages() {
  for (const auto& message : Messages()) {
    if (omitted_.count(message.id)) continue;
    const auto given = messages_.find(message.id);
    SetText(message.id, given != messages_.end() ? given->second : message.default_text);
  }
}

void Compiler::WriteLaunchMode() {
  if (!start_node_ && !dialog_node_ && !windowed_node_) return;
  const bool automatic = start_ == "auto" || start_ == "delayed-auto";
  if (windowed_ && dialog_node_ && !dialog_) {
    Error(*windowed_node_, "java.windowed",
          "the windowed runtime comes with message boxes (launch mode 1); messages.dialog = false "
          "cannot be kept");
    return;
  }
  if (automatic && (dialog_ || windowed_)) {
    Error(windowed_ ? *windowed_node_ : *dialog_node_, windowed_ ? "java.windowed" : "messages.dialog",
          "message boxes and service.start = " + Quoted(start_) + " exclude each other: the launcher registers "
          "automatic start only in launch mode 4 and shows message boxes only in modes 1 and 5");
    return;
  }
  SetText(record::kLaunchMode, windowed_ ? "1" : dialog_ ? "5" : automatic ? "4" : "0");
}

void Compiler::CheckShutdownTime() {
  const auto value = [this](const DurationSetting& setting) {
    const auto given = plan_.texts.find(setting.id);
    uint64_t milliseconds = 0;
    DurationValue(given != plan_.texts.end() ? given->second : setting.default_text, setting, &milliseconds);
    return milliseconds;
  };
  const uint64_t stop = value(kStopTimeoutSetting), preshutdown = value(kPreshutdownTimeoutSetting);
  if (preshutdown != 0 && preshutdown < stop) {
    diagnostics_.Warning({}, "service.preshutdown-timeout",
                         "is shorter than service.stop-timeout: at a machine shutdown the system goes on after " +
                             FormatDuration(preshutdown) + ", before the stop timeout ends the application");
  }
}

}  // namespace compile_detail
}  // namespace builder
}  // namespace vexlo
