// Fuzzes the resource section writer and its readers. First byte even: a
// configuration (version numbers and texts, a manifest) and an icon file from
// the bytes; whatever the icon reader accepts must build a launcher whose
// resources and configuration block read back exactly, with a valid
// checksum. First byte odd: the bytes as a stub and as a resource section,
// which the readers and the writer must refuse or handle cleanly.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/block_format.h"
#include "core/byte_order.h"
#include "core/pe_image.h"
#include "core/resource_section.h"
#include "support/memory_source.h"
#include "support/pe_test_image.h"

namespace {

using namespace vexlo;

void DiscardLine(const char*, ...) {}

// UTF-16 text from bytes, without the NULs the builder refuses.
WideString WideFrom(const std::string& bytes) {
  WideString text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const WideChar c = static_cast<WideChar>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    if (c != 0) text.push_back(c);
  }
  return text;
}

void Configuration(FuzzedDataProvider& input) {
  static const std::string kStub = testing_support::TestImage({{".text", 0x400}, {".reloc", 0x200}});
  ExeResources resources;
  resources.has_version = input.ConsumeBool();
  for (uint16_t& part : resources.version.version) part = input.ConsumeIntegral<uint16_t>();
  for (int i = input.ConsumeIntegralInRange(0, 6); i > 0; --i) {
    const WideString key = WideFrom(input.ConsumeRandomLengthString(64));
    resources.version.strings.emplace_back(key, WideFrom(input.ConsumeRandomLengthString(256)));
  }
  resources.has_manifest = input.ConsumeBool();
  resources.manifest = input.ConsumeRandomLengthString(512);
  std::string error;
  if (!ParseIconFile(input.ConsumeRemainingBytesAsString(), &resources.icon, &error) && error.empty()) {
    __builtin_trap();  // a refusal always says why
  }
  BlockContents contents;
  contents.texts = {{101, "fuzz"}};
  std::string launcher;
  if (!BuildLauncherWithResources(kStub, resources, contents, {}, &launcher, &error)) return;

  ExeResources back;
  std::string section;
  uint32_t address = 0;
  if (!ReadExeResources(launcher, &back, &section, &address, &error)) __builtin_trap();
  if (!resources.has_version) resources.version = VersionInfo();
  if (!resources.has_manifest) resources.manifest.clear();
  PeImage pe;
  if (back.has_version != resources.has_version || !(back.version == resources.version) ||
      !(back.icon == resources.icon) || back.has_manifest != resources.has_manifest ||
      back.manifest != resources.manifest || !ReadPeImage(launcher, &pe, &error) ||
      PeChecksum(launcher, PeChecksumOffset(pe)) != Le32(launcher, PeChecksumOffset(pe))) {
    __builtin_trap();
  }
  // The launcher still finds its block behind the last section.
  testing_support::MemoryFile file{launcher};
  BlockStream stream{file.Source(), DiscardLine};
  uint64_t start = 0, end = 0;
  ConfigTables tables;
  if (!FindBlockStart(stream, &start) || start != uint64_t{pe.sections.back().raw_offset} + pe.sections.back().raw_size ||
      !ReadBlock(stream, "en", &tables, &end) || end != launcher.size()) {
    __builtin_trap();
  }
}

void Hostile(const std::string& bytes) {
  ExeResources resources;
  std::string section, error, image;
  uint32_t address = 0;
  ReadExeResources(bytes, &resources, &section, &address, &error);
  std::vector<ResourceEntry> entries;
  ReadResourceTree(bytes, 0x1000, &entries, &error);
  VersionInfo version;
  ParseVersionInfo(bytes, &version);
  ResourcePlacement placement;
  if (!PlanResourceSection(bytes, &placement, &error)) return;
  const std::string resources_section = SerializeResourceTree({{24, 1, 0x409, "manifest"}}, placement.virtual_address);
  if (!PlaceResourceSection(bytes, placement, resources_section, &image, &error)) return;
  PeImage pe;
  if (!ReadPeImage(image, &pe, &error) || pe.sections.back().raw_offset != placement.raw_offset ||
      !FindResourceData(image, pe, &section, &address) || section != resources_section) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    Hostile(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  } else {
    FuzzedDataProvider input(data + 1, size - 1);
    Configuration(input);
  }
  return 0;
}
