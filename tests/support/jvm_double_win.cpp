// Stands in for a Java runtime's jvm.dll in tests and benchmarks: no Windows
// Java runtime exists on the test machines. It exports JNI_CreateJavaVM with
// JNI function tables of its own and records what the launcher asks of a JVM.
// Only the JNI functions a launcher uses are there; any other slot records
// "unimplemented JNI function" and ends the process with exit code 97.
//
// Tests copy it into a runtime directory as <runtime>\bin\<vm type>\jvm.dll
// and may put a file "jvm-double.txt" beside it. Each line is one setting:
//   create=N            JNI_CreateJavaVM fails with N (no JVM)
//   missing-class=NAME  FindClass fails for NAME (repeatable), leaving a
//                       pending NoClassDefFoundError
//   missing-method=NAME GetStaticMethodID fails for NAME (repeatable)
//   host-java=PATH      bridge: main runs the Linux host's java (PATH, a Linux
//                       path) with the JVM options and the called class and
//                       String[], connected to this process's standard
//                       handles, and ends as a JVM would: exit status 0 returns
//                       from main, 1 leaves an exception pending (an exception
//                       escaped main), any other ends the process with it (a
//                       System.exit or halt). Class path entries and arguments
//                       that are absolute Windows paths are turned into Linux
//                       paths; only -D and -X options are handed on, and of
//                       the environment only the variables the launcher's
//                       configuration sets for the service's child (the
//                       Windows environment block means nothing to a Linux
//                       process). This lets
//                       a real Java application and the real runtime jar run
//                       behind the launcher without a Windows Java runtime.
//   fail=NewObjectArray NewObjectArray returns null
//   fail-string=K       the NewString call number K (from 0) returns null
//   create-sleep=MS     JNI_CreateJavaVM takes that long (a slow start)
//   main-output=N       main first writes N bytes to standard output and N to
//                       standard error, in numbered lines of 100 bytes
//   main-stdin=all      main reads and records standard input to its end
//   main-stdin=1        main reads standard input until the line "0" (blanks
//                       around it ignored) or its end, as the launcher class does
//   main-exit=N         main then ends the process with N, as System.exit does
//   main-throws=1       an exception is pending when main returns
//   firstrun=false      firstRun returns false
//   firstrun-throws=1   an exception is pending when firstRun returns
//   record=main         record only what happens at main (main-time and the
//                       working set), so that timing runs pay for no writes
//
// Every event is appended at once as a line to "jvm-double.record" beside the
// DLL, so the record is complete even when the process ends in main:
//   create version=0x00010002 ignoreUnrecognized=1 options=N
//   option=TEXT             each option, in order
//   pid=N / console-output-cp=N  the process id and console code page
//   PATH=TEXT / crt PATH=TEXT  the process's and the C runtime's PATH
//                           at creation ("<unset>" when there is none)
//   FindClass NAME
//   GetStaticMethodID NAME SIGNATURE
//   call NAME               a static method called (main, firstRun)
//   arg=TEXT                each string of main's String[], as UTF-8
//   main-time=T             system time at main, in 100 ns units
//   main-peak-working-set=B peak working set at main, in bytes
//   output written=N        main's output is written
//   stdin line=TEXT / stdin stop / stdin end
//   host-java exit=N        the bridge's java ended with N
//   ExceptionDescribe
//   DestroyJavaVM
#define _JNI_IMPLEMENTATION_
#include <jni.h>
#include <stdio.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/block_format.h"
#include "core/record_ids.h"
#include "core/settings.h"
#include "support/host_program_win.h"
#include "support/memory_source.h"
#include "sys/win.h"
#define PSAPI_VERSION 2
#include <psapi.h>

using vexlo::testing_support::HostJavaCommand;
using vexlo::testing_support::RunHostProgram;

