// Launchers built from TOML by the cross-built vexlo-build.exe, run under the
// real service control manager: what the configuration says is what install
// registers and what the JVM receives.
#include <gtest/gtest.h>

#include <imagehlp.h>

#include <cstdlib>

#include "core/resource_section.h"

#include "support/runtime_fixture_win.h"
#include "support/service_query_win.h"
#include "support/test_icons.h"

namespace vexlo {
namespace testing_support {
namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

class BuilderTest : public RuntimeTest {
 protected:
  void TearDown() override {
    for (const auto& name : installed_) RemoveService(name);
    RuntimeTest::TearDown();
  }

  // Runs vexlo-build.exe; the stub is the build's own.
  ProcessResult Builder(const std::string& arguments) {
    return Run(TestEnvironment("VEXLO_BUILDER"), arguments);
  }

  std::string BuildFrom(const std::string& config, const std::string& exe_name, const std::string& more = "") {
    const std::string exe = work_ + "\\" + exe_name;
    const ProcessResult built =
        Builder("build " + Quoted(config) + " -o " + Quoted(exe) + " --stub " + Quoted(StubPath()) + more);
    EXPECT_EQ(built.exit_code, 0u) << built.err;
    return exe;
  }

  void Installs(const std::string& name) {
    installed_.push_back(name);
    RemoveService(name);
  }

