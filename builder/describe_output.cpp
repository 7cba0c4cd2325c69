#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "compile.h"
#include "core/included_file_name.h"
#include "core/record_ids.h"
#include "describer.h"
#include "schema.h"
#include "toml_text.h"

namespace vexlo {
namespace builder {
namespace inspect_detail {

namespace fs = std::filesystem;

std::string Describer::Header() const {
  return "# Configuration of " + options_.executable_name + ", printed by vexlo-build inspect.\n" +
         "# vexlo-build build <this file> -o <executable> builds it again.\n";
}

std::string Describer::Body() const {
  std::string text;
  for (const char* table : {"service", "java", "jvm", "search", "paths", "instance", "logs", "messages", "exe"}) {
    const auto found = lines_.find(table);
    if (found == lines_.end()) continue;
    const std::vector<std::string> order = KeyNamesOf(table);
    std::vector<std::pair<size_t, std::string>> lines;
    for (const auto& line : found->second) {
      const size_t rank = std::find(order.begin(), order.end(), line.first) - order.begin();
      lines.emplace_back(rank, line.second);
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    text += std::string("\n[") + table + "]\n";
    for (const auto& line : lines) text += line.second + "\n";
  }
  return text;
}

void Describer::Print(const std::string& table, const std::string& key, const std::string& line) {
  lines_[table].emplace_back(key, line);
}

void Describer::Print(const Line& line) {
  Print(line.first, line.second.substr(0, line.second.find(" = ")), line.second);
}

std::string Describer::Placement(size_t index, const IncludedFile& file, InspectOutput* output) {
  std::string name = AnsiToUtf8(file.name);
  std::replace(name.begin(), name.end(), '\\', '/');
  const bool safe = CheckIncludedFileName(file.name) == IncludedNameProblem::kNone;
  if (options_.extract_dir.empty()) return name;
  std::string relative = name;
  if (!safe) {
    relative = "included-" + std::to_string(index + 1) + ".bin";
    warnings_.push_back("included file " + std::to_string(index + 1) + " has a name the builder refuses (" +
                        name + "); written out as " + relative);
  }
  return Extracted(relative, file.contents, output);
}

std::string Describer::Extracted(const std::string& relative, const std::string& bytes, InspectOutput* output) {
  const fs::path target = (fs::absolute(fs::u8path(options_.extract_dir)) / fs::u8path(relative)).lexically_normal();
  output->extracted.emplace_back(target.u8string(), bytes);
  const fs::path base = fs::u8path(options_.config_path).parent_path();
  const fs::path shown = target.lexically_relative(base);
  return (shown.empty() ? target : shown).generic_u8string();
}

std::string Describer::FilesText(InspectOutput* output) {
  std::string text;
  const bool extract = !options_.extract_dir.empty();
  for (size_t i = 0; i < image_.files.size(); ++i) {
    const IncludedFile& file = image_.files[i];
    const std::string source = Placement(i, file, output);
    sources_.emplace_back(source, file.contents);
    const std::string size = std::to_string(file.contents.size()) + " bytes";
    if (i == 0 && embedded_) {
      Print("java", "runtime-jar",
            extract ? "runtime-jar = " + TomlString(source)
                    : "# the embedded runtime jar (" + size + ") is taken from the builder");
      continue;
    }
    std::string name = AnsiToUtf8(file.name);
    std::replace(name.begin(), name.end(), '\\', '/');
    text += "\n[[files]]\n";
    if (!extract) text += "# " + size + "; not written out (vexlo-build inspect --extract DIR writes it)\n";
    text += "source = " + TomlString(source) + "\nname = " + TomlString(name) + "\n";
  }
  return text;
}

std::string Describer::LocalesText() {
  std::string text;
  std::map<std::string, size_t> seen;
  for (const auto& block : image_.stored.locales) {
    if (!seen.emplace(block.prefix, 0).second) {
      warnings_.push_back("the locale block \"" + block.prefix + "\" appears more than once; it is printed once");
      continue;
    }
    std::string description;
    std::vector<std::string> raw;
    std::map<int32_t, WideString> values;
    for (const auto& other : image_.stored.locales) {
      if (other.prefix != block.prefix) continue;
      for (const auto& value : other.values) values[value.first] = value.second;
    }
    for (const auto& value : values) {
      std::string utf8;
      if (!WideToUtf8(value.second, &utf8)) {
        warnings_.push_back("record " + std::to_string(value.first) + " of locale \"" + block.prefix +
                            "\" holds an unpaired surrogate, which a configuration file cannot hold");
        continue;
      }
      if (value.first == record::kServiceDescription) description = "description = " + TomlString(utf8) + "\n";
      else if (!LeftOut(value.first, utf8)) raw.push_back(std::to_string(value.first) + " = " + TomlString(utf8));
    }
    text += "\n[locales." + TomlKey(block.prefix) + "]\n" + description;
    if (!raw.empty()) {
      text += "\n[locales." + TomlKey(block.prefix) + ".raw]\n";
      for (const auto& line : raw) text += line + "\n";
    }
  }
  return text;
}

std::string Describer::RawText() {
  std::string texts, wides;
  for (const auto& text : texts_) {
    if (accounted_.count(text.first) || LeftOut(text.first, AnsiToUtf8(text.second))) continue;
    texts += std::to_string(text.first) + " = " + TomlString(AnsiToUtf8(text.second)) + "\n";
  }
  for (const auto& wide : wides_) {
    if (wide_accounted_.count(wide.first)) continue;
    std::string utf8;
    if (!WideToUtf8(wide.second, &utf8)) {
      warnings_.push_back("wide record " + std::to_string(wide.first) +
                          " holds an unpaired surrogate, which a configuration file cannot hold");
      continue;
    }
    if (LeftOut(wide.first, utf8)) continue;
    wides += std::to_string(wide.first) + " = " + TomlString(utf8) + "\n";
  }
  std::string text;
  if (!texts.empty()) text += "\n# Records no key describes, as the block holds them.\n[raw.text]\n" + texts;
  if (!wides.empty()) text += "\n[raw.wide]\n" + wides;
  return text;
}

bool Describer::LeftOut(int32_t id, const std::string& utf8) {
  if (!record::IsOwnRecord(id)) return false;
  const ConfigKey* key = KeyWriting(id);
  warnings_.push_back("record " + std::to_string(id) + " holds " + TomlString(utf8) +
                      (key ? ", which is no valid " + KeyPath(*key) : std::string(", which no key describes")) +
                      "; it is left out: the launcher does not use it either");
  return true;
}

void Describer::SelfCheck(InspectOutput& output) {
  BuildPlan plan;
  Diagnostics diagnostics;
  if (!CompileConfiguration(output.toml, options_.config_path, &plan, &diagnostics)) {
    output.warnings.push_back("the printed configuration does not build:\n" + diagnostics.Format("  (printed)"));
    return;
  }
  std::map<std::string, std::string> files;
  const fs::path base = fs::u8path(options_.config_path).parent_path();
  for (const auto& source : sources_) {
    files[(base / fs::u8path(source.first)).lexically_normal().u8string()] = source.second;
  }
  const std::string kBuilderJar = "<the builder's runtime jar>";
  if (embedded_ && !image_.files.empty()) files[plan.runtime_jar.empty() ? kBuilderJar : plan.runtime_jar] = image_.files[0].contents;
  const FileReader read = [&files](const std::string& path, std::string* bytes, std::string* error) {
    const auto found = files.find(path);
    if (found == files.end()) {
      *error = "not in the executable";
      return false;
    }
    *bytes = found->second;
    return true;
  };
  BlockContents contents;
  std::vector<IncludedFile> built_files;
  if (!AssembleLauncher(plan, plan.runtime_jar.empty() ? kBuilderJar : plan.runtime_jar, read, &contents,
                        &built_files, &diagnostics)) {
    output.warnings.push_back("the printed configuration does not build:\n" + diagnostics.Format("  (printed)"));
    return;
  }
  if (SerializeBlock(contents) != image_.block_bytes) {
    output.warnings.push_back(
        "a rebuild writes a different configuration block: the executable's block was not written by "
        "vexlo-build (its records are in another order or repeated, or its header differs)" +
        DifferingRecords(contents));
  }
  if (SerializeIncludedFiles(built_files) != image_.file_bytes) {
    output.warnings.push_back("a rebuild writes different included files");
  }
  if (!image_.trailing.empty()) {
    output.warnings.push_back(std::to_string(image_.trailing.size()) +
                              " bytes after the included files belong to no configuration and are not written again");
  }
  CheckResources(plan, read, output);
}

std::string Describer::DifferingRecords(const BlockContents& built) const {
  std::map<int32_t, std::string> texts(built.texts.begin(), built.texts.end());
  std::map<int32_t, WideString> wides(built.wides.begin(), built.wides.end());
  std::set<int32_t> differing;
  for (const auto& text : texts_) {
    if (!texts.count(text.first) || texts[text.first] != text.second) differing.insert(text.first);
  }
  for (const auto& text : texts) {
    if (!texts_.count(text.first)) differing.insert(text.first);
  }
  for (const auto& wide : wides_) {
    if (!wides.count(wide.first) || wides[wide.first] != wide.second) differing.insert(wide.first);
  }
  if (differing.empty()) return "; the records themselves are the same";
  std::string list;
  for (int32_t id : differing) list += (list.empty() ? "" : ", ") + std::to_string(id);
  return "; records that differ: " + list;
}

}  // namespace inspect_detail
}  // namespace builder
}  // namespace vexlo
