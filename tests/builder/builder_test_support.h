// Helpers for the builder's tests: a minimal launcher stub, scratch folders
// and the repository's files.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/pe_test_image.h"

namespace vexlo {
namespace builder {
namespace testing_support {

// The smallest image the builder accepts: one section behind headers of
// 0x200 bytes.
inline std::string MinimalStub() { return vexlo::testing_support::TestImage({{".text", 0x200}}, 0x200); }

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
