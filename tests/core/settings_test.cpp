#include "core/settings.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(ServiceLogPathProblem, AFilesPathWithoutVariables) {
  for (const char* path : {"", "svc.log", "logs\\svc.log", "D:\\logs\\svc.log", "d:/logs/svc.log",
                           "\\\\server\\share\\svc.log", "..\\logs\\svc.log", "50% done.log", "\\logs\\svc.log"}) {
    EXPECT_EQ(ServiceLogPathProblem(path), "") << path;
  }
  const char kFolder[] = "names a folder: end it with the log file's name";
  const char kColon[] = "\":\" only follows a drive letter, before a backslash (\"D:\\logs\\app.log\")";
  const char kVariables[] =
      "variables are not expanded here: give a full path or one relative to the executable's folder";
  const struct {
    const char* path;
    const char* problem;
  } refused[] = {
      {"logs\\", kFolder},
      {"logs\\..", kFolder},
      {"D:\\", kFolder},
      {"a<b.log", "a path cannot hold \"<\""},
      {"what?.log", "a path cannot hold \"?\""},
      {"a\tb.log", "a path cannot hold a control character"},
      {"C:svc.log", kColon},
      {"logs\\a:b.log", kColon},
      {"${ProgramData}\\svc.log", kVariables},
      {"%VEXLO_EXEDIR%svc.log", kVariables},
  };
  for (const auto& c : refused) EXPECT_EQ(ServiceLogPathProblem(c.path), c.problem) << c.path;
}

}  // namespace
}  // namespace vexlo