namespace {

struct Settings {
  jint create_result = 0;
  std::vector<std::string> missing_classes;
  std::vector<std::string> missing_methods;
  bool fail_object_array = false;
  long fail_string = -1;
  DWORD create_sleep_ms = 0;
  unsigned long main_output_bytes = 0;
  bool main_stdin = false;
  bool main_stdin_to_end = false;
  bool main_exits = false;
  UINT main_exit_code = 0;
  bool main_throws = false;
  bool first_run_result = true;
  bool first_run_throws = false;
  bool record_main_only = false;
  std::string host_java;
};

// A Java object as far as a launcher can tell.
struct Object {
  std::string name;                 // class name, method-independent
  std::wstring text;                // strings
  std::vector<Object*> elements;    // arrays
};

struct Method {
  std::string class_name;
  std::string name;
  std::string signature;
};

std::string g_directory;
Settings g_settings;
std::vector<std::string> g_options;  // as the launcher gave them
bool g_recording = true;  // off before main when only main is recorded
Object* g_pending = nullptr;  // the pending exception
long g_strings_made = 0;

std::string OwnDirectory() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&OwnDirectory), &self);
  std::string path(32768, '\0');
  path.resize(GetModuleFileNameA(self, &path[0], static_cast<DWORD>(path.size())));
  return path.substr(0, path.rfind('\\') + 1);
}

void Record(const std::string& line) {
  if (!g_recording) return;
  HANDLE file = CreateFileA((g_directory + "jvm-double.record").c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadWhole(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

Settings ReadSettings() {
  Settings settings;
  const std::string text = ReadWhole(g_directory + "jvm-double.txt");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "create") settings.create_result = atol(value.c_str());
    else if (key == "missing-class") settings.missing_classes.push_back(value);
    else if (key == "missing-method") settings.missing_methods.push_back(value);
    else if (key == "fail" && value == "NewObjectArray") settings.fail_object_array = true;
    else if (key == "fail-string") settings.fail_string = atol(value.c_str());
    else if (key == "main-stdin") settings.main_stdin = value == "1", settings.main_stdin_to_end = value == "all";
    else if (key == "create-sleep") settings.create_sleep_ms = strtoul(value.c_str(), nullptr, 10);
    else if (key == "main-output") settings.main_output_bytes = strtoul(value.c_str(), nullptr, 10);
    else if (key == "main-exit") settings.main_exits = true, settings.main_exit_code = strtoul(value.c_str(), nullptr, 10);
    else if (key == "main-throws") settings.main_throws = value == "1";
    else if (key == "firstrun") settings.first_run_result = value != "false";
    else if (key == "firstrun-throws") settings.first_run_throws = value == "1";
    else if (key == "record") settings.record_main_only = value == "main";
    else if (key == "host-java") settings.host_java = value;
  }
  return settings;
}

bool Listed(const std::vector<std::string>& names, const char* name) {
  for (const std::string& listed : names) {
    if (listed == name) return true;
  }
  return false;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
  return utf8;
}

std::string ProcessPath() {
  std::string value(65536, '\0');
  const DWORD length = GetEnvironmentVariableA("PATH", &value[0], static_cast<DWORD>(value.size()));
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return "<unset>";
  value.resize(length < value.size() ? length : 0);
  return value;
}

void Throw(const char* class_name) {
  g_pending = new Object();
  g_pending->name = class_name;
}

// The launcher class's stop protocol: lines until "0" or the end of input;
// with to_end, every line until the end.
void ReadStandardInput(bool to_end) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  char buffer[512];
  DWORD got = 0;
  for (;;) {
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      Record("stdin line=" + line);
      const size_t first = line.find_first_not_of(" \t");
      const size_t last = line.find_last_not_of(" \t");
      if (!to_end && first != std::string::npos && line.substr(first, last - first + 1) == "0") {
        Record("stdin stop");
        return;
      }
    }
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !ReadFile(input, buffer, sizeof(buffer), &got, nullptr) ||
        got == 0) {
      if (!pending.empty()) Record("stdin line=" + pending);
      Record("stdin end");
      return;
    }
    pending.append(buffer, got);
  }
}

void RecordMainMoment() {
  g_recording = true;
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  const unsigned long long time = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  Record("main-time=" + std::to_string(time));
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
    Record("main-peak-working-set=" + std::to_string(static_cast<unsigned long long>(counters.PeakWorkingSetSize)));
  }
}

