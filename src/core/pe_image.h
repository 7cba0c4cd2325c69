// The headers of a Windows image (PE32 and PE32+), read and edited as bytes:
// the builder gives a copy of the stub a resource section of its own and a
// valid checksum; inspect finds the resources again. No platform header, so
// the Linux builder, the unit tests and the fuzzer run the same code.
//
// The launcher finds its configuration block at the end of the raw data of
// the last section header (block_format.h); a section added here is always
// that last header, with the highest file offset, so the block follows it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vexlo {

struct PeSection {
  std::string name;  // up to 8 bytes, trailing NULs dropped
  uint32_t virtual_size = 0;
  uint32_t virtual_address = 0;
  uint32_t raw_size = 0;
  uint32_t raw_offset = 0;
};

// Where the fields this code edits lie in the file, and their values.
struct PeImage {
  uint32_t signature_offset = 0;     // e_lfanew: "PE\0\0"
  uint32_t optional_offset = 0;      // the optional header
  uint32_t section_table_offset = 0;
  uint32_t section_alignment = 0;
  uint32_t file_alignment = 0;
  uint32_t size_of_headers = 0;
  uint32_t directory_count = 0;      // NumberOfRvaAndSizes, at most 16 used
  uint32_t directory_offset = 0;     // the first data directory
  bool pe32_plus = false;
  std::vector<PeSection> sections;   // in section table order
};

// Data directories this code reads or clears.
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kCertificateDirectory = 4;  // a file offset, not an address

// Checks and reads the headers. False with *error naming what is wrong.
bool ReadPeImage(const std::string& image, PeImage* pe, std::string* error);

// The (address, size) of a data directory; (0, 0) when the image has none.
void PeDirectory(const std::string& image, const PeImage& pe, uint32_t index, uint32_t* address,
                 uint32_t* size);

// The file offset of the CheckSum field.
uint32_t PeChecksumOffset(const PeImage& pe);

// The image checksum of a whole file (headers, sections and anything after
// them), as the system computes it: 16-bit little-endian words added with
// end-around carry, the CheckSum field counted as zero, then the file length.
uint32_t PeChecksum(const std::string& file, uint64_t checksum_offset);

// Writes PeChecksum into the file's CheckSum field. False when the file's
// headers are not readable.
bool UpdatePeChecksum(std::string* file, std::string* error);

// Where a new resource section goes in a stub: the stub's own resource
// section (when it is the last section) is dropped, and the new one follows
// the remaining sections in memory and in the file.
struct ResourcePlacement {
  PeImage pe;
  size_t kept_sections = 0;      // sections of the stub that stay
  uint32_t virtual_address = 0;  // the new section's address
  uint32_t raw_offset = 0;       // its file offset
  uint32_t memory_end = 0;       // end of the kept sections in memory, aligned
};

// False with *error (nothing is changed) when the stub has no room in its
// headers for another section header, or its resources lie in a section that
// cannot be dropped (not the last one, or one that holds more than them).
bool PlanResourceSection(const std::string& stub, ResourcePlacement* placement, std::string* error);

// The stub cut after its kept sections, followed by `section` (the resource
// data built for placement.virtual_address; empty: no resource section),
// with the section table, image size, data directories and initialised-data
// size adjusted. The certificate directory and the symbol table pointer are
// cleared: both describe bytes behind the sections, which are not copied.
// The checksum is left to the caller, who appends more bytes.
bool PlaceResourceSection(const std::string& stub, const ResourcePlacement& placement, const std::string& section,
                          std::string* image, std::string* error);

// The bytes of an image's resource data directory and its address; false
// when the image has no resources or they lie outside its sections' data.
bool FindResourceData(const std::string& image, const PeImage& pe, std::string* data, uint32_t* address);

}  // namespace vexlo
