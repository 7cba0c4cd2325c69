#include "core/settings.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(ServiceAccountName, TheSystemsAccountsByNameAndUsersAsWritten) {
  const struct {
    const char *value, *name;
    bool user;
  } cases[] = {{"", "", false}, {"LocalSystem", "", false}, {"LocalService", "NT AUTHORITY\\LocalService", false},
               {"NetworkService", "NT AUTHORITY\\NetworkService", false}, {"virtual", "NT SERVICE\\My Svc", false},
               {".\\svc", ".\\svc", true}, {"localservice", "localservice", true}};  // the builder refuses the last
  for (const auto& c : cases) {
    bool user = !c.user;
    EXPECT_EQ(ServiceAccountName(c.value, "My Svc", &user), c.name) << c.value;
    EXPECT_EQ(user, c.user) << c.value;
  }
}

TEST(IsAccount, TheWordsAndTheThreeFormsOfAUser) {
  for (const char* value : {"", "LocalSystem", "LocalService", "NetworkService", "virtual", ".\\svc", "DOM\\svc user",
                            "svc@example.com", "NT AUTHORITYX\\svc"}) {
    EXPECT_TRUE(IsAccount(value)) << value;
  }
  for (const char* value : {"svc", "localservice", "\\svc", "DOM\\", "@example.com", "svc@", "a\\b\\c", "a\\b@c",
                            "DOM\\s/v", "DOM\\s:v", "DOM\\s\tv", "NT AUTHORITY\\LocalService", "nt authority\\system",
                            "NT SERVICE\\Svc"}) {
    EXPECT_FALSE(IsAccount(value)) << value;
  }
}

TEST(ParseRecovery, TheRecordAsTheSystemTakesIt) {
  const std::string record = "86400 R10000 C N\nC:\\notify.exe \"x\"";
  Recovery recovery;
  ASSERT_TRUE(ParseRecovery(record, &recovery));
  EXPECT_EQ(recovery.reset_seconds, 86400u);
  ASSERT_EQ(recovery.action_count, 3u);
  const RecoveryAction expected[] = {{1, 10000}, {3, 0}, {0, 0}};
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(recovery.actions[i].type, expected[i].type) << i;
    EXPECT_EQ(recovery.actions[i].delay_ms, expected[i].delay_ms) << i;
  }
  EXPECT_EQ(record.substr(recovery.command_start), "C:\\notify.exe \"x\"");

  // The ends of the ranges.
  const std::string shortest = "1 R1000 R86400000\n";
  Recovery edges, longest;
  ASSERT_TRUE(ParseRecovery(shortest, &edges));
  EXPECT_EQ(edges.reset_seconds, 1u);
  EXPECT_EQ(edges.actions[1].delay_ms, 86400000u);
  EXPECT_EQ(edges.command_start, shortest.size());
  EXPECT_TRUE(ParseRecovery("315360000 N\n", &longest));
  for (const char* record :
       {"", "\n", "86400\n", "86400 \n", "86400 N", "86400 N N N N\n", "86400 N N N R1000\n", "0 N\n", "315360001 N\n", "86400 R999\n",
        "86400 R86400001\n", "86400 R\n", "86400 Rx\n", "86400 X\n", "86400 C\n", "86400 N\nC:\\stray.exe",
        "86400 NN\n", "86400  N\n", "x86400 N\n", "99999999999999999999 N\n", "86400 R99999999999999999999\n"}) {
    Recovery refused;
    EXPECT_FALSE(ParseRecovery(record, &refused)) << record;
  }
}

TEST(NextVariable, OneLineAVariableAndNothingElse) {
  const std::string record = "A=1\nPATH=${PATH};C:\\x=y\nEMPTY=";
  std::vector<std::string> found;
  std::string name, value;
  size_t position = 0;
  while (NextVariable(record, &position, &name, &value)) found.push_back(name + "|" + value);
  EXPECT_EQ(found, (std::vector<std::string>{"A|1", "PATH|${PATH};C:\\x=y", "EMPTY|"}));
  EXPECT_EQ(position, record.size() + 1);
  // A refused line stops the reading before the record's end.
  for (const char* refused : {"A", "=1", "A\n=1", "\nA=1", "A=1\nB"}) {
    for (position = 0; NextVariable(refused, &position, &name, &value);) {
    }
    EXPECT_LE(position, strlen(refused)) << refused;
  }
}

TEST(ParseLogRotation, ASizeOfTheSettingAndACount) {
  LogRotation rotation;
  ASSERT_TRUE(ParseLogRotation("1KB 99", &rotation));
  EXPECT_EQ(rotation.max_bytes, 1024u);
  EXPECT_EQ(rotation.keep, 99u);
  for (const char* record : {"10MB", "10MB 0", "10MB 05", "10MB 100", "10MB 5 ", "10MB  5", "0KB 5", "2GB 5"}) {
    EXPECT_FALSE(ParseLogRotation(record, &rotation)) << record;
  }
}

}  // namespace
}  // namespace vexlo
