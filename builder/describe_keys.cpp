#include "compile.h"
#include "core/args.h"
#include "core/record_ids.h"
#include "core/settings.h"
#include "describer.h"
#include "schema.h"
#include "toml_text.h"

namespace vexlo {
namespace builder {
namespace inspect_detail {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return pieces;
    start = end + 1;
  }
}

std::string Snippet(const Lines& lines) {
  std::map<std::string, std::string> tables;
  for (const auto& line : lines) tables[line.first] += line.second + "\n";
  // A snippet checks its own keys, but only builds with the main class that
  // every configuration needs; the filler writes no record a snippet checks.
  std::string& java = tables["java"];
  if (("\n" + java).find("\nmain-class ") == std::string::npos) java += "main-class = \"Snippet\"\n";
  std::string text;
  for (const auto& table : tables) text += "[" + table.first + "]\n" + table.second;
  return text;
}

// Both maps lack the id, or both hold the same value for it.
template <typename Map>
bool SameEntry(const Map& a, const Map& b, int32_t id) {
  const auto x = a.find(id), y = b.find(id);
  if (x == a.end() || y == b.end()) return (x == a.end()) == (y == b.end());
  return x->second == y->second;
}

std::string ArrayOfTables(const std::string& name, const std::vector<std::string>& entries) {
  if (entries.empty()) return name + " = []";
  std::string text = name + " = [\n";
  for (const auto& entry : entries) text += entry + "\n";
  return text + "]";
}

}  // namespace

Describer::Describer(const LauncherImage& image, const InspectOptions& options)
    : image_(image), options_(options) {
  for (const auto& text : image.stored.texts) texts_[text.first] = text.second;
  for (const auto& wide : image.stored.wides) wides_[wide.first] = wide.second;
}

InspectOutput Describer::Run() {
  using namespace record;
  Simple("service", "name", kServiceName);
  Description();
  LaunchMode();
  List("service", "dependencies", kServiceDependencies, ',');
  Simple("service", "account", kServiceAccount);
  RecoveryKey();
  EnvironmentKey();
  Simple("java", "main-class", kMainClass);
  ClassPath();
  CommandLine("java", "arguments", kAppArguments);
  StopKey();
  CommandLine("jvm", "options", kVmParameters);
  Flag("jvm", "allow-j-arguments", kAllowJArguments);
  Simple("jvm", "vm-type", kPreferredVmType);
  Sequence();
  Simple("search", "min-version", kMinimumJavaVersion);
  Simple("search", "max-version", kMaximumJavaVersion);
  Flag("search", "allow-prerelease", kAllowPreRelease);
  Flag("search", "jdk-required", kJdkRequired);
  Simple("search", "previous-installation", kPreviousInstallations);
  Simple("paths", "working-directory", kWorkingDirectory);
  Simple("paths", "installation-directory", kInstallationDirectory);
  List("paths", "native-libraries", kNativeLibraryDirectories, ';');
  Flag("instance", "single", kSingleInstance);
  Try({kGlobalSemaphore}, {}, {{{"instance", "namespace = \"local\""}}, {{"instance", "namespace = \"global\""}}});
  Log("error", kPassErrorLog, kErrorLog);
  Log("output", kPassOutputLog, kOutputLog);
  Flag("logs", "append", kAppendLogs);
  RotationKey();
  for (const SettingKey& key : SettingKeys()) Simple(key.table, key.name, key.id);
  MessageTexts();
  Runtime();
  accounted_.insert(kIncludedFileCount);
  accounted_.insert(kIncludedFileNames);

  InspectOutput output;
  const std::string files = FilesText(&output);
  ExeKeys(&output);
  output.toml = Header() + Body() + files + LocalesText() + RawText();
  output.warnings = warnings_;
  SelfCheck(output);
  return output;
}

void Describer::Try(const std::vector<int32_t>& ids, const std::vector<int32_t>& wide_ids,
                    const std::vector<Lines>& candidates) {
  bool any = false;
  for (int32_t id : ids) any = any || Has(id);
  for (int32_t id : wide_ids) any = any || wides_.count(id);
  if (!any) return;
  for (const Lines& candidate : candidates) {
    if (!Reproduces(candidate, ids, wide_ids)) continue;
    for (const auto& line : candidate) Print(line);
    accounted_.insert(ids.begin(), ids.end());
    wide_accounted_.insert(wide_ids.begin(), wide_ids.end());
    return;
  }
}

