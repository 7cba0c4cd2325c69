#include "service/install_settings_win.h"

#include <aclapi.h>
#include <stdarg.h>
#include <stdio.h>

#include "core/config.h"
#include "core/config_win.h"
#include "core/log_win.h"
#include "core/process_state.h"
#include "launch/java_vm_launcher_win.h"
#include "service/service_log_win.h"
#include "service/service_text.h"
#include "sys/crt_print_win.h"
#include "sys/handle_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

constexpr char kPasswordVariable[] = "VEXLO_SERVICE_PASSWORD";
// Standard input is read up to its first line feed, but never further than
// this: a password is far shorter, and a file given by mistake is not read
// whole.
constexpr size_t kPasswordInputLimit = 4096;

void Wipe(std::string& secret) {
  SecureZeroMemory(&secret[0], secret.size());
  secret.clear();
}

// The password from the environment variable or, when that is not set and
// standard input is no console (nobody could type it unseen there), from
// the first line of standard input. Empty when neither gives one (or it is
// longer than the limit).
void ReadPassword(std::string* password) {
  // One buffer, reserved at once, so that no copy of the secret is left
  // behind in memory given back by a growing string.
  password->resize(kPasswordInputLimit);
  const DWORD length = GetEnvironmentVariableA(kPasswordVariable, &(*password)[0], kPasswordInputLimit);
  password->resize(length < kPasswordInputLimit ? length : 0);
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  // An empty variable is as good as none.
  if (length != 0 || GetConsoleMode(input, &mode)) return;
  // A byte at a time: nothing after the line is read.
  char c = 0;
  DWORD got = 0;
  while (password->size() < kPasswordInputLimit && ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
    password->push_back(c);
  }
  if (!password->empty() && password->back() == '\r') password->pop_back();
  SecureZeroMemory(&c, 1);
}

// Every line of the install goes to standard output.
void Print(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  CrtVfprintf(stdout, format, arguments);
  va_end(arguments);
}

// A setting of ChangeServiceConfig2; no info: not asked for.
struct ExtraSetting {
  const char* name;
  DWORD level;
  void* info;
  const char* line;  // printed once set; null: set without a line
};

DWORD GrantModifyRights(const std::string& folder, const char* account) {
  PACL old_acl = nullptr;
  UniqueLocal descriptor;
  DWORD error = GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &old_acl, nullptr, descriptor.put());
  if (error != ERROR_SUCCESS) return error;
  PACL acl = nullptr;
  error = ModifyRightsAcl(old_acl, account, &acl);
  const UniqueLocal acl_owner(acl);
  if (error != ERROR_SUCCESS) return error;
  return SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, acl, nullptr);
}

}  // namespace

ServiceAccount::~ServiceAccount() { Wipe(password); }

bool ResolveServiceAccount(ServiceAccount* account) {
  account->name = ServiceAccountName(ConfigText(record::kServiceAccount), ServiceName(), &account->user);
  if (!account->user) return true;
  ReadPassword(&account->password);
  if (!account->password.empty()) return true;
  Print("Could not create service '%s': the account %s needs a password (%s or standard input).\n",
        ServiceName().c_str(), account->name.c_str(), kPasswordVariable);
  return false;
}

