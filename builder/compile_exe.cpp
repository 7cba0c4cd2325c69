#include <map>

#include "compiler.h"
#include "exe_keys.h"
#include "schema.h"
#include "text_encoding.h"

namespace vexlo {
namespace builder {

const std::vector<VersionStringKey>& VersionStringKeys() {
  static const std::vector<VersionStringKey> kKeys = {
      {"company", "CompanyName"},      {"description", "FileDescription"}, {"version", "FileVersion"},
      {"copyright", "LegalCopyright"}, {"product-name", "ProductName"},    {"version", "ProductVersion"},
  };
  return kKeys;
}

namespace {

// Windows shows a broken manifest as a failed start ("side-by-side
// configuration is incorrect"): refuse what is plainly no manifest.
const char* ManifestProblem(const std::string& bytes) {
  if (bytes.find_first_not_of(" \t\r\n") == std::string::npos) return "is empty";
  if (bytes.find("<assembly") == std::string::npos) return "is not an application manifest (no <assembly> element)";
  return nullptr;
}

}  // namespace

namespace compile_detail {

namespace {

WideString Ascii(const std::string& text) { return WideString(text.begin(), text.end()); }

}  // namespace

bool Compiler::VersionText(const toml::node& node, const std::string& key, WideString* out) {
  const std::string* value = StringOf(node, key);
  if (!value) return false;
  if (value->empty()) {
    Error(node, key, "must not be empty (leave the key out instead)");
  } else if (value->find('\0') != std::string::npos) {
    Error(node, key, "holds a NUL character, which ends a text of the version resource");
  } else if (!Utf8ToWide(*value, out)) {
    Error(node, key, "is not valid UTF-8");
  } else if (out->size() > kVersionTextLimit) {
    Error(node, key, "is " + std::to_string(out->size()) + " UTF-16 characters long; the version resource holds " +
                         std::to_string(kVersionTextLimit) + " per text");
  } else {
    return true;
  }
  return false;
}

bool Compiler::BuildFile(const toml::node& node, const std::string& key, PlannedFile* file) {
  const std::string* source = StringOf(node, key);
  if (!source) return false;
  if (source->empty()) {
    Error(node, key, "must not be empty");
    return false;
  }
  *file = {*source, Resolve(*source), std::string(), At(node)};
  return true;
}

void Compiler::Exe(const toml::table& table) {
  CheckKeys(table, "exe", KeyNamesOf("exe"));
  ExePlan& exe = plan_.exe;
  std::map<std::string, WideString> texts;
  if (const toml::node* node = table.get("version")) {
    const std::string* value = StringOf(*node, "exe.version");
    if (value && ParseVersionNumber(*value, exe.version.version)) {
      texts["version"] = Ascii(*value);
    } else if (value) {
      Error(*node, "exe.version",
            Quoted(*value) + " is not a version: one to four numbers from 0 to 65535 separated by dots, like "
                             "\"1.2.3.4\"");
    }
  }
  for (const char* name : {"product-name", "company", "description", "copyright"}) {
    const toml::node* node = table.get(name);
    WideString text;
    if (node && VersionText(*node, std::string("exe.") + name, &text)) texts[name] = text;
  }
  for (const VersionStringKey& key : VersionStringKeys()) {
    const auto found = texts.find(key.key);
    if (found != texts.end()) exe.version.strings.emplace_back(Ascii(key.name), found->second);
  }
  exe.version_resource = !texts.empty();
  if (const toml::node* node = table.get("icon")) BuildFile(*node, "exe.icon", &exe.icon);
  if (const toml::node* node = table.get("manifest")) {
    if (const auto* flag = node->as_boolean()) {
      exe.no_manifest = !flag->get();
    } else {
      BuildFile(*node, "exe.manifest", &exe.manifest);
    }
  }
}

}  // namespace compile_detail

bool AssembleResources(const BuildPlan& plan, const FileReader& read, ExeResources* resources,
                       Diagnostics* diagnostics) {
  ExeResources result;
  result.has_version = plan.exe.version_resource;
  result.version = plan.exe.version;
  std::string bytes, error;
  const PlannedFile& icon = plan.exe.icon;
  if (!icon.source.empty()) {
    if (!read(icon.path, &bytes, &error)) {
      diagnostics->Error(icon.position, "exe.icon", "cannot read " + icon.source + ": " + error);
    } else if (!ParseIconFile(bytes, &result.icon, &error)) {
      diagnostics->Error(icon.position, "exe.icon", icon.source + " is not a usable icon: " + error);
    }
  }
  const PlannedFile& manifest = plan.exe.manifest;
  result.has_manifest = !plan.exe.no_manifest;
  result.manifest = DefaultManifest();
  if (!manifest.source.empty()) {
    const char* problem = nullptr;
    if (!read(manifest.path, &result.manifest, &error)) {
      diagnostics->Error(manifest.position, "exe.manifest", "cannot read " + manifest.source + ": " + error);
    } else if ((problem = ManifestProblem(result.manifest)) != nullptr) {
      diagnostics->Error(manifest.position, "exe.manifest", manifest.source + " " + problem);
    }
  }
  if (diagnostics->HasErrors()) return false;
  *resources = std::move(result);
  return true;
}

}  // namespace builder
}  // namespace vexlo