bool Describer::Reproduces(const Lines& lines, const std::vector<int32_t>& ids,
                           const std::vector<int32_t>& wide_ids) const {
  BuildPlan plan;
  Diagnostics diagnostics;
  if (!CompileConfiguration(Snippet(lines), "check.toml", &plan, &diagnostics)) return false;
  for (int32_t id : ids) {
    if (!SameEntry(plan.texts, texts_, id)) return false;
  }
  for (int32_t id : wide_ids) {
    if (!SameEntry(plan.wides, wides_, id)) return false;
  }
  return true;
}

void Describer::Simple(const char* table, const char* name, int32_t id) {
  if (Has(id)) Try({id}, {}, {{{table, std::string(name) + " = " + TomlString(Utf8(id))}}});
}

void Describer::Flag(const char* table, const char* name, int32_t id) {
  if (!Has(id)) return;
  Try({id}, {}, {{{table, std::string(name) + " = true"}}, {{table, std::string(name) + " = false"}}});
}

void Describer::List(const char* table, const char* name, int32_t id, char separator) {
  if (!Has(id)) return;
  std::vector<std::string> pieces = Split(Utf8(id), separator);
  if (pieces.size() == 1 && pieces[0].empty()) pieces.clear();
  Try({id}, {}, {{{table, std::string(name) + " = " + TomlStringArray(pieces)}}});
}

void Describer::CommandLine(const char* table, const char* name, int32_t id) {
  if (!Has(id)) return;
  std::vector<std::string> arguments;
  SplitArguments(Utf8(id), &arguments);
  Try({id}, {}, {{{table, std::string(name) + " = " + TomlStringArray(arguments)}},
                 {{table, std::string(name) + " = " + TomlString(Utf8(id))}}});
}

void Describer::Description() {
  const auto found = wides_.find(record::kServiceDescription);
  std::string utf8;
  if (found == wides_.end() || !WideToUtf8(found->second, &utf8)) return;
  Try({}, {record::kServiceDescription}, {{{"service", "description = " + TomlString(utf8)}}});
}

void Describer::LaunchMode() {
  if (!Has(record::kLaunchMode)) return;
  Try({record::kLaunchMode, record::kDelayedStart}, {},
      {{{"service", "start = \"auto\""}}, {{"service", "start = \"delayed-auto\""}},
       {{"service", "start = \"demand\""}}, {{"messages", "dialog = true"}}, {{"java", "windowed = true"}}});
}

void Describer::RecoveryKey() {
  if (!Has(record::kRecovery)) return;
  const std::string text = Utf8(record::kRecovery);
  Recovery recovery;
  if (!ParseRecovery(text, &recovery)) return;
  std::string actions;
  for (uint32_t i = 0; i < recovery.action_count; ++i) {
    const RecoveryAction& action = recovery.actions[i];
    if (i > 0) actions += ", ";
    if (action.type == 1) actions += "{ restart = " + TomlString(FormatDuration(action.delay_ms)) + " }";
    else if (action.type == 3) actions += "{ run = " + TomlString(text.substr(recovery.command_start)) + " }";
    else actions += "\"none\"";
  }
  Try({record::kRecovery}, {},
      {{{"service", "recovery = { actions = [" + actions + "], reset-after = " +
                        TomlString(FormatDuration(uint64_t{recovery.reset_seconds} * 1000)) + " }"}}});
}

void Describer::EnvironmentKey() {
  if (!Has(record::kServiceEnvironment)) return;
  const std::string& record = texts_.at(record::kServiceEnvironment);
  std::string entries, name, value;
  size_t position = 0;
  while (NextVariable(record, &position, &name, &value)) {
    entries += std::string(entries.empty() ? "" : ", ") + TomlKey(AnsiToUtf8(name)) + " = " +
               TomlString(AnsiToUtf8(value));
  }
  if (position > record.size()) Try({record::kServiceEnvironment}, {}, {{{"service", "environment = { " + entries + " }"}}});
}

