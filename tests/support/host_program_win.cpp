#include "support/host_program_win.h"

#include <stdio.h>

#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

using SpawnFunction = long(__cdecl*)(char* const argv[], int wait);
using UnixNameFunction = char*(__cdecl*)(const WCHAR* dos_name);

SpawnFunction Spawn() {
  return reinterpret_cast<SpawnFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
}

UnixNameFunction UnixName() {
  return reinterpret_cast<UnixNameFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
}

int SpawnAndWait(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  return static_cast<int>(Spawn()(pointers.data(), 1));
}

// Copies from one handle to another until the source ends. A pump owns
// itself and its FIFO end: the input pump may outlive the program, blocked on
// a source that never ends.
struct Pump {
  HANDLE from;
  HANDLE to;
  UniqueFile fifo;         // closed at the end: the program then sees the end of its input
  std::string ready_file;  // the FIFOs are only safe to use once it exists
};

bool WaitForFile(const std::string& path, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(5);
  }
  return true;
}

DWORD WINAPI RunPump(void* parameter) {
  Pump* pump = static_cast<Pump*>(parameter);
  if (WaitForFile(pump->ready_file, 30000)) {
    char buffer[8192];
    DWORD got = 0;
    while (pump->from != nullptr && ReadFile(pump->from, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
      if (pump->to == nullptr) continue;
      DWORD written = 0;
      for (DWORD done = 0; done < got; done += written) {
        if (!WriteFile(pump->to, buffer + done, got - done, &written, nullptr) || written == 0) break;
      }
    }
  }
  delete pump;
  return 0;
}

UniqueHandle StartPump(Pump* pump) {
  UniqueHandle thread(CreateThread(nullptr, 0, RunPump, pump, 0, nullptr));
  if (!thread) delete pump;
  return thread;
}

struct SpawnJob {
  const std::vector<std::string>* argv;
  int status;
};

DWORD WINAPI RunSpawn(void* parameter) {
  SpawnJob* job = static_cast<SpawnJob*>(parameter);
  job->status = SpawnAndWait(*job->argv);
  return 0;
}

std::string ScratchDirectory() {
  char directory[MAX_PATH], name[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  GetTempFileNameA(directory, "vhp", 0, name);
  DeleteFileA(name);
  CreateDirectoryA(name, nullptr);
  return name;
}

UniqueFile OpenFifo(const std::string& path, DWORD access) {
  return UniqueFile(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
}

// Drives other than Z: reach the host through the prefix's dosdevices links,
// whose names hold a colon ("dosdevices/c:"): a colon separates a Linux class
// path, so such a path is resolved to its real form by the host's realpath.
std::string Canonical(const std::string& unix_path) {
  if (unix_path.find("/dosdevices/") == std::string::npos) return unix_path;
  char directory[MAX_PATH], name[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  if (GetTempFileNameA(directory, "vhr", 0, name) == 0) return unix_path;
  const std::string result_file = UnixName()(std::wstring(name, name + strlen(name)).c_str());
  std::string resolved;
  if (SpawnAndWait({"/bin/sh", "-c", "realpath -m -- \"$1\" >\"$2\"", "sh", unix_path, result_file}) == 0) {
    UniqueFile file(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[4096];
    DWORD got = 0;
    while (file && ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) resolved.append(buffer, got);
  }
  DeleteFileA(name);
  while (!resolved.empty() && resolved.back() == '\n') resolved.pop_back();
  return resolved.empty() ? unix_path : resolved;
}

}  // namespace

bool HostProgramsAvailable() { return Spawn() != nullptr && UnixName() != nullptr; }

std::string HostPath(const std::string& windows_path) {
  if (UnixName() == nullptr) return std::string();
  std::wstring wide(windows_path.begin(), windows_path.end());
  const int size = MultiByteToWideChar(CP_ACP, 0, windows_path.c_str(), -1, nullptr, 0);
  wide.assign(size > 0 ? size : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, windows_path.c_str(), -1, &wide[0], size);
  char* unix_name = UnixName()(wide.c_str());
  if (unix_name == nullptr) return std::string();
  std::string result = unix_name;
  HeapFree(GetProcessHeap(), 0, unix_name);
  return Canonical(result);
}

int RunHostProgram(const std::vector<std::string>& argv, HANDLE input, HANDLE output, HANDLE error) {
  if (!HostProgramsAvailable() || argv.empty()) return -1;
  const std::string scratch = ScratchDirectory();
  const std::string in = scratch + "\\in", out = scratch + "\\out", err = scratch + "\\err",
                    ready = scratch + "\\ready";
  if (SpawnAndWait({"mkfifo", HostPath(in), HostPath(out), HostPath(err)}) != 0) return -1;

  // Opened from this side before the program starts, so that the shell's
  // redirections find their counterparts and do not block.
  UniqueFile in_fifo = OpenFifo(in, GENERIC_WRITE);
  UniqueFile out_fifo = OpenFifo(out, GENERIC_READ);
  UniqueFile err_fifo = OpenFifo(err, GENERIC_READ);
  if (!in_fifo || !out_fifo || !err_fifo) return -1;

  // The shell connects the FIFOs, marks that it has (until then a FIFO
  // closed from this side would lose its data), and becomes the program.
  std::vector<std::string> command = {
      "/bin/sh", "-c", "exec <\"$1\" >\"$2\" 2>\"$3\"; : >\"$4\"; shift 4; exec \"$@\"", "sh",
      HostPath(in), HostPath(out), HostPath(err), HostPath(ready)};
  command.insert(command.end(), argv.begin(), argv.end());

  SpawnJob job = {&command, -1};
  UniqueHandle spawn_thread(CreateThread(nullptr, 0, RunSpawn, &job, 0, nullptr));
  if (!spawn_thread) return -1;
  HANDLE in_end = in_fifo.get(), out_end = out_fifo.get(), err_end = err_fifo.get();
  UniqueHandle input_thread = StartPump(new Pump{input, in_end, std::move(in_fifo), ready});
  UniqueHandle output_thread = StartPump(new Pump{out_end, output, std::move(out_fifo), ready});
  UniqueHandle error_thread = StartPump(new Pump{err_end, error, std::move(err_fifo), ready});
  WaitForSingleObject(spawn_thread.get(), INFINITE);
  // Output still in the FIFOs is read to its end; the input pump may wait
  // on a source that never ends and is left behind.
  WaitForSingleObject(output_thread.get(), 10000);
  WaitForSingleObject(error_thread.get(), 10000);
  SpawnAndWait({"rm", "-rf", HostPath(scratch)});
  return job.status;
}

std::vector<std::string> HostJavaCommand(const std::string& host_java, const std::vector<std::string>& options,
                                         const std::string& class_name, const std::vector<std::string>& arguments,
                                         const std::vector<std::string>& environment) {
  // A Windows path such as C:\x or Z:\x, as the host sees it.
  const auto for_host = [](const std::string& text) {
    const bool absolute_windows_path = text.size() >= 3 && text[1] == ':' && text[2] == '\\';
    return absolute_windows_path ? HostPath(text) : text;
  };
  std::vector<std::string> argv;
  if (!environment.empty()) argv.push_back("/usr/bin/env");
  argv.insert(argv.end(), environment.begin(), environment.end());
  argv.push_back(host_java);
  static const char kClassPath[] = "-Djava.class.path=";
  for (const std::string& option : options) {
    if (option.rfind(kClassPath, 0) == 0) {
      std::string class_path;
      size_t start = sizeof(kClassPath) - 1;
      while (start <= option.size()) {
        size_t end = option.find(';', start);
        if (end == std::string::npos) end = option.size();
        if (end > start) class_path += (class_path.empty() ? "" : ":") + for_host(option.substr(start, end - start));
        start = end + 1;
      }
      argv.push_back("-cp");
      argv.push_back(class_path);
    } else if (option.rfind("-D", 0) == 0 || option.rfind("-X", 0) == 0) {
      argv.push_back(option);
    }
  }
  std::string main_class = class_name;
  for (char& c : main_class) c = c == '/' ? '.' : c;
  argv.push_back(main_class);
  for (const std::string& argument : arguments) argv.push_back(for_host(argument));
  return argv;
}

}  // namespace testing_support
}  // namespace vexlo
