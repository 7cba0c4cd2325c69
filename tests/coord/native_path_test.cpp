#include "coord/native_path.h"

#include <gtest/gtest.h>

#include "sys/path_text.h"

namespace vexlo {
namespace {

const char kExeDir[] = "C:\\apps\\svc\\";

std::string Compose(const std::string& directories, const std::string& old_path) {
  return ComposeNativeLibraryPath(directories, kExeDir, old_path, &CollapseBackslashes<char>);
}

TEST(ComposeNativeLibraryPath, DirectoriesInFrontOfTheOldPath) {
  struct Case {
    const char* directories;  // as expanded
    const char* expected;     // in front of the old PATH
  };
  const Case kCases[] = {
      {"", ""},
      {"lib;C:\\apps\\svc\\bin64", "C:\\apps\\svc\\lib;C:\\apps\\svc\\bin64;"},
      {"D:\\native\\;;lib", "D:\\native\\;C:\\apps\\svc\\lib;"},
      {";lib;", "C:\\apps\\svc\\lib;"},
      {";;", ""},
      // Relative after the quote; the quote stays where it was.
      {"\"lib", "C:\\apps\\svc\\\"lib;"},
      {"\"C:\\x", "\"C:\\x;"},
      // Dots stay as written, backslash runs fold, a network path keeps "\\".
      {"..\\lib\\\\x", "C:\\apps\\svc\\..\\lib\\x;"},
      {"\\\\server\\\\share", "\\\\server\\share;"},
      {"\\dir;C:dir", "C:\\apps\\svc\\dir;C:\\apps\\svc\\C:dir;"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(Compose(c.directories, "C:\\Windows"), std::string(c.expected) + "C:\\Windows")
        << c.directories;
  }
}

// The old PATH is kept whole at any length; without one, only the
// directories remain.
TEST(ComposeNativeLibraryPath, OldPathKeptWhole) {
  const std::string long_path = std::string(39990, 'p') + "\\last;end";
  const std::string value = Compose("lib", long_path);
  EXPECT_EQ(value, "C:\\apps\\svc\\lib;" + long_path);
  EXPECT_EQ(Compose("lib", ""), "C:\\apps\\svc\\lib");
  EXPECT_EQ(Compose("D:\\native\\;lib;", ""), "D:\\native\\;C:\\apps\\svc\\lib");
  EXPECT_EQ(Compose("", long_path), long_path);
}

}  // namespace
}  // namespace vexlo