// Output as a chatty application writes it; a reader that stops reading
// would block it here.
// Numbered lines of 100 bytes ("out 00000001 xxx...", "err ..."), so that a
// reader can tell whether any went missing; the last one is cut to make the
// count exact.
void WriteOutput(unsigned long bytes) {
  const struct {
    HANDLE handle;
    const char* name;
  } streams[] = {{GetStdHandle(STD_OUTPUT_HANDLE), "out"}, {GetStdHandle(STD_ERROR_HANDLE), "err"}};
  for (const auto& stream : streams) {
    std::string block;
    unsigned long left = bytes;
    for (unsigned long line = 1; left > 0; ++line) {
      char text[101];
      snprintf(text, sizeof(text), "%s %08lu %086d\n", stream.name, line, 0);
      block.append(text, left < 100 ? left : 100);
      left -= left < 100 ? left : 100;
      if (block.size() < 65536 && left > 0) continue;
      DWORD written = 0;
      if (!WriteFile(stream.handle, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) ||
          written != block.size()) {
        break;
      }
      block.clear();
    }
  }
  Record("output written=" + std::to_string(bytes));
}

void IgnoreBlockLog(const char*, ...) {}

// "NAME=value" for each variable the launcher's configuration sets for the
// service's child, with its value in this process (the child's): the names
// come from the block of the executable that loaded this library.
std::vector<std::string> ConfiguredEnvironment() {
  std::string path(32768, '\0');
  path.resize(GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size())));
  vexlo::testing_support::MemoryFile file;
  FILE* image = fopen(path.c_str(), "rb");
  if (image == nullptr) return {};
  char buffer[65536];
  for (size_t got; (got = fread(buffer, 1, sizeof(buffer), image)) > 0;) file.bytes.append(buffer, got);
  fclose(image);
  vexlo::BlockStream stream{file.Source(), IgnoreBlockLog};
  vexlo::ConfigTables tables;
  uint64_t start = 0, end = 0;
  if (!vexlo::FindBlockStart(stream, &start) || !vexlo::ReadBlock(stream, "", &tables, &end)) return {};
  const std::string* record = tables.texts.Find(vexlo::record::kServiceEnvironment);
  std::vector<std::string> environment;
  std::string name, value;
  for (size_t position = 0; record != nullptr && vexlo::NextVariable(*record, &position, &name, &value);) {
    value.assign(32768, '\0');
    const DWORD length = GetEnvironmentVariableA(name.c_str(), &value[0], static_cast<DWORD>(value.size()));
    if (length > 0 && length < value.size()) environment.push_back(name + "=" + value.substr(0, length));
  }
  return environment;
}

// The bridge: the host's java runs the class with the options and arguments
// this JVM was given.
void RunOnHostJava(const Method& method, const Object& arguments) {
  std::vector<std::string> java_arguments;
  for (const Object* element : arguments.elements) java_arguments.push_back(element ? Utf8(element->text) : "");
  const std::vector<std::string> argv = HostJavaCommand(g_settings.host_java, g_options, method.class_name,
                                                        java_arguments, ConfiguredEnvironment());
  const int status = RunHostProgram(argv, GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                                    GetStdHandle(STD_ERROR_HANDLE));
  Record("host-java exit=" + std::to_string(status));
  if (status == 0) return;
  if (status == 1 || status < 0) {
    Throw("java/lang/Throwable");
    return;
  }
  ExitProcess(static_cast<UINT>(status));
}

void RunMain(const Method& method, jobjectArray arguments) {
  RecordMainMoment();
  Object* array = reinterpret_cast<Object*>(arguments);
  if (array != nullptr) {
    for (Object* element : array->elements) Record(element ? "arg=" + Utf8(element->text) : "arg-null");
  }
  if (!g_settings.host_java.empty() && array != nullptr) {
    RunOnHostJava(method, *array);
    return;
  }
  if (g_settings.main_output_bytes > 0) WriteOutput(g_settings.main_output_bytes);
  if (g_settings.main_stdin || g_settings.main_stdin_to_end) ReadStandardInput(g_settings.main_stdin_to_end);
  if (g_settings.main_exits) ExitProcess(g_settings.main_exit_code);
  if (g_settings.main_throws) Throw("java/lang/RuntimeException");
}

// ---- JNIEnv functions -------------------------------------------------------

void JNICALL Unimplemented() {
  Record("unimplemented JNI function");
  ExitProcess(97);
}

