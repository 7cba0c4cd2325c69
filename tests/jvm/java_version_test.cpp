#include "jvm/java_version.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/log_recorder.h"

namespace vexlo {
namespace {

using testing_support::RecordedLines;
using testing_support::RecordLine;

struct OutputCase {
  const char* output;
  bool found;
  const char* version;
};

TEST(VersionFromOutput, TextBetweenTheQuotesOfTheFirstVersionLine) {
  const OutputCase cases[] = {
      {"java version \"1.7.0_45\"\nJava(TM) SE Runtime Environment\n", true, "1.7.0_45"},
      {"openjdk version \"1.8.0_262\"\n", true, "1.8.0_262"},
      // Text after the closing quote is not part of the version.
      {"openjdk version \"17.0.2\" 2022-01-18\nOpenJDK Runtime Environment\n", true, "17.0.2"},
      {"java version \"1.7.0_45\"\r\n", true, "1.7.0_45"},
      {"openjdk version \"21.0.2\" 2024-01-16", true, "21.0.2"},  // no final line feed
      // Notes that JVMs print before the version line when options come from
      // the environment.
      {"Picked up JAVA_TOOL_OPTIONS: -Xmx1g\nopenjdk version \"11.0.2\"\n", true, "11.0.2"},
      {"Picked up _JAVA_OPTIONS: -Dx=\"q\"\r\nNOTE: Picked up JDK_JAVA_OPTIONS: -Dy\r\n"
       "java version \"1.8.0_31\"\r\n",
       true, "1.8.0_31"},
      {"a\nb\nc\nd\nopenjdk version \"9\"\n", true, "9"},  // the fifth line still counts
      {"a\nb\nc\nd\ne\nopenjdk version \"9\"\n", false, ""},  // the sixth does not
      // Malformed version lines refuse the runtime.
      {"openjdk version \"17.0.2\n", false, ""},  // no closing quote
      {"java version \"\"\n", false, ""},          // empty version
      {"java version \"", false, ""},              // remainder shorter than two characters
      {"java version \"1.8\"\nopenjdk version \"9\"\n", true, "1.8"},  // the first one wins
      {"java version \"x\ny\"\n", false, ""},  // the quote must close on the same line
      {"openjdk version 17\n", false, ""},
      {"Java version \"1.8.0\"\n", false, ""},  // case-sensitive
      {" java version \"1.8.0\"\n", false, ""},
      {"", false, ""},
      {"Error: could not find java.dll\n", false, ""},
  };
  for (const OutputCase& c : cases) {
    std::string version = "unchanged";
    EXPECT_EQ(VersionFromOutput(c.output, &version), c.found) << c.output;
    if (c.found) EXPECT_EQ(version, c.version) << c.output;
    else EXPECT_EQ(version, "unchanged") << c.output;
  }
  std::string version;
  EXPECT_FALSE(VersionFromOutput(std::string("java version \"1.8\0x\"\n", 21), &version));
}

TEST(CachedVersionTrusted, MarkerQuotesAndEmptyAreRunAgain) {
  EXPECT_TRUE(CachedVersionTrusted("1.7.0_45"));
  EXPECT_TRUE(CachedVersionTrusted("1.0.0_1"));
  EXPECT_FALSE(CachedVersionTrusted("1.0.0"));
  EXPECT_FALSE(CachedVersionTrusted("17.0.2\" 2022-01-1"));  // an older launcher's cut
  EXPECT_FALSE(CachedVersionTrusted(""));
}

struct BoundCase {
  const char* version;
  const char* minimum;
  const char* maximum;
  bool accepted;
};

TEST(VersionAcceptable, BoundsActAsPrefixes) {
  const BoundCase cases[] = {
      {"1.7.0_80", "", "1.7", true},
      {"1.8.0_31", "", "1.7", false},
      {"1.5.0_22", "1.5", "", true},
      {"1.6.0_45", "1.5", "", true},
      {"1.4.2_19", "1.5", "", false},
      // Digit runs compare as numbers, over the bound's runs only.
      {"1.6.0_45", "1.6.0_5", "", true}, {"1.10.0", "1.5", "", true}, {"11.0.10", "11.0.9", "", true},
      {"1.8.0_392", "1.8.0_92", "1.8", true}, {"1.8.0_45", "1.8.0_60", "", false}, {"1.80", "", "1.8", false},
      {"1.5", "1.5.0", "", false},  // the version ends first
      {"1.5.0", "1.5.0", "1.5.0", true},
      {"anything", "", "", true},
      // The leading number: a longer digit run is the greater.
      {"11.0.2", "9", "", true},
      {"9.0.4", "11", "", false},
      {"17.0.2", "1.8", "", true},
      {"17.0.2", "", "1.8", false},
      {"17.0.2", "", "1", false},
      {"1.8.0_31", "", "1", true},
      {"17.0.2", "17", "17", true},
      {"21", "11", "17", false},
      {"9.0.4", "1.8", "11", true},
  };
  for (const BoundCase& c : cases) {
    EXPECT_EQ(versionAcceptable(c.version, c.minimum, c.maximum, true, RecordLine), c.accepted)
        << c.version << " [" << c.minimum << ", " << c.maximum << "]";
  }
}

TEST(VersionAcceptable, PreReleasesOnlyWhenAllowed) {
  for (const char* version : {"1.8.0-ea", "9-beta", "11-rc1", "1.7.0_04-ea-b12"}) {
    RecordedLines().clear();
    EXPECT_FALSE(versionAcceptable(version, "", "", false, RecordLine)) << version;
    EXPECT_EQ(RecordedLines(), std::vector<std::string>{"beta vm not allowed"});
    EXPECT_TRUE(versionAcceptable(version, "", "", true, RecordLine)) << version;
  }
  RecordedLines().clear();
  EXPECT_TRUE(versionAcceptable("1.8.0-EA", "", "", false, RecordLine));  // case-sensitive
  EXPECT_TRUE(RecordedLines().empty());
  // The pre-release rule comes first: no bound is looked at.
  EXPECT_FALSE(versionAcceptable("17-ea", "1.5", "", false, RecordLine));
}

TEST(CompareVersions, DigitRunsAsNumbersOtherRunsAsBytes) {
  EXPECT_GT(CompareVersions("1.6.0_45", "1.6.0_5"), 0);
  EXPECT_GT(CompareVersions("1.10.0", "1.5"), 0);
  EXPECT_EQ(CompareVersions("1.8.0_05", "1.8.0_5"), 0);  // leading zeros
  EXPECT_GT(CompareVersions("1.8.0_100000000000000000000001", "1.8.0_99999999999999999999999"), 0);
  EXPECT_LT(CompareVersions("1.8.0-ea", "1.8.0_1"), 0);  // other characters as bytes: '-' < '_'
  EXPECT_LT(CompareVersions("1.8.0_1", "1.8.0_a"), 0);   // a digit against a letter: '1' < 'a'
  EXPECT_LT(CompareVersions("1.5", "1.5.0"), 0);
  EXPECT_EQ(CompareVersions("1.7", "1.7"), 0);
  EXPECT_LT(CompareVersions("9.0.4", "17"), 0);
  EXPECT_GT(CompareVersions("11.0.2", "9.0.4"), 0);
  EXPECT_GT(CompareVersions("17.0.2", "1.8.0_31"), 0);
  EXPECT_LT(CompareVersions("", "1"), 0);
  EXPECT_GT(CompareVersions("\xff", "1"), 0);  // unsigned bytes
}

TEST(CompareVersions, SortsTheRegistryNames) {
  std::vector<std::string> names = {"1.6", "1.7.0_80", "1.6.0_45", "1.7"};
  SortRegistryVersions(&names);
  EXPECT_EQ(names, (std::vector<std::string>{"1.6", "1.6.0_45", "1.7", "1.7.0_80"}));
  names = {"17", "9.0.4", "21.0.2", "1.8", "11"};
  SortRegistryVersions(&names);
  EXPECT_EQ(names, (std::vector<std::string>{"1.8", "9.0.4", "11", "17", "21.0.2"}));
  names = {"11.0.10", "1.8.0_392", "11.0.9", "1.8.0_92"};
  SortRegistryVersions(&names);
  EXPECT_EQ(names, (std::vector<std::string>{"1.8.0_92", "1.8.0_392", "11.0.9", "11.0.10"}));
  // A consistent order for any texts, digits or not.
  names = {"x", "", "10", ".", "9", "1.8", "b1", "100"};
  SortRegistryVersions(&names);
  EXPECT_EQ(names, (std::vector<std::string>{"", ".", "1.8", "9", "10", "100", "b1", "x"}));
}

// Items with the same version (the same version under several vendor keys)
// keep the order they came in.
TEST(SortByVersion, KeepsTheOrderOfEqualVersions) {
  std::vector<std::pair<std::string, int>> items = {{"1.8", 0}, {"1.7", 1}, {"1.8", 2},
                                                     {"1.6", 3}, {"1.7", 4}, {"1.8", 5}};
  SortByVersion(&items, [](const std::pair<std::string, int>& item) -> const std::string& { return item.first; });
  EXPECT_EQ(items, (std::vector<std::pair<std::string, int>>{
                       {"1.6", 3}, {"1.7", 1}, {"1.7", 4}, {"1.8", 0}, {"1.8", 2}, {"1.8", 5}}));
}

TEST(RegistryVersionInRange, ComparesOverTheShorterInRuns) {
  EXPECT_TRUE(registryVersionInRange("1.6", "1.6.0_05", ""));  // three characters compared
  EXPECT_TRUE(registryVersionInRange("1.6.0_10", "1.6.0_05", ""));
  EXPECT_FALSE(registryVersionInRange("1.6.0_04", "1.6.0_05", ""));
  EXPECT_TRUE(registryVersionInRange("1.6", "1.6.0_10", ""));
  EXPECT_TRUE(registryVersionInRange("1.7.0_80", "", "1.7"));
  EXPECT_FALSE(registryVersionInRange("1.8", "", "1.7"));
  EXPECT_TRUE(registryVersionInRange("anything", "", ""));
  EXPECT_TRUE(registryVersionInRange("17", "9", ""));
  EXPECT_FALSE(registryVersionInRange("9.0.4", "11", ""));
  EXPECT_FALSE(registryVersionInRange("17", "", "1.8"));
  EXPECT_TRUE(registryVersionInRange("1.8", "1.6", "1.8.0_400"));
  EXPECT_FALSE(registryVersionInRange("1.8.0_92", "1.8.0_392", ""));
}

}  // namespace
}  // namespace vexlo
