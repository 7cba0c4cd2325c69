// The access list the install writes on a service account's folders, as it
// is handed to the system: Wine stores no access lists of files.
#include "service/install_settings_win.h"

#include <gtest/gtest.h>

#include "sys/handle_win.h"

namespace vexlo {
namespace {

TEST(ModifyRightsAcl, AddsTheAccountsInheritedModifyRightsAndKeepsTheRest) {
  BYTE system_sid[SECURITY_MAX_SID_SIZE], local_service_sid[SECURITY_MAX_SID_SIZE], old_buffer[256];
  DWORD size = sizeof(system_sid);
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system_sid, &size));
  size = sizeof(local_service_sid);
  ASSERT_TRUE(CreateWellKnownSid(WinLocalServiceSid, nullptr, local_service_sid, &size));
  PACL old_acl = reinterpret_cast<PACL>(old_buffer);  // a list with an entry of its own
  ASSERT_TRUE(InitializeAcl(old_acl, sizeof(old_buffer), ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(old_acl, ACL_REVISION, GENERIC_ALL, system_sid));

  PACL acl = nullptr;
  ASSERT_EQ(ModifyRightsAcl(old_acl, "NT AUTHORITY\\LocalService", &acl), static_cast<DWORD>(ERROR_SUCCESS));
  const UniqueLocal owner(acl);
  ASSERT_EQ(acl->AceCount, 2u);
  const auto ace_of = [acl](PSID sid) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    for (WORD i = 0; i < acl->AceCount; ++i) {
      if (GetAce(acl, i, reinterpret_cast<void**>(&ace)) && EqualSid(&ace->SidStart, sid)) return ace;
    }
    return static_cast<ACCESS_ALLOWED_ACE*>(nullptr);
  };
  EXPECT_NE(ace_of(system_sid), nullptr);
  const ACCESS_ALLOWED_ACE* granted = ace_of(local_service_sid);
  ASSERT_NE(granted, nullptr);
  // Modify: read, write, execute and delete, no right to change the rights;
  // for the folder and, by inheritance, its files and subfolders.
  EXPECT_EQ(granted->Mask, static_cast<DWORD>(FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE));
  EXPECT_EQ(granted->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  EXPECT_NE(ModifyRightsAcl(old_acl, "NO SUCH DOMAIN\\nobody", &acl), static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace
}  // namespace vexlo
