#include "core/included_file_name.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

using P = IncludedNameProblem;

struct NameCase {
  const char* name;
  P problem;
};

TEST(CheckIncludedFileName, EveryRule) {
  const NameCase kCases[] = {
      // Extracted.
      {"app.jar", P::kNone}, {"lib\\b.jar", P::kNone}, {"lib/b.jar", P::kNone},
      {"a..b.jar", P::kNone}, {".hidden", P::kNone}, {"..jar", P::kNone}, {"a b.jar", P::kNone},
      {"console.jar", P::kNone}, {"com10.jar", P::kNone}, {"nul_x.jar", P::kNone}, {"lpt.jar", P::kNone},
      // Would leave the launcher temporary directory.
      {"", P::kEmpty},
      {"\\x.jar", P::kAbsolute}, {"/x.jar", P::kAbsolute}, {"\\\\server\\share\\x.jar", P::kAbsolute},
      {"\\\\?\\C:\\x.jar", P::kAbsolute},
      {"C:\\x.jar", P::kDriveColon}, {"C:x.jar", P::kDriveColon}, {"a.jar:stream", P::kDriveColon},
      {"..", P::kDotComponent}, {".", P::kDotComponent}, {"..\\x.jar", P::kDotComponent},
      {"../x.jar", P::kDotComponent}, {"lib\\..", P::kDotComponent}, {"lib/../../x.jar", P::kDotComponent},
      {".\\a.jar", P::kDotComponent}, {"...\\x.jar", P::kDotComponent}, {".. \\x.jar", P::kDotComponent},
      {"lib\\. .", P::kDotComponent}, {" \\x.jar", P::kDotComponent},
      {"CON", P::kDeviceName}, {"nul", P::kDeviceName}, {"nul.jar", P::kDeviceName},
      {"lib\\Aux.jar", P::kDeviceName}, {"com1", P::kDeviceName}, {"LPT9.txt", P::kDeviceName},
      {"prn \\x.jar", P::kDeviceName}, {"conout$", P::kDeviceName}, {"com\xB9.jar", P::kDeviceName},
      // Windows would drop the end or cannot create the name.
      {"app.jar.", P::kTrailingDotOrSpace}, {"app.jar ", P::kTrailingDotOrSpace},
      {"lib.\\a.jar", P::kTrailingDotOrSpace}, {"lib\\", P::kEmptyPart}, {"lib/", P::kEmptyPart},
      {"lib\\\\a.jar", P::kEmptyPart}, {"a?.jar", P::kReservedCharacter}, {"b|c.jar", P::kReservedCharacter},
      {"<a>*\".jar", P::kReservedCharacter}, {"a\x1F.jar", P::kReservedCharacter},
      // Only the block writer can meet these.
      {"a;b.jar", P::kListSeparator},
      {"x\\y\\c.jar", P::kTooDeep}, {"x/y\\c.jar", P::kTooDeep},
  };
  for (const NameCase& c : kCases) {
    EXPECT_EQ(CheckIncludedFileName(c.name), c.problem) << c.name;
  }
}

TEST(RefusedAtExtraction, EveryProblemButDepth) {
  for (const P problem : {P::kEmpty, P::kAbsolute, P::kDriveColon, P::kDotComponent, P::kDeviceName, P::kEmptyPart,
                          P::kTrailingDotOrSpace, P::kReservedCharacter, P::kListSeparator}) {
    EXPECT_TRUE(RefusedAtExtraction(problem)) << static_cast<int>(problem);
    EXPECT_STRNE(IncludedNameProblemText(problem), "");
  }
  for (const P problem : {P::kNone, P::kTooDeep}) {
    EXPECT_FALSE(RefusedAtExtraction(problem)) << static_cast<int>(problem);
  }
  EXPECT_STREQ(IncludedNameProblemText(P::kNone), "");
}

TEST(IncludedFileNameKey, OneKeyForNamesWindowsTakesForOneFile) {
  EXPECT_EQ(IncludedFileNameKey("LIB. /App.JAR ."), IncludedFileNameKey("lib\\app.jar"));
  EXPECT_EQ(IncludedFileNameKey("\xC9t\x8A\x9F.jar"), IncludedFileNameKey("\xE9T\x9A\xFF.JAR"));
  EXPECT_NE(IncludedFileNameKey("a .jar"), IncludedFileNameKey("a.jar"));
  EXPECT_NE(IncludedFileNameKey("\xF7"), IncludedFileNameKey("\xD7"));  // division and multiplication signs
}

}  // namespace
}  // namespace vexlo
