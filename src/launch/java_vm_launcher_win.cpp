#include "launch/java_vm_launcher_win.h"

#include <jni.h>

#include "coord/locale.h"
#include "core/config.h"
#include "core/config_win.h"
#include "core/errors_win.h"
#include "core/expand_win.h"
#include "core/log_win.h"
#include "core/paths_win.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/temp_dir_win.h"
#include "jvm/load_win.h"
#include "launch/java_side.h"
#include "launch/jvm_options.h"
#include "launch/vm_options_win.h"
#include "sys/file_tests_win.h"
#include "sys/process_path_win.h"
#include "sys/text_win.h"

namespace vexlo {

std::string LogFilePath(int32_t enabled_record, int32_t name_record) {
  if (!ConfigFlag(enabled_record)) return std::string();
  std::string name = ConfigText(name_record);
  Expand(name);
  if (name.empty() || name[0] != '$') name = FullPath(name, true);
  return name;
}

namespace {

// The option strings, their JNI entries and the JVM live until the process
// ends: the JVM may keep pointers into its options.
std::vector<std::string> g_option_texts;
std::vector<JavaVMOption> g_vm_options;
JavaVMInitArgs g_init_args = {};
JavaVM* g_vm = nullptr;
JNIEnv* g_env = nullptr;

bool IsTavrelium() { return ModeLetter() == 'i'; }

// Worked out once: the class path and the first-run check both need it.
const std::string& InstallationDirectory() {
  static const std::string directory = FullPath(ConfigText(record::kInstallationDirectory), true);
  return directory;
}

std::vector<std::string> GatherOwnOptions() {
  OwnOptionInputs inputs;
  inputs.semaphore_name = InstanceSemaphoreName();
  inputs.tavrelium = IsTavrelium();
  inputs.module_path = ExecutablePath();
  inputs.single_instance = ConfigFlag(record::kSingleInstance);
  if (inputs.single_instance) inputs.process_comm_file = ProcessCommFileName(GetCurrentProcessId());
  inputs.temp_dir = LauncherTempDir();
  inputs.unextracted_position = static_cast<int32_t>(ExtractionEndPosition());
  inputs.library_path = ProcessPath();
  inputs.has_console_codepage = GetEnvironmentVariableA("MANPATH", nullptr, 0) == 0;
  inputs.console_codepage = GetConsoleOutputCP();
  return OwnOptions(inputs);
}

WideString LogFileArgument(int32_t enabled_record, int32_t name_record) {
  return NarrowToWide(LogFilePath(enabled_record, name_record), FileApiCodePage());
}

MainArgumentInputs GatherMainInputs(const std::vector<WideString>& program_arguments) {
  MainArgumentInputs inputs;
  inputs.windowed = ConfigInteger(record::kLaunchMode) == 1;
  inputs.main_class = NarrowToWide(ConfigText(record::kMainClass), CP_ACP);
  inputs.error_log = LogFileArgument(record::kPassErrorLog, record::kErrorLog);
  inputs.output_log = LogFileArgument(record::kPassOutputLog, record::kOutputLog);
  inputs.append_logs = ConfigFlag(record::kAppendLogs);
  std::string application_arguments = ConfigText(record::kAppArguments);
  Expand(application_arguments);
  inputs.application_arguments = NarrowToWide(application_arguments, CP_ACP);
  inputs.allow_j_arguments = ConfigFlag(record::kAllowJArguments);
  inputs.program_arguments = program_arguments;
  return inputs;
}

// Without its argument array main cannot be called: the start fails like a
// failed main call.
jobjectArray ArgumentArrayFailed(const char* what, int index) {
  LogErrorLine(what, index);
  if (g_env->ExceptionOccurred()) g_env->ExceptionDescribe();
  return nullptr;
}

jobjectArray NewArgumentArray(const std::vector<WideString>& arguments) {
  const jsize count = static_cast<jsize>(arguments.size());
  LogLine("param count: %d", static_cast<int>(count));
  jclass string_class = g_env->FindClass("java/lang/String");
  if (string_class == nullptr) return ArgumentArrayFailed("could not find class java/lang/String", 0);
  jobjectArray array = g_env->NewObjectArray(count, string_class, nullptr);
  if (array == nullptr) return ArgumentArrayFailed("could not create the argument array", 0);
  for (jsize i = 0; i < count; ++i) {
    const WideString& argument = arguments[i];
    std::string shown;
    WideToNarrow(argument, FileApiCodePage(), &shown);
    LogLine("param %d: %s", static_cast<int>(i), shown.c_str());
    // UTF-16 as it is: never narrowed on its way to Java.
    jstring text = g_env->NewString(reinterpret_cast<const jchar*>(argument.data()),
                                    static_cast<jsize>(argument.size()));
    if (text == nullptr) return ArgumentArrayFailed("could not create argument %d", static_cast<int>(i));
    g_env->SetObjectArrayElement(array, i, text);
    g_env->DeleteLocalRef(text);
  }
  return array;
}

}  // namespace

void BuildStartArguments(const std::vector<std::string>& own_options,
                         const std::vector<WideString>& program_arguments) {
  StartArgumentInputs inputs;
  inputs.own_options = own_options;
  inputs.vm_parameters = ConfigText(record::kVmParameters);
  inputs.allow_j_arguments = ConfigFlag(record::kAllowJArguments);
  for (const WideString& argument : program_arguments) {
    std::string narrow;
    WideToNarrow(argument, CP_ACP, &narrow);
    inputs.program_arguments.push_back(narrow);
  }
  inputs.language = LocaleLanguage();
  inputs.country = LocaleCountry();
  inputs.launcher_temp_dir = LauncherTempDir();
  inputs.extracted_files = ExtractedFileNames();
  inputs.tavrelium = IsTavrelium();
  if (inputs.tavrelium) inputs.installation_directory = InstallationDirectory();
  inputs.class_path_entries = ConfigText(record::kClassPath);
  inputs.java_stop_timeout_ms = ConfigDurationMs(kStopTimeoutSetting) - kJavaStopMarginMs;
  inputs.java_stop = ConfigText(record::kJavaStop);
  inputs.log_rotation = ConfigText(record::kLogRotation);

  ClassPathFailure failure;
  if (!AssembleJvmOptions(inputs, LauncherOptionSystem(), &g_option_texts, &failure)) {
    FatalMessage(failure.message_id, failure.argument.c_str());
  }
  g_vm_options.clear();
  for (std::string& option : g_option_texts) g_vm_options.push_back(JavaVMOption{&option[0], nullptr});
  g_init_args.version = JNI_VERSION_1_2;
  g_init_args.nOptions = static_cast<jint>(g_vm_options.size());
  g_init_args.options = g_vm_options.data();
  g_init_args.ignoreUnrecognized = JNI_TRUE;
}

bool CreateVm() {
  using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);
  auto create = reinterpret_cast<CreateJavaVmFunction>(reinterpret_cast<void*>(CreateJavaVmEntry()));
  LogLine("Creating JVM");
  if (create == nullptr || create(&g_vm, reinterpret_cast<void**>(&g_env), &g_init_args) != 0) {
    LogErrorLine("could not initialize JVM");
    return false;
  }
  return true;
}

