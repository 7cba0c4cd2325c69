// Fixture for tests of instance semaphores: probes (the launcher's own code)
// that run as instances and hold their semaphore until the test ends them,
// and the real launcher put at a probe's path while the probe runs.
#pragma once
#include <string>
#include <vector>

#include "support/launcher_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {

// HKEY_CURRENT_USER key of the single-instance process ids.
extern const char kProcessIdsKey[];

bool SemaphoreExists(const std::string& name);
// The process id stored for an executable; 0 when there is none.
DWORD StoredProcessId(const std::string& value_name);

class InstanceTest : public LauncherTest {
 protected:
  struct Holder {
    UniqueHandle process;
    DWORD id = 0;
    std::string name;  // the semaphore name its instance check chose
  };

  InstanceTest() { holders_.reserve(16); }  // Hold hands out pointers into it
  void TearDown() override;

  // The normalised path of an executable (lower case), under which the
  // launcher stores its process id (removed after the test), and the
  // semaphore name built from it.
  std::string Normalised(const std::string& executable);
  std::string Base(const std::string& executable, bool global = false);

  // Starts a probe with `operation` ("instance" or "instance-window") as an
  // instance that keeps running; returns once its instance check is done,
  // null when it ended instead.
  Holder* Hold(const std::string& command_path, const char* operation = "instance");
  void End(Holder& holder);

  // Moves the running probe aside (a running image can be renamed) and puts
  // the real launcher at its path.
  void ReplaceWithLauncher(const std::string& path, const BlockContents& contents,
                           const std::vector<IncludedFile>& files = {});

  ProcessResult RunChild(const std::string& executable);

 private:
  std::vector<Holder> holders_;
  std::vector<std::string> registry_values_;
};

}  // namespace testing_support
}  // namespace vexlo
