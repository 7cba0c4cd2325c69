#include "compile.h"

#include <algorithm>

#include "compiler.h"
#include "core/record_ids.h"
#include "schema.h"

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

namespace compile_detail {

void Compiler::Run(const toml::table& root) {
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
      {"exe", &Compiler::Exe},         {"locales", &Compiler::Locales}};
  for (const auto& section : sections) {
    if (const toml::node* node = root.get(section.first)) {
      if (const toml::table* table = TableOf(*node, section.first)) {
        (this->*section.second)(*table);
        Settings(*table, section.first);
      }
    }
  }
  if (const toml::node* files = root.get("files")) Files(*files);
  WriteMessages();
  WriteLaunchMode();
  CheckShutdownTime();
  produced_ = Produced();
  if (const toml::node* raw = root.get("raw")) {
    if (const toml::table* table = TableOf(*raw, "raw")) Raw(*table);
  }
  // A name that was given but refused has its error already.
  if (!plan_.texts.count(record::kServiceName) && !root.at_path("service.name")) {
    diagnostics_.Warning({}, "service.name", "not set: the service needs a name on the command line");
  }
  // With java.runtime = "none" the application brings its own launcher
  // class, which may know its main class without this record.
  if (!plan_.texts.count(record::kMainClass) && !root.at_path("java.main-class")) {
    if (plan_.runtime == RuntimeMode::kNone) {
      diagnostics_.Warning({}, "java.main-class", "not set: the launcher class has no application to start");
    } else {
      diagnostics_.Error({}, "java.main-class", "not set: the launcher class has no application to start");
    }
  }
}

}  // namespace compile_detail

bool CompileConfiguration(const std::string& text, const std::string& path, BuildPlan* plan,
                          Diagnostics* diagnostics) {
  *plan = BuildPlan();
  toml::parse_result parsed = toml::parse(text, path);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    std::string problem(error.description());
    // Windows paths in basic strings are the usual cause.
    if (problem.find("escape sequence") != std::string::npos) {
      problem += "; in a \"basic string\" write a backslash as \\\\ (\"C:\\\\app\"), or use a 'literal string' "
                 "('C:\\app'), which keeps backslashes as they are";
    }
    diagnostics->Error(compile_detail::At(error.source()), "", problem);
    return false;
  }
  compile_detail::Compiler(path, plan, diagnostics).Run(parsed.table());
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