FirstRunResult CheckFirstRun() {
  std::string marker = InstallationDirectory();
  if (marker.empty() || marker.back() != '\\') marker += '\\';
  marker += ".tavrelium\\firstrun";
  if (!Exists(marker)) return FirstRunResult::kContinue;
  jclass first_run = g_env->FindClass(kFirstRunClass);
  if (first_run == nullptr) FatalInternalError("14");
  jmethodID method = g_env->GetStaticMethodID(first_run, kFirstRunMethod, kFirstRunSignature);
  if (method == nullptr) FatalInternalError("15");
  const jboolean go_on = g_env->CallStaticBooleanMethod(first_run, method);
  if (g_env->ExceptionOccurred()) {
    // A broken first run must not pass for a clean start: the service
    // manager should see the failure and apply its recovery.
    LogErrorLine("an exception occured in firstRun");
    g_env->ExceptionDescribe();
    return FirstRunResult::kFailed;
  }
  return go_on ? FirstRunResult::kContinue : FirstRunResult::kStop;
}

bool InvokeMain(const std::vector<WideString>& program_arguments) {
  if (IsTavrelium()) {
    const FirstRunResult first_run = CheckFirstRun();
    if (first_run == FirstRunResult::kFailed) return false;
    if (first_run == FirstRunResult::kStop) {
      LogLine("checkFirstRun stopped further execution");
      return true;
    }
  }
  const char* class_name = LauncherClassFor(ModeLetter());
  LogLine("main class: %s", class_name);
  jclass launcher = g_env->FindClass(class_name);
  if (launcher == nullptr) {
    LogErrorLine("could not find main class");
    FatalMessage(1010);
  }
  jmethodID main = g_env->GetStaticMethodID(launcher, kMainMethod, kMainSignature);
  if (main == nullptr) {
    LogErrorLine("could not find main method");
    FatalMessage(1011);
  }
  jobjectArray arguments = NewArgumentArray(MainArguments(GatherMainInputs(program_arguments)));
  if (arguments == nullptr) return false;
  LogLine("calling main");
  g_env->CallStaticVoidMethod(launcher, main, arguments);
  LogLine("main returned");
  if (g_env->ExceptionOccurred()) {
    LogErrorLine("an exception occured");
    g_env->ExceptionDescribe();
    return false;
  }
  return true;
}

bool Launch(const std::vector<WideString>& program_arguments, bool destroy_afterwards) {
  LogLine("launching program");
  BuildStartArguments(GatherOwnOptions(), program_arguments);
  if (!CreateVm()) return false;
  LogLine("JVM created");
  if (!InvokeMain(program_arguments)) {
    // The JVM stays: destroying it would wait for threads of an application
    // that failed to start.
    LogErrorLine("could not call main");
    return false;
  }
  if (destroy_afterwards) {
    LogLine("dest JVM");
    g_vm->DestroyJavaVM();
  }
  LogLine("launch done");
  return true;
}

}  // namespace vexlo
