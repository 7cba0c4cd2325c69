// A test driver built from the launcher's own code: tests append a
// configuration block to it (as to the real stub) and call single launcher
// operations in a real process, to check what they show, print and leave
// behind. Usage: launcher_probe.exe <operation> [arguments]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "coord/locale.h"
#include "coord/native_path_win.h"
#include "coord/single_instance_win.h"
#include "core/config.h"
#include "core/config_win.h"
#include "core/errors_win.h"
#include "core/expand_win.h"
#include "core/log_win.h"
#include "core/paths_win.h"
#include "core/process_state.h"
#include "core/temp_dir_win.h"
#include "jvm/java_check_win.h"
#include "jvm/packed_jre_win.h"
#include "jvm/registry_sources_win.h"
#include "jvm/search_win.h"
#include "launch/console_handler_win.h"
#include "payload/included_files.h"
#include "payload/included_files_win.h"
#include "service/service_main_win.h"
#include "support/directory_link_win.h"
#include "sys/child_process_win.h"
#include "sys/text_win.h"
#include "sys/random_win.h"
#include "sys/win.h"

#include <ntsecapi.h>  // RtlGenRandom, after windows.h

using namespace vexlo;

// Stands in for the system's random source (sys/random_win.cpp) so that
// tests know the temp dir names ahead: VEXLO_TEST_RANDOM=N gives N, N+1, ...
bool vexlo::RandomValue(uint64_t* value) {
  static uint64_t next = strtoull(EnvironmentVariable("VEXLO_TEST_RANDOM").c_str(), nullptr, 10);
  if (next == 0) return RtlGenRandom(value, sizeof(*value)) != FALSE;
  *value = next++;
  return true;
}

namespace {

void WriteFileText(const std::string& path, const char* text) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file != nullptr) {
    fputs(text, file);
    fclose(file);
  }
}

// A visible, minimised top-level window of this process, for window
// activation by a second instance.
bool ShowMinimisedWindow() {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "VexloProbeWindow";
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, "VexloProbeWindow", "vexlo probe", WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                100, nullptr, nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOWMINIMIZED);
  return true;
}

// Runs the instance check, writes the chosen name to a file, tells the test
// through a named event, then holds the instance (pumping window messages)
// until the test ends the process.
int HoldInstance(const char* ready_event, const char* name_file, bool with_window) {
  if (with_window && !ShowMinimisedWindow()) return 5;
  CheckInstance();
  WriteFileText(name_file, InstanceSemaphoreName().c_str());
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready_event);
  if (ready == nullptr) return 3;
  SetEvent(ready);
  CloseHandle(ready);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

// Starts this probe as a child through the launcher's process helper, with
// an inheritable semaphore as its standard input or without: the child must
// hold the semaphore only when it was handed over. Prints "given <code>" and
// "withheld <code>" with the children's exit codes (10 held, 11 not held).
int CheckChildInheritance(const char* self) {
  for (bool given : {true, false}) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    // Count 5 of 7: what the child finds at that value is this semaphore.
    UniqueHandle semaphore(CreateSemaphoreA(&inherit, 5, 7, nullptr));
    char value[32];
    snprintf(value, sizeof(value), "%llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(semaphore.get())));
    ChildProcessStart start;
    start.command_line = NarrowToWide(std::string("\"") + self + "\" handle " + value, CP_ACP);
    start.use_std_handles = true;
    start.std_input = given ? semaphore.get() : nullptr;
    ChildProcess child;
    DWORD error = 0;
    if (!StartChildProcess(start, &child, &error)) return 3;
    WaitForChildProcess(child, INFINITE);
    printf("%s %lu\n", given ? "given" : "withheld", static_cast<unsigned long>(ChildExitCode(child, 0)));
  }
  return 0;
}

void PrintFound(bool found, const std::string& java_executable, const std::string* version) {
  printf("result=%d\n", found ? 1 : 0);
  printf("path=%s\n", java_executable.c_str());
  if (version != nullptr) printf("version=%s\n", version->c_str());
}