jint JNICALL GetVersion(JNIEnv*) { return JNI_VERSION_1_8; }

jclass JNICALL FindClass(JNIEnv*, const char* name) {
  Record(std::string("FindClass ") + name);
  if (Listed(g_settings.missing_classes, name)) {
    Throw("java/lang/NoClassDefFoundError");
    return nullptr;
  }
  Object* type = new Object();
  type->name = name;
  return reinterpret_cast<jclass>(type);
}

jmethodID JNICALL GetStaticMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
  Record(std::string("GetStaticMethodID ") + name + " " + signature);
  if (Listed(g_settings.missing_methods, name)) {
    Throw("java/lang/NoSuchMethodError");
    return nullptr;
  }
  return reinterpret_cast<jmethodID>(new Method{reinterpret_cast<Object*>(type)->name, name, signature});
}

void JNICALL CallStaticVoidMethodV(JNIEnv*, jclass, jmethodID method, va_list arguments) {
  Record("call " + reinterpret_cast<Method*>(method)->name);
  RunMain(*reinterpret_cast<Method*>(method), va_arg(arguments, jobjectArray));
}

void JNICALL CallStaticVoidMethod(JNIEnv* env, jclass type, jmethodID method, ...) {
  va_list arguments;
  va_start(arguments, method);
  CallStaticVoidMethodV(env, type, method, arguments);
  va_end(arguments);
}

void JNICALL CallStaticVoidMethodA(JNIEnv*, jclass, jmethodID method, const jvalue* arguments) {
  Record("call " + reinterpret_cast<Method*>(method)->name);
  RunMain(*reinterpret_cast<Method*>(method), static_cast<jobjectArray>(arguments[0].l));
}

jboolean CallFirstRun(jmethodID method) {
  Record("call " + reinterpret_cast<Method*>(method)->name);
  if (g_settings.first_run_throws) Throw("java/lang/IllegalStateException");
  return g_settings.first_run_result ? JNI_TRUE : JNI_FALSE;
}

jboolean JNICALL CallStaticBooleanMethodV(JNIEnv*, jclass, jmethodID method, va_list) {
  return CallFirstRun(method);
}

jboolean JNICALL CallStaticBooleanMethod(JNIEnv*, jclass, jmethodID method, ...) { return CallFirstRun(method); }

jboolean JNICALL CallStaticBooleanMethodA(JNIEnv*, jclass, jmethodID method, const jvalue*) {
  return CallFirstRun(method);
}

jthrowable JNICALL ExceptionOccurred(JNIEnv*) { return reinterpret_cast<jthrowable>(g_pending); }

jboolean JNICALL ExceptionCheck(JNIEnv*) { return g_pending != nullptr ? JNI_TRUE : JNI_FALSE; }

void JNICALL ExceptionDescribe(JNIEnv*) {
  Record("ExceptionDescribe");
  if (g_pending == nullptr) return;
  const std::string text = "Exception in thread \"main\" " + g_pending->name + ": from the jvm double\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  g_pending = nullptr;  // as the JVM does: describing clears it
}

void JNICALL ExceptionClear(JNIEnv*) { g_pending = nullptr; }

jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize length, jclass, jobject initial) {
  if (g_settings.fail_object_array) {
    Throw("java/lang/OutOfMemoryError");
    return nullptr;
  }
  Object* array = new Object();
  array->elements.assign(length, reinterpret_cast<Object*>(initial));
  return reinterpret_cast<jobjectArray>(array);
}

jstring JNICALL NewString(JNIEnv*, const jchar* characters, jsize length) {
  if (g_strings_made++ == g_settings.fail_string) {
    Throw("java/lang/OutOfMemoryError");
    return nullptr;
  }
  Object* text = new Object();
  text->name = "java/lang/String";
  text->text.assign(reinterpret_cast<const wchar_t*>(characters), length);
  return reinterpret_cast<jstring>(text);
}

void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
  Object* target = reinterpret_cast<Object*>(array);
  if (index >= 0 && static_cast<size_t>(index) < target->elements.size()) {
    target->elements[index] = reinterpret_cast<Object*>(value);
  } else {
    Throw("java/lang/ArrayIndexOutOfBoundsException");
  }
}

