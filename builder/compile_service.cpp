#include "compiler.h"
#include "core/args.h"
#include "core/record_ids.h"
#include "schema.h"

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
    if (ChoiceOf(*node, "service.start", {"auto", "demand"}, &start_)) start_node_ = node;
  }
  Entries(table, "service", "dependencies", record::kServiceDependencies, ',', &Compiler::DependencyEntry);
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
  SetText(record::kLaunchMode, windowed_ ? "1" : dialog_ ? "5" : automatic ? "4" : "0");
}

}  // namespace compile_detail
}  // namespace builder
}  // namespace vexlo
