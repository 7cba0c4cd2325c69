// Helpers for the builder's tests: a minimal launcher stub, scratch folders
// and the repository's files.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vexlo {
namespace builder {
namespace testing_support {

// The smallest image the builder accepts: an MZ header pointing at a PE32+
// header (file alignment 0x200, section alignment 0x1000, headers 0x200
// long) with one section at 0x1000 whose raw data ends at 0x400.
inline std::string MinimalStub() {
  std::string image(0x400, '\0');
  auto put = [&image](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  image[0] = 'M';
  image[1] = 'Z';
  const size_t h = 0x80, optional = h + 24;
  image[60] = static_cast<char>(h);
  image.replace(h, 4, std::string("PE\0\0", 4));
  image[h + 6] = 1;       // one section
  image[h + 20] = 0xF0;   // optional header size
  put(optional, 0x20B);   // PE32+
  put(optional + 32, 0x1000);
  put(optional + 36, 0x200);
  put(optional + 56, 0x2000);  // image size
  put(optional + 60, 0x200);   // headers size
  put(optional + 108, 16);     // data directories
  const size_t section = optional + 0xF0;
  image.replace(section, 5, ".text");
  put(section + 8, 0x200);     // virtual size
  put(section + 12, 0x1000);   // address
  put(section + 16, 0x200);    // raw size
  put(section + 20, 0x200);    // raw offset
  return image;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The repository root (ctest passes it; the tests also run under Wine).
inline std::filesystem::path SourceDir() {
  const char* dir = std::getenv("VEXLO_SOURCE_DIR");
  if (dir == nullptr) ADD_FAILURE() << "VEXLO_SOURCE_DIR is not set: run the tests through ctest";
  return std::filesystem::u8path(dir ? dir : ".");
}

// A fresh folder per test, removed when the test passes.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / "vexlo-builder-tests" /
           (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    stub_ = dir_ / "stub.exe";
    WriteBytes(stub_, MinimalStub());
  }
  void TearDown() override {
    if (!HasFailure()) {
      std::error_code ignored;
      std::filesystem::remove_all(dir_, ignored);
    }
  }
  std::string Path(const std::string& name) const { return (dir_ / std::filesystem::u8path(name)).u8string(); }

  std::filesystem::path dir_;
  std::filesystem::path stub_;
};

}  // namespace testing_support
}  // namespace builder
}  // namespace vexlo
