// The vexlo-build commands, callable without a process: the command line,
// the standard streams and the places to look for the stub and the runtime
// jar are parameters.
#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace vexlo {
namespace builder {

// Exit codes of vexlo-build.
constexpr int kExitSuccess = 0;
constexpr int kExitConfigurationError = 1;  // also unreadable or unwritable files
constexpr int kExitUsageError = 2;

struct BuildRequest {
  std::string config;
  std::string output;
  std::string stub;         // --stub, or empty
  std::string runtime_jar;  // --runtime-jar, or empty
  // Tried in order when the options are not given.
  std::vector<std::string> stub_candidates;
  std::vector<std::string> runtime_jar_candidates;
};
int Build(const BuildRequest& request, std::ostream& out, std::ostream& err);

struct InspectRequest {
  std::string executable;
  std::string output;       // -o, or empty for standard output
  std::string extract_dir;  // --extract, or empty
};
int Inspect(const InspectRequest& request, std::ostream& out, std::ostream& err);

struct InitRequest {
  std::string path;  // "-" for standard output
  bool force = false;
};
int Init(const InitRequest& request, std::ostream& out, std::ostream& err);

const char* ConfigurationTemplate();

// The whole tool: parses the command line and runs one command.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace builder
}  // namespace vexlo
