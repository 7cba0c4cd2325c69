#include "core/config_win.h"

#include "core/block_format.h"
#include "core/config.h"
#include "core/errors_win.h"
#include "core/log_win.h"
#include "core/temp_dir_win.h"
#include "sys/path_text.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

uint32_t g_block_end = 0;
bool g_dialog_mode = true;  // fatal texts before the block is read use a box
bool g_service_child = false;

bool UsableNarrowPath(bool converted, const std::string& path) {
  return converted && path.size() >= 4 && lstrcmpiA(path.c_str() + path.size() - 4, ".exe") == 0;
}

const ExecutablePaths& Paths() {
  static const ExecutablePaths paths = ComputeExecutablePaths(FileApiCodePage());
  return paths;
}

// The executable file as a byte source for the block reader.
bool FileSeek(void* context, uint64_t offset) {
  LARGE_INTEGER target;
  target.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(static_cast<HANDLE>(context), target, nullptr, FILE_BEGIN) != 0;
}

bool FileRead(void* context, void* buffer, uint32_t size, uint32_t* got, uint32_t* system_error) {
  DWORD read = 0;
  const BOOL ok = ReadFile(static_cast<HANDLE>(context), buffer, size, &read, nullptr);
  *got = read;
  *system_error = ok ? 0 : GetLastError();
  return ok != 0;
}

uint64_t FilePosition(void* context) {
  LARGE_INTEGER zero, position;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(static_cast<HANDLE>(context), zero, &position, FILE_CURRENT)) return 0;
  return static_cast<uint64_t>(position.QuadPart);
}

}  // namespace

ExecutablePaths ComputeExecutablePaths(UINT code_page) {
  ExecutablePaths paths;
  const WideString module = FillGrowing<wchar_t>(
      [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
  paths.long_wide = FillGrowing<wchar_t>(
      [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(module.c_str(), buffer, size); });
  if (paths.long_wide.empty()) paths.long_wide = module;

  // Narrow paths are what the rest of the launcher works with: prefer the long
  // form, then the short form when the long one has characters outside the
  // code page or does not convert at all, then whatever the narrow APIs
  // report.
  bool converted = WideToNarrow(paths.long_wide, code_page, &paths.narrow);
  if (!UsableNarrowPath(converted, paths.narrow)) {
    const WideString short_wide = FillGrowing<wchar_t>([&](wchar_t* buffer, DWORD size) {
      return GetShortPathNameW(paths.long_wide.c_str(), buffer, size);
    });
    converted = !short_wide.empty() && WideToNarrow(short_wide, code_page, &paths.narrow);
    if (!UsableNarrowPath(converted, paths.narrow)) {
      const std::string module_narrow = FillGrowing<char>(
          [](char* buffer, DWORD size) { return GetModuleFileNameA(nullptr, buffer, size); });
      paths.narrow = FillGrowing<char>([&](char* buffer, DWORD size) {
        return GetShortPathNameA(module_narrow.c_str(), buffer, size);
      });
      if (paths.narrow.empty()) paths.narrow = module_narrow;
    }
  }
  CollapseBackslashes(paths.long_wide);
  CollapseNarrowBackslashes(paths.narrow, code_page);
  const size_t last_backslash = paths.narrow.rfind('\\');
  paths.directory =
      last_backslash == std::string::npos ? std::string() : paths.narrow.substr(0, last_backslash + 1);
  return paths;
}

const std::string& ExecutablePath() { return Paths().narrow; }
const WideString& ExecutableLongPath() { return Paths().long_wide; }
const std::string& ExecutableDirectory() { return Paths().directory; }
uint32_t BlockEndPosition() { return g_block_end; }
bool DialogMode() { return g_dialog_mode && !g_service_child; }

void TakeServiceChildMark() {
  char value[2] = {};
  g_service_child = GetEnvironmentVariableA(kServiceChildVariable, value, sizeof(value)) == 1 && value[0] == '1';
  SetEnvironmentVariableA(kServiceChildVariable, nullptr);
  if (g_service_child) LogLine("a service's child: messages go to standard error");
  TakeChosenLauncherTempDir(g_service_child);
}

uint64_t ConfigDurationMs(const DurationSetting& setting) {
  uint64_t value = 0;
  const std::string& text = ConfigText(setting.id);
  if (!text.empty() && DurationValue(text, setting, &value)) return value;
  if (!text.empty()) {
    LogErrorLine("record %d: \"%s\" is not a valid value; using %s", static_cast<int>(setting.id), text.c_str(),
                 setting.default_text);
  }
  DurationValue(setting.default_text, setting, &value);
  return value;
}

ByteSource FileSource(HANDLE file) { return ByteSource{file, FileSeek, FileRead, FilePosition}; }

UniqueFile OpenOwnExecutable() {
  UniqueFile file(CreateFileA(ExecutablePath().c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || file.get() == nullptr) {
    LogErrorLine("Could not open %s", ExecutablePath().c_str());
    FatalText("Error opening media file. Please move this file to an ascii-only path like c:\\");
  }
  return file;
}

void ReadConfigurationBlock(LocaleDetector detect_locale) {
  UniqueFile file = OpenOwnExecutable();
  BlockStream stream{FileSource(file.get()), LogLine};
  uint64_t block_start = 0, block_end = 0;
  if (!FindBlockStart(stream, &block_start) || !ReadDefaultRecords(stream, &ConfigRecords())) {
    FatalText(BlockErrorText(stream.error));
  }
  // The override blocks follow the user's locale, known only from here on.
  if (!ReadLocaleOverrides(stream, detect_locale(), &ConfigRecords(), &block_end)) {
    FatalText(BlockErrorText(stream.error));
  }
  g_block_end = static_cast<uint32_t>(block_end);
  file.reset();
  const int32_t launch_mode = ConfigInteger(record::kLaunchMode);
  if (launch_mode != 1 && launch_mode != 5) g_dialog_mode = false;
}

}  // namespace vexlo
