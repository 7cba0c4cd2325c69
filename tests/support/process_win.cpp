#include "support/process_win.h"

#include <cctype>
#include <cwchar>
#include <map>

#include "sys/handle_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace testing_support {
namespace {

std::wstring UpperName(const std::wstring& entry) {
  std::wstring name = entry.substr(0, entry.find(L'=', 1));
  for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
  return name;
}

// The inherited environment with the overrides applied, as a sorted block.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& overrides) {
  std::map<std::wstring, std::wstring> entries;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    entries[UpperName(entry)] = entry;
  }
  FreeEnvironmentStringsW(block);
  for (const std::wstring& entry : overrides) {
    const std::wstring name = UpperName(entry);
    if (entry.size() == name.size() + 1) entries.erase(name);
    else entries[name] = entry;
  }
  std::wstring result;
  for (const auto& entry : entries) {
    result += entry.second;
    result.push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
}

UniqueFile InheritableTempFile(std::wstring* path) {
  wchar_t directory[MAX_PATH], name[MAX_PATH];
  GetTempPathW(MAX_PATH, directory);
  GetTempFileNameW(directory, L"vxt", 0, name);
  *path = name;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  return UniqueFile(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
}

bool CreateWithOptions(const std::wstring& command_line, const ProcessOptions& options,
                       STARTUPINFOW* startup, BOOL inherit_handles, PROCESS_INFORMATION* info) {
  std::wstring environment = EnvironmentBlock(options.environment);
  std::wstring mutable_command = command_line;
  const wchar_t* directory = options.current_directory.empty() ? nullptr : options.current_directory.c_str();
  return CreateProcessW(nullptr, &mutable_command[0], nullptr, nullptr, inherit_handles,
                        CREATE_UNICODE_ENVIRONMENT | options.creation_flags, &environment[0], directory, startup,
                        info) != 0;
}

std::string ReadBack(const std::wstring& path) {
  const std::string text = ReadWholeFile(Narrow(path));
  DeleteFileW(path.c_str());
  return text;
}

}  // namespace

std::wstring Widen(const std::string& text) { return NarrowToWide(text, CP_ACP); }

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  WideToNarrow(text, CP_ACP, &narrow);
  return narrow;
}

bool StartProcess(const std::wstring& command_line, const ProcessOptions& options,
                  PROCESS_INFORMATION* info) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  if (options.input_handle != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = options.input_handle;
  }
  return CreateWithOptions(command_line, options, &startup, options.input_handle != nullptr, info);
}

ProcessResult RunProcess(const std::wstring& command_line, const ProcessOptions& options) {
  ProcessResult result;
  std::wstring out_path, err_path;
  UniqueFile out = InheritableTempFile(&out_path);
  UniqueFile err = InheritableTempFile(&err_path);
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  const wchar_t* input = options.input_path.empty() ? L"NUL" : options.input_path.c_str();
  UniqueFile in(CreateFileW(input, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  PROCESS_INFORMATION info = {};
  result.started = CreateWithOptions(command_line, options, &startup, TRUE, &info);
  if (result.started) {
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (WaitForSingleObject(process.get(), options.timeout_ms) != WAIT_OBJECT_0) {
      TerminateProcess(process.get(), 999);
      WaitForSingleObject(process.get(), 5000);
    }
    GetExitCodeProcess(process.get(), &result.exit_code);
  }
  out.reset();
  err.reset();
  result.out = ReadBack(out_path);
  result.err = ReadBack(err_path);
  return result;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string ReadWholeFile(const std::string& path) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  if (!file) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::vector<std::string> ListDirectory(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  UniqueFind search(FindFirstFileA((directory + "\\*").c_str(), &entry));
  if (!search) return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search.get(), &entry));
  return names;
}

// Wide throughout: tests leave names behind that the ANSI code page cannot
// spell.
static void RemoveTreeWide(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {  // a link: never what it points to
    RemoveDirectoryW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW entry;
  UniqueFind search(FindFirstFileW((path + L"\\*").c_str(), &entry));
  if (search) {
    do {
      const std::wstring name = entry.cFileName;
      if (name != L"." && name != L"..") RemoveTreeWide(path + L"\\" + name);
    } while (FindNextFileW(search.get(), &entry));
  }
  search.reset();
  RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string& path) { RemoveTreeWide(Widen(path)); }

void CreateDirectories(const std::string& path) {
  for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1)) {
    CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  }
  CreateDirectoryA(path.c_str(), nullptr);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& candidate : lines) {
    if (candidate == line) return true;
  }
  return false;
}

size_t FindLine(const std::vector<std::string>& lines, const std::string& prefix) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(prefix, 0) == 0) return i;
  }
  return lines.size();
}

}  // namespace testing_support
}  // namespace vexlo
