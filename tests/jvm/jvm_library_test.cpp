#include "jvm/jvm_library.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(BinDirectoryOf, DropsTheExecutableAndItsBackslash) {
  EXPECT_EQ(BinDirectoryOf("c:\\jre\\bin\\javaw.exe"), "c:\\jre\\bin");
  EXPECT_EQ(BinDirectoryOf("c:\\jre\\bin\\java.exe"), "c:\\jre\\bin");
  EXPECT_EQ(BinDirectoryOf("c:\\jre\\bin\\JAVAW.EXE"), "c:\\jre\\bin\\J");  // exact case only
  EXPECT_EQ(BinDirectoryOf("java.exe"), "");
  EXPECT_EQ(BinDirectoryOf("x"), "");
  const std::string deep = "c:\\" + std::string(3000, 'd') + "\\bin";
  EXPECT_EQ(BinDirectoryOf(deep + "\\java.exe"), deep);  // no 2000-byte limit
}

TEST(JreJavaExecutableBeside, PrivateRuntimeOfAJdk) {
  EXPECT_EQ(JreJavaExecutableBeside("c:\\jdk\\bin\\java.exe"), "c:\\jdk\\bin\\..\\jre\\bin\\java.exe");
  EXPECT_EQ(JreJavaExecutableBeside("c:\\jdk\\bin\\javaw.exe"), "c:\\jdk\\bin\\..\\jre\\bin\\java.exe");
}

TEST(PathWithBinDirectory, BinGoesLast) {
  EXPECT_EQ(PathWithBinDirectory("C:\\windows", "c:\\jre\\bin"), "C:\\windows;c:\\jre\\bin");
  EXPECT_EQ(PathWithBinDirectory("", "c:\\jre\\bin"), "c:\\jre\\bin");
  const std::string long_path(20000, 'p');
  EXPECT_EQ(PathWithBinDirectory(long_path, "b"), long_path + ";b");
}

TEST(VmTypeTrials, PreferredFirstThenTheFixedList) {
  using Types = std::vector<std::string>;
  EXPECT_EQ(VmTypeTrials(""), (Types{"hotspot", "client", "server", "classic", "jrockit"}));
  EXPECT_EQ(VmTypeTrials("client"), (Types{"client", "hotspot", "client", "server", "classic", "jrockit"}));
}

}  // namespace
}  // namespace vexlo
