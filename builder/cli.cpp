// The command line of vexlo-build.
#include <CLI/CLI.hpp>

#include <filesystem>

#include "commands.h"
#include "file_io.h"

#ifndef VEXLO_VERSION
#define VEXLO_VERSION "unknown"
#endif
// Where a builder running from its build tree finds the stub and the runtime
// jar when nothing lies beside it (set by CMake; empty in other builds).
#ifndef VEXLO_BUILD_TREE_STUB
#define VEXLO_BUILD_TREE_STUB ""
#endif
#ifndef VEXLO_BUILD_TREE_RUNTIME_JAR
#define VEXLO_BUILD_TREE_RUNTIME_JAR ""
#endif

namespace vexlo {
namespace builder {
namespace {

std::vector<std::string> Candidates(const char* file_name, const char* build_tree_path) {
  std::vector<std::string> candidates;
  const std::string own = OwnExecutablePath();
  if (!own.empty()) {
    candidates.push_back((std::filesystem::u8path(own).parent_path() / file_name).u8string());
  }
  if (*build_tree_path) candidates.push_back(build_tree_path);
  return candidates;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app("Builds Windows service executables that run a Java application, from a TOML\n"
               "configuration, and prints the configuration of a built one.",
               "vexlo-build");
  app.set_version_flag("--version", "vexlo-build " VEXLO_VERSION);
  app.require_subcommand(1);
  app.footer(
      "Exit codes: 0 success, 1 error in the configuration or an input file, 2 wrong command line.\n"
      "Run 'vexlo-build COMMAND --help' for a command's options; docs/configuration.md describes\n"
      "every configuration key.");

  BuildRequest build;
  CLI::App* build_command = app.add_subcommand(
      "build", "Build a service executable from a configuration file");
  build_command->add_option("config", build.config, "Configuration file (TOML)")->required()->type_name("FILE");
  build_command->add_option("-o,--output", build.output, "Executable to write (replaced only when complete)")
      ->required()
      ->type_name("FILE");
  build_command->add_option("--stub", build.stub,
                            "Launcher stub to build on (default: vexlo-service.exe beside vexlo-build)")
      ->type_name("FILE");
  build_command->add_option("--runtime-jar", build.runtime_jar,
                            "Java runtime jar to embed (default: java.runtime-jar, else\n"
                            "vexlo-runtime.jar beside vexlo-build)")
      ->type_name("FILE");
  build_command->footer("Nothing is written when the configuration has an error; messages name the file,\n"
                        "line, column and key.");

  InspectRequest inspect;
  CLI::App* inspect_command = app.add_subcommand(
      "inspect", "Print a built executable's configuration as TOML that builds it again");
  inspect_command->add_option("executable", inspect.executable, "Executable built by vexlo-build")
      ->required()
      ->type_name("FILE");
  inspect_command->add_option("-o,--output", inspect.output, "Write the configuration to this file\n"
                                                             "(default: standard output)")
      ->type_name("FILE");
  inspect_command->add_option("--extract", inspect.extract_dir,
                              "Write the included files to this directory (default: list them)")
      ->type_name("DIR");
  inspect_command->footer("A damaged executable is explained with the configuration reader's error.");

  InitRequest init;
  init.path = "vexlo.toml";
  CLI::App* init_command = app.add_subcommand("init", "Write a commented configuration template");
  init_command->add_option("file", init.path, "File to write, or - for standard output (default: vexlo.toml)")
      ->type_name("FILE");
  init_command->add_flag("-f,--force", init.force, "Replace an existing file");

  // CLI11 would only say that a command is required.
  const std::string first = argc > 1 ? argv[1] : "-";
  if (first[0] != '-' && first != "build" && first != "inspect" && first != "init") {
    err << "Unknown command: " << first << " (the commands are build, inspect and init)\n"
        << "Run with --help for more information.\n";
    return kExitUsageError;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error, out, err);
    return code == 0 ? kExitSuccess : kExitUsageError;
  }
  if (build_command->parsed()) {
    build.stub_candidates = Candidates("vexlo-service.exe", VEXLO_BUILD_TREE_STUB);
    build.runtime_jar_candidates = Candidates("vexlo-runtime.jar", VEXLO_BUILD_TREE_RUNTIME_JAR);
    return Build(build, out, err);
  }
  if (inspect_command->parsed()) return Inspect(inspect, out, err);
  return Init(init, out, err);
}

}  // namespace builder
}  // namespace vexlo