  std::vector<std::string> installed_;
};

TEST_F(BuilderTest, DemoConfigurationRegistersItsService) {
  Installs("Vexlo Demo");
  const std::string exe =
      BuildFrom(TestEnvironment("VEXLO_SOURCE_DIR") + "\\examples\\demo\\demo.toml", "demo.exe");
  const ProcessResult install = Run(exe, "-install");
  EXPECT_EQ(install.out, "Installed service 'Vexlo Demo'.\r\n");
  EXPECT_EQ(install.exit_code, 0u);
  const ServiceConfig config = QueryServiceSettings("Vexlo Demo");
  ASSERT_TRUE(config.found);
  EXPECT_EQ(config.start_type, static_cast<DWORD>(SERVICE_AUTO_START));  // start = "auto"
  EXPECT_EQ(config.description, L"Vexlo demo service: a heartbeat every half second");
  EXPECT_EQ(config.binary_path, exe);
  EXPECT_EQ(FirstDependency("Vexlo Demo"), "Tcpip");
  EXPECT_EQ(Run(exe, "-uninstall").exit_code, 0u);
}

// A configuration the test writes: demand start, a localised description
// (the prefix "en" matches Wine's en_US), an embedded runtime jar and an
// included file.
TEST_F(BuilderTest, ConfigurationSetsNameDescriptionAndStartType) {
  const std::string name = "vexlo-test-builder-demand";
  Installs(name);
  ASSERT_TRUE(WriteWholeFile(work_ + "\\runtime.jar", "stand-in for vexlo-runtime.jar"));
  ASSERT_TRUE(WriteWholeFile(work_ + "\\app.jar", "stand-in for the application"));
  const std::string config =
      "[service]\n"
      "name = \"" + name + "\"\n"
      "description = \"Not for English users\"\n"
      "start = \"demand\"\n"
      "dependencies = [\"Afd\", \"Tcpip\"]\n"
      "[java]\n"
      "main-class = \"com.example.Main\"\n"
      "[[files]]\n"
      "source = \"app.jar\"\n"
      "[locales.de]\n"
      "description = \"F\xC3\xBCr Deutsch\"\n"
      "[locales.en]\n"
      "description = \"English description, caf\xC3\xA9\"\n";
  ASSERT_TRUE(WriteWholeFile(work_ + "\\svc.toml", config));
  const std::string exe = BuildFrom(work_ + "\\svc.toml", "svc.exe", " --runtime-jar " + Quoted(work_ + "\\runtime.jar"));
  EXPECT_EQ(Run(exe, "-install").out, "Installed service '" + name + "'.\r\n");
  const ServiceConfig settings = QueryServiceSettings(name);
  ASSERT_TRUE(settings.found);
  EXPECT_EQ(settings.start_type, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(settings.description, L"English description, caf\x00e9");
  EXPECT_EQ(FirstDependency(name), "Afd");
  EXPECT_EQ(Run(exe, "-uninstall").exit_code, 0u);
}

// A child start of a launcher built from TOML hands the JVM (the recording
// jvm.dll) the configured class path, options and arguments.
TEST_F(BuilderTest, ChildStartGetsTheConfiguredClassPathOptionsAndArguments) {
  const std::string runtime = MakeRuntime();
  ASSERT_TRUE(WriteWholeFile(work_ + "\\runtime.jar", "stand-in for vexlo-runtime.jar"));
  CreateDirectories(work_ + "\\lib");
  ASSERT_TRUE(WriteWholeFile(work_ + "\\lib\\app.jar", "stand-in for the application"));
  const std::string config =
      "[service]\n"
      "name = \"built-from-toml\"\n"
      "[java]\n"
      "main-class = \"com.example.Main\"\n"
      "class-path = [{ archive = \"lib\\\\app.jar\", required = true }, { directory = \"classes\" }]\n"
      "arguments = [\"--port\", \"8080\", \"two words\"]\n"
      "[jvm]\n"
      "options = [\"-Xmx256m\", \"-Dapp.mode=service\"]\n"
      "[search]\n"
      "sequence = [{ env = \"VEXLO_JAVA_HOME\" }]\n"
      "[logs]\n"
      "output = \"out.log\"\n";
  ASSERT_TRUE(WriteWholeFile(work_ + "\\svc.toml", config));
  const std::string exe = BuildFrom(work_ + "\\svc.toml", "svc.exe", " --runtime-jar " + Quoted(work_ + "\\runtime.jar"));
  const ProcessResult result = RunChild(exe, runtime, "svc");
  ASSERT_EQ(result.exit_code, 0u) << result.err;

  const std::vector<std::string> record = Record(runtime + "\\bin\\server");
  const std::vector<std::string> options = Values(record, "option=");
  EXPECT_TRUE(Contains(options, "-Xmx256m"));
  EXPECT_TRUE(Contains(options, "-Dapp.mode=service"));
  // The embedded runtime jar comes from the launcher's temporary folder, then
  // the configured entries in order.
  ASSERT_FALSE(options.empty());
  const std::string class_path = options.back();
  ASSERT_EQ(class_path.rfind("-Djava.class.path=", 0), 0u) << class_path;
  const size_t runtime_jar = class_path.find("\\vexlo-runtime.jar;");
  const size_t app_jar = class_path.find(";" + work_ + "\\lib\\app.jar;");
  EXPECT_NE(runtime_jar, std::string::npos) << class_path;
  EXPECT_NE(app_jar, std::string::npos) << class_path;
  EXPECT_LT(runtime_jar, app_jar);
  EXPECT_NE(class_path.find(";" + work_ + "\\classes;"), std::string::npos) << class_path;
  EXPECT_EQ(Values(record, "arg="),
            (std::vector<std::string>{"false", "com.example.Main", "", work_ + "\\out.log", "false", "svc", "--port",
                                      "8080", "two words"}));
}

// Array elements that expand arrive whole from a folder with blanks.
TEST_F(BuilderTest, ExpandedArrayElementsArriveWholeFromAFolderWithBlanks) {
  const std::string runtime = MakeRuntime();
  const std::string folder = work_ + "\\Program Files\\My App";
  CreateDirectories(folder);
  ASSERT_TRUE(WriteWholeFile(work_ + "\\svc.toml",
                             "[java]\nmain-class = \"a.B\"\narguments = [\"-baseDir\", \"%VEXLO_EXEDIR%data\"]\n"
                             "[jvm]\noptions = [\"-Dapp.home=%VEXLO_EXEDIR%\"]\n"));
  const std::string exe = BuildFrom(work_ + "\\svc.toml", "Program Files\\My App\\svc.exe");
  ASSERT_EQ(RunChild(exe, runtime, "svc").exit_code, 0u);
  const std::vector<std::string> record = Record(runtime + "\\bin\\server");
  EXPECT_TRUE(Contains(Values(record, "option="), "-Dapp.home=" + folder + "\\"));
  const std::vector<std::string> arguments = Values(record, "arg=");
  EXPECT_EQ(std::vector<std::string>(arguments.end() - 2, arguments.end()),
            (std::vector<std::string>{"-baseDir", folder + "\\data"}));
}

TEST_F(BuilderTest, InspectPrintsWhatBuildsTheSameExecutable) {
  const std::string first =
      BuildFrom(TestEnvironment("VEXLO_SOURCE_DIR") + "\\tests\\builder\\data\\every_key.toml", "first.exe");
  const ProcessResult inspect = Builder("inspect " + Quoted(first) + " -o " + Quoted(work_ + "\\again.toml") +
                                        " --extract " + Quoted(work_ + "\\files"));
  EXPECT_EQ(inspect.exit_code, 0u) << inspect.err;
  EXPECT_EQ(inspect.err, "");
  const std::string second = BuildFrom(work_ + "\\again.toml", "second.exe");
  EXPECT_TRUE(ReadWholeFile(first) == ReadWholeFile(second));
}

TEST_F(BuilderTest, ErrorsNameTheLineAndWriteNothing) {
  ASSERT_TRUE(WriteWholeFile(work_ + "\\bad.toml", "[service]\nname = \"x\"\n[java]\nmain_class = \"a.B\"\n"));
  const std::string exe = work_ + "\\bad.exe";
  const ProcessResult built = Builder("build " + Quoted(work_ + "\\bad.toml") + " -o " + Quoted(exe) +
                                      " --stub " + Quoted(StubPath()));
  EXPECT_EQ(built.exit_code, 1u);
  EXPECT_NE(built.err.find("bad.toml:4:1: error: java.main_class: unknown key; did you mean java.main-class?"),
            std::string::npos)
      << built.err;
  EXPECT_EQ(GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Builder("build").exit_code, 2u);
}

// A resource of the executable, loaded the way Explorer loads it; empty
// when there is none.
std::string ResourceBytes(const std::string& exe, WORD id, const wchar_t* type) {
  HMODULE module = LoadLibraryExW(Widen(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(module, nullptr) << GetLastError();
  std::string bytes;
  if (HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(id), type) : nullptr) {
    const void* data = LockResource(LoadResource(module, found));
    bytes.assign(static_cast<const char*>(data), SizeofResource(module, found));
  }
  if (module) FreeLibrary(module);
  return bytes;
}

std::wstring VersionText(const std::string& version_info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(version_info.data(), path.c_str(), &value, &length)) return L"(none)";
  return std::wstring(static_cast<const wchar_t*>(value));
}

// What Explorer and Task Manager read: the version texts and numbers, the
// icon group with its sizes, the manifest, a valid checksum; and the
// executable still installs and uninstalls its service.
TEST_F(BuilderTest, ExecutableCarriesItsVersionIconAndManifest) {
  const std::string name = "vexlo-test-builder-resources";
  Installs(name);
  ASSERT_TRUE(WriteWholeFile(work_ + "\\app.ico", TestIconFile({{16, TestBitmap(16, 1)}, {32, TestBitmap(32, 2)},
                                                                 {48, TestBitmap(48, 3)}})));
  const std::string config = "[service]\nname = \"" + name + "\"\n[java]\nruntime = \"none\"\n"
      "[exe]\nversion = \"4.3.2.1\"\nproduct-name = \"Vexlo Product\"\ncompany = \"Vexlo Company\"\n"
      "description = \"Vexlo caf\xC3\xA9 service\"\ncopyright = \"\xC2\xA9 2026 Vexlo\"\nicon = \"app.ico\"\n";
  ASSERT_TRUE(WriteWholeFile(work_ + "\\svc.toml", config));
  const std::string exe = BuildFrom(work_ + "\\svc.toml", "svc.exe");

  const DWORD size = GetFileVersionInfoSizeW(Widen(exe).c_str(), nullptr);
  ASSERT_NE(size, 0u) << GetLastError();
  std::string info(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoW(Widen(exe).c_str(), 0, size, &info[0]));
  EXPECT_EQ(VersionText(info, L"ProductName"), L"Vexlo Product");
  EXPECT_EQ(VersionText(info, L"CompanyName"), L"Vexlo Company");
  EXPECT_EQ(VersionText(info, L"FileDescription"), L"Vexlo caf\x00e9 service");
  EXPECT_EQ(VersionText(info, L"LegalCopyright"), L"\x00a9 2026 Vexlo");
  EXPECT_EQ(VersionText(info, L"FileVersion"), L"4.3.2.1");
  EXPECT_EQ(VersionText(info, L"ProductVersion"), L"4.3.2.1");
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00040003u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00020001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00040003u);
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  const std::string group = ResourceBytes(exe, 1, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_EQ(group.size(), 6u + 3 * 14);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(static_cast<uint8_t>(group[6 + 14 * i]), 16 * (i + 1)) << i;
  // The system picks the configured 32-pixel image and can draw it.
  const int id = LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(const_cast<char*>(group.data())), TRUE, 32, 32, 0);
  std::string image = ResourceBytes(exe, static_cast<WORD>(id), MAKEINTRESOURCEW(3));  // RT_ICON
  EXPECT_EQ(image, TestBitmap(32, 2));
  HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]), static_cast<DWORD>(image.size()), TRUE,
                                        0x00030000, 32, 32, 0);
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);
  EXPECT_EQ(ResourceBytes(exe, 1, MAKEINTRESOURCEW(24)), DefaultManifest());  // RT_MANIFEST

  DWORD header_sum = 0, computed_sum = 0;
  ASSERT_EQ(MapFileAndCheckSumW(Widen(exe).c_str(), &header_sum, &computed_sum), static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_EQ(header_sum, computed_sum);

  EXPECT_EQ(Run(exe, "-install").out, "Installed service '" + name + "'.\r\n");
  EXPECT_EQ(Run(exe, "-uninstall").exit_code, 0u);
}

// Without [exe] keys: the default manifest and nothing else, and the
// executable works as before.
TEST_F(BuilderTest, WithoutExeKeysOnlyTheDefaultManifest) {
  const std::string name = "vexlo-test-builder-plain";
  Installs(name);
  ASSERT_TRUE(WriteWholeFile(work_ + "\\svc.toml", "[service]\nname = \"" + name + "\"\n[java]\nruntime = \"none\"\n"));
  const std::string exe = BuildFrom(work_ + "\\svc.toml", "svc.exe");
  EXPECT_EQ(GetFileVersionInfoSizeW(Widen(exe).c_str(), nullptr), 0u);
  EXPECT_EQ(ResourceBytes(exe, 1, MAKEINTRESOURCEW(14)), "");
  EXPECT_EQ(ResourceBytes(exe, 1, MAKEINTRESOURCEW(24)), DefaultManifest());
  EXPECT_EQ(Run(exe, "-install").exit_code, 0u);
  EXPECT_EQ(Run(exe, "-status").out, "Not running.\r\n");  // demand start: no auto-start line
  EXPECT_EQ(Run(exe, "-uninstall").exit_code, 0u);
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
