// The resource section (.rsrc) that vexlo-build gives each service
// executable: the version resource, the icon and the application manifest,
// written into a copy of the stub in place of the stub's own resources. The
// launcher does not read them and never links this code; Windows does
// (Explorer, Task Manager, the loader's manifest lookup).
//
// The section is the usual three-level tree (type, id, language), all ids
// numeric, every resource in US English (0x0409):
//   RT_ICON (3) ids 1..n        the images of the icon file, as they are
//   RT_GROUP_ICON (14) id 1     their directory
//   RT_VERSION (16) id 1        VS_VERSIONINFO (version_info.h)
//   RT_MANIFEST (24) id 1       the application manifest
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/block_writer.h"
#include "core/icon_file.h"
#include "core/version_info.h"

namespace vexlo {

constexpr uint16_t kResourceIcon = 3;
constexpr uint16_t kResourceGroupIcon = 14;
constexpr uint16_t kResourceVersion = 16;
constexpr uint16_t kResourceManifest = 24;
constexpr uint16_t kUsEnglish = 0x0409;

struct ResourceEntry {
  uint16_t type = 0;
  uint16_t id = 0;
  uint16_t language = 0;
  std::string data;
};

// The section's bytes for entries with distinct (type, id, language), placed
// at `address` (the data entries hold addresses, not offsets).
std::string SerializeResourceTree(std::vector<ResourceEntry> entries, uint32_t address);

// The entries of a section at `address`, in tree order. Named entries, which
// this writer never produces, are skipped. False with *error when the tree
// is damaged (offsets outside the section, loops, more data than it holds).
bool ReadResourceTree(const std::string& section, uint32_t address, std::vector<ResourceEntry>* entries,
                      std::string* error);

// What a service executable carries.
struct ExeResources {
  bool has_version = false;
  VersionInfo version;
  std::vector<IconImage> icon;  // empty: no icon
  bool has_manifest = false;
  std::string manifest;
};

// Windows 10 and 11 compatibility, asInvoker, long paths: the manifest of
// every executable that does not bring its own.
const std::string& DefaultManifest();

// The section for the resources at `address`; empty when there are none.
// False when the version resource outgrows its format.
bool BuildResourceSection(const ExeResources& resources, uint32_t address, std::string* section,
                          std::string* error);

// The resources of a built image, and its resource section's bytes and
// address as stored. An image without resources gives empty ones. False
// with *error when the headers or the resource tree are damaged.
bool ReadExeResources(const std::string& image, ExeResources* resources, std::string* section, uint32_t* address,
                      std::string* error);

// BuildLauncher (block_writer.h) on a copy of the stub whose resource
// section is replaced by `resources`, then the image checksum over the whole
// file. Nothing is produced when the stub has no room for the section.
bool BuildLauncherWithResources(const std::string& stub, const ExeResources& resources, const BlockContents& contents,
                                const std::vector<IncludedFile>& files, std::string* launcher, std::string* error);

}  // namespace vexlo
