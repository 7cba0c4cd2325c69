// Loading the JVM library in a child start: the VM type directories in their
// order, PATH extended and restored in the process and the C runtime, the
// JDK's private runtime as a second try, and the one message by how the
// runtime was found. Runs whole launchers against fake runtimes.
#include <gtest/gtest.h>

#include "core/record_ids.h"
#include "support/runtime_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

const std::wstring kPathSetting = L"PATH=C:\\windows\\system32;C:\\windows";
const std::string kPath = "C:\\windows\\system32;C:\\windows";

class JvmLoadTest : public RuntimeTest {
 protected:
  // The log lines that start with a prefix, in order.
  std::vector<std::string> LogLinesStartingWith(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : LastLog()) {
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  // The PATH changes of the JVM library loading (the native library path,
  // set earlier in a child start, logs its own kind of line).
  std::vector<std::string> PathSettings() const {
    std::vector<std::string> lines;
    for (const std::string& line : LogLinesStartingWith("Setting PATH ")) {
      if (line.rfind("Setting PATH (native libs)", 0) != 0) lines.push_back(line);
    }
    return lines;
  }

  // What standard error shows for a message while the log is on: the text
  // and the log path, with text-mode line ends.
  std::string Shown(const std::string& text) const {
    char long_path[MAX_PATH];
    const std::string log = tmp_ + "\\" + LogFiles().back();
    GetLongPathNameA(log.c_str(), long_path, MAX_PATH);
    std::string shown;
    for (char c : text + "\n\nLog: " + long_path + "\n") shown += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return shown;
  }
};

// Only bin\server\jvm.dll: hotspot and client miss, server loads, and PATH
// (the process's and the C runtime's, which the JVM reads) ends with bin.
TEST_F(JvmLoadTest, ServerLoadsAfterHotspotAndClientMiss) {
  const std::string runtime = MakeRuntime("jre", {"server"});
  const std::string bin = Lower(runtime) + "\\bin";
  const std::string exe = WriteLauncher("svc.exe", JvmContents());
  const ProcessResult result = RunChild(exe, runtime, "svc", {kPathSetting});
  EXPECT_EQ(result.exit_code, 0u) << result.err;

  const std::vector<std::string> log = LastLog();
  EXPECT_TRUE(Contains(log, "LoadDLL (1, (null), 0)"));
  EXPECT_TRUE(Contains(log, "Trying to load JVM-DLL from " + bin + "\\java.exe"));
  EXPECT_EQ(LogLinesStartingWith("Trying "),
            (std::vector<std::string>{"Trying to load JVM-DLL from " + bin + "\\java.exe",
                                      "Trying " + bin + "\\hotspot\\jvm.dll (exists 0)",
                                      "Trying " + bin + "\\client\\jvm.dll (exists 0)",
                                      "Trying " + bin + "\\server\\jvm.dll (exists 1)"}));
  EXPECT_EQ(PathSettings(), std::vector<std::string>{"Setting PATH " + kPath + ";" + bin});
  EXPECT_TRUE(Contains(log, "Loading of JVM-DLL successful"));

  const std::vector<std::string> record = Record(runtime + "\\bin\\server");
  EXPECT_EQ(Values(record, "PATH="), std::vector<std::string>{kPath + ";" + bin});
  EXPECT_EQ(Values(record, "crt PATH="), std::vector<std::string>{kPath + ";" + bin});
  EXPECT_TRUE(Contains(Values(record, "option="), "-Djava.library.path=" + kPath + ";" + bin));
}

// Record 152 names a type the runtime lacks: it is tried first and again in
// its place in the fixed list.
TEST_F(JvmLoadTest, PreferredVmTypeIsTriedFirstAndInItsPlace) {
  const std::string runtime = MakeRuntime("jre", {"server"});
  const std::string bin = Lower(runtime) + "\\bin";
  BlockContents contents = JvmContents();
  SetText(contents, 152, "client");
  const ProcessResult result = RunChild(WriteLauncher("svc.exe", contents), runtime, "svc");
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(LogLinesStartingWith("Trying " + bin + "\\"),
            (std::vector<std::string>{"Trying " + bin + "\\client\\jvm.dll (exists 0)",
                                      "Trying " + bin + "\\hotspot\\jvm.dll (exists 0)",
                                      "Trying " + bin + "\\client\\jvm.dll (exists 0)",
                                      "Trying " + bin + "\\server\\jvm.dll (exists 1)"}));
}

// A JDK chosen through its bin\java.exe: every type in bin fails (a broken
// client library among them), PATH is put back, and the JDK's private
// runtime below bin\..\jre\bin loads. The JVM home still follows bin\java.exe.
TEST_F(JvmLoadTest, JdkFallsBackToItsPrivateRuntime) {
  const std::string jdk = MakeRuntime("jdk", {});
  PlaceBrokenJvmDll(jdk + "\\bin\\client");
  PlaceJvmDll(jdk + "\\jre\\bin\\server", JvmDoublePath());
  const std::string bin = Lower(jdk) + "\\bin";
  const std::string private_bin = bin + "\\..\\jre\\bin";
  BlockContents contents = JvmContents();
  SetText(contents, 123, "-Dhome=${launcher:sys.jvmHome}");
  const std::string exe = WriteLauncher("svc.exe", contents);
  const ProcessResult result = RunChild(exe, jdk, "svc", {kPathSetting});
  EXPECT_EQ(result.exit_code, 0u) << result.err;

  std::vector<std::string> expected_trials;
  for (const char* type : {"hotspot", "client", "server", "classic", "jrockit"}) {
    expected_trials.push_back("Trying " + bin + "\\" + type + "\\jvm.dll (exists " +
                              (std::string(type) == "client" ? "1" : "0") + ")");
  }
  for (const char* type : {"hotspot", "client"}) {
    expected_trials.push_back("Trying " + private_bin + "\\" + type + "\\jvm.dll (exists 0)");
  }
  expected_trials.push_back("Trying " + private_bin + "\\server\\jvm.dll (exists 1)");
  EXPECT_EQ(LogLinesStartingWith("Trying " + bin), expected_trials);
  EXPECT_EQ(PathSettings(),
            (std::vector<std::string>{"Setting PATH " + kPath + ";" + bin, "Setting PATH " + kPath,
                                      "Setting PATH " + kPath + ";" + private_bin}));
  const std::vector<std::string> failures = LogLinesStartingWith("Failed with error code ");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0], "Failed with error code 0");

  const std::vector<std::string> record = Record(jdk + "\\jre\\bin\\server");
  EXPECT_EQ(Values(record, "crt PATH="), std::vector<std::string>{kPath + ";" + private_bin});
  const std::vector<std::string> options = Values(record, "option=");
  EXPECT_TRUE(Contains(options, "-Dhome=" + bin + "\\..")) << ::testing::PrintToString(options);
  EXPECT_TRUE(Contains(options, "-Djava.library.path=" + kPath + ";" + private_bin));
}