void Describer::StopKey() {
  JavaStop stop;
  if (!Has(record::kJavaStop) || !ParseJavaStop(texts_.at(record::kJavaStop), &stop)) return;
  std::vector<std::string> arguments;
  for (const std::string& argument : stop.arguments) arguments.push_back(AnsiToUtf8(argument));
  Try({record::kJavaStop}, {},
      {{{"java", "stop = { class = " + TomlString(AnsiToUtf8(stop.class_name)) + ", method = " +
                     TomlString(AnsiToUtf8(stop.method)) +
                     (arguments.empty() ? "" : ", arguments = " + TomlStringArray(arguments)) + " }"}}});
}

void Describer::RotationKey() {
  const std::string text = Has(record::kLogRotation) ? texts_.at(record::kLogRotation) : std::string();
  const size_t blank = text.find(' ');
  LogRotation rotation;
  if (!ParseLogRotation(text, &rotation)) return;
  Try({record::kLogRotation}, {},
      {{{"logs", "rotate = { max-size = " + TomlString(text.substr(0, blank)) + ", keep = " +
                     std::to_string(rotation.keep) + " }"}}});
}

void Describer::Log(const char* name, int32_t pass_id, int32_t file_id) {
  if (!Has(file_id)) return;
  Try({pass_id, file_id}, {}, {{{"logs", std::string(name) + " = " + TomlString(Utf8(file_id))}}});
}

void Describer::ClassPath() {
  if (!Has(record::kClassPath)) return;
  std::vector<std::string> entries;
  for (const std::string& piece : Split(Utf8(record::kClassPath), ';')) {
    if (piece.size() < 3) return;
    const char* kind = piece[0] == 'A'   ? "archive"
                       : piece[0] == 'D' ? "directory"
                       : piece[0] == 'E' ? "env"
                       : piece[0] == 'S' ? "scan"
                                         : nullptr;
    if (!kind) return;
    entries.push_back("  { " + std::string(kind) + " = " + TomlString(piece.substr(2)) +
                      (piece[1] == '1' ? ", required = true" : "") + " },");
  }
  Try({record::kClassPath}, {}, {{{"java", ArrayOfTables("class-path", entries)}}});
}

void Describer::Sequence() {
  if (!Has(record::kSearchSequence)) return;
  std::vector<std::string> entries;
  const std::string sequence = Utf8(record::kSearchSequence);
  for (const std::string& piece : sequence.empty() ? std::vector<std::string>() : Split(sequence, ';')) {
    if (piece.empty()) return;
    const std::string location = TomlString(piece.substr(1));
    switch (piece[0]) {
      case 'Y': entries.push_back("  { registry = true },"); break;
      case 'S': entries.push_back("  { path = true },"); break;
      case 'E': entries.push_back("  { env = " + location + " },"); break;
      case 'A': entries.push_back("  { dir = " + location + " },"); break;
      case 'R': entries.push_back("  { dir = " + location + ", retry = \"relative\" },"); break;
      case 'B': entries.push_back("  { dir = " + location + ", retry = \"always\" },"); break;
      default: return;
    }
  }
  Try({record::kSearchSequence}, {}, {{{"search", ArrayOfTables("sequence", entries)}}});
}

void Describer::MessageTexts() {
  std::vector<std::string> omitted;
  std::vector<int32_t> omitted_ids;
  for (const auto& message : Messages()) {
    if (!Has(message.id)) {
      omitted.push_back(message.name);
      omitted_ids.push_back(message.id);
    } else if (texts_.at(message.id) == message.default_text) {
      accounted_.insert(message.id);
    } else {
      Try({message.id}, {}, {{{"messages", std::string(message.name) + " = " + TomlString(Utf8(message.id))}}});
    }
  }
  if (!omitted.empty()) {
    Print("messages", "omit", "omit = " + TomlStringArray(omitted));
    accounted_.insert(omitted_ids.begin(), omitted_ids.end());
  }
}

void Describer::Runtime() {
  const bool beside = Has(record::kModeLetter) && texts_.at(record::kModeLetter) == "i";
  embedded_ = !beside && !image_.files.empty() && image_.files[0].name == kRuntimeJarName;
  if (beside) accounted_.insert(record::kModeLetter);
  Print("java", "runtime", std::string("runtime = ") + (beside ? "\"beside\"" : embedded_ ? "\"embedded\"" : "\"none\""));
}

}  // namespace inspect_detail

InspectOutput DescribeLauncher(const LauncherImage& image, const InspectOptions& options) {
  return inspect_detail::Describer(image, options).Run();
}

}  // namespace builder
}  // namespace vexlo
