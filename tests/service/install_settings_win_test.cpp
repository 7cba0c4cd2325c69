// The access list the install writes on the folders a service account
// writes to. Wine stores no access lists of files (a folder's list reads back
// as its Unix permissions), so the list is checked as it is handed to the
// system.
#include "service/install_settings_win.h"

#include <gtest/gtest.h>

#include "sys/handle_win.h"

namespace vexlo {
namespace {

TEST(ModifyRightsAcl, AddsTheAccountsInheritedModifyRightsAndKeepsTheRest) {
  BYTE system_sid[SECURITY_MAX_SID_SIZE], local_service_sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(system_sid);
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system_sid, &size));
  size = sizeof(local_service_sid);
  ASSERT_TRUE(CreateWellKnownSid(WinLocalServiceSid, nullptr, local_service_sid, &size));
  // An existing list with one entry of its own.
  BYTE old_buffer[256];
  PACL old_acl = reinterpret_cast<PACL>(old_buffer);
  ASSERT_TRUE(InitializeAcl(old_acl, sizeof(old_buffer), ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(old_acl, ACL_REVISION, GENERIC_ALL, system_sid));

  PACL acl = nullptr;
  ASSERT_EQ(ModifyRightsAcl(old_acl, "NT AUTHORITY\\LocalService", &acl), static_cast<DWORD>(ERROR_SUCCESS));
  const UniqueLocal owner(acl);
  ASSERT_NE(acl, nullptr);
  ASSERT_EQ(acl->AceCount, 2u);
  bool granted = false, kept = false;
  for (WORD i = 0; i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, i, reinterpret_cast<void**>(&ace)));
    ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    if (EqualSid(&ace->SidStart, local_service_sid)) {
      granted = true;
      // Modify: read, write, execute and delete, for the folder and, by
      // inheritance, its files and subfolders; no right to change the rights.
      EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE));
      EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
      EXPECT_EQ(ace->Mask & (WRITE_DAC | WRITE_OWNER), 0u);
    }
    kept = kept || EqualSid(&ace->SidStart, system_sid);
  }
  EXPECT_TRUE(granted);
  EXPECT_TRUE(kept);

  PACL unused = nullptr;
  EXPECT_NE(ModifyRightsAcl(old_acl, "NO SUCH DOMAIN\\nobody", &unused), static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace
}  // namespace vexlo