// PATH is kept whole: a value far over 16 KB survives being extended, put
// back and extended again.
TEST_F(JvmLoadTest, LongPathIsRestoredWhole) {
  const std::string jdk = MakeRuntime("jdk", {});
  PlaceJvmDll(jdk + "\\jre\\bin\\server", JvmDoublePath());
  std::string long_path = kPath;
  for (int i = 0; long_path.size() < 20000; ++i) long_path += ";C:\\tools\\directory" + std::to_string(i);
  const std::string exe = WriteLauncher("svc.exe", JvmContents());
  const ProcessResult result = RunChild(exe, jdk, "svc", {L"PATH=" + Widen(long_path)});
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  const std::string expected = long_path + ";" + Lower(jdk) + "\\bin\\..\\jre\\bin";
  const std::vector<std::string> record = Record(jdk + "\\jre\\bin\\server");
  EXPECT_EQ(Values(record, "PATH="), std::vector<std::string>{expected});
  EXPECT_EQ(Values(record, "crt PATH="), std::vector<std::string>{expected});
  EXPECT_TRUE(Contains(Values(record, "option="), "-Djava.library.path=" + expected));
}

// Without PATH the new value is the bin directory alone: a leading ";" would
// put the current directory on the library search path.
TEST_F(JvmLoadTest, UnsetPathBecomesTheBinDirectory) {
  const std::string runtime = MakeRuntime("jre", {"server"});
  const std::string bin = Lower(runtime) + "\\bin";
  const ProcessResult result = RunChild(WriteLauncher("svc.exe", JvmContents()), runtime, "svc", {L"PATH="});
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  const std::vector<std::string> record = Record(runtime + "\\bin\\server");
  EXPECT_EQ(Values(record, "PATH="), std::vector<std::string>{bin});
  EXPECT_EQ(Values(record, "crt PATH="), std::vector<std::string>{bin});
  EXPECT_EQ(PathSettings(), std::vector<std::string>{"Setting PATH " + bin});
}

TEST_F(JvmLoadTest, NothingFoundShowsMessage1016) {
  const std::string exe = WriteLauncher("svc.exe", JvmContents());
  const ProcessResult result = RunChild(exe, "", "svc");
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(result.err, Shown("No JVM could be found.\nInstall a 64-bit JDK or JRE."));
  const std::vector<std::string> log = LastLog();
  EXPECT_TRUE(Contains(log, "ERROR: No JVM found"));
  EXPECT_TRUE(LogLinesStartingWith("Trying to load JVM-DLL from").empty());
}