bool ApplyServiceSettings(SC_HANDLE service, bool delayed_start) {
  SERVICE_DELAYED_AUTO_START_INFO delayed = {TRUE};

  Recovery recovery;
  const std::string& recovery_record = ConfigText(record::kRecovery);
  // A record the builder would not write (by hand) is no recovery.
  const bool has_recovery = !recovery_record.empty() && ParseRecovery(recovery_record, &recovery);
  // The same two numbers in the same order.
  static_assert(sizeof(SC_ACTION) == sizeof(RecoveryAction), "SC_ACTION is a type and a delay");
  SC_ACTION* actions = reinterpret_cast<SC_ACTION*>(recovery.actions);
  WideString command =
      NarrowToWide(has_recovery ? recovery_record.substr(recovery.command_start) : std::string(), CP_ACP);
  SERVICE_FAILURE_ACTIONSW failure_actions = {recovery.reset_seconds, nullptr, &command[0], recovery.action_count,
                                              actions};
  // A failed child stops the service with an error instead of crashing it:
  // without this flag the system would not count that as a failure.
  SERVICE_FAILURE_ACTIONS_FLAG failure_flag = {TRUE};

  const DWORD preshutdown_ms = static_cast<DWORD>(ConfigDurationMs(kPreshutdownTimeoutSetting));
  SERVICE_PRESHUTDOWN_INFO preshutdown = {preshutdown_ms};

  const ExtraSetting settings[] = {
      {"delayed automatic start", SERVICE_CONFIG_DELAYED_AUTO_START_INFO, delayed_start ? &delayed : nullptr,
       "Delayed automatic start.\n"},
      {"recovery actions", SERVICE_CONFIG_FAILURE_ACTIONS, has_recovery ? &failure_actions : nullptr,
       "Recovery actions set.\n"},
      {"recovery after non-crash failures", SERVICE_CONFIG_FAILURE_ACTIONS_FLAG,
       has_recovery ? &failure_flag : nullptr, nullptr},
      // The default time is set without a line.
      {"preshutdown timeout", SERVICE_CONFIG_PRESHUTDOWN_INFO, preshutdown_ms != 0 ? &preshutdown : nullptr,
       ConfigText(record::kPreshutdownTimeout).empty() ? nullptr : "Preshutdown timeout: %u s.\n"},
  };
  for (const ExtraSetting& setting : settings) {
    if (setting.info == nullptr) continue;
    SetLastError(0);
    // The wide form: Wine's narrow one refuses levels it does not convert.
    if (ChangeServiceConfig2W(service, setting.level, setting.info)) {
      if (setting.line != nullptr) Print(setting.line, static_cast<unsigned>(preshutdown_ms / 1000));
      continue;
    }
    const DWORD error = GetLastError();
    if (UnsupportedSetting(error)) {
      Print("Warning: %s not supported (error %d); installed without it.\n", setting.name, static_cast<int>(error));
      continue;
    }
    Print("Could not set %s for service '%s'", setting.name, ServiceName().c_str());
    PrintErrorText(stdout, error);
    return false;
  }
  return true;
}

void GrantServiceFolders(const ServiceAccount& account) {
  if (account.name.empty()) return;
  const std::string& executable_directory = ExecutableDirectory();
  // The service log's folder (none when it is off; a name the ANSI code page
  // cannot hold fails to be granted, with a warning), then those of the
  // output logs.
  std::string folders[] = {std::string(), LogFilePath(record::kPassErrorLog, record::kErrorLog),
                           LogFilePath(record::kPassOutputLog, record::kOutputLog)};
  WideToNarrow(ServiceLogPath(), CP_ACP, &folders[0]);
  const char* who = account.name.c_str();
  // ".\name" is the service control manager's form of a local user; the
  // lookup of the name takes the bare name.
  const char* trustee = who[0] == '.' && who[1] == '\\' ? who + 2 : who;
  for (size_t i = 0; i < 3; ++i) {
    std::string& folder = folders[i];
    const size_t backslash = folder.rfind('\\');
    if (folder.empty() || folder[0] == '$' || backslash == std::string::npos) continue;
    folder.resize(backslash);
    bool done = false;
    for (size_t j = 0; j < i; ++j) done = done || lstrcmpiA(folders[j].c_str(), folder.c_str()) == 0;
    if (done) continue;
    if (!MayGrantFolder(folder, executable_directory)) {
      Print("Warning: not granting %s rights on %s: it holds the executable.\n", who, folder.c_str());
      continue;
    }
    CreateFoldersOf(NarrowToWide(folder + "\\", CP_ACP));
    const DWORD error = GrantModifyRights(folder, trustee);
    if (error == 0) {
      Print("Granted %s modify rights on %s.\n", who, folder.c_str());
    } else {
      Print("Warning: could not grant %s modify rights on %s", who, folder.c_str());
      PrintErrorText(stdout, error);
    }
  }
}

DWORD ModifyRightsAcl(PACL old_acl, const char* account, PACL* acl) {
  EXPLICIT_ACCESSA access = {};
  access.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  access.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
  access.Trustee.ptstrName = const_cast<char*>(account);
  return SetEntriesInAclA(1, &access, old_acl, acl);
}

}  // namespace vexlo
