#include "core/resource_section.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "core/byte_order.h"
#include "core/pe_image.h"

namespace vexlo {
namespace {

constexpr uint32_t kDirectoryHeader = 16;
constexpr uint32_t kDirectoryEntry = 8;
constexpr uint32_t kDataEntry = 16;
constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr uint32_t kNamed = 0x80000000u;
// Bounds for damaged trees: entries visited and leaves found.
constexpr uint64_t kMaxVisited = 1u << 20;
constexpr uint64_t kMaxLeaves = 1u << 16;

void AppendDirectory(std::string& out, size_t id_entries) {
  out.append(12, '\0');  // characteristics, time stamp, version: 0 for stable bytes
  AppendLe(out, 0, 2);   // named entries
  AppendLe(out, static_cast<uint32_t>(id_entries), 2);
}

void AppendEntry(std::string& out, uint32_t id, uint32_t offset) {
  AppendLe(out, id, 4);
  AppendLe(out, offset, 4);
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

struct TreeReader {
  const std::string& section;
  uint32_t address;
  std::vector<ResourceEntry>* entries;
  uint64_t visited = 0;
  uint64_t data_bytes = 0;

  // ids: the type and id above this directory; level 0 is the root.
  bool Directory(uint32_t offset, int level, uint16_t type, uint16_t id) {
    if (!Within(section.size(), offset, kDirectoryHeader)) return false;
    const uint32_t count = uint32_t{Le16(section, offset + 12)} + Le16(section, offset + 14);
    if (!Within(section.size(), offset + kDirectoryHeader, uint64_t{count} * kDirectoryEntry)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      if (++visited > kMaxVisited) return false;
      const uint64_t at = offset + kDirectoryHeader + uint64_t{i} * kDirectoryEntry;
      const uint32_t name = Le32(section, at), target = Le32(section, at + 4);
      if ((name & kNamed) != 0) continue;
      // Types and ids lead to directories, languages to data.
      if (((target & kSubdirectory) != 0) != (level < 2)) return false;
      const uint16_t number = static_cast<uint16_t>(name);
      if (level == 0 && !Directory(target & ~kSubdirectory, 1, number, 0)) return false;
      if (level == 1 && !Directory(target & ~kSubdirectory, 2, type, number)) return false;
      if (level == 2 && !Leaf(target, type, id, number)) return false;
    }
    return true;
  }

  bool Leaf(uint32_t offset, uint16_t type, uint16_t id, uint16_t language) {
    if (!Within(section.size(), offset, kDataEntry) || entries->size() >= kMaxLeaves) return false;
    const uint32_t data_address = Le32(section, offset), size = Le32(section, offset + 4);
    data_bytes += size;
    // Each resource's data is in the section once: more is a damaged tree.
    if (data_address < address || !Within(section.size(), data_address - address, size) ||
        data_bytes > section.size()) {
      return false;
    }
    entries->push_back({type, id, language, section.substr(data_address - address, size)});
    return true;
  }
};

// The first entry of a type (lowest id and language), or nullptr.
const ResourceEntry* FirstOf(const std::vector<ResourceEntry>& entries, uint16_t type) {
  const ResourceEntry* first = nullptr;
  for (const ResourceEntry& entry : entries) {
    if (entry.type == type && (!first || std::tie(entry.id, entry.language) < std::tie(first->id, first->language))) {
      first = &entry;
    }
  }
  return first;
}

bool ResourcesFrom(const std::vector<ResourceEntry>& entries, ExeResources* resources, std::string* error) {
  ExeResources result;
  if (const ResourceEntry* version = FirstOf(entries, kResourceVersion)) {
    if (!ParseVersionInfo(version->data, &result.version)) return Fail(error, "damaged version resource");
    result.has_version = true;
  }
  if (const ResourceEntry* group = FirstOf(entries, kResourceGroupIcon)) {
    std::vector<uint16_t> ids;
    if (!ParseIconGroup(group->data, &result.icon, &ids)) return Fail(error, "damaged icon group");
    for (size_t i = 0; i < ids.size(); ++i) {
      const auto image = std::find_if(entries.begin(), entries.end(), [&](const ResourceEntry& entry) {
        return entry.type == kResourceIcon && entry.id == ids[i];
      });
      if (image == entries.end()) return Fail(error, "the icon group names a missing image " + std::to_string(ids[i]));
      result.icon[i].data = image->data;
    }
  }
  if (const ResourceEntry* manifest = FirstOf(entries, kResourceManifest)) {
    result.has_manifest = true;
    result.manifest = manifest->data;
  }
  *resources = std::move(result);
  return true;
}

}  // namespace

std::string SerializeResourceTree(std::vector<ResourceEntry> entries, uint32_t address) {
  std::sort(entries.begin(), entries.end(), [](const ResourceEntry& a, const ResourceEntry& b) {
    return std::tie(a.type, a.id, a.language) < std::tie(b.type, b.id, b.language);
  });
  // type -> id -> indexes of the entries (one per language).
  std::map<uint16_t, std::map<uint16_t, std::vector<size_t>>> tree;
  for (size_t i = 0; i < entries.size(); ++i) tree[entries[i].type][entries[i].id].push_back(i);

  // Directories first (root, types, ids), then the data entries, then the
  // data, each on an 8-byte boundary.
  uint64_t next = kDirectoryHeader + kDirectoryEntry * tree.size();
  std::map<uint16_t, uint64_t> type_offsets;
  std::map<std::pair<uint16_t, uint16_t>, uint64_t> id_offsets;
  for (const auto& type : tree) {
    type_offsets[type.first] = next;
    next += kDirectoryHeader + kDirectoryEntry * type.second.size();
  }
  for (const auto& type : tree) {
    for (const auto& id : type.second) {
      id_offsets[{type.first, id.first}] = next;
      next += kDirectoryHeader + kDirectoryEntry * id.second.size();
    }
  }
  const uint64_t data_entries = next;
  uint64_t data_at = AlignUp(data_entries + kDataEntry * entries.size(), 8);

  std::string out;
  AppendDirectory(out, tree.size());
  for (const auto& type : tree) AppendEntry(out, type.first, static_cast<uint32_t>(type_offsets[type.first]) | kSubdirectory);
  for (const auto& type : tree) {
    AppendDirectory(out, type.second.size());
    for (const auto& id : type.second) {
      AppendEntry(out, id.first, static_cast<uint32_t>(id_offsets[{type.first, id.first}]) | kSubdirectory);
    }
  }
  for (const auto& type : tree) {
    for (const auto& id : type.second) {
      AppendDirectory(out, id.second.size());
      for (size_t index : id.second) {
        AppendEntry(out, entries[index].language, static_cast<uint32_t>(data_entries + kDataEntry * index));
      }
    }
  }
  for (const ResourceEntry& entry : entries) {
    AppendLe(out, static_cast<uint32_t>(address + data_at), 4);
    AppendLe(out, static_cast<uint32_t>(entry.data.size()), 4);
    AppendLe(out, 0, 4);  // code page
    AppendLe(out, 0, 4);
    data_at = AlignUp(data_at + entry.data.size(), 8);
  }
  for (const ResourceEntry& entry : entries) {
    out.resize(AlignUp(out.size(), 8), '\0');
    out += entry.data;
  }
  return out;
}

bool ReadResourceTree(const std::string& section, uint32_t address, std::vector<ResourceEntry>* entries,
                      std::string* error) {
  std::vector<ResourceEntry> result;
  TreeReader reader{section, address, &result};
  if (!reader.Directory(0, 0, 0, 0)) return Fail(error, "damaged resource section");
  entries->swap(result);
  return true;
}

const std::string& DefaultManifest() {
  static const std::string kManifest =
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">
    <application>
      <!-- Windows 10 and Windows 11 -->
      <supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>
    </application>
  </compatibility>
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>
    </windowsSettings>
  </application>
</assembly>
)";
  return kManifest;
}

bool BuildResourceSection(const ExeResources& resources, uint32_t address, std::string* section, std::string* error) {
  std::vector<ResourceEntry> entries;
  if (resources.has_version) {
    ResourceEntry version{kResourceVersion, 1, kUsEnglish, std::string()};
    if (!SerializeVersionInfo(resources.version, &version.data)) {
      return Fail(error, "the version information is longer than a version resource holds (64 KB)");
    }
    entries.push_back(std::move(version));
  }
  if (!resources.icon.empty()) {
    if (resources.icon.size() > 0xFFFF) return Fail(error, "an icon holds at most 65535 images");
    for (size_t i = 0; i < resources.icon.size(); ++i) {
      entries.push_back({kResourceIcon, static_cast<uint16_t>(i + 1), kUsEnglish, resources.icon[i].data});
    }
    entries.push_back({kResourceGroupIcon, 1, kUsEnglish, IconGroupBytes(resources.icon, 1)});
  }
  if (resources.has_manifest) entries.push_back({kResourceManifest, 1, kUsEnglish, resources.manifest});
  *section = entries.empty() ? std::string() : SerializeResourceTree(std::move(entries), address);
  return true;
}

bool ReadExeResources(const std::string& image, ExeResources* resources, std::string* section, uint32_t* address,
                      std::string* error) {
  PeImage pe;
  if (!ReadPeImage(image, &pe, error)) return false;
  *resources = ExeResources();
  section->clear();
  *address = 0;
  if (!FindResourceData(image, pe, section, address)) return true;
  std::vector<ResourceEntry> entries;
  return ReadResourceTree(*section, *address, &entries, error) && ResourcesFrom(entries, resources, error);
}

bool BuildLauncherWithResources(const std::string& stub, const ExeResources& resources, const BlockContents& contents,
                                const std::vector<IncludedFile>& files, std::string* launcher, std::string* error) {
  ResourcePlacement placement;
  std::string section, image, out;
  if (!PlanResourceSection(stub, &placement, error) ||
      !BuildResourceSection(resources, placement.virtual_address, &section, error) ||
      !PlaceResourceSection(stub, placement, section, &image, error) ||
      !BuildLauncher(image, contents, files, &out, error) || !UpdatePeChecksum(&out, error)) {
    return false;
  }
  launcher->swap(out);
  return true;
}

}  // namespace vexlo
