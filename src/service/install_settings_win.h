// What the install commands set beyond the service itself: the account (with
// a user's password), delayed start, recovery, the preshutdown time and the
// account's rights on the folders the service writes. Only the install
// commands run this; the service and its child never do.
#pragma once
#include <string>

#include "core/settings.h"
#include "sys/win.h"

namespace vexlo {

// The account of service.account, resolved for the service being installed.
// A user's password lives here only for the install and is wiped with it.
struct ServiceAccount {
  ServiceAccount() = default;
  ServiceAccount(const ServiceAccount&) = delete;
  ServiceAccount& operator=(const ServiceAccount&) = delete;
  ~ServiceAccount();

  std::string name;      // for the service control manager; empty for LocalSystem
  bool user = false;     // a user, which needs a password
  std::string password;
};

// Reads service.account and, for a user, the password: VEXLO_SERVICE_PASSWORD
// or, when that is not set and standard input is no console, the first line
// of standard input. False, with the reason printed, for a user without a
// password: the install must not begin.
bool ResolveServiceAccount(ServiceAccount* account);

// Sets delayed start (when asked), recovery and the preshutdown time on a new
// service, printing a line for each that the configuration sets and a
// warning for each that the service control manager does not support. False,
// with the system's error printed, when it refuses one it supports.
bool ApplyServiceSettings(SC_HANDLE service, bool delayed_start);

// For an account other than LocalSystem: creates the folders the service
// writes and grants the account modify rights on them, printing a line for
// each folder, or a warning for one it could not or must not grant.
void GrantServiceFolders(const ServiceAccount& account);

// A copy of `old_acl` (may be null) that also grants the account modify
// rights, inherited by files and subfolders; ERROR_SUCCESS or the system's
// error (an account it cannot find, say).
DWORD ModifyRightsAcl(PACL old_acl, const char* account, PACL* acl);

}  // namespace vexlo
