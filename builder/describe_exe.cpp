#include <algorithm>
#include <cctype>
#include <set>

#include "describer.h"
#include "exe_keys.h"
#include "toml_text.h"

namespace vexlo {
namespace builder {
namespace inspect_detail {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

const WideString* Find(const VersionInfo& version, const char* name) {
  const WideString wanted(name, name + std::char_traits<char>::length(name));
  for (const auto& entry : version.strings) {
    if (entry.first == wanted) return &entry.second;
  }
  return nullptr;
}

}  // namespace

void Describer::ExeKeys(InspectOutput* output) {
  if (!image_.resource_error.empty()) {
    warnings_.push_back("the executable's resources cannot be read (" + image_.resource_error +
                        "); the printed configuration leaves them out");
    return;
  }
  const ExeResources& resources = image_.resources;
  std::set<std::string> printed;
  for (const VersionStringKey& key : VersionStringKeys()) {
    // "version" gives FileVersion and ProductVersion: the first one says it.
    const WideString* text = resources.has_version ? Find(resources.version, key.name) : nullptr;
    std::string utf8;
    if (!text || printed.count(key.key)) continue;
    if (!WideToUtf8(*text, &utf8)) {
      warnings_.push_back(std::string("the version text ") + key.name +
                          " holds an unpaired surrogate, which a configuration file cannot hold");
      continue;
    }
    printed.insert(key.key);
    Print("exe", key.key, std::string(key.key) + " = " + TomlString(utf8));
  }
  const char* kNotWritten = "# not written out (vexlo-build inspect --extract DIR writes it)\n";
  const std::string note = options_.extract_dir.empty() ? kNotWritten : "";
  if (!resources.icon.empty()) {
    const std::string path = ResourceFile(kIconFileName, IconFileBytes(resources.icon), output);
    Print("exe", "icon", note + "icon = " + TomlString(path));
  }
  if (!resources.has_manifest) {
    Print("exe", "manifest", "manifest = false");
  } else if (resources.manifest != DefaultManifest()) {
    const std::string path = ResourceFile(kManifestFileName, resources.manifest, output);
    Print("exe", "manifest", note + "manifest = " + TomlString(path));
  }
}

std::string Describer::ResourceFile(const std::string& preferred, const std::string& bytes, InspectOutput* output) {
  std::set<std::string> taken;
  for (const IncludedFile& file : image_.files) {
    std::string name = AnsiToUtf8(file.name);
    std::replace(name.begin(), name.end(), '\\', '/');
    taken.insert(Lower(name));
  }
  const size_t dot = preferred.rfind('.');
  std::string name = preferred;
  for (int i = 2; taken.count(Lower(name)); ++i) {
    name = preferred.substr(0, dot) + "-" + std::to_string(i) + preferred.substr(dot);
  }
  const std::string shown = options_.extract_dir.empty() ? name : Extracted(name, bytes, output);
  sources_.emplace_back(shown, bytes);
  return shown;
}

void Describer::CheckResources(const BuildPlan& plan, const FileReader& read, InspectOutput& output) {
  if (!image_.resource_error.empty()) return;  // said already
  ExeResources resources;
  Diagnostics diagnostics;
  std::string section, error;
  if (!AssembleResources(plan, read, &resources, &diagnostics)) {
    output.warnings.push_back("the printed configuration does not build:\n" + diagnostics.Format("  (printed)"));
    return;
  }
  if (!BuildResourceSection(resources, image_.resource_address, &section, &error) ||
      section != image_.resource_section) {
    output.warnings.push_back(
        "a rebuild writes a different resource section: the executable's resources were not written by "
        "vexlo-build (only its version texts, icon and manifest are printed)");
  }
}

}  // namespace inspect_detail
}  // namespace builder
}  // namespace vexlo
