// Assembly of the JVM options: the launcher's own system properties, the
// configured VM parameters, -J arguments, the locale options, the VM options
// files and, last, the class path. Inputs in, option list out; the system is
// reached only through OptionSystem.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "launch/option_lines.h"

namespace vexlo {

// The values behind the launcher's own "-D" options.
struct OwnOptionInputs {
  std::string semaphore_name;  // empty while no instance semaphore exists
  bool tavrelium = false;      // mode letter "i"
  std::string module_path;     // the executable path
  bool single_instance = false;
  std::string process_comm_file;  // used with single_instance only
  std::string temp_dir;           // the launcher temporary directory, may be empty
  int32_t unextracted_position = 0;
  std::string library_path;  // PATH as it stands, whole
  bool has_console_codepage = false;  // MANPATH is not set
  unsigned console_codepage = 0;
};

// The own options in their fixed order, each present by its rule.
std::vector<std::string> OwnOptions(const OwnOptionInputs& inputs);

struct StartArgumentInputs {
  std::vector<std::string> own_options;
  std::string vm_parameters;  // record 123 as stored
  bool allow_j_arguments = false;  // record 125
  // The program arguments (service name first), in the ANSI code page.
  std::vector<std::string> program_arguments;
  std::string language;  // locale codes; empty when unknown
  std::string country;
  std::string launcher_temp_dir;  // empty without included files
  // The files extraction wrote there (names as in record 2003, in order):
  // the class path takes its archives from these, not from a listing.
  std::vector<std::string> extracted_files;
  bool tavrelium = false;        // mode letter "i"
  std::string installation_directory;  // record 10003 as a full path, case kept
  std::string class_path_entries;      // record 121 as stored
  // The Java side's stop timeout, handed on as -Dvexlo.stopTimeoutMillis
  // unless the configured options set that property; 0 hands nothing on.
  uint64_t java_stop_timeout_ms = 0;
  // Records 30011 and 30012 as stored: the stop method and the logs'
  // rotation, handed on as -Dvexlo.stop and -Dvexlo.logs.rotate.
  std::string java_stop;
  std::string log_rotation;
};

// A required class path entry that is missing stops the launch with a
// catalogue message: 1006 (a location) or 1008 (a variable name).
struct ClassPathFailure {
  int message_id = 0;
  std::string argument;
};

// The complete option list, the class path option last, logged one option a
// line. The own options come first, so a configured option of the same
// property (the JVM takes the last) replaces them. False with *failure set when a required class path entry is missing.
bool AssembleJvmOptions(const StartArgumentInputs& inputs, const OptionSystem& system,
                        std::vector<std::string>* options, ClassPathFailure* failure);

// Appends every file of the directory matching *.<extension> (absolute, each
// followed by ";") to the class path. False when the directory does not
// exist; true even when nothing matched.
bool ScanDirectory(std::string* class_path, const std::string& directory, const std::string& extension,
                   const OptionSystem& system);

}  // namespace vexlo