jsize JNICALL GetArrayLength(JNIEnv*, jarray array) {
  return static_cast<jsize>(reinterpret_cast<Object*>(array)->elements.size());
}

// Local references are pointers the double never frees.
void JNICALL DeleteLocalRef(JNIEnv*, jobject) {}

// ---- JavaVM functions -------------------------------------------------------

JNIEnv g_env;
JavaVM g_vm;

jint JNICALL DestroyJavaVM(JavaVM*) {
  Record("DestroyJavaVM");
  return JNI_OK;
}

jint JNICALL GetEnv(JavaVM*, void** env, jint) {
  *env = &g_env;
  return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** env, void*) {
  *env = &g_env;
  return JNI_OK;
}

jint JNICALL DetachCurrentThread(JavaVM*) { return JNI_OK; }

template <typename Table>
void FillWithUnimplemented(Table* table) {
  void** slots = reinterpret_cast<void**>(table);
  for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i) slots[i] = reinterpret_cast<void*>(&Unimplemented);
}

JNINativeInterface_ g_functions;
JNIInvokeInterface_ g_invoke;

void SetUpTables() {
  FillWithUnimplemented(&g_functions);
  g_functions.GetVersion = GetVersion;
  g_functions.FindClass = FindClass;
  g_functions.GetStaticMethodID = GetStaticMethodID;
  g_functions.CallStaticVoidMethod = CallStaticVoidMethod;
  g_functions.CallStaticVoidMethodV = CallStaticVoidMethodV;
  g_functions.CallStaticVoidMethodA = CallStaticVoidMethodA;
  g_functions.CallStaticBooleanMethod = CallStaticBooleanMethod;
  g_functions.CallStaticBooleanMethodV = CallStaticBooleanMethodV;
  g_functions.CallStaticBooleanMethodA = CallStaticBooleanMethodA;
  g_functions.ExceptionOccurred = ExceptionOccurred;
  g_functions.ExceptionCheck = ExceptionCheck;
  g_functions.ExceptionDescribe = ExceptionDescribe;
  g_functions.ExceptionClear = ExceptionClear;
  g_functions.NewObjectArray = NewObjectArray;
  g_functions.NewString = NewString;
  g_functions.SetObjectArrayElement = SetObjectArrayElement;
  g_functions.GetArrayLength = GetArrayLength;
  g_functions.DeleteLocalRef = DeleteLocalRef;
  g_env.functions = &g_functions;

  FillWithUnimplemented(&g_invoke);
  g_invoke.DestroyJavaVM = DestroyJavaVM;
  g_invoke.GetEnv = GetEnv;
  g_invoke.AttachCurrentThread = AttachCurrentThread;
  g_invoke.AttachCurrentThreadAsDaemon = AttachCurrentThread;
  g_invoke.DetachCurrentThread = DetachCurrentThread;
  g_vm.functions = &g_invoke;
}

std::string Hex(unsigned long value) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08lx", value);
  return text;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* arguments) {
  g_directory = OwnDirectory();
  g_settings = ReadSettings();
  g_recording = !g_settings.record_main_only;
  const JavaVMInitArgs* init = static_cast<const JavaVMInitArgs*>(arguments);
  Record("create version=" + Hex(static_cast<unsigned long>(init->version)) +
         " ignoreUnrecognized=" + std::to_string(static_cast<int>(init->ignoreUnrecognized)) +
         " options=" + std::to_string(static_cast<long>(init->nOptions)));
  for (jint i = 0; i < init->nOptions; ++i) {
    g_options.push_back(init->options[i].optionString);
    Record(std::string("option=") + init->options[i].optionString);
  }
  Record("pid=" + std::to_string(static_cast<unsigned long>(GetCurrentProcessId())));
  Record("console-output-cp=" + std::to_string(GetConsoleOutputCP()));
  Record("PATH=" + ProcessPath());
  const char* crt_path = getenv("PATH");
  Record(std::string("crt PATH=") + (crt_path ? crt_path : "<unset>"));
  if (g_settings.create_sleep_ms > 0) Sleep(g_settings.create_sleep_ms);
  if (g_settings.create_result != 0) return g_settings.create_result;
  SetUpTables();
  *vm = &g_vm;
  *env = &g_env;
  return JNI_OK;
}
