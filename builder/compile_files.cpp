#include <algorithm>
#include <cstdint>

#include "compiler.h"
#include "core/included_file_name.h"
#include "core/record_ids.h"
#include "schema.h"
#include "text_encoding.h"

namespace vexlo {
namespace builder {
namespace compile_detail {

namespace {

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

// Raw texts keep the launcher's buffer limits for the records it reads.
size_t RawLimit(int32_t id) {
  if (id == record::kPreferredVmType) return kVmTypeLimit;
  for (int32_t known : record::kLauncherRecordIds) {
    if (known == id) return kTextLimit;
  }
  return SIZE_MAX;
}

}  // namespace

void Compiler::Files(const toml::node& node) {
  const toml::array* array = node.as_array();
  if (!array) {
    Error(node, "files", "expected [[files]] tables, found " + TypeName(node));
    return;
  }
  size_t index = 0;
  std::map<std::string, std::pair<std::string, uint32_t>> used;  // name key -> key, line
  if (plan_.runtime == RuntimeMode::kEmbedded) used[IncludedFileNameKey(kRuntimeJarName)] = {"java.runtime = \"embedded\"", 0};
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
    const auto clash = used.find(IncludedFileNameKey(name));
    if (clash != used.end()) {
      Error(at, name_key,
            Quoted(utf8_name) + " is already used by " + clash->second.first +
                (clash->second.second ? " (line " + std::to_string(clash->second.second) + ")" : ""));
      continue;
    }
    used[IncludedFileNameKey(name)] = {key, At(at).line};
    names_size += (names_size > 0 ? 1 : 0) + name.size();
    plan_.files.push_back({*source, Resolve(*source), name, At(*source_node)});
  }
  if (names_size > kTextLimit) {
    Error(node, "files", "the names of the included files take " + std::to_string(names_size) +
                             " bytes together; the launcher reads at most " + std::to_string(kTextLimit));
  }
}

void Compiler::Paths(const toml::table& table) {
  CheckKeys(table, "paths", KeyNamesOf("paths"));
  Text(table, "paths", "working-directory", record::kWorkingDirectory);
  Text(table, "paths", "installation-directory", record::kInstallationDirectory);
  Entries(table, "paths", "native-libraries", record::kNativeLibraryDirectories, ';', &Compiler::DirectoryEntry);
}

void Compiler::Locales(const toml::table& table) {
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
          const std::string raw_path = key + ".raw." + std::string(id_key.str());
          if (!RecordId(id_key, key + ".raw", &id) || OwnRecord(id_key, raw_path, id)) continue;
          if (id == record::kServiceDescription && values.count(id)) {
            diagnostics_.Error(At(id_key), raw_path,
                               "record 20017 is written by " + key + ".description; set it there");
            continue;
          }
          WideString text;
          if (WideOf(value, raw_path, &text)) values[id] = text;
        }
      }
    }
    overrides.values.assign(values.begin(), values.end());
    plan_.locales.push_back(overrides);
  }
}

bool Compiler::RecordId(const toml::key& key, const std::string& table, int32_t* id) {
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

std::map<int32_t, std::string> Compiler::Produced() const {
  std::map<int32_t, std::string> produced;
  for (const auto& text : plan_.texts) {
    const ConfigKey* key = KeyWriting(text.first);
    produced[text.first] = key ? KeyPath(*key) : std::string();
  }
  return produced;
}

bool Compiler::OwnRecord(const toml::key& key, const std::string& path, int32_t id) {
  if (!record::IsOwnRecord(id)) return false;
  const ConfigKey* owner = KeyWriting(id);
  diagnostics_.Error(At(key), path,
                     "records 30000 to 30999 are the launcher's own settings, written only by their keys" +
                         (owner ? "; set " + KeyPath(*owner) : std::string()));
  return true;
}

void Compiler::Raw(const toml::table& table) {
  CheckKeys(table, "raw", {"text", "wide"});
  if (const toml::node* node = table.get("text")) {
    if (const toml::table* texts = TableOf(*node, "raw.text")) {
      for (auto&& [key, value] : *texts) {
        int32_t id = 0;
        const std::string path = "raw.text." + std::string(key.str());
        if (!RecordId(key, "raw.text", &id) || OwnRecord(key, path, id)) continue;
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
        if (!RecordId(key, "raw.wide", &id) || OwnRecord(key, path, id)) continue;
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

std::string Compiler::Resolve(const std::string& path) const {
  const fs::path given = fs::u8path(path);
  return (given.is_absolute() || base_.empty() ? given : base_ / given).lexically_normal().u8string();
}

}  // namespace compile_detail
}  // namespace builder
}  // namespace vexlo