// The JVM search's operations; each prints what it found, one key=value a
// line. Arguments are minimum and maximum versions ("" for none) and flags.
int RunJvmOperation(const std::string& operation, int argc, char** argv) {
  std::string java_executable;
  std::string version;
  if (operation == "search") {  // search
    std::string location = "(untouched)";
    const JvmSource source = searchJvm(&java_executable, &location);
    printf("source=%d\npath=%s\nlocation=%s\n", static_cast<int>(source), java_executable.c_str(),
           location.c_str());
    return 0;
  }
  if (operation == "checkjava" && argc >= 6) {  // checkjava <path> <min> <max> <beta>
    java_executable = argv[2];
    const bool found = checkJavaExe(&java_executable, &version, argv[3], argv[4], atoi(argv[5]) != 0);
    PrintFound(found, java_executable, &version);
    return 0;
  }
  if (operation == "javaexeforhome" && argc >= 3) {  // javaexeforhome <home>
    PrintFound(javaExeForHome(&java_executable, argv[2]), java_executable, nullptr);
    return 0;
  }
  if (operation == "registryjvm" && argc >= 4) {  // registryjvm <min> <max>
    PrintFound(findRegistryJvm(&java_executable, argv[2], argv[3]), java_executable, nullptr);
    return 0;
  }
  if (operation == "javasoft" && argc >= 4) {  // javasoft <min> <max>
    PrintFound(findJavaSoftJvm(&java_executable, &version, argv[2], argv[3]), java_executable, &version);
    return 0;
  }
  if (operation == "located" && argc >= 4) {  // located <min> <max>
    PrintFound(findLocatedJvm(&java_executable, &version, argv[2], argv[3]), java_executable, &version);
    return 0;
  }
  if (operation == "previous" && argc >= 5) {  // previous <HKCU|HKLM> <min> <max>
    const HKEY root = strcmp(argv[2], "HKLM") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    PrintFound(findPreviousInstallation(root, &java_executable, argv[3], argv[4]), java_executable, nullptr);
    return 0;
  }
  // preparejre <runtime directory> [hold <event>]: with hold, the launcher
  // stays alive after the preparation until the named event is set.
  if (operation == "preparejre" && argc >= 3) {
    prepareJre(argv[2]);
    if (argc >= 5 && strcmp(argv[3], "hold") == 0) {
      UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
      if (!event || WaitForSingleObject(event.get(), 60000) != WAIT_OBJECT_0) return 3;
    }
    return 0;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  ReportLibraryFailures();  // as the launcher does, with its C++ runtime linked in
  // As start-up does, before anything can show a message.
  TakeServiceChildMark();
  ReadConfigurationBlock(DetectLocale);
  // Time limits in milliseconds first, shortened for the test: --run-limit
  // (the version run), --unpack-limit (one unpacker run), --preparation-wait
  // (another launcher's preparation of the same runtime).
  const struct {
    const char* prefix;
    DWORD& limit;
  } limits[] = {{"--run-limit=", VersionRunLimitMs()},
                {"--unpack-limit=", UnpackLimitMs()},
                {"--preparation-wait=", PreparationWaitLimitMs()}};
  for (bool more = true; more && argc >= 2;) {
    more = false;
    for (const auto& limit : limits) {
      if (strncmp(argv[1], limit.prefix, strlen(limit.prefix)) != 0) continue;
      limit.limit = static_cast<DWORD>(strtoul(argv[1] + strlen(limit.prefix), nullptr, 10));
      --argc;
      ++argv;
      more = true;
    }
  }
  if (argc < 2) return 2;
  const std::string operation = argv[1];
  if (operation == "message" && argc >= 3) {  // message <id> [argument]: fatal
    FatalMessage(atoi(argv[2]), argc >= 4 ? argv[3] : nullptr);
  }
  if (operation == "show" && argc >= 3) {  // show <id> [argument]: not fatal
    ShowMessage(atoi(argv[2]), argc >= 4 ? argv[3] : nullptr);
    printf("returned\n");
    return 0;
  }
  if (operation == "systemtemp") {
    printf("%s\n", SystemTempDir().c_str());
    return 0;
  }
  if (operation == "commfile" && argc >= 3) {
    printf("%s\n", ProcessCommFileName(strtoul(argv[2], nullptr, 10)).c_str());
    return 0;
  }
  if (operation == "tempfile") {
    printf("%s\n", NewTempFileName().c_str());
    return 0;
  }
  // launchertemp [fatal|library|held [target [inside|sub|root]]]: creates and
  // fills it, puts a link to target into it, in place of its lib folder or of
  // itself, and dies (or fails in the C++ library); "held" holds the folder
  // for emptying while it tries to move it away for the link, then empties it
  // and prints whether it moved.
  if (operation == "launchertemp") {
    CreateLauncherTempDir(UsableSystemTempDir());
    const std::string& directory = LauncherTempDir();
    WriteFileText(directory + "\\a.jar", "a");
    if (CreatePrivateFolder(directory + "\\lib") != 0) return 4;
    WriteFileText(directory + "\\lib\\b.jar", "b");
    printf("%s\n", directory.c_str());
    const std::string mode = argc >= 3 ? argv[2] : "", where = argc >= 5 ? argv[4] : "inside";
    const std::string link = directory + (where == "inside" ? "\\linked" : where == "sub" ? "\\lib" : "");
    UniqueFile held = mode == "held" ? OpenCreatedFolder(link.c_str()) : UniqueFile();
    const bool moved = where == "inside" || MoveFileA(link.c_str(), (link + ".moved").c_str());
    if (argc >= 4 && moved && !testing_support::CreateDirectoryLink(link, argv[3])) return 3;
    if (held) EmptyDirectory(link, false);
    if (mode == "held") printf("%s\n", moved ? "moved" : "held");
    fflush(stdout);
    if (mode == "fatal") FatalInternalError("16");
    if (mode == "library") std::string().reserve(std::string().max_size() + 1);
    return 0;
  }
  // extract-planted <name>: puts a file (a folder with a file, for a name
  // ending in "\\") into a new launcher temp dir, then extracts into it.
  if (operation == "extract-planted" && argc >= 3) {
    CreateLauncherTempDir(UsableSystemTempDir());
    printf("%s\n", LauncherTempDir().c_str());
    fflush(stdout);
    const std::string planted = LauncherTempDir() + "\\" + argv[2];
    if (planted.back() == '\\') CreateDirectoryA(planted.c_str(), nullptr);
    WriteFileText(planted.back() == '\\' ? planted + "keep.txt" : planted, "planted");
    return WriteIncludedFiles(SplitIncludedFileNames(ConfigText(record::kIncludedFileNames)),
                              static_cast<size_t>(ConfigInteger(record::kIncludedFileCount)));
  }
  if (operation == "writable" && argc >= 3) {
    printf("%s\n", IsWritableDir(argv[2]) ? "writable" : "not writable");
    return 0;
  }
  if (operation == "expand" && argc >= 3) {
    std::string text = argv[2];
    if (argc >= 4) SetJvmHome(argv[3]);
    Expand(text);
    printf("%s\n", text.c_str());
    return 0;
  }
  if (operation == "fullpath" && argc >= 3) {
    printf("%s\n", FullPath(argv[2], argc >= 4).c_str());
    return 0;
  }
  // extract [hold <event>]: result, directory, extraction end position; with
  // hold, it stays alive (holding its folder's lock) until the event is set.
  if (operation == "extract") {
    const int result = ExtractIncludedFiles();
    printf("%d\n%s\n%u\n", result, LauncherTempDir().c_str(),
           static_cast<unsigned>(ExtractionEndPosition()));
    if (argc >= 4 && strcmp(argv[2], "hold") == 0) {
      fflush(stdout);
      UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
      if (!event || WaitForSingleObject(event.get(), 60000) != WAIT_OBJECT_0) return 3;
    }
    return 0;
  }
  if (operation == "nativepath") {  // the process PATH, and whether the C runtime agrees
    PrependNativeLibraryDirectories();
    // From the block: GetEnvironmentVariable cuts values past 32767
    // characters under Wine.
    std::string path;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; *entry != '\0'; entry += strlen(entry) + 1) {
      if (_strnicmp(entry, "PATH=", 5) == 0) path = entry + 5;
    }
    FreeEnvironmentStringsA(block);
    const char* crt_path = getenv("PATH");
    printf("%s\n%s\n", path.c_str(), crt_path != nullptr && path == crt_path ? "crt agrees" : "crt differs");
    return 0;
  }
  if (operation == "locale") {  // text|language|country|record 20017
    std::string description;
    WideToNarrow(ConfigWide(record::kServiceDescription), CP_ACP, &description);
    printf("%s|%s|%s|%s\n", LocaleText().c_str(), LocaleLanguage().c_str(), LocaleCountry().c_str(),
           description.c_str());
    return 0;
  }
  if ((operation == "instance" || operation == "instance-window") && argc >= 4) {
    return HoldInstance(argv[2], argv[3], operation == "instance-window");
  }
  if (operation == "consolectrl") {  // the console handler's answer to a console event
    printf("%d\n", ConsoleCtrlHandler(CTRL_C_EVENT) ? 1 : 0);
    return 0;
  }
  if (operation == "inherit") {  // starts "handle <value>" children with and without handing over a handle
    return CheckChildInheritance(argv[0]);
  }
  if (operation == "handle" && argc >= 3) {  // whether the parent's semaphore is held at that value
    const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(strtoull(argv[2], nullptr, 16)));
    LONG previous = 0;
    return ReleaseSemaphore(handle, 1, &previous) && previous == 5 ? 10 : 11;
  }
  if (operation == "variable" && argc >= 3) {  // the variable's value as this process sees it
    char value[256] = "<unset>";
    GetEnvironmentVariableA(argv[2], value, sizeof(value));
    printf("%s\n", value);
    return 0;
  }
  if (operation == "exepath") {
    printf("%s\n%s\n", ExecutablePath().c_str(), ExecutableDirectory().c_str());
    return 0;
  }
  return RunJvmOperation(operation, argc, argv);
}
