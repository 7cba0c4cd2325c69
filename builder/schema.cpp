#include "schema.h"

#include <algorithm>
#include <cctype>

#include "core/record_ids.h"
#include "core/settings.h"

namespace vexlo {
namespace builder {

const std::vector<MessageSpec>& Messages() {
  // Texts with "{0}" take one argument; see docs/configuration.md for when
  // the launcher shows each.
  static const std::vector<MessageSpec> kMessages = {
      {1000, "caption", "Error"},
      {1001, "no-jvm-any",
       "No JVM could be found on your system.\nPlease define VEXLO_JAVA_HOME\nto point to an "
       "installed JDK or JRE or download a JRE from https://adoptium.net."},
      {1002, "damaged-path-jvm",
       "The JVM found in your path is damaged.\nPlease reinstall or define VEXLO_JAVA_HOME\nto "
       "point to an installed JDK or JRE."},
      {1003, "env-jvm-unusable-any",
       "The {0} environment variable does not\npoint to a working JDK or JRE."},
      {1004, "damaged-jvm-any",
       "The JVM found at {0} is damaged.\nPlease reinstall or define VEXLO_JAVA_HOME\nto point to "
       "an installed JDK or JRE."},
      {1005, "jvm-start-failed",
       "The JVM could not be started. The maximum heap size (-Xmx) might be too large or an "
       "antivirus or firewall tool could block the execution."},
      {1006, "class-path-entry-missing", "File or directory {0} not found or empty\n"},
      {1007, "wrong-parameter-usage", "Wrong Parameter Usage"},
      {1008, "class-path-variable-undefined", "The environment variable {0} has to be defined"},
      {1009, "internal-error", "An internal error occurred (error code: {0})"},
      {1010, "main-class-missing", "Couldn't load main class."},
      {1011, "main-method-missing", "Main method not found."},
      {1012, "error-title", "Error"},
      {1013, "ok-button", "Ok"},
      {1014, "startup-error", "An error occurred while starting up {0}:"},
      {1015, "no-temp-dir", "You must be at least Poweruser to run this program."},
      {1016, "no-jvm",
       "No JVM could be found on your system.\nPlease define VEXLO_JAVA_HOME\nto point to an "
       "installed {0}-bit JDK or JRE or download a JRE from https://adoptium.net."},
      {1017, "env-jvm-unusable-32",
       "The {0} environment variable does not\npoint to a working 32-bit JDK or JRE."},
      {1018, "env-jvm-unusable",
       "The {0} environment variable does not\npoint to a working 64-bit JDK or JRE."},
      {1019, "damaged-jvm-32",
       "The JVM found at {0} is damaged.\nPlease reinstall or define VEXLO_JAVA_HOME\nto point to "
       "an installed 32-bit JDK or JRE."},
      {1020, "damaged-jvm",
       "The JVM found at {0} is damaged.\nPlease reinstall or define VEXLO_JAVA_HOME\nto point to "
       "an installed 64-bit JDK or JRE."},
  };
  return kMessages;
}

const MessageSpec* FindMessage(const std::string& name) {
  for (const auto& message : Messages()) {
    if (name == message.name) return &message;
  }
  return nullptr;
}

const std::vector<ConfigKey>& AllKeys() {
  using namespace record;
  static const std::vector<ConfigKey> kKeys = [] {
    std::vector<ConfigKey> keys = {
        {"service", "name", {kServiceName}},
        {"service", "description", {kServiceDescription}},
        {"service", "start", {kLaunchMode, kDelayedStart}},
        {"service", "dependencies", {kServiceDependencies}},
        {"service", "account", {kServiceAccount}},
        {"service", "recovery", {kRecovery}},
        {"service", "environment", {kServiceEnvironment}},
        {"java", "main-class", {kMainClass}},
        {"java", "class-path", {kClassPath}},
        {"java", "arguments", {kAppArguments}},
        {"java", "runtime", {kModeLetter}},
        {"java", "runtime-jar", {}},
        {"java", "windowed", {kLaunchMode}},
        {"java", "stop", {kJavaStop}},
        {"jvm", "options", {kVmParameters}},
        {"jvm", "allow-j-arguments", {kAllowJArguments}},
        {"jvm", "vm-type", {kPreferredVmType}},
        {"search", "sequence", {kSearchSequence}},
        {"search", "min-version", {kMinimumJavaVersion}},
        {"search", "max-version", {kMaximumJavaVersion}},
        {"search", "allow-prerelease", {kAllowPreRelease}},
        {"search", "jdk-required", {kJdkRequired}},
        {"search", "previous-installation", {kPreviousInstallations}},
        {"paths", "working-directory", {kWorkingDirectory}},
        {"paths", "installation-directory", {kInstallationDirectory}},
        {"paths", "native-libraries", {kNativeLibraryDirectories}},
        {"instance", "single", {kSingleInstance}},
        {"instance", "namespace", {kGlobalSemaphore}},
        {"logs", "error", {kPassErrorLog, kErrorLog}},
        {"logs", "output", {kPassOutputLog, kOutputLog}},
        {"logs", "append", {kAppendLogs}},
        {"logs", "rotate", {kLogRotation}},
        {"messages", "dialog", {kLaunchMode}},
        {"messages", "omit", {}},
    };
    for (const auto& message : Messages()) keys.push_back({"messages", message.name, {message.id}});
    // Resources of the executable, not records (compile_exe.cpp).
    for (const char* name : {"version", "product-name", "company", "description", "copyright", "icon", "manifest"}) {
      keys.push_back({"exe", name, {}});
    }
    keys.push_back({"files", "source", {kIncludedFileCount, kIncludedFileNames}});
    keys.push_back({"files", "name", {kIncludedFileNames}});
    keys.push_back({"locales.<prefix>", "description", {kServiceDescription}});
    keys.push_back({"locales.<prefix>", "raw", {}});
    keys.push_back({"raw.text", "<id>", {}});
    keys.push_back({"raw.wide", "<id>", {}});
    for (const SettingKey& setting : SettingKeys()) {
      auto end = keys.begin();
      for (auto key = keys.begin(); key != keys.end(); ++key) {
        if (std::string(key->table) == setting.table) end = key + 1;
      }
      keys.insert(end, {setting.table, setting.name, {setting.id}});
    }
    return keys;
  }();
  return kKeys;
}

namespace {

// The rule of a duration setting, as a SettingKey takes it.
template <const DurationSetting& setting>
std::string DurationRule(const std::string& text) {
  uint64_t milliseconds = 0;
  return DurationProblem(text, setting, &milliseconds);
}

}  // namespace

const std::vector<SettingKey>& SettingKeys() {
  static const std::vector<SettingKey> kSettings = {
      {"service", "stop-timeout", record::kStopTimeout, kStopTimeoutSetting.default_text,
       DurationRule<kStopTimeoutSetting>},
      {"service", "preshutdown-timeout", record::kPreshutdownTimeout, kPreshutdownTimeoutSetting.default_text,
       DurationRule<kPreshutdownTimeoutSetting>},
      {"service", "start-check", record::kStartCheck, kStartCheckSetting.default_text, DurationRule<kStartCheckSetting>},
      {"logs", "service", record::kServiceLog, nullptr, ServiceLogPathProblem},
      {"logs", "service-max-size", record::kServiceLogMaxSize, kServiceLogMaxSizeSetting.default_text,
       [](const std::string& text) {
         uint64_t bytes = 0;
         return SizeProblem(text, kServiceLogMaxSizeSetting, &bytes);
       }},
  };
  return kSettings;
}

const ConfigKey* KeyWriting(int32_t id) {
  for (const auto& key : AllKeys()) {
    if (std::find(key.records.begin(), key.records.end(), id) != key.records.end()) return &key;
  }
  return nullptr;
}

std::string KeyPath(const ConfigKey& key) { return std::string(key.table) + "." + key.name; }

std::vector<std::string> KeyNamesOf(const std::string& table) {
  std::vector<std::string> names;
  for (const auto& key : AllKeys()) {
    if (table == key.table) names.push_back(key.name);
  }
  return names;
}

const std::vector<std::string>& TableNames() {
  static const std::vector<std::string> kTables = {
      "service", "java", "jvm", "search", "paths", "instance", "logs", "messages", "exe",
      "files", "locales", "raw"};
  return kTables;
}

namespace {

std::string Folded(const std::string& text) {
  std::string folded;
  for (char c : text) {
    folded.push_back(c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return folded;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string NearestName(const std::string& wrong, const std::vector<std::string>& candidates) {
  const std::string folded = Folded(wrong);
  std::string best;
  size_t best_distance = 0;
  for (const auto& candidate : candidates) {
    const size_t distance = EditDistance(folded, Folded(candidate));
    if (best.empty() || distance < best_distance) {
      best = candidate;
      best_distance = distance;
    }
  }
  // A third of the name may be wrong, and always two characters.
  const size_t allowed = std::max<size_t>(2, folded.size() / 3);
  return !best.empty() && best_distance <= allowed ? best : std::string();
}

}  // namespace builder
}  // namespace vexlo
