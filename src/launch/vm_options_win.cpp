#include "launch/vm_options_win.h"

#include "core/config_win.h"
#include "core/expand_win.h"
#include "core/log_win.h"
#include "core/paths_win.h"
#include "sys/file_tests_win.h"
#include "sys/handle_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

// Tries <path less ".exe">.vmoptions, then <path>.vmoptions.
FILE* OpenOptionsFileBeside(const WideString& executable, WideString* opened) {
  if (executable.size() > 4) {
    const WideString candidate = executable.substr(0, executable.size() - 4) + L".vmoptions";
    FILE* file = _wfopen(candidate.c_str(), L"rt");
    LogLine("vmoptions2: exe %S file: %S, file: %p", executable.c_str(), candidate.c_str(),
            static_cast<void*>(file));
    if (file != nullptr) {
      *opened = candidate;
      return file;
    }
  }
  const WideString candidate = executable + L".vmoptions";
  FILE* file = _wfopen(candidate.c_str(), L"rt");
  LogLine("vmoptions: opts2: %S, file: %p", candidate.c_str(), static_cast<void*>(file));
  if (file != nullptr) *opened = candidate;
  return file;
}

void ExpandInPlace(void*, std::string& text) { Expand(text); }

std::string MakeAbsoluteText(void*, const std::string& name, const char* base_file) {
  return MakeAbsolute(name, base_file);
}

// Text mode, as the files are written by hand: CR LF becomes LF and a Ctrl-Z
// ends the file.
void* OpenTextFile(void*, const std::string& path) { return fopen(path.c_str(), "rt"); }

std::string ReadAndClose(void*, void* opened) {
  FILE* file = static_cast<FILE*>(opened);
  std::string contents;
  char buffer[4096];
  size_t got = 0;
  while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) contents.append(buffer, got);
  fclose(file);
  return contents;
}

void* OpenDefault(void*, std::string* name) { return OpenDefaultOptionsFile(name); }

bool ExistsText(void*, const std::string& path) { return Exists(path); }

std::vector<std::string> ListFiles(void*, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  UniqueFind search(FindFirstFileA(pattern.c_str(), &entry));
  if (!search) return names;
  do {
    names.push_back(entry.cFileName);
  } while (FindNextFileA(search.get(), &entry));
  return names;
}

bool EnvironmentValue(void*, const std::string& name, std::string* value) {
  if (GetEnvironmentVariableA(name.c_str(), nullptr, 0) == 0) return false;
  *value = EnvironmentVariable(name.c_str());
  return true;
}

}  // namespace

FILE* OpenDefaultOptionsFile(std::string* name) {
  WideString opened;
  FILE* file = OpenOptionsFileBeside(ExecutableLongPath(), &opened);
  if (file == nullptr) {
    const WideString module = FillGrowing<wchar_t>(
        [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
    file = OpenOptionsFileBeside(module, &opened);
  }
  if (file != nullptr) WideToNarrow(opened, CP_ACP, name);
  return file;
}

OptionSystem LauncherOptionSystem() {
  OptionSystem system;
  system.expand = ExpandInPlace;
  system.make_absolute = MakeAbsoluteText;
  system.open_file = OpenTextFile;
  system.read_and_close = ReadAndClose;
  system.open_default_options_file = OpenDefault;
  system.exists = ExistsText;
  system.list_files = ListFiles;
  system.environment = EnvironmentValue;
  system.log = LogLine;
  system.log_error = LogErrorLine;
  return system;
}

}  // namespace vexlo
