#include "core/args.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vexlo {
namespace {

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> out;
  SplitArguments(text, &out);
  return out;
}

// The same text through the wide form, narrowed back for comparison (the
// cases are ASCII).
std::vector<std::string> SplitWide(const std::string& text) {
  std::vector<WideString> wide_out;
  SplitArguments(WideString(text.begin(), text.end()), &wide_out);
  std::vector<std::string> out;
  for (const auto& argument : wide_out) out.emplace_back(argument.begin(), argument.end());
  return out;
}

using Args = std::vector<std::string>;

struct SplitCase {
  const char* text;
  Args expected;
};

TEST(SplitArguments, QuotingRulesInBothForms) {
  const SplitCase cases[] = {
      {"", {}},
      {"   ", {}},
      {"a b", {"a", "b"}},
      {"a  b", {"a", "b"}},                     // runs of spaces give no empty argument
      {" a b ", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},              // a quoted space stays
      {"x=\"1 2\"", {"x=1 2"}},                 // text before the quote joins
      {"\"a\"b", {"a", "b"}},                   // text glued to a closing quote starts anew
      {"\"\"", {""}},                           // empty pair: one empty argument
      {"a \"\" b", {"a", "", "b"}},
      {"it's here now", {"its here now"}},      // an apostrophe runs to the end
      {"a\tb", {"a\tb"}},                       // only the space separates
      {"C:\\dir\\ \\\"", {"C:\\dir\\", "\\"}},  // a backslash escapes nothing
      {"'a \"b' c", {"a \"b", "c"}},            // the other quote is ordinary inside
      {"\"a 'b\" c", {"a 'b", "c"}},
      {"\"unterminated rest", {"unterminated rest"}},
      {"pre\"q\"post x", {"preq", "post", "x"}},
      {"a\"b c\"d e", {"ab c", "d", "e"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Split(c.text), c.expected) << "narrow: [" << c.text << "]";
    EXPECT_EQ(SplitWide(c.text), c.expected) << "wide: [" << c.text << "]";
  }
}

TEST(SplitArguments, AppendsToExistingList) {
  std::vector<std::string> out = {"first"};
  SplitArguments(std::string("a b"), &out);
  EXPECT_EQ(out, (Args{"first", "a", "b"}));
}

TEST(CommandTail, SkipsProgramNameAndBlanks) {
  EXPECT_EQ(CommandTail("svc.exe -install"), "-install");
  EXPECT_EQ(CommandTail("\"C:\\Program Files\\svc.exe\"  \t-status x"), "-status x");
  // Text glued to the closing quote still belongs to the program name.
  EXPECT_EQ(CommandTail("\"C:\\a b\\svc.exe\"-stop"), "");
  EXPECT_EQ(CommandTail("svc.exe"), "");
  EXPECT_EQ(CommandTail("svc.exe   "), "");
  EXPECT_EQ(CommandTail(""), "");
}

TEST(ParseCommand, PrefixesAreEquivalent) {
  for (const char* tail : {"/install", "-install", "--install"}) {
    const ParsedCommand command = ParseCommand(tail);
    EXPECT_TRUE(command.has_prefix) << tail;
    EXPECT_EQ(command.word, "install") << tail;
    EXPECT_EQ(LookupCommand(command.word), CommandWord::kInstall) << tail;
    EXPECT_FALSE(command.has_name);
    EXPECT_TRUE(command.interactive);
  }
}

TEST(ParseCommand, WordsWithoutPrefixOrInOtherCaseRunNothing) {
  EXPECT_FALSE(ParseCommand("install").has_prefix);
  EXPECT_EQ(LookupCommand(ParseCommand("-INSTALL").word), CommandWord::kNone);
  EXPECT_EQ(LookupCommand(ParseCommand("---install").word), CommandWord::kNone);
  EXPECT_EQ(LookupCommand(ParseCommand("-install\tname").word), CommandWord::kNone);
}

TEST(ParseCommand, NameAndNonInteractiveToken) {
  ParsedCommand command = ParseCommand("-install My Service");
  EXPECT_EQ(command.word, "install");
  EXPECT_TRUE(command.has_name);
  EXPECT_EQ(command.service_name, "My Service");
  EXPECT_TRUE(command.interactive);

  command = ParseCommand("-install non-interactive My Service");
  EXPECT_EQ(command.word, "install");
  EXPECT_EQ(command.service_name, "My Service");
  EXPECT_FALSE(command.interactive);

  // After the name the token is part of the name.
  command = ParseCommand("-install My Service non-interactive");
  EXPECT_EQ(command.service_name, "My Service non-interactive");
  EXPECT_TRUE(command.interactive);

  // The token alone keeps the configured name.
  command = ParseCommand("--install non-interactive");
  EXPECT_EQ(command.word, "install");
  EXPECT_FALSE(command.has_name);
  EXPECT_FALSE(command.interactive);

  // Repeated tokens.
  command = ParseCommand("-install non-interactive non-interactive Svc");
  EXPECT_FALSE(command.interactive);
  EXPECT_EQ(command.service_name, "Svc");

  // The character right behind the token is taken as the separator.
  command = ParseCommand("-install non-interactiveXSvc");
  EXPECT_EQ(command.word, "install");
  EXPECT_FALSE(command.interactive);
  EXPECT_EQ(command.service_name, "Svc");
}

// A name is taken while the separator and at least one character follow it.
TEST(ParseCommand, OneCharacterName) {
  const struct {
    const char* tail;
    const char* word;
    bool interactive;
  } cases[] = {
      {"-install X", "install", true},
      {"-install non-interactive X", "install", false},
      {"--install-auto Y", "install-auto", true},
      {"/status Z", "status", true},
  };
  for (const auto& c : cases) {
    const ParsedCommand command = ParseCommand(c.tail);
    EXPECT_EQ(command.word, c.word) << c.tail;
    EXPECT_TRUE(command.has_name) << c.tail;
    EXPECT_EQ(command.service_name, std::string(1, c.tail[std::strlen(c.tail) - 1])) << c.tail;
    EXPECT_EQ(command.interactive, c.interactive) << c.tail;
  }
}

TEST(ParseCommand, TrailingSpacesAreNoName) {
  for (const char* tail : {"-install ", "-install  ", "-install non-interactive ", "-status   "}) {
    const ParsedCommand command = ParseCommand(tail);
    EXPECT_NE(LookupCommand(command.word), CommandWord::kNone) << "[" << tail << "]";
    EXPECT_FALSE(command.has_name) << "[" << tail << "]";
  }
}

TEST(ParseCommand, UnknownWordStillTakesTheName) {
  const ParsedCommand command = ParseCommand("-frobnicate Other Name");
  EXPECT_EQ(LookupCommand(command.word), CommandWord::kNone);
  EXPECT_TRUE(command.has_name);
  EXPECT_EQ(command.service_name, "Other Name");
}

// cmd.exe users quote a name with blanks: one surrounding pair goes.
TEST(ParseCommand, OnePairOfSurroundingDoubleQuotesGoes) {
  const char* const cases[][2] = {{"-install \"My H2\"", "My H2"}, {"-install non-interactive \"It's\"", "It's"},
                                  {"-install \"\"x\"\"", "\"x\""},   {"-install \"My H2", "\"My H2"},
                                  {"-install 'a b'", "'a b'"},         {"-install \"", "\""}};
  for (const auto& c : cases) EXPECT_EQ(ParseCommand(c[0]).service_name, c[1]) << c[0];
}

TEST(ParseCommand, AnyLengthOfName) {
  const std::string name(100000, 'n');
  EXPECT_EQ(ParseCommand("-install " + name).service_name, name);
}

TEST(LookupCommand, WholeTable) {
  EXPECT_EQ(LookupCommand("install-and-start"), CommandWord::kInstallAndStart);
  EXPECT_EQ(LookupCommand("install-auto"), CommandWord::kInstallAuto);
  EXPECT_EQ(LookupCommand("install-demand"), CommandWord::kInstallDemand);
  EXPECT_EQ(LookupCommand("uninstall"), CommandWord::kUninstall);
  EXPECT_EQ(LookupCommand("stop"), CommandWord::kStop);
  EXPECT_EQ(LookupCommand("start"), CommandWord::kStart);
  EXPECT_EQ(LookupCommand("status"), CommandWord::kStatus);
  EXPECT_EQ(LookupCommand(ParseCommand("/?").word), CommandWord::kHelp);
  EXPECT_EQ(LookupCommand(ParseCommand("--help").word), CommandWord::kHelp);
  EXPECT_EQ(LookupCommand("statu"), CommandWord::kNone);
  EXPECT_EQ(LookupCommand(""), CommandWord::kNone);
}

}  // namespace
}  // namespace vexlo
