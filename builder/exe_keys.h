// The [exe] keys that become texts of the version resource, shared by the
// compiler and inspect's printer.
#pragma once
#include <cstddef>
#include <vector>

namespace vexlo {
namespace builder {

struct VersionStringKey {
  const char* key;   // "company"
  const char* name;  // "CompanyName"
};

// In the order the string table holds them; "version" gives two texts.
const std::vector<VersionStringKey>& VersionStringKeys();

// UTF-16 characters per text: five of them fit the format's 64 KB.
constexpr size_t kVersionTextLimit = 4096;

// Names inspect writes the icon and a manifest of its own to.
constexpr char kIconFileName[] = "icon.ico";
constexpr char kManifestFileName[] = "app.manifest";

}  // namespace builder
}  // namespace vexlo
