// Windows images for tests (no gtest: the fuzzers use it too): PE32+, file
// alignment 0x200, section alignment 0x1000, the sections one after another,
// each filled with its own byte (1, 2, ...). ".rsrc" holds the resources.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vexlo {
namespace testing_support {

struct TestSection {
  std::string name;
  uint32_t raw_size;  // a multiple of 0x200
};

constexpr uint32_t kTestSignatureOffset = 0x80;
constexpr uint32_t kTestOptionalHeader = kTestSignatureOffset + 24;
constexpr uint32_t kTestSectionTable = kTestOptionalHeader + 0xF0;

inline void PutTestLe(std::string& image, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::string TestImage(const std::vector<TestSection>& sections, uint32_t headers_size = 0x400) {
  std::string image(headers_size, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  PutTestLe(image, 60, kTestSignatureOffset);
  image.replace(kTestSignatureOffset, 4, std::string("PE\0\0", 4));
  image[kTestSignatureOffset + 6] = static_cast<char>(sections.size());
  image[kTestSignatureOffset + 20] = static_cast<char>(0xF0);  // optional header size
  PutTestLe(image, kTestOptionalHeader, 0x20B);                 // PE32+
  PutTestLe(image, kTestOptionalHeader + 32, 0x1000);
  PutTestLe(image, kTestOptionalHeader + 36, 0x200);
  PutTestLe(image, kTestOptionalHeader + 60, headers_size);
  PutTestLe(image, kTestOptionalHeader + 108, 16);
  uint32_t address = 0x1000;
  for (size_t i = 0; i < sections.size(); ++i) {
    const size_t header = kTestSectionTable + 40 * i;
    image.replace(header, sections[i].name.size(), sections[i].name);
    PutTestLe(image, header + 8, sections[i].raw_size);
    PutTestLe(image, header + 12, address);
    PutTestLe(image, header + 16, sections[i].raw_size);
    PutTestLe(image, header + 20, static_cast<uint32_t>(image.size()));
    if (sections[i].name == ".rsrc") {
      PutTestLe(image, kTestOptionalHeader + 112 + 16, address);
      PutTestLe(image, kTestOptionalHeader + 112 + 20, sections[i].raw_size);
    }
    image.append(sections[i].raw_size, static_cast<char>(i + 1));
    address += (sections[i].raw_size + 0xFFF) / 0x1000 * 0x1000;
  }
  PutTestLe(image, kTestOptionalHeader + 56, address);  // image size
  return image;
}

}  // namespace testing_support
}  // namespace vexlo
