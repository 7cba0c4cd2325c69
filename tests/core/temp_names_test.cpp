#include "core/temp_names.h"

#include <gtest/gtest.h>

#include "core/included_file_name.h"

namespace vexlo {
namespace {

TEST(LauncherFolderName, DigitsOfTheRandomValueHighestFirst) {
  EXPECT_EQ(LauncherFolderName(0x5F3A9C01D2E4B7A8ull), "vxl5F3A9C01D2E4B7A8.tmp_dir");
  EXPECT_EQ(LauncherFolderName(0xFull), "vxl000000000000000F.tmp_dir");
}

// The clean-up takes a folder by its name only when the launcher could have
// made it.
TEST(IsLauncherFolderName, OnlyTheNamesTheLauncherMakes) {
  const struct {
    const char* name;
    bool ours;
  } cases[] = {
      {"vxl5F3A9C01D2E4B7A8.tmp_dir", true},   {"vxl5f3a9c01d2e4b7a8.tmp_dir", false},
      {"vxl5F3A9C01D2E4B7A.tmp_dir", false},   {"vxl5F3A9C01D2E4B7A80.tmp_dir", false},
      {"vxl5F3A9C01D2E4B7G8.tmp_dir", false},  {"vxl5F3A9C01D2E4B7A8.tmp_dir1", false},
      {"vxl5F3A9C01D2E4B7A8.tmp_di", false},   {"Vxl5F3A9C01D2E4B7A8.tmp_dir", false},
      {"vxl2c29.tmp_dir1796800312", false},  // older launchers': no lock file in them
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsLauncherFolderName(c.name), c.ours) << c.name;
}

// The lock file can never be overwritten by, or block, an included file.
TEST(LockFileName, NoIncludedFileCanHaveIt) {
  EXPECT_NE(CheckIncludedFileName(kLockFileName), IncludedNameProblem::kNone);
}

}  // namespace
}  // namespace vexlo
