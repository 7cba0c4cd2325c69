// The registry sources of the JVM search in real processes: vendor keys,
// located-JVM lists and previous installations seeded in the real registry
// for one test, runtimes made of the java.exe double.
#include <gtest/gtest.h>

#include "support/jvm_fixture_win.h"

namespace vexlo {
namespace testing_support {
namespace {

const char kJre[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kJdk[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
const char kLocated[] = "SOFTWARE\\morvane-digital\\vexlo\\locatedjvms\\";
const char kInstallations[] = "SOFTWARE\\morvane-digital\\tavrelium\\installations";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The located-JVM sub-key naming a Java executable.
std::string LocatedKey(std::string java_executable) {
  for (char& c : java_executable) c = c == '\\' ? '/' : c;
  return kLocated + java_executable;
}

class RegistryJvmTest : public JvmTest {
 protected:
  // A vendor version sub-key whose JavaHome is a new runtime of that version.
  std::string VendorVersion(const char* key, const std::string& name, const std::string& version,
                            const RuntimeOptions& options = {}) {
    const std::string home = MakeRuntime("rt-" + std::string(key == kJdk ? "jdk-" : "jre-") + name, version, options);
    SeedString(HKEY_LOCAL_MACHINE, std::string(key) + "\\" + name, "JavaHome", home);
    return home;
  }
  // A located-JVM entry under root for a new runtime.
  std::string Located(HKEY root, const std::string& name, const std::string& version,
                      const RuntimeOptions& options = {}) {
    const std::string java = Lower(MakeRuntime(name, version, options) + "\\bin\\java.exe");
    SeedKey(root, LocatedKey(java));
    return java;
  }
  std::map<std::string, std::string> Find(const std::string& operation, const std::string& minimum = "",
                                          const std::string& maximum = "",
                                          const std::vector<std::pair<int32_t, std::string>>& records = {}) {
    return Fields(RunProbe(JvmProbe(records), operation + " " + Quoted(minimum) + " " + Quoted(maximum)));
  }
  // The candidates checkJavaExe was asked about, in order.
  std::vector<std::string> CheckedPaths() const {
    std::vector<std::string> paths;
    for (const std::string& line : LastLogLines("checkJavaExe (")) {
      const size_t start = line.find('(') + 1;
      paths.push_back(line.substr(start, line.find(", [out]") - start));
    }
    return paths;
  }
};

TEST_F(RegistryJvmTest, CurrentVersionRouteTakesTheGreaterAndTiesToTheJre) {
  const std::string jre17 = VendorVersion(kJre, "1.7", "1.7.0_80");
  const std::string jdk17 = VendorVersion(kJdk, "1.7", "1.7.0_79");
  const std::string jdk18 = VendorVersion(kJdk, "1.8", "1.8.0_31");
  const struct {
    const char* jdk_current;
    const char* jre_current;
    const char* minimum;
    std::string home;
  } cases[] = {
      {"1.7", "1.7", "", jre17},
      {"1.8", "1.7", "", jdk18},
      {"1.7", "1.5", "1.6", jdk17},  // the JRE's version is out of range: emptied
      {"1.5", "1.7", "", jre17},
  };
  for (const auto& c : cases) {
    SeedString(HKEY_LOCAL_MACHINE, kJdk, "CurrentVersion", c.jdk_current);
    SeedString(HKEY_LOCAL_MACHINE, kJre, "CurrentVersion", c.jre_current);
    const auto found = Find("javasoft", c.minimum);
    EXPECT_EQ(found.at("result"), "1") << c.jdk_current << " " << c.jre_current;
    EXPECT_EQ(found.at("path"), Lower(c.home + "\\bin\\java.exe")) << c.jdk_current << " " << c.jre_current;
    EXPECT_EQ(CheckedPaths().size(), 1u);  // the route's one candidate
  }
}

TEST_F(RegistryJvmTest, JdkRequiredNeverReadsTheJreKey) {
  const std::vector<std::pair<int32_t, std::string>> jdk_required = {{131, "1"}};
  RuntimeOptions jdk;
  jdk.under_jre = true;
  jdk.tools_jar = true;
  // A runtime behind the JRE key, and behind the JRE key itself (what
  // "<JRE key>\" + an empty version would read).
  const std::string jre = VendorVersion(kJre, "1.8", "1.8.0_31", jdk);
  SeedString(HKEY_LOCAL_MACHINE, kJre, "CurrentVersion", "1.8");
  SeedString(HKEY_LOCAL_MACHINE, kJre, "JavaHome", jre);
  EXPECT_EQ(Find("javasoft", "", "", jdk_required).at("result"), "0");
  EXPECT_TRUE(CheckedPaths().empty());
  // A JDK without lib\tools.jar is passed over before anything runs.
  const std::string no_tools = VendorVersion(kJdk, "1.7", "1.7.0_80");
  SeedString(HKEY_LOCAL_MACHINE, kJdk, "CurrentVersion", "1.7");
  EXPECT_EQ(Find("javasoft", "", "", jdk_required).at("result"), "0");
  EXPECT_EQ(RunCount(no_tools + "\\bin"), 0);
  const std::string with_tools = VendorVersion(kJdk, "1.6", "1.6.0_45", jdk);
  const auto found = Find("javasoft", "", "", jdk_required);
  EXPECT_EQ(found.at("result"), "1");
  EXPECT_EQ(found.at("path"), Lower(with_tools + "\\jre\\bin\\java.exe"));
  // Without the requirement the JRE key's current version is used.
  EXPECT_EQ(Find("javasoft").at("path"), Lower(jre + "\\jre\\bin\\java.exe"));
}

TEST_F(RegistryJvmTest, NoCurrentVersionsReadTheJreKeyItself) {
  const std::string rt = MakeRuntime("rt", "1.8.0_31");
  SeedString(HKEY_LOCAL_MACHINE, kJre, "JavaHome", rt);
  const auto found = Find("javasoft");
  EXPECT_EQ(found.at("path"), Lower(rt + "\\bin\\java.exe"));
}

TEST_F(RegistryJvmTest, EnumerationTriesTheNewestFirstThenTheCurrentDistributions) {
  RuntimeOptions refused;
  refused.double_settings = {"exit=1"};
  std::vector<std::string> expected;
  for (const char* name : {"1.7.0_80", "1.7", "1.6.0_45", "1.6"}) {
    expected.push_back(VendorVersion(kJre, name, "", refused) + "\\bin\\java.exe");
  }
  VendorVersion(kJre, "1.5.0_22", "", refused);  // below the minimum: never run
  expected.push_back(VendorVersion(kJdk, "1.6.0_10", "", refused) + "\\bin\\java.exe");
  for (const char* name : {"21.0.2", "17", "9.0.4"}) {
    const std::string home = MakeRuntime(std::string("jdk-") + name, "", refused);
    SeedString(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\JavaSoft\\JDK\\") + name, "JavaHome", home);
    expected.push_back(home + "\\bin\\java.exe");
  }
  // As the candidates are logged: the runtime directory as the registry
  // holds it, before resolution.
  EXPECT_EQ(Find("javasoft", "1.6").at("result"), "0");
  EXPECT_EQ(CheckedPaths(), expected);
}

TEST_F(RegistryJvmTest, CurrentDistributionsAreFound) {
  const struct {
    const char* key;           // below HKLM
    const char* value;         // the value naming the runtime directory
    const char* version;       // what the runtime announces
    bool jre;
  } cases[] = {
      {"SOFTWARE\\JavaSoft\\JDK\\17", "JavaHome", "17.0.2", false},
      {"SOFTWARE\\JavaSoft\\JRE\\21.0.2", "JavaHome", "21.0.2", true},
      {"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.2.8\\hotspot\\MSI", "Path", "17.0.2", false},
      {"SOFTWARE\\Eclipse Adoptium\\JRE\\11.0.14.9\\hotspot\\MSI", "Path", "11.0.14", true},
      {"SOFTWARE\\Eclipse Foundation\\JDK\\16.0.2.7\\hotspot\\MSI", "Path", "16.0.2", false},
      {"SOFTWARE\\AdoptOpenJDK\\JDK\\11.0.9.11\\openj9\\MSI", "Path", "11.0.9", false},
      {"SOFTWARE\\AdoptOpenJDK\\JRE\\8.0.275.1\\hotspot\\MSI", "Path", "1.8.0_275", true},
      {"SOFTWARE\\Microsoft\\JDK\\21.0.2.13\\hotspot\\MSI", "Path", "21.0.2", false},
      {"SOFTWARE\\Azul Systems\\Zulu\\zulu-17", "InstallationPath", "17.0.10", false},
  };
  // JDK-like runtimes (jre\bin inside, lib\tools.jar), so that a JDK
  // requirement tells the JRE keys apart.
  RuntimeOptions jdk;
  jdk.under_jre = true;
  jdk.tools_jar = true;
  int index = 0;
  for (const auto& c : cases) {
    const std::string home = MakeRuntime("dist" + std::to_string(index++), c.version, jdk);
    const std::string java = Lower(home + "\\jre\\bin\\java.exe");
    SeedString(HKEY_LOCAL_MACHINE, c.key, c.value, home + "\\");
    auto found = Find("javasoft", "1.8");
    EXPECT_EQ(found.at("result"), "1") << c.key;
    EXPECT_EQ(found.at("version"), c.version) << c.key;
    EXPECT_EQ(found.at("path"), java) << c.key;
    // A JDK required passes over the JRE keys.
    found = Find("javasoft", "1.8", "", {{131, "1"}});
    EXPECT_EQ(found.at("result"), c.jre ? "0" : "1") << c.key;
    if (c.jre) EXPECT_TRUE(CheckedPaths().empty()) << c.key;
    RemoveSeededKeys();
  }
}

TEST_F(RegistryJvmTest, CurrentDistributionsNewestAcceptableFirst) {
  const std::string adoptium = MakeRuntime("adoptium", "11.0.2");
  SeedString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Eclipse Adoptium\\JDK\\11.0.2.9\\hotspot\\MSI", "Path", adoptium);
  const std::string zulu = MakeRuntime("zulu", "17.0.10");
  SeedString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Azul Systems\\Zulu\\zulu-17", "InstallationPath", zulu);
  const std::string microsoft = MakeRuntime("microsoft", "21.0.2");
  SeedString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JDK\\21.0.2.13\\hotspot\\MSI", "Path", microsoft);
  EXPECT_EQ(Find("javasoft").at("path"), Lower(microsoft + "\\bin\\java.exe"));
  EXPECT_EQ(Find("javasoft", "", "17").at("path"), Lower(zulu + "\\bin\\java.exe"));
  EXPECT_EQ(Find("javasoft", "", "11").at("path"), Lower(adoptium + "\\bin\\java.exe"));
  // The classic keys come first.
  const std::string jre = VendorVersion(kJre, "1.8", "1.8.0_31");
  EXPECT_EQ(Find("javasoft").at("path"), Lower(jre + "\\bin\\java.exe"));
}

TEST_F(RegistryJvmTest, LocatedListTakesTheNewestAndTheEarlierOnATie) {
  const std::string a = Located(HKEY_CURRENT_USER, "a", "17.0.2");
  const std::string b = Located(HKEY_CURRENT_USER, "b", "17.0.2");
  EXPECT_EQ(Find("located").at("path"), a);
  const std::string c = Located(HKEY_CURRENT_USER, "c", "17.0.9");
  EXPECT_EQ(Find("located").at("path"), c);
  // Entries that fail after the best keep it: a missing executable, a
  // refused run, a version out of bounds.
  SeedKey(HKEY_CURRENT_USER, LocatedKey(Lower(work_ + "\\d\\bin\\java.exe")));
  RuntimeOptions refused;
  refused.double_settings = {"exit=1"};
  Located(HKEY_CURRENT_USER, "e", "", refused);
  Located(HKEY_CURRENT_USER, "f", "21.0.2");
  auto found = Find("located", "", "17");
  EXPECT_EQ(found.at("result"), "1");
  EXPECT_EQ(found.at("path"), c);
  EXPECT_EQ(found.at("version"), "17.0.9");
  EXPECT_EQ(CheckedPaths().size(), 6u);  // every entry is tested
  // Pre-release runtimes are allowed in the list.
  const std::string beta = Located(HKEY_CURRENT_USER, "g", "22-ea");
  EXPECT_EQ(Find("located").at("path"), beta);
  EXPECT_NE(b, a);
}

TEST_F(RegistryJvmTest, LocatedListsMachineUnlessTheUserHasNewer) {
  const struct {
    const char* user;
    const char* machine;
    bool user_wins;
  } cases[] = {{"17.0.2", "17.0.2", false}, {"17.0.3", "17.0.2", true}, {"11.0.2", "17.0.2", false},
               {"17.0.2", "9.0.4", true}};
  int index = 0;
  for (const auto& c : cases) {
    const std::string user = Located(HKEY_CURRENT_USER, "user" + std::to_string(index), c.user);
    const std::string machine = Located(HKEY_LOCAL_MACHINE, "machine" + std::to_string(index++), c.machine);
    EXPECT_EQ(Find("located").at("path"), c.user_wins ? user : machine) << c.user << " " << c.machine;
    RemoveSeededKeys();
  }
  const std::string only_machine = Located(HKEY_LOCAL_MACHINE, "only", "1.8.0_31");
  EXPECT_EQ(Find("located").at("path"), only_machine);
}

TEST_F(RegistryJvmTest, RegistryEntryTakesTheVendorOnlyWhenNewer) {
  const struct {
    const char* vendor;   // null: no vendor key
    const char* located;  // null: no located entry
    const char* winner;
  } cases[] = {{"17.0.2", "17.0.2", "located"}, {"17.0.3", "17.0.2", "vendor"}, {"1.8.0_31", "11.0.2", "located"},
               {"17.0.2", nullptr, "vendor"},   {nullptr, "1.8.0_31", "located"}, {nullptr, nullptr, nullptr}};
  int index = 0;
  for (const auto& c : cases) {
    std::string vendor, located;
    if (c.vendor != nullptr) {
      vendor = MakeRuntime("vendor" + std::to_string(index), c.vendor);
      SeedString(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\JDK\\17", "JavaHome", vendor);
      vendor = Lower(vendor + "\\bin\\java.exe");
    }
    if (c.located != nullptr) located = Located(HKEY_LOCAL_MACHINE, "located" + std::to_string(index), c.located);
    ++index;
    const auto found = Find("registryjvm");
    if (c.winner == nullptr) {
      EXPECT_EQ(found.at("result"), "0");
    } else {
      EXPECT_EQ(found.at("path"), std::string(c.winner) == "vendor" ? vendor : located) << c.vendor << " " << c.located;
    }
    EXPECT_EQ(LastLogLines("found sun ").size(), c.vendor ? 1u : 0u);
    if (c.vendor) EXPECT_EQ(LastLogLines("found sun ")[0], "found sun " + vendor + " " + c.vendor);
    EXPECT_EQ(LastLogLines("found located ").size(), c.located ? 1u : 0u);
    RemoveSeededKeys();
  }
}

TEST_F(RegistryJvmTest, PreviousInstallationsUnderEachRoot) {
  const std::string second = work_ + "\\second";
  MakeRuntime("second\\jre", "1.8.0_31");
  const std::string listed = work_ + "\\first;;" + second + ";";
  SeedString(HKEY_CURRENT_USER, kInstallations, "MyApp", listed);
  SeedString(HKEY_LOCAL_MACHINE, kInstallations, "MyApp", second);
  SeedString(HKEY_CURRENT_USER, kInstallations, "", second);  // the key's default value
  // Record 160 empty: nothing is read, not even the default value.
  auto found = Find("previous HKCU");
  EXPECT_EQ(found.at("result"), "0");
  EXPECT_TRUE(LastLogLines("found installations").empty());

  const std::vector<std::pair<int32_t, std::string>> named = {{160, "MyApp"}};
  found = Find("previous HKCU", "", "", named);
  EXPECT_EQ(found.at("result"), "1");
  EXPECT_EQ(found.at("path"), Lower(second + "\\jre\\bin\\java.exe"));
  EXPECT_EQ(LastLogLines("found installations: "), std::vector<std::string>{"found installations: " + listed});
  EXPECT_EQ(Find("previous HKLM", "", "", named).at("result"), "1");
  // Out of bounds, another value name, an empty value.
  EXPECT_EQ(Find("previous HKCU", "1.9", "", named).at("result"), "0");
  EXPECT_EQ(Find("previous HKCU", "", "", {{160, "Other"}}).at("result"), "0");
  SeedString(HKEY_CURRENT_USER, kInstallations, "MyApp", "");
  EXPECT_EQ(Find("previous HKCU", "", "", named).at("result"), "0");
  EXPECT_TRUE(LastLogLines("found installations").empty());
}

TEST_F(RegistryJvmTest, OnlyStringValuesAndExpandableOnesExpanded) {
  const std::string rt = MakeRuntime("rt", "1.8.0_31");
  SeedString(HKEY_LOCAL_MACHINE, std::string(kJre) + "\\1.8", "JavaHome", "rt-number", REG_DWORD);
  SeedString(HKEY_LOCAL_MACHINE, std::string(kJre) + "\\1.7", "JavaHome", "%RT_PARENT%\\rt", REG_EXPAND_SZ);
  const auto found = Fields(RunProbe(JvmProbe({}), "javasoft \"\" \"\"", {L"RT_PARENT=" + Widen(work_)}));
  EXPECT_EQ(found.at("path"), Lower(rt + "\\bin\\java.exe"));
  EXPECT_EQ(CheckedPaths(), std::vector<std::string>{rt + "\\bin\\java.exe"});
}

TEST_F(RegistryJvmTest, OverlongValuesAreHandledWhole) {
  SeedString(HKEY_LOCAL_MACHINE, std::string(kJre) + "\\1.8", "JavaHome", "C:\\" + std::string(20000, 'j'));
  SeedString(HKEY_LOCAL_MACHINE, kJre, "CurrentVersion", "1.8" + std::string(300, '0'));
  const std::string good = VendorVersion(kJdk, "1.7", "1.7.0_80");
  const auto found = Find("javasoft");
  EXPECT_EQ(found.at("result"), "1");
  EXPECT_EQ(found.at("path"), Lower(good + "\\bin\\java.exe"));
  const std::vector<std::string> checked = CheckedPaths();
  ASSERT_EQ(checked.size(), 2u);
  EXPECT_EQ(checked[0].size(), 3 + 20000 + std::string("\\bin\\java.exe").size());
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
