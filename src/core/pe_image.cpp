#include "core/pe_image.h"

#include <algorithm>

#include "core/byte_order.h"

namespace vexlo {
namespace {

// Offsets from the "PE\0\0" signature (the file header follows it).
constexpr uint32_t kSectionCount = 6;
constexpr uint32_t kSymbolTable = 12;
constexpr uint32_t kSymbolCount = 16;
constexpr uint32_t kOptionalSize = 20;
constexpr uint32_t kOptionalHeader = 24;
// Offsets in the optional header, the same for PE32 and PE32+ up to here.
constexpr uint32_t kInitializedDataSize = 8;
constexpr uint32_t kSectionAlignment = 32;
constexpr uint32_t kFileAlignment = 36;
constexpr uint32_t kImageSize = 56;
constexpr uint32_t kHeadersSize = 60;
constexpr uint32_t kChecksum = 64;
// Section header fields.
constexpr uint32_t kHeaderSize = 40;
constexpr uint32_t kSectionVirtualSize = 8;
constexpr uint32_t kSectionAddress = 12;
constexpr uint32_t kSectionRawSize = 16;
constexpr uint32_t kSectionRawOffset = 20;
constexpr uint32_t kSectionCharacteristics = 36;
// Initialised data, readable: what a resource section is.
constexpr uint32_t kResourceCharacteristics = 0x40000040u;

bool PowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

std::string Hex(uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

// Memory a section takes: its virtual size, or its raw size where a linker
// left the virtual size 0.
uint64_t SpanInMemory(const PeSection& section) {
  return std::max<uint64_t>(section.virtual_size, section.raw_size);
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

void SetDirectory(std::string& image, const PeImage& pe, uint32_t index, uint32_t address, uint32_t size) {
  if (index >= pe.directory_count) return;
  StoreLe(image, pe.directory_offset + 8 * index, address, 4);
  StoreLe(image, pe.directory_offset + 8 * index + 4, size, 4);
}

}  // namespace

bool ReadPeImage(const std::string& image, PeImage* pe, std::string* error) {
  *pe = PeImage();
  const uint64_t size = image.size();
  if (size < 64 || image[0] != 'M' || image[1] != 'Z') return Fail(error, "not a Windows executable (no MZ header)");
  const uint32_t h = Le32(image, 60);
  if (!Within(size, h, kOptionalHeader) || image.compare(h, 4, std::string("PE\0\0", 4)) != 0) {
    return Fail(error, "not a Windows executable (no PE signature)");
  }
  const uint32_t count = Le16(image, h + kSectionCount);
  const uint32_t optional_size = Le16(image, h + kOptionalSize);
  pe->signature_offset = h;
  pe->optional_offset = h + kOptionalHeader;
  pe->section_table_offset = pe->optional_offset + optional_size;
  if (count == 0 || !Within(size, pe->section_table_offset, uint64_t{count} * kHeaderSize)) {
    return Fail(error, "truncated section table");
  }
  const uint32_t magic = optional_size >= 2 ? Le16(image, pe->optional_offset) : 0;
  if (magic != 0x10B && magic != 0x20B) return Fail(error, "no PE32 or PE32+ optional header");
  pe->pe32_plus = magic == 0x20B;
  const uint32_t count_field = pe->pe32_plus ? 108 : 92;
  if (optional_size < count_field + 4) return Fail(error, "optional header too short");
  pe->section_alignment = Le32(image, pe->optional_offset + kSectionAlignment);
  pe->file_alignment = Le32(image, pe->optional_offset + kFileAlignment);
  pe->size_of_headers = Le32(image, pe->optional_offset + kHeadersSize);
  if (!PowerOfTwo(pe->file_alignment) || pe->file_alignment > 0x10000 || !PowerOfTwo(pe->section_alignment) ||
      pe->section_alignment < pe->file_alignment) {
    return Fail(error, "invalid section or file alignment");
  }
  pe->directory_offset = pe->optional_offset + count_field + 4;
  // Only the directories that fit the optional header count.
  const uint32_t room = (optional_size - count_field - 4) / 8;
  pe->directory_count = std::min({Le32(image, pe->optional_offset + count_field), room, 16u});
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = pe->section_table_offset + uint64_t{i} * kHeaderSize;
    PeSection section;
    section.name = image.substr(at, 8);
    section.name.erase(std::find(section.name.begin(), section.name.end(), '\0'), section.name.end());
    section.virtual_size = Le32(image, at + kSectionVirtualSize);
    section.virtual_address = Le32(image, at + kSectionAddress);
    section.raw_size = Le32(image, at + kSectionRawSize);
    section.raw_offset = Le32(image, at + kSectionRawOffset);
    if (section.raw_size > 0 && !Within(size, section.raw_offset, section.raw_size)) {
      return Fail(error, "section " + section.name + " extends past the end of the file");
    }
    pe->sections.push_back(section);
  }
  return true;
}

void PeDirectory(const std::string& image, const PeImage& pe, uint32_t index, uint32_t* address, uint32_t* size) {
  *address = index < pe.directory_count ? Le32(image, pe.directory_offset + 8 * index) : 0;
  *size = index < pe.directory_count ? Le32(image, pe.directory_offset + 8 * index + 4) : 0;
}

uint32_t PeChecksumOffset(const PeImage& pe) { return pe.optional_offset + kChecksum; }

uint32_t PeChecksum(const std::string& file, uint64_t checksum_offset) {
  uint64_t sum = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  const uint64_t size = file.size();
  // Bytes of the CheckSum field count as zero.
  auto byte = [&](uint64_t i) -> uint32_t {
    return i < size && (i < checksum_offset || i >= checksum_offset + 4) ? bytes[i] : 0;
  };
  for (uint64_t i = 0; i < size; i += 2) {
    sum += byte(i) | (byte(i + 1) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + size);
}

bool UpdatePeChecksum(std::string* file, std::string* error) {
  PeImage pe;
  if (!ReadPeImage(*file, &pe, error)) return false;
  const uint32_t offset = PeChecksumOffset(pe);
  StoreLe(*file, offset, PeChecksum(*file, offset), 4);
  return true;
}

bool PlanResourceSection(const std::string& stub, ResourcePlacement* placement, std::string* error) {
  *placement = ResourcePlacement();
  PeImage& pe = placement->pe;
  if (!ReadPeImage(stub, &pe, error)) return false;
  if (pe.directory_count <= kResourceDirectory) return Fail(error, "its headers have no resource directory entry");
  if (pe.size_of_headers > stub.size()) return Fail(error, "its headers claim more bytes than the file holds");
  size_t kept = pe.sections.size();
  uint32_t address = 0, size = 0;
  PeDirectory(stub, pe, kResourceDirectory, &address, &size);
  if (address != 0 || size != 0) {
    // Only a last section that holds nothing but the resources can go: the
    // sections before it stay where the code expects them.
    const PeSection& last = pe.sections.back();
    const bool in_last = address >= last.virtual_address && address - last.virtual_address < SpanInMemory(last);
    if (!in_last || last.name != ".rsrc" || kept == 1) {
      return Fail(error, "its resources are not in a last .rsrc section of their own, so they cannot be replaced");
    }
    --kept;
  }
  // The headers take the start of the image in memory too: address 0 would
  // read as "no resources".
  uint64_t raw_end = pe.size_of_headers, memory_end = std::max<uint32_t>(pe.size_of_headers, 1);
  uint64_t first_raw = UINT64_MAX;
  for (size_t i = 0; i < kept; ++i) {
    const PeSection& section = pe.sections[i];
    memory_end = std::max(memory_end, section.virtual_address + AlignUp(SpanInMemory(section), pe.section_alignment));
    if (section.raw_size == 0) continue;
    raw_end = std::max<uint64_t>(raw_end, uint64_t{section.raw_offset} + section.raw_size);
    first_raw = std::min<uint64_t>(first_raw, section.raw_offset);
  }
  const uint64_t slot = pe.section_table_offset + uint64_t{kept} * kHeaderSize;
  const uint64_t headers_end = std::min<uint64_t>(pe.size_of_headers, first_raw);
  bool free_slot = slot + kHeaderSize <= headers_end;
  // A slot the stub's own resource header does not take must be unused.
  for (uint64_t i = slot; free_slot && kept == pe.sections.size() && i < slot + kHeaderSize; ++i) {
    free_slot = stub[i] == '\0';
  }
  if (!free_slot) {
    return Fail(error, "its headers have no room for another section header (the section table ends at " +
                           Hex(slot) + ", the headers at " + Hex(headers_end) + ")");
  }
  memory_end = AlignUp(memory_end, pe.section_alignment);
  raw_end = AlignUp(raw_end, pe.file_alignment);
  if (memory_end > UINT32_MAX || raw_end > UINT32_MAX) return Fail(error, "its sections end beyond 4 GB");
  placement->kept_sections = kept;
  placement->memory_end = static_cast<uint32_t>(memory_end);
  placement->virtual_address = static_cast<uint32_t>(memory_end);
  placement->raw_offset = static_cast<uint32_t>(raw_end);
  return true;
}

bool PlaceResourceSection(const std::string& stub, const ResourcePlacement& placement, const std::string& section,
                          std::string* image, std::string* error) {
  const PeImage& pe = placement.pe;
  const uint64_t raw_size = AlignUp(section.size(), pe.file_alignment);
  const uint64_t image_size =
      section.empty() ? placement.memory_end
                      : placement.virtual_address + AlignUp(section.size(), pe.section_alignment);
  if (image_size > UINT32_MAX || placement.raw_offset + raw_size > UINT32_MAX) {
    return Fail(error, "the resources do not fit a Windows image (4 GB)");
  }
  std::string out = stub.substr(0, placement.raw_offset);
  out.resize(placement.raw_offset, '\0');
  out += section;
  out.resize(placement.raw_offset + raw_size, '\0');

  const uint64_t slot = pe.section_table_offset + uint64_t{placement.kept_sections} * kHeaderSize;
  uint64_t dropped_raw = 0;
  for (size_t i = placement.kept_sections; i < pe.sections.size(); ++i) dropped_raw += pe.sections[i].raw_size;
  out.replace(slot, (pe.sections.size() - placement.kept_sections) * kHeaderSize,
              (pe.sections.size() - placement.kept_sections) * kHeaderSize, '\0');
  size_t count = placement.kept_sections;
  if (!section.empty()) {
    out.replace(slot, 8, std::string(".rsrc\0\0\0", 8));
    StoreLe(out, slot + kSectionVirtualSize, static_cast<uint32_t>(section.size()), 4);
    StoreLe(out, slot + kSectionAddress, placement.virtual_address, 4);
    StoreLe(out, slot + kSectionRawSize, static_cast<uint32_t>(raw_size), 4);
    StoreLe(out, slot + kSectionRawOffset, placement.raw_offset, 4);
    StoreLe(out, slot + kSectionCharacteristics, kResourceCharacteristics, 4);
    ++count;
  }
  const uint32_t h = pe.signature_offset;
  StoreLe(out, h + kSectionCount, static_cast<uint32_t>(count), 2);
  StoreLe(out, h + kSymbolTable, 0, 4);
  StoreLe(out, h + kSymbolCount, 0, 4);
  StoreLe(out, pe.optional_offset + kImageSize, static_cast<uint32_t>(image_size), 4);
  const uint64_t initialized = Le32(out, pe.optional_offset + kInitializedDataSize);
  const uint64_t adjusted = (initialized > dropped_raw ? initialized - dropped_raw : 0) + raw_size;
  StoreLe(out, pe.optional_offset + kInitializedDataSize, static_cast<uint32_t>(std::min<uint64_t>(adjusted, UINT32_MAX)), 4);
  SetDirectory(out, pe, kResourceDirectory, section.empty() ? 0 : placement.virtual_address,
               static_cast<uint32_t>(section.size()));
  // A signature covered the old bytes and lay behind the sections: it is gone.
  SetDirectory(out, pe, kCertificateDirectory, 0, 0);
  image->swap(out);
  return true;
}

bool FindResourceData(const std::string& image, const PeImage& pe, std::string* data, uint32_t* address) {
  uint32_t size = 0;
  PeDirectory(image, pe, kResourceDirectory, address, &size);
  if (*address == 0 || size == 0) return false;
  for (const PeSection& section : pe.sections) {
    if (*address < section.virtual_address) continue;
    const uint64_t from = *address - section.virtual_address;
    if (!Within(section.raw_size, from, size)) continue;
    *data = image.substr(section.raw_offset + from, size);
    return true;
  }
  return false;
}

}  // namespace vexlo
