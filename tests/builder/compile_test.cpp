// Reading configuration files: what each key writes, and every error the
// builder reports with its position.
#include "compile.h"

#include <gtest/gtest.h>

#include "builder_test_support.h"
#include "core/args.h"
#include "core/record_ids.h"
#include "schema.h"
#include "text_encoding.h"

namespace vexlo {
namespace builder {
namespace {

using testing_support::ReadBytes;
using testing_support::SourceDir;

WideString Wide(const std::string& utf8) {
  WideString wide;
  EXPECT_TRUE(Utf8ToWide(utf8, &wide));
  return wide;
}

TEST(CompileConfiguration, EveryKeyWritesItsRecords) {
  const std::filesystem::path config = SourceDir() / "tests" / "builder" / "data" / "every_key.toml";
  BuildPlan plan;
  Diagnostics diagnostics;
  ASSERT_TRUE(CompileConfiguration(ReadBytes(config), config.u8string(), &plan, &diagnostics))
      << diagnostics.Format("every_key.toml");
  EXPECT_TRUE(diagnostics.items().empty()) << diagnostics.Format("every_key.toml");

  std::map<int32_t, std::string> expected = {
      {101, "Every Key Service"},
      {102, "1"},
      {103, "logs\\error.log"},
      {104, "1"},
      {105, "$stdout"},
      {106, "0"},
      {107, "1"},
      {121, "A1lib\\app.jar;D0classes;E0EXTRA_CP;S0%VEXLO_EXEDIR%lib"},
      {122, "com.example.EveryKey"},
      {123, "-Xmx256m -Dquoted=\"a b\" -include-options extra.vmoptions"},
      {124, "--port 8080 \"two words\" \"it's\" \"\""},
      {125, "1"},
      {126, "1.8"},
      {127, "17.9"},
      {128, "Y;EJAVA_HOME;S;Ajre;R..\\jre;BC:\\jre"},
      {130, "1"},
      {131, "1"},
      {141, "legacy"},
      {146, "."},
      {149, "Tcpip,Afd"},
      {152, "server"},
      {158, "1"},
      {160, "PreviousJre"},
      {10003, "..\\"},
      {10004, "lib\\native;%VEXLO_EXEDIR%bin64"},
      {10005, "1"},
      {10123, "0"},
      {30000, "2m"},
      {30001, "D:\\logs\\every-key.log"},
      {30002, "256KB"},
      {30003, "EXAMPLE\\svc-every-key"},
      {30005, "172800 R10000 C N\nC:\\tools\\notify.exe \"Every Key\""},
      {30006, "3m"},
      {30007, "10s"},
      {30010, "ZETA_HOME=%VEXLO_EXEDIR%zeta\nOdd Name=a b\nCLEARED=\nAPP_OPTS=${ZETA_HOME}\\conf"},
      {30011, "com.example.EveryKey\nshutdown\nstop\n\ntwo words"},
      {30012, "1MB 7"},
  };
  for (const auto& message : Messages()) expected[message.id] = message.default_text;
  expected.erase(1007);  // omitted
  expected.erase(1013);
  for (auto& text : expected) {
    if (text.first >= 1000 && text.first <= 1020) text.second = "Every Key " + std::to_string(text.first) + ": {0}";
  }
  expected[1000] = "Every Key: Fehler";
  expected[1016] = "Kein Java gefunden ({0} Bit).";
  EXPECT_EQ(plan.texts, expected);

  EXPECT_EQ(plan.wides, (std::map<int32_t, WideString>{
                            {20017, Wide("Beschreibung mit Umlaut: \xC3\xA4, and a euro sign: \xE2\x82\xAC")},
                            {20018, Wide("wide extra")}}));
  ASSERT_EQ(plan.locales.size(), 3u);
  EXPECT_EQ(plan.locales[0].prefix, "de");
  EXPECT_EQ(plan.locales[1].prefix, "de_AT");
  EXPECT_EQ(plan.locales[2].prefix, "");
  EXPECT_EQ(plan.locales[1].values,
            (std::vector<std::pair<int32_t, WideString>>{{20017, Wide("Dienst f\xC3\xBCr \xC3\x96sterreich")},
                                                         {20018, Wide("ein weiterer Wert")}}));
  EXPECT_EQ(plan.runtime, RuntimeMode::kEmbedded);
  EXPECT_EQ(std::filesystem::u8path(plan.runtime_jar).filename(), "runtime.jar");
  ASSERT_EQ(plan.files.size(), 2u);
  EXPECT_EQ(plan.files[0].name, "app.jar");
  EXPECT_EQ(plan.files[1].name, "lib\\b.jar");
  EXPECT_EQ(std::filesystem::u8path(plan.files[1].path),
            (config.parent_path() / "files" / "lib" / "b.jar").lexically_normal());
}

// Every key of the schema appears in every_key.toml, so the round trip of
// that file covers them all.
TEST(CompileConfiguration, EveryKeyFileSetsEveryKey) {
  const std::string text = ReadBytes(SourceDir() / "tests" / "builder" / "data" / "every_key.toml");
  for (const auto& key : AllKeys()) {
    const std::string table = key.table, name = key.name;
    if (table == "files") {
      EXPECT_NE(text.find("\n" + name + " = "), std::string::npos) << KeyPath(key);
    } else if (name == "<id>") {
      EXPECT_NE(text.find("[" + table + "]"), std::string::npos) << KeyPath(key);
    } else if (table == "locales.<prefix>") {
      EXPECT_NE(text.find(name == "raw" ? ".raw]" : "\n" + name + " = "), std::string::npos) << KeyPath(key);
    } else {
      const size_t section = text.find("[" + table + "]");
      ASSERT_NE(section, std::string::npos) << table;
      const size_t end = text.find("\n[", section + 1);
      const std::string body = text.substr(section, end - section);
      const bool omitted = table == "messages" && body.find("\"" + name + "\"") != std::string::npos;
      EXPECT_TRUE(omitted || body.find("\n" + name + " = ") != std::string::npos) << KeyPath(key);
    }
  }
}

struct ErrorCase {
  const char* what;
  const char* config;
  const char* expected;  // the first error, as printed for the file "t.toml"
};

// The fragment with the main class every configuration needs.
std::string WithMainClass(std::string fragment) {
  const size_t java = fragment.find("[java]\n");
  return java == std::string::npos ? fragment + "[java]\nmain-class = \"a.B\"\n"
                                   : fragment.insert(java + 7, "main-class = \"a.B\"\n");
}

std::string FirstError(const std::string& config) {
  BuildPlan plan;
  Diagnostics diagnostics;
  EXPECT_FALSE(CompileConfiguration(config, "t.toml", &plan, &diagnostics));
  for (const auto& line : [&] {
         std::vector<std::string> lines;
         std::string all = diagnostics.Format("t.toml");
         for (size_t at = 0; at < all.size();) {
           const size_t end = all.find('\n', at);
           lines.push_back(all.substr(at, end - at));
           at = end + 1;
         }
         return lines;
       }()) {
    // The cases are fragments: their missing main class is not what they test.
    if (line.find(": error: ") != std::string::npos && line.find("main-class: not set") == std::string::npos) return line;
  }
  return "(no error)";
}

TEST(CompileConfiguration, ReportsEachErrorWithItsPositionAndKey) {
  const std::string long_text(8192, 'x');
  const std::string vm_type(200, 's');
  std::string many_dirs = "[paths]\nnative-libraries = [";
  for (int i = 0; i < 1100; ++i) many_dirs += "\"dir" + std::to_string(1000 + i) + "\", ";
  many_dirs += "]\n";
  const std::string long_class = "[java]\nmain-class = \"" + long_text + "\"\n";
  const std::string long_vm = "[jvm]\nvm-type = \"" + vm_type + "\"\n";
  const std::string long_message = "[messages]\ncaption = \"" + long_text + "\"\n";
  const std::string raw_vm = "[raw.text]\n152 = \"" + vm_type + "\"\n";
  const std::string long_name = "[service]\nname = \"" + std::string(257, 'n') + "\"\n";
  const std::string long_copyright = "[exe]\ncopyright = \"" + std::string(4097, 'c') + "\"\n";
  const std::string long_description = "[service]\ndescription = \"" + std::string(8192, 'd') + "\"\n";
  std::string many_files;
  for (int i = 0; i < 40; ++i) {
    many_files += "[[files]]\nsource = \"a.jar\"\nname = \"" + std::to_string(1000 + i) + std::string(200, 'f') + "\"\n";
  }
  const ErrorCase cases[] = {
      {"syntax", "[service]\nname = \"x", "t.toml:2:10: error: Error while parsing string: encountered end-of-file"},
      {"backslash in a basic string", "[paths]\nworking-directory = \"C:\\home\"\n",
       "t.toml:2:25: error: Error while parsing string: unknown escape sequence '\\h'; in a \"basic string\" write a "
       "backslash as \\\\ (\"C:\\\\app\"), or use a 'literal string' ('C:\\app'), which keeps backslashes as they are"},
      {"malformed table header", "[&]\n", "t.toml:1:2: error: Error while parsing key: expected bare key starting character or string delimiter, saw '&'"},
      {"description too long", long_description.c_str(),
       "t.toml:2:15: error: service.description: is 8192 UTF-16 characters long; the launcher reads at most 8191"},
      {"file names too long", many_files.c_str(),
       "t.toml:1:1: error: files: the names of the included files take 8217 bytes together; the launcher reads at "
       "most 8191"},
      {"class path entry as a string", "[java]\nclass-path = [\"app.jar\"]\n",
       "t.toml:2:15: error: java.class-path[1]: expected a table, found a string"},
      {"empty runtime jar", "[java]\nruntime-jar = \"\"\n", "t.toml:2:15: error: java.runtime-jar: must not be empty"},
      {"empty source", "[[files]]\nsource = \"\"\n", "t.toml:2:10: error: files[1].source: must not be empty"},
      {"locale not a table", "[locales]\nde = \"x\"\n", "t.toml:2:6: error: locales.de: expected a table, found a string"},
      {"raw wide type", "[raw.wide]\n20018 = 5\n", "t.toml:2:9: error: raw.wide.20018: expected a string, found an integer"},
      {"unknown table", "[sevice]\nname = \"x\"\n", "t.toml:1:2: error: sevice: unknown key; did you mean [service]?"},
      {"unknown key", "[java]\nmain_class = \"a.B\"\n",
       "t.toml:2:1: error: java.main_class: unknown key; did you mean java.main-class?"},
      {"unknown key, nothing close", "[instance]\ncolour = 1\n",
       "t.toml:2:1: error: instance.colour: unknown key (the keys of instance are single, namespace)"},
      {"key of another table", "[java]\nname = \"x\"\n",
       "t.toml:2:1: error: java.name: unknown key; did you mean service.name (in [service])?"},
      {"string expected", "[service]\nname = 4\n",
       "t.toml:2:8: error: service.name: expected a string, found an integer"},
      {"boolean expected", "[jvm]\nallow-j-arguments = \"yes\"\n",
       "t.toml:2:21: error: jvm.allow-j-arguments: expected true or false, found a string"},
      {"array expected", "[service]\ndependencies = \"Tcpip\"\n",
       "t.toml:2:16: error: service.dependencies: expected an array, found a string"},
      {"table expected", "service = \"x\"\n", "t.toml:1:11: error: service: expected a table, found a string"},
      {"duration syntax", "[service]\nstop-timeout = \"30\"\n",
       "t.toml:2:16: error: service.stop-timeout: expected a duration such as \"90s\", \"5m\", \"1h\" or \"1d\", "
       "found \"30\""},
      {"size syntax", "[logs]\nservice-max-size = \"10 MB\"\n",
       "t.toml:2:20: error: logs.service-max-size: expected a size such as \"64KB\", \"10MB\" or \"1GB\", found "
       "\"10 MB\""},
      {"service log naming a folder", "[logs]\nservice = 'logs\\'\n",
       "t.toml:2:11: error: logs.service: names a folder: end it with the log file's name"},
      {"raw text in the launcher's own range", "[raw.text]\n30000 = \"30s\"\n",
       "t.toml:2:1: error: raw.text.30000: records 30000 to 30999 are the launcher's own settings, written only by "
       "their keys; set service.stop-timeout"},
      {"locale record in the launcher's own range", "[locales.de.raw]\n30000 = \"x\"\n",
       "t.toml:2:1: error: locales.de.raw.30000: records 30000 to 30999 are the launcher's own settings, written "
       "only by their keys; set service.stop-timeout"},
      {"start out of range", "[service]\nstart = \"sometimes\"\n",
       "t.toml:2:9: error: service.start: \"sometimes\" is not one of \"auto\", \"delayed-auto\" or \"demand\""},
      {"namespace out of range", "[instance]\nnamespace = \"session\"\n",
       "t.toml:2:13: error: instance.namespace: \"session\" is not one of \"local\" or \"global\""},
      {"runtime out of range", "[java]\nruntime = \"nearby\"\n",
       "t.toml:2:11: error: java.runtime: \"nearby\" is not one of \"embedded\", \"beside\" or \"none\""},
      {"text too long", long_class.c_str(),
       "t.toml:2:14: error: java.main-class: is 8192 bytes long; the launcher reads at most 8191"},
      {"vm type too long", long_vm.c_str(),
       "t.toml:2:11: error: jvm.vm-type: is 200 bytes long; the launcher reads at most 199"},
      {"vm type path", "[jvm]\nvm-type = 'bin\\server'\n",
       "t.toml:2:11: error: jvm.vm-type: must be the name of a folder below the runtime's bin folder, such as \"server\""},
      {"exe version", "[exe]\nversion = \"1.2-beta\"\n",
       "t.toml:2:11: error: exe.version: \"1.2-beta\" is not a version: one to four numbers from 0 to 65535 separated "
       "by dots, like \"1.2.3.4\""},
      {"exe text empty", "[exe]\ncompany = \"\"\n",
       "t.toml:2:11: error: exe.company: must not be empty (leave the key out instead)"},
      {"exe text too long", long_copyright.c_str(),
       "t.toml:2:13: error: exe.copyright: is 4097 UTF-16 characters long; the version resource holds 4096 per text"},
      {"exe text NUL", "[exe]\ndescription = \"a\\u0000b\"\n",
       "t.toml:2:15: error: exe.description: holds a NUL character, which ends a text of the version resource"},
      {"exe icon type", "[exe]\nicon = 1\n", "t.toml:2:8: error: exe.icon: expected a string, found an integer"},
      {"outside the code page", "[java]\nmain-class = \"com.\xE4\xB8\xAD.Main\"\n",
       "t.toml:2:14: error: java.main-class: the character U+4E2D cannot be stored; text records hold "
       "Windows-1252 characters only"},
      {"NUL", "[java]\nmain-class = \"a\\u0000b\"\n",
       "t.toml:2:14: error: java.main-class: holds a NUL character; the launcher reads texts only up to the first one"},
      {"service name like a command", "[service]\nname = \"-install\"\n", "t.toml:2:8: error: service.name: must not "
       "begin with \"-\" or \"/\": the launcher would read it as a command word"},
      {"service name slash", "[service]\nname = \"a/b\"\n",
       "t.toml:2:8: error: service.name: a service name cannot contain \"/\" or \"\\\""},
      {"service name length", long_name.c_str(),
       "t.toml:2:8: error: service.name: is longer than the 256 characters a service name may have"},
      {"dependency comma", "[service]\ndependencies = [\"Tcpip\", \"a,b\"]\n",
       "t.toml:2:26: error: service.dependencies[2]: must not contain \",\"; the record separates its entries with it"},
      {"dependency empty", "[service]\ndependencies = [\"\"]\n",
       "t.toml:2:17: error: service.dependencies[1]: must not be empty"},
      {"empty main class", "[java]\nmain-class = \"\"\n", "t.toml:2:14: error: java.main-class: must not be empty"},
      {"class path kind", "[java]\nclass-path = [{ archiv = \"a.jar\" }]\n",
       "t.toml:2:17: error: java.class-path[1]: unknown class path entry kind \"archiv\"; did you mean archive?"},
      {"class path no kind", "[java]\nclass-path = [{ required = true }]\n",
       "t.toml:2:15: error: java.class-path[1]: the entry needs one of archive, directory, env or scan"},
      {"class path two kinds", "[java]\nclass-path = [{ archive = \"a.jar\", scan = \"lib\" }]\n",
       "t.toml:2:43: error: java.class-path[1]: an entry has one kind; found archive and scan"},
      {"class path separator", "[java]\nclass-path = [{ scan = \"lib;x\" }]\n",
       "t.toml:2:24: error: java.class-path[1].scan: must not contain \";\"; the record separates its entries with it"},
      {"class path required type", "[java]\nclass-path = [{ archive = \"a.jar\", required = 1 }]\n",
       "t.toml:2:47: error: java.class-path[1].required: expected true or false, found an integer"},
      {"search kind", "[search]\nsequence = [{ registy = true }]\n",
       "t.toml:2:15: error: search.sequence[1]: unknown search entry kind \"registy\"; did you mean registry?"},
      {"search retry value", "[search]\nsequence = [{ dir = \"jre\", retry = \"never\" }]\n",
       "t.toml:2:36: error: search.sequence[1].retry: \"never\" is not one of \"relative\" or \"always\""},
      {"search retry kind", "[search]\nsequence = [{ env = \"JAVA_HOME\", retry = \"always\" }]\n",
       "t.toml:2:42: error: search.sequence[1].retry: applies to dir entries only"},
      {"search registry false", "[search]\nsequence = [{ registry = false }]\n",
       "t.toml:2:26: error: search.sequence[1].registry: only true is allowed; leave the entry out to skip it"},
      {"search empty variable", "[search]\nsequence = [{ env = \"\" }]\n",
       "t.toml:2:21: error: search.sequence[1].env: must not be empty"},
      {"argument with both quotes", "[java]\narguments = [\"ok\", \"it's \\\"x\\\"\"]\n",
       "t.toml:2:20: error: java.arguments[2]: holds both quote characters; the launcher splits arguments "
       "without an escape character, so it cannot receive this one"},
      {"arguments type", "[jvm]\noptions = 3\n",
       "t.toml:2:11: error: jvm.options: expected a string or an array of strings, found an integer"},
      {"list too long", many_dirs.c_str(),
       "t.toml:2:20: error: paths.native-libraries: the entries take 8799 bytes together; the launcher reads at "
       "most 8191"},
      {"dialog with automatic start", "[service]\nstart = \"auto\"\n[messages]\ndialog = true\n",
       "t.toml:4:10: error: messages.dialog: message boxes and service.start = \"auto\" exclude each other: the "
       "launcher registers automatic start only in launch mode 4 and shows message boxes only in modes 1 and 5"},
      {"windowed with automatic start", "[service]\nstart = \"auto\"\n[java]\nwindowed = true\n",
       "t.toml:4:12: error: java.windowed: message boxes and service.start = \"auto\" exclude each other: the "
       "launcher registers automatic start only in launch mode 4 and shows message boxes only in modes 1 and 5"},
      {"windowed without dialog", "[java]\nwindowed = true\n[messages]\ndialog = false\n",
       "t.toml:2:12: error: java.windowed: the windowed runtime comes with message boxes (launch mode 1); "
       "messages.dialog = false cannot be kept"},
      {"omit unknown", "[messages]\nomit = [\"no-jmv\"]\n",
       "t.toml:2:9: error: messages.omit[1]: unknown message \"no-jmv\"; did you mean no-jvm?"},
      {"omit and set", "[messages]\ncaption = \"x\"\nomit = [\"caption\"]\n",
       "t.toml:3:9: error: messages.omit[1]: messages.caption is set and omitted at once"},
      {"message too long", long_message.c_str(),
       "t.toml:2:11: error: messages.caption: is 8192 bytes long; the launcher reads at most 8191"},
      {"file absolute", "[[files]]\nsource = \"a.jar\"\nname = '\\a.jar'\n",
       "t.toml:3:8: error: files[1].name: \"\\a.jar\": the name is absolute; give it relative to the extraction folder"},
      {"file drive", "[[files]]\nsource = \"a.jar\"\nname = \"C:a.jar\"\n",
       "t.toml:3:8: error: files[1].name: \"C:a.jar\": the name holds a colon (a drive or stream name)"},
      {"file dot part", "[[files]]\nsource = \"a.jar\"\nname = \"lib/../a.jar\"\n",
       "t.toml:3:8: error: files[1].name: \"lib/../a.jar\": the name has a \".\" or \"..\" part (or a part of dots and spaces only)"},
      {"file too deep", "[[files]]\nsource = \"a.jar\"\nname = \"x/y/a.jar\"\n",
       "t.toml:3:8: error: files[1].name: \"x/y/a.jar\": the name has more than one folder level; only one is created"},
      {"file empty name", "[[files]]\nsource = \"a.jar\"\nname = \"\"\n",
       "t.toml:3:8: error: files[1].name: \"\": the name is empty"},
      {"file separator", "[[files]]\nsource = \"a.jar\"\nname = \"a;b.jar\"\n",
       "t.toml:3:8: error: files[1].name: \"a;b.jar\": the name holds a \";\", which separates the names"},
      {"file twice, folded as Windows does", "[[files]]\nsource = \"a.jar\"\nname = \"\u00c9t\u00e9.jar\"\n"
       "[[files]]\nsource = \"b.jar\"\nname = \"\u00e9t\u00c9.JAR\"\n",
       "t.toml:6:8: error: files[2].name: \"\u00e9t\u00c9.JAR\" is already used by files[1] (line 3)"},
      {"file twice", "[[files]]\nsource = \"a.jar\"\n[[files]]\nsource = \"other/A.JAR\"\n",
       "t.toml:4:10: error: files[2].name: \"A.JAR\" is already used by files[1] (line 2)"},
      {"file named like the runtime", "[[files]]\nsource = \"vexlo-runtime.jar\"\n",
       "t.toml:2:10: error: files[1].name: \"vexlo-runtime.jar\" is already used by java.runtime = \"embedded\""},
      {"file without source", "[[files]]\nname = \"a.jar\"\n",
       "t.toml:1:1: error: files[1]: needs a source: the file's path on this machine"},
      {"file unknown key", "[[files]]\nsource = \"a.jar\"\nnmae = \"b.jar\"\n",
       "t.toml:3:1: error: files[1].nmae: unknown key; did you mean files[1].name?"},
      {"files not an array", "[files]\nsource = \"a.jar\"\n",
       "t.toml:1:1: error: files: expected [[files]] tables, found a table"},
      {"locale prefix", "[locales.de-AT]\ndescription = \"x\"\n",
       "t.toml:1:10: error: locales.de-AT: not a locale prefix: locales look like \"de\", \"de_AT\" or \"no_NO_NY\" "
       "(at most 8 letters and underscores)"},
      {"locale key", "[locales.de]\ndescripton = \"x\"\n",
       "t.toml:2:1: error: locales.de.descripton: unknown key; did you mean locales.de.description?"},
      {"locale raw description", "[locales.de]\ndescription = \"x\"\n[locales.de.raw]\n20017 = \"y\"\n",
       "t.toml:4:1: error: locales.de.raw.20017: record 20017 is written by locales.de.description; set it there"},
      {"raw id", "[raw.text]\nabc = \"y\"\n",
       "t.toml:2:1: error: raw.text.abc: a raw record's key is its id, a 32-bit integer"},
      {"raw id range", "[raw.text]\n2147483648 = \"y\"\n",
       "t.toml:2:1: error: raw.text.2147483648: a raw record's key is its id, a 32-bit integer"},
      {"raw included files", "[raw.text]\n2003 = \"a.jar\"\n",
       "t.toml:2:1: error: raw.text.2003: records 2002 and 2003 are written from the [[files]] tables"},
      {"raw written by a key", "[java]\nmain-class = \"a.B\"\n[raw.text]\n122 = \"c.D\"\n",
       "t.toml:4:1: error: raw.text.122: record 122 is written by java.main-class; set it there"},
      {"raw message", "[raw.text]\n1009 = \"x\"\n",
       "t.toml:2:1: error: raw.text.1009: record 1009 is written by messages.internal-error; set it there"},
      {"raw wide description", "[service]\ndescription = \"x\"\n[raw.wide]\n20017 = \"y\"\n",
       "t.toml:4:1: error: raw.wide.20017: record 20017 is written by service.description; set it there"},
      {"raw limit", raw_vm.c_str(),
       "t.toml:2:7: error: raw.text.152: is 200 bytes long; the launcher reads at most 199"},
      {"raw mode letter", "[raw.text]\n2001 = \"ix\"\n", "t.toml:2:8: error: raw.text.2001: record 2001 holds one character"},
      {"account word", "[service]\naccount = \"localservice\"\n",
       "t.toml:2:11: error: service.account: \"localservice\" is no account: expected \"LocalSystem\", \"LocalService\", \"NetworkService\", \"virtual\" or a user as \".\\name\", \"DOMAIN\\name\" or \"name@domain\" (the system's own accounts by these names, not as NT AUTHORITY\\... or NT SERVICE\\...)"},
      {"delayed start with message boxes", "[service]\nstart = \"delayed-auto\"\n[messages]\ndialog = true\n",
       "t.toml:4:10: error: messages.dialog: message boxes and service.start = \"delayed-auto\" exclude each other: "
       "the launcher registers automatic start only in launch mode 4 and shows message boxes only in modes 1 and 5"},
      {"recovery without actions", "[service]\nrecovery = { reset-after = \"1d\" }\n",
       "t.toml:2:12: error: service.recovery.actions: not set: give one to three actions, or leave service.recovery out"},
      {"recovery with four actions", "[service]\nrecovery = { actions = [\"none\", \"none\", \"none\", \"none\"] }\n",
       "t.toml:2:24: error: service.recovery.actions: holds 4 actions; the system takes one to three"},
      {"recovery reboot", "[service]\nrecovery = { actions = [\"reboot\"] }\n",
       "t.toml:2:25: error: service.recovery.actions[1]: \"reboot\" is not an action; the actions are "
       "{ restart = \"<duration>\" }, { run = \"<command line>\" } and \"none\" (a launcher never reboots the machine)"},
      {"recovery two commands", "[service]\nrecovery = { actions = [{ run = \"a\" }, { run = \"b\" }] }\n",
       "t.toml:2:40: error: service.recovery.actions[2].run: differs from the command of an earlier run action; the "
       "system keeps one command for all of them"},
      {"recovery command of two lines", "[service]\nrecovery = { actions = [{ run = \"a\\nb\" }] }\n",
       "t.toml:2:33: error: service.recovery.actions[1].run: must be one line"},
      {"variable name with =", "[service]\nenvironment = { \"A=B\" = \"x\" }\n",
       "t.toml:2:25: error: service.environment.\"A=B\": a variable's name cannot hold \"=\""},
      {"variable twice", "[service]\nenvironment = { Path = \"a\", PATH = \"b\" }\n",
       "t.toml:2:36: error: service.environment.PATH: names the variable Path again: Windows ignores the case of names"},
      {"variable of two lines", "[service]\nenvironment = { A = \"x\\ny\" }\n",
       "t.toml:2:21: error: service.environment.A: must be one line"},
      {"stop without class", "[java]\nmain-class = \"a.B\"\nstop = { method = \"halt\" }\n",
       "t.toml:3:8: error: java.stop.class: not set: name the class whose public static method stops the application"},
      {"stop class with a blank", "[java]\nmain-class = \"a.B\"\nstop = { class = \"a B\" }\n",
       "t.toml:3:18: error: java.stop.class: \"a B\" is no Java name: it holds a blank, a line end, \"/\" or \";\""},
      {"stop argument of two lines", "[java]\nmain-class = \"a.B\"\nstop = { class = \"a.B\", arguments = [\"x\\ny\"] }\n",
       "t.toml:3:38: error: java.stop.arguments[1]: must be one line"},
      {"rotate keeps none", "[logs]\noutput = \"o.log\"\nrotate = { keep = 0 }\n",
       "t.toml:3:19: error: logs.rotate.keep: expected a whole number of files from 1 to 99"},
      {"rotate size over the limit", "[logs]\noutput = \"o.log\"\nrotate = { max-size = \"2GB\" }\n",
       "t.toml:3:23: error: logs.rotate.max-size: must be at most 1GB"},
      {"runtime jar without embedding", "[java]\nruntime = \"beside\"\nruntime-jar = \"r.jar\"\n",
       "t.toml:3:15: error: java.runtime-jar: only an embedded runtime (java.runtime = \"embedded\") is read from a jar"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(FirstError(test.config), test.expected) << test.what;
  }
}

// Inputs on which toml++ 3.3 asserted or reached __builtin_unreachable()
// (found by tests/fuzz/builder_fuzz.cpp); under the sanitizers of the host
// build a relapse stops this test.
TEST(CompileConfiguration, MalformedTextIsAParseErrorNotACrash) {
  const char* inputs[] = {
      "[&]\n",
      "[[\v#",
      "x = 1 \xC3\xA9\n",
      "\xC3\xA9 = 1\n",
      "x = \"\"\"a\\ \xEF\xBA\xBF\n\"\"\"\n",
      "uI=5\"1\xEF\xBB\xAFi5",
      "x = 1 \xE2\xBC\x80\n",
  };
  for (const char* input : inputs) {
    BuildPlan plan;
    Diagnostics diagnostics;
    EXPECT_FALSE(CompileConfiguration(input, "t.toml", &plan, &diagnostics)) << input;
    ASSERT_EQ(diagnostics.ErrorCount(), 1u) << input;
    EXPECT_EQ(diagnostics.items()[0].position.line, 1u) << diagnostics.Format("t.toml");
  }
}

TEST(CompileConfiguration, ValuesAtTheLaunchersLimitsAreAccepted) {
  const std::string config = "[service]\nname = \"" + std::string(256, 'n') + "\"\n[java]\nmain-class = \"" +
                             std::string(8191, 'c') + "\"\n[jvm]\nvm-type = \"" + std::string(199, 'v') +
                             "\"\n[raw.text]\n2001 = \"x\"\n";
  BuildPlan plan;
  Diagnostics diagnostics;
  ASSERT_TRUE(CompileConfiguration(config, "t.toml", &plan, &diagnostics)) << diagnostics.Format("t.toml");
  EXPECT_EQ(plan.texts[record::kServiceName].size(), 256u);
  EXPECT_EQ(plan.texts[record::kMainClass].size(), 8191u);
  EXPECT_EQ(plan.texts[record::kPreferredVmType].size(), 199u);
  EXPECT_EQ(plan.texts[record::kModeLetter], "x");
}

TEST(CompileConfiguration, LaunchModeFollowsStartDialogAndWindowed) {
  const struct {
    const char* config;
    const char* mode;  // nullptr: record 107 not written
  } cases[] = {
      {"", nullptr},
      {"[service]\nstart = \"auto\"\n", "4"},
      {"[service]\nstart = \"demand\"\n", "0"},
      {"[messages]\ndialog = false\n", "0"},
      {"[messages]\ndialog = true\n", "5"},
      {"[service]\nstart = \"demand\"\n[messages]\ndialog = true\n", "5"},
      {"[java]\nwindowed = true\n", "1"},
      {"[java]\nwindowed = true\n[messages]\ndialog = true\n", "1"},
      {"[java]\nwindowed = false\n[service]\nstart = \"auto\"\n", "4"},
  };
  for (const auto& test : cases) {
    BuildPlan plan;
    Diagnostics diagnostics;
    ASSERT_TRUE(CompileConfiguration(WithMainClass(test.config), "t.toml", &plan, &diagnostics)) << test.config;
    const auto mode = plan.texts.find(record::kLaunchMode);
    if (test.mode == nullptr) {
      EXPECT_EQ(mode, plan.texts.end()) << test.config;
    } else {
      ASSERT_NE(mode, plan.texts.end()) << test.config;
      EXPECT_EQ(mode->second, test.mode) << test.config;
    }
  }
}

// Arguments given as arrays reach the launcher's splitting unchanged.
TEST(CompileConfiguration, ArgumentArraysAreQuotedForTheLaunchersSplitting) {
  const struct {
    std::vector<std::string> arguments;
    const char* stored;
  } cases[] = {
      {{"a", "b"}, "a b"},
      {{"two words"}, "\"two words\""},
      {{""}, "\"\""},
      {{"-Dx=\"y\""}, "'-Dx=\"y\"'"},
      {{"it's"}, "\"it's\""},
      {{"tab\there", "back\\slash"}, "tab\there back\\slash"},
      // What expands is quoted: its value may hold blanks on the target.
      {{"-Dh=%VEXLO_EXEDIR%", "${launcher:sys.jvmHome}lib", "100%"}, "\"-Dh=%VEXLO_EXEDIR%\" \"${launcher:sys.jvmHome}lib\" 100%"},
      {{}, ""},
  };
  for (const auto& test : cases) {
    std::string config = "[java]\narguments = [";
    for (const auto& argument : test.arguments) {
      std::string escaped;
      for (char c : argument) {
        if (c == '"' || c == '\\') escaped.push_back('\\');
        if (c == '\t') escaped += "\\t";
        else escaped.push_back(c);
      }
      config += "\"" + escaped + "\", ";
    }
    config += "]\n";
    BuildPlan plan;
    Diagnostics diagnostics;
    ASSERT_TRUE(CompileConfiguration(WithMainClass(config), "t.toml", &plan, &diagnostics)) << diagnostics.Format("t.toml");
    EXPECT_EQ(plan.texts[record::kAppArguments], test.stored);
    std::vector<std::string> split;
    SplitArguments(plan.texts[record::kAppArguments], &split);
    EXPECT_EQ(split, test.arguments);
  }
}

// With its own launcher class an application may need no main class; else a
// missing one is an error. A refused name has its error, not also "not set".
TEST(CompileConfiguration, MissingNameWarnsAndMissingMainClassFails) {
  BuildPlan plan;
  Diagnostics diagnostics;
  ASSERT_TRUE(CompileConfiguration("[java]\nruntime = \"none\"\n", "t.toml", &plan, &diagnostics));
  EXPECT_EQ(diagnostics.Format("t.toml"),
            "t.toml: warning: service.name: not set: the service needs a name on the command line\n"
            "t.toml: warning: java.main-class: not set: the launcher class has no application to start\n");
  EXPECT_EQ(plan.texts.size(), Messages().size());  // only the catalogue
  Diagnostics refused;
  EXPECT_FALSE(CompileConfiguration("[service]\nname = \"H2/TCP\"\n", "t.toml", &plan, &refused));
  EXPECT_EQ(refused.Format("t.toml"),
            "t.toml: error: java.main-class: not set: the launcher class has no application to start\n"
            "t.toml:2:8: error: service.name: a service name cannot contain \"/\" or \"\\\"\n");
}

// A machine shutdown goes on after the preshutdown time: a longer stop
// timeout would be cut short there. Off, the time is no promise either way.
TEST(CompileConfiguration, PreshutdownShorterThanTheStopWarns) {
  const std::pair<std::string, bool> cases[] = {
      {"stop-timeout = \"2m\"", true}, {"preshutdown-timeout = \"20s\"", true},
      {"stop-timeout = \"2m\"\npreshutdown-timeout = \"2m\"", false},
      {"stop-timeout = \"2m\"\npreshutdown-timeout = \"0s\"", false}};
  for (const auto& c : cases) {
    BuildPlan plan;
    Diagnostics diagnostics;
    ASSERT_TRUE(CompileConfiguration("[service]\n" + c.first + "\n[java]\nmain-class = \"a.B\"\n", "t.toml", &plan,
                                     &diagnostics));
    EXPECT_EQ(diagnostics.Format("t.toml").find("warning: service.preshutdown-timeout: is shorter than "
                                                "service.stop-timeout") != std::string::npos,
              c.second)
        << c.first;
  }
}

// Rotation acts on the output and error files: without either it does nothing.
TEST(CompileConfiguration, RotationWithoutALogFileWarns) {
  BuildPlan plan;
  Diagnostics diagnostics;
  ASSERT_TRUE(CompileConfiguration("[service]\nname = \"S\"\n[logs]\nrotate = {}\n[java]\nmain-class = \"a.B\"\n",
                                   "t.toml", &plan, &diagnostics));
  EXPECT_EQ(diagnostics.Format("t.toml"),
            "t.toml:4:10: warning: logs.rotate: rotates nothing: neither logs.output nor logs.error is set\n");
  EXPECT_EQ(plan.texts[30012], "10MB 5");
}

TEST(CompileConfiguration, LocaleBlocksKeepTheFileOrder) {
  BuildPlan plan;
  Diagnostics diagnostics;
  ASSERT_TRUE(CompileConfiguration(
      "[java]\nmain-class = \"a.B\"\n[locales.de_AT]\ndescription = \"a\"\n[locales.\"\"]\ndescription = \"b\"\n[locales.de]\ndescription = \"c\"\n",
      "t.toml", &plan, &diagnostics));
  ASSERT_EQ(plan.locales.size(), 3u);
  EXPECT_EQ(plan.locales[0].prefix, "de_AT");
  EXPECT_EQ(plan.locales[1].prefix, "");
  EXPECT_EQ(plan.locales[2].prefix, "de");
}

TEST(AssembleLauncher, MissingFilesAreErrorsAtTheirSource) {
  BuildPlan plan;
  Diagnostics diagnostics;
  ASSERT_TRUE(CompileConfiguration("[java]\nruntime-jar = \"rt.jar\"\nmain-class = \"a.B\"\n[[files]]\nsource = \"gone.jar\"\n",
                                   "dir/t.toml", &plan, &diagnostics));
  const FileReader nothing = [](const std::string&, std::string*, std::string* error) {
    *error = "No such file or directory";
    return false;
  };
  BlockContents contents;
  std::vector<IncludedFile> files;
  EXPECT_FALSE(AssembleLauncher(plan, plan.runtime_jar, nothing, &contents, &files, &diagnostics));
  const std::string jar = std::filesystem::u8path("dir/rt.jar").lexically_normal().u8string();
  EXPECT_EQ(diagnostics.Format("t.toml").substr(diagnostics.Format("t.toml").find("t.toml:2:")),
            "t.toml:2:15: error: java.runtime-jar: cannot read the Java runtime jar " + jar +
                ": No such file or directory\n"
                "t.toml:5:10: error: files[1].source: cannot read gone.jar: No such file or directory\n");
}

TEST(AssembleLauncher, RuntimeJarComesFirstAndRecordsFollowTheTexts) {
  BuildPlan plan;
  Diagnostics diagnostics;
  ASSERT_TRUE(CompileConfiguration(WithMainClass("[service]\nname = \"s\"\n[raw.text]\n10123 = \"1\"\n[[files]]\nsource = \"a.jar\"\n"),
                                   "t.toml", &plan, &diagnostics));
  const FileReader echo = [](const std::string& path, std::string* bytes, std::string*) {
    *bytes = "bytes of " + path;
    return true;
  };
  BlockContents contents;
  std::vector<IncludedFile> files;
  ASSERT_TRUE(AssembleLauncher(plan, "rt.jar", echo, &contents, &files, &diagnostics));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, kRuntimeJarName);
  EXPECT_EQ(files[0].contents, "bytes of rt.jar");
  EXPECT_EQ(files[1].name, "a.jar");
  // Ids ascending, then the included-file records.
  ASSERT_GE(contents.texts.size(), 3u);
  EXPECT_EQ(contents.texts[0].first, 101);
  EXPECT_EQ(contents.texts[contents.texts.size() - 3].first, 10123);
  EXPECT_EQ(contents.texts[contents.texts.size() - 2], (std::pair<int32_t, std::string>{2002, "2"}));
  EXPECT_EQ(contents.texts.back(), (std::pair<int32_t, std::string>{2003, "vexlo-runtime.jar;a.jar"}));
}

TEST(TextEncoding, Windows1252RoundTripsEveryByte) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::string back;
  uint32_t unmappable = 0;
  ASSERT_TRUE(Utf8ToAnsi(AnsiToUtf8(all), &back, &unmappable));
  EXPECT_EQ(back, all);
  EXPECT_EQ(AnsiToUtf8("\x80\xE4"), "\xE2\x82\xAC\xC3\xA4");  // euro sign, a umlaut
  EXPECT_FALSE(Utf8ToAnsi("\xE2\x80\x80", &back, &unmappable));  // U+2000
  EXPECT_EQ(unmappable, 0x2000u);
}

TEST(TextEncoding, Utf16KeepsSurrogatePairsAndRefusesLoneOnes) {
  WideString wide;
  ASSERT_TRUE(Utf8ToWide("\xF0\x9F\x98\x80", &wide));  // U+1F600
  EXPECT_EQ(wide, (WideString{static_cast<WideChar>(0xD83D), static_cast<WideChar>(0xDE00)}));
  std::string utf8;
  ASSERT_TRUE(WideToUtf8(wide, &utf8));
  EXPECT_EQ(utf8, "\xF0\x9F\x98\x80");
  EXPECT_FALSE(WideToUtf8(WideString{static_cast<WideChar>(0xD83D)}, &utf8));
  EXPECT_FALSE(WideToUtf8(WideString{static_cast<WideChar>(0xDE00), static_cast<WideChar>('a')}, &utf8));
}

}  // namespace
}  // namespace builder
}  // namespace vexlo
