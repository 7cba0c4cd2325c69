// Fixture for tests that build launcher executables and run them under the
// real system: each test gets its own work directory (removed afterwards
// unless the test failed) with a tmp subdirectory that TMP points at.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/block_writer.h"
#include "core/resource_section.h"
#include "support/process_win.h"

namespace vexlo {
namespace testing_support {

// Records a working launcher carries unless a test says otherwise.
BlockContents DefaultContents(const std::string& service_name = "Vexlo Test Service");
void SetText(BlockContents& contents, int32_t id, const std::string& value);
// Resources every launcher the tests write carries, as vexlo-build writes
// them: a version resource, an icon and the default manifest.
ExeResources TestResources();

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes stub (the launcher stub by default) + block + files to work/name.
  std::string WriteLauncher(const std::string& name, const BlockContents& contents,
                            const std::vector<IncludedFile>& files = {});
  std::string WriteProbe(const std::string& name, const BlockContents& contents,
                         const std::vector<IncludedFile>& files = {});

  // Runs an executable with arguments (appended after a space as given),
  // TMP and TEMP set to the test's tmp directory and the log switched off
  // unless `environment` says otherwise.
  ProcessResult Run(const std::string& executable, const std::string& arguments,
                    std::vector<std::wstring> environment = {});
  // Runs several command lines at once and returns their exit codes, for
  // runs that each wait on the service dispatcher's time-out.
  std::vector<DWORD> RunTogether(const std::string& executable, const std::vector<std::string>& arguments,
                                 std::vector<std::wstring> environment = {});
  ProcessOptions Options(std::vector<std::wstring> environment) const;

  // tvl_nlog_* files in the tmp directory, sorted by their number.
  std::vector<std::string> LogFiles() const;
  // The lines of the newest of them; none when there is no log.
  std::vector<std::string> NewestLog() const;
  // Launcher temporary directories (<temp file>_dir<seconds>) left in tmp.
  std::vector<std::string> TempDirectories() const;

  std::string work_;
  std::string tmp_;
  // Added to the flags of every run (DETACHED_PROCESS: run as a service's
  // child, without a console).
  DWORD creation_flags_ = 0;
};

// A variable the test run sets (paths of the programs under test); a test
// fails when it is missing.
std::string TestEnvironment(const char* name);
std::string StubPath();
std::string ProbePath();

}  // namespace testing_support
}  // namespace vexlo
