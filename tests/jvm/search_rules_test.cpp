#include "jvm/search_rules.h"

#include <gtest/gtest.h>

#include <set>

#include "jvm/packed_jre.h"
#include "jvm/registry_keys.h"

namespace vexlo {
namespace {

TEST(SplitSearchSequence, LettersAndTexts) {
  const std::vector<SearchEntry> entries = SplitSearchSequence(";;Y;EJAVA_HOME;;EJDK_HOME;B;x y;");
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].letter, 'Y');
  EXPECT_EQ(entries[0].location, "");
  EXPECT_EQ(entries[1].letter, 'E');
  EXPECT_EQ(entries[1].location, "JAVA_HOME");
  EXPECT_EQ(entries[2].location, "JDK_HOME");
  EXPECT_EQ(entries[3].letter, 'B');
  EXPECT_EQ(entries[4].letter, 'x');
  EXPECT_EQ(entries[4].location, " y");
  EXPECT_TRUE(SplitSearchSequence("").empty());
  EXPECT_TRUE(SplitSearchSequence(";;;").empty());
}

TEST(RetriedInRelativePass, AbsoluteDirectoryEntriesAreSkippedExceptB) {
  const struct {
    char letter;
    const char* location;
    bool retried;
  } cases[] = {
      {'A', "jre", true},         {'A', "C:\\jre", false},   {'R', "C:\\jre", false},
      {'R', "..\\jre", true},     {'B', "C:\\jre", true},    {'B', "jre", true},
      {'A', "C:x", false},        {'A', "\\\\srv\\jre", false}, {'A', "\\jre", true},
      {'A', "C", true},           {'A', "", true},           {'E', "JAVA_HOME", false},
      {'S', "", false},           {'Y', "", false},          {'a', "jre", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RetriedInRelativePass({c.letter, c.location}), c.retried) << c.letter << c.location;
  }
}

TEST(LocationFileLine, FirstLineWithoutLineEnds) {
  std::string line = "unchanged";
  EXPECT_FALSE(LocationFileLine("", &line));
  EXPECT_EQ(line, "unchanged");
  EXPECT_TRUE(LocationFileLine("C:\\jre7\r\nsecond\r\n", &line));
  EXPECT_EQ(line, "C:\\jre7");
  EXPECT_TRUE(LocationFileLine("jre\r\r", &line));
  EXPECT_EQ(line, "jre");
  EXPECT_TRUE(LocationFileLine("no line end", &line));
  EXPECT_EQ(line, "no line end");
  EXPECT_TRUE(LocationFileLine("\r\nC:\\jre", &line));  // an empty first line still counts
  EXPECT_EQ(line, "");
  EXPECT_TRUE(LocationFileLine(std::string("a\0b\n", 4), &line));
  EXPECT_EQ(line, "a");
}

TEST(RegistryKeys, CacheAndLocatedNames) {
  EXPECT_EQ(VersionCacheKeyName("c:\\program files\\java\\jre7\\bin\\java.exe"),
            "SOFTWARE\\morvane-digital\\vexlo\\jvms\\c:/program files/java/jre7/bin/java.exe");
  EXPECT_EQ(LocatedJvmPath("c:/jdk/bin/java.exe"), "c:\\jdk\\bin\\java.exe");
  EXPECT_EQ(VendorVersionName("zulu-17"), "17");
  EXPECT_EQ(VendorVersionName("17.0.2.8"), "17.0.2.8");
  EXPECT_EQ(VendorVersionName("current"), "current");
}

TEST(CurrentVersionKey, GreaterVersionWinsAndTiesGoToTheJre) {
  std::string key;
  ASSERT_TRUE(CurrentVersionKey("1.7", "1.7", false, &key));
  EXPECT_EQ(key, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.7");
  ASSERT_TRUE(CurrentVersionKey("1.8", "1.7", false, &key));
  EXPECT_EQ(key, "SOFTWARE\\JavaSoft\\Java Development Kit\\1.8");
  ASSERT_TRUE(CurrentVersionKey("", "1.7", false, &key));
  EXPECT_EQ(key, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.7");
  ASSERT_TRUE(CurrentVersionKey("11", "9", false, &key));  // the leading number decides
  EXPECT_EQ(key, "SOFTWARE\\JavaSoft\\Java Development Kit\\11");
  ASSERT_TRUE(CurrentVersionKey("", "", false, &key));
  EXPECT_EQ(key, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\");
  // A JDK required: only the JDK key, and nothing at all without its version.
  ASSERT_TRUE(CurrentVersionKey("1.6", "", true, &key));
  EXPECT_EQ(key, "SOFTWARE\\JavaSoft\\Java Development Kit\\1.6");
  key = "unchanged";
  EXPECT_FALSE(CurrentVersionKey("", "", true, &key));
  EXPECT_EQ(key, "unchanged");
}

TEST(PackedJre, RtJarGoesLastAndMarksThePackedState) {
  EXPECT_STREQ(kPackedJars[sizeof(kPackedJars) / sizeof(kPackedJars[0]) - 1], "lib\\rt.jar");
  EXPECT_TRUE(RuntimeIsPacked(true, false, false));   // fresh
  EXPECT_TRUE(RuntimeIsPacked(true, true, false));    // stopped before rt.jar
  EXPECT_TRUE(RuntimeIsPacked(true, false, true));
  EXPECT_FALSE(RuntimeIsPacked(true, true, true));    // prepared; the pack could not be deleted
  EXPECT_FALSE(RuntimeIsPacked(false, false, false));
}

TEST(PackedJre, OneMutexNamePerDirectory) {
  std::set<std::string> names;
  for (const char* directory : {"c:\\app\\jre", "c:\\app\\jre2", "c:\\other\\jre", ""}) {
    const std::string name = PreparationMutexName(directory);
    EXPECT_EQ(name, PreparationMutexName(directory));
    EXPECT_EQ(name.rfind("Global\\", 0), 0u);
    EXPECT_EQ(name.find('\\', 7), std::string::npos) << name;
    EXPECT_LT(name.size(), 260u);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 4u);
  EXPECT_EQ(PreparationMutexName(std::string(100000, 'x')).size(), PreparationMutexName("x").size());
}

}  // namespace
}  // namespace vexlo
