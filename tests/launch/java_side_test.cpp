#include "launch/java_side.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

using Wides = std::vector<WideString>;

WideString W(const char* text) {
  WideString wide;
  for (const char* c = text; *c; ++c) wide.push_back(static_cast<WideChar>(static_cast<unsigned char>(*c)));
  return wide;
}

Wides Ws(std::initializer_list<const char*> texts) {
  Wides wides;
  for (const char* text : texts) wides.push_back(W(text));
  return wides;
}

TEST(LauncherClassFor, ModeLetterChoosesTheLayout) {
  EXPECT_STREQ(LauncherClassFor('i'), "com/tavrelium/runtime/launcher/WinLauncher");
  EXPECT_STREQ(LauncherClassFor('\0'), "com/vexlo/runtime/WinLauncher");
  EXPECT_STREQ(LauncherClassFor('I'), "com/vexlo/runtime/WinLauncher");
}

TEST(MainArguments, FixedLayout) {
  MainArgumentInputs inputs;
  inputs.main_class = W("org.example.App");
  inputs.error_log = W("C:\\app\\error.log");
  inputs.append_logs = true;
  EXPECT_EQ(MainArguments(inputs), Ws({"false", "org.example.App", "C:\\app\\error.log", "", "true"}));
  inputs.windowed = true;
  inputs.append_logs = false;
  inputs.application_arguments = W("one \"two three\"  'four");
  EXPECT_EQ(MainArguments(inputs),
            Ws({"true", "org.example.App", "C:\\app\\error.log", "", "false", "one", "two three", "four"}));
}

TEST(MainArguments, ProgramArguments) {
  const struct {
    bool allow_j;
    Wides program;
    Wides after_fixed;
  } cases[] = {
      {true, Ws({"svc", "-J-Xmx1g", "x"}), Ws({"svc", "app", "x"})},
      {false, Ws({"svc", "-J-Xmx1g", "x"}), Ws({"svc", "app", "-J-Xmx1g", "x"})},
      {true, Ws({"-Jfirst", "-Dsun.locale.formatasdefault=true"}), Ws({"-Jfirst", "app"})},
      {false, Ws({"-Dsun.locale.formatasdefault=true", "-Dsun.locale.formatasdefault=false", "-Dsun.locale"}),
       Ws({"-Dsun.locale.formatasdefault=true", "app", "-Dsun.locale"})},
      {true, Ws({}), Ws({"app"})},
  };
  for (const auto& c : cases) {
    MainArgumentInputs inputs;
    inputs.allow_j_arguments = c.allow_j;
    inputs.application_arguments = W("app");
    inputs.program_arguments = c.program;
    Wides arguments = MainArguments(inputs);
    ASSERT_GE(arguments.size(), 5u);
    EXPECT_EQ(Wides(arguments.begin() + 5, arguments.end()), c.after_fixed);
  }
}

TEST(MainArguments, WideTextUnchanged) {
  MainArgumentInputs inputs;
  const WideString japanese = {0x65E5, 0x672C};
  const WideString surrogates = {0xD83D, 0xDE00};
  inputs.program_arguments = {W("svc"), japanese, surrogates};
  const Wides arguments = MainArguments(inputs);
  ASSERT_EQ(arguments.size(), 8u);
  EXPECT_EQ(arguments[6], japanese);
  EXPECT_EQ(arguments[7], surrogates);
}

}  // namespace
}  // namespace vexlo