// A runtime named by an environment variable whose library does not load, or
// loads without the JNI entry: message 1018 with the variable's name, once.
TEST_F(JvmLoadTest, UnusableLibraryThroughVariableShowsMessage1018) {
  const std::string message = "The VEXLO_JAVA_HOME environment variable does not\n"
                              "point to a working 64-bit JDK or JRE.";
  const std::string exe = WriteLauncher("svc.exe", JvmContents());
  {
    SCOPED_TRACE("library that does not load");
    const std::string runtime = MakeRuntime("broken", {});
    PlaceBrokenJvmDll(runtime + "\\bin\\server");
    const ProcessResult result = RunChild(exe, runtime, "svc", {kPathSetting});
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_EQ(result.err, Shown(message));
    const std::vector<std::string> log = LastLog();
    EXPECT_TRUE(Contains(log, "ERROR: Could not get DLL-Handle."));
    EXPECT_TRUE(Contains(log, "ERROR: Could not load functions"));
    EXPECT_EQ(LogLinesStartingWith("Failed with error code ").size(), 1u);
    // Both bin directories tried, PATH put back after each.
    const std::vector<std::string> path_lines = PathSettings();
    ASSERT_EQ(path_lines.size(), 4u);
    EXPECT_EQ(path_lines[1], "Setting PATH " + kPath);
    EXPECT_EQ(path_lines[3], "Setting PATH " + kPath);
  }
  {
    SCOPED_TRACE("library without JNI_CreateJavaVM");
    const std::string runtime = MakeRuntime("noentry", {});
    PlaceJvmDll(runtime + "\\bin\\server", JvmWithoutEntryPath());
    const ProcessResult result = RunChild(exe, runtime, "svc", {kPathSetting});
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_EQ(result.err, Shown(message));
    const std::vector<std::string> log = LastLog();
    EXPECT_FALSE(Contains(log, "ERROR: Could not get DLL-Handle."));
    EXPECT_TRUE(Contains(log, "ERROR: Could not load functions"));
    // The library loaded, so PATH stays extended.
    EXPECT_EQ(PathSettings(),
              std::vector<std::string>{"Setting PATH " + kPath + ";" + Lower(runtime) + "\\bin"});
  }
}

// A runtime from a search-sequence directory whose library does not load:
// message 1020 with the location as configured.
TEST_F(JvmLoadTest, UnusableLibraryInDirectoryShowsMessage1020) {
  const std::string runtime = MakeRuntime("jre", {});
  PlaceJvmDll(runtime + "\\bin\\server", JvmWithoutEntryPath());
  BlockContents contents = JvmContents();
  SetText(contents, record::kSearchSequence, "A" + runtime);
  const ProcessResult result = RunChild(WriteLauncher("svc.exe", contents), "", "svc");
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(result.err, Shown("The JVM found at " + runtime + " is damaged."));
}

// Found through the Java vendor's registry keys: message 1005, no argument.
TEST_F(JvmLoadTest, UnusableLibraryFromRegistryShowsMessage1005) {
  const std::string runtime = MakeRuntime("jre", {});
  PlaceJvmDll(runtime + "\\bin\\server", JvmWithoutEntryPath());
  const char kJre[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
  {
    UniqueKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kJre) + "\\17.0").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key.get(), "JavaHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(runtime.c_str()),
                   static_cast<DWORD>(runtime.size() + 1));
    UniqueKey jre;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kJre, 0, KEY_ALL_ACCESS, jre.put()), ERROR_SUCCESS);
    RegSetValueExA(jre.get(), "CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>("17.0"), 5);
  }
  BlockContents contents = JvmContents();
  SetText(contents, record::kSearchSequence, "Y");
  const ProcessResult result = RunChild(WriteLauncher("svc.exe", contents), "", "svc");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(result.err, Shown("The JVM could not be started."));
}

// Found on the search path: message 1016 with "64", as when nothing is found.
TEST_F(JvmLoadTest, UnusableLibraryOnSearchPathShowsMessage1016) {
  const std::string runtime = MakeRuntime("jre", {});
  PlaceJvmDll(runtime + "\\bin\\server", JvmWithoutEntryPath());
  BlockContents contents = JvmContents();
  SetText(contents, record::kSearchSequence, "S");
  const ProcessResult result =
      RunChild(WriteLauncher("svc.exe", contents), "", "svc", {L"PATH=" + Widen(runtime) + L"\\bin;" + Widen(kPath)});
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(result.err, Shown("No JVM could be found.\nInstall a 64-bit JDK or JRE."));
  EXPECT_TRUE(Contains(LastLog(), "ERROR: Could not load functions"));
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
