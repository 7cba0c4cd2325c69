// Reading a built launcher back: the stored configuration block and included
// files, and the configuration file that builds the same executable again.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/block_writer.h"
#include "core/resource_section.h"

namespace vexlo {
namespace builder {

struct LauncherImage {
  uint64_t block_start = 0;
  BlockContents stored;             // the records in file order, as stored
  std::vector<IncludedFile> files;  // as the launcher extracts them
  std::string block_bytes;          // the block as stored
  std::string file_bytes;           // the included-file data as stored
  std::string trailing;             // bytes after the included files
  ExeResources resources;           // the version resource, icon and manifest
  std::string resource_section;     // the resource data as stored (empty: none)
  uint32_t resource_address = 0;
  std::string resource_error;       // why the resources could not be read
};

// False with *error when the bytes hold no readable block; the error names
// the block reader's own failure ("Internal Error: readString").
bool ReadLauncherImage(const std::string& bytes, LauncherImage* image, std::string* error);

struct InspectOptions {
  std::string executable_name;  // shown in the header comment
  std::string extract_dir;      // included files go there; empty: only listed
  // Absolute path the printed configuration will be read from: the base of
  // the relative paths it prints.
  std::string config_path;
};

struct InspectOutput {
  std::string toml;
  // Where a rebuild from `toml` would not give the same bytes, and why.
  std::vector<std::string> warnings;
  // Files to write out (path, bytes) when extract_dir is set.
  std::vector<std::pair<std::string, std::string>> extracted;
};

InspectOutput DescribeLauncher(const LauncherImage& image, const InspectOptions& options);

}  // namespace builder
}  // namespace vexlo
