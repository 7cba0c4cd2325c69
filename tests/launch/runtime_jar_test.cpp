// The class names the launcher calls must exist in the built runtime jar: the
// test reads the jar's zip central directory (VEXLO_RUNTIME_JAR names it).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "launch/java_side.h"

namespace vexlo {
namespace {

uint32_t Little(const std::string& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

// Entry names of a zip file, from its central directory.
std::set<std::string> ZipEntryNames(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::set<std::string> names;
  if (bytes.size() < 22) return names;
  size_t end = bytes.size() - 22;  // the end record, behind which only its comment may follow
  while (end > 0 && Little(bytes, end, 4) != 0x06054b50) --end;
  if (Little(bytes, end, 4) != 0x06054b50) return names;
  const uint32_t count = Little(bytes, end + 10, 2);
  size_t entry = Little(bytes, end + 16, 4);
  for (uint32_t i = 0; i < count && Little(bytes, entry, 4) == 0x02014b50; ++i) {
    const uint32_t name_length = Little(bytes, entry + 28, 2);
    names.insert(bytes.substr(entry + 46, name_length));
    entry += 46 + name_length + Little(bytes, entry + 30, 2) + Little(bytes, entry + 32, 2);
  }
  return names;
}

TEST(RuntimeJar, HoldsTheClassesTheLauncherCalls) {
  const char* jar = std::getenv("VEXLO_RUNTIME_JAR");
  ASSERT_NE(jar, nullptr) << "run through ctest";
  const std::set<std::string> names = ZipEntryNames(jar);
  ASSERT_TRUE(names.count("META-INF/MANIFEST.MF")) << jar << " is no jar";
  for (const char* type : {kLauncherClass, kTavreliumLauncherClass, kFirstRunClass, LauncherClassFor('i'),
                           LauncherClassFor('\0')}) {
    EXPECT_TRUE(names.count(std::string(type) + ".class")) << type << " missing from " << jar;
  }
}

}  // namespace
}  // namespace vexlo
