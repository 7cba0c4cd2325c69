#include "launch/jvm_options.h"

#include "core/args.h"
#include "sys/text_list.h"

namespace vexlo {
namespace {

const char kLocaleOption[] = "-Dsun.locale.formatasdefault=";
const char kStopTimeoutProperty[] = "vexlo.stopTimeoutMillis";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Property(const char* name, const std::string& value) {
  return std::string("-D") + name + "=" + value;
}

// Record 123: split like a command line; "-include-options" and the token
// after it form one line, as they would in a VM options file.
void AddVmParameters(std::string parameters, OptionAssembly* assembly, const OptionSystem& system) {
  system.expand(system.context, parameters);
  std::vector<std::string> tokens;
  SplitArguments(parameters, &tokens);
  system.log("adding options\n");
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i] == "-include-options" && i + 1 < tokens.size()) {
      HandleOptionLine(nullptr, tokens[i] + " " + tokens[i + 1], assembly, system);
      ++i;
    } else {
      HandleOptionLine(nullptr, tokens[i], assembly, system);
    }
  }
}

// Whether an option sets the system property, with or without a value.
bool SetsProperty(const std::vector<std::string>& options, const std::string& name) {
  const std::string option = "-D" + name;
  for (const std::string& given : options) {
    if (given == option || StartsWith(given, option + "=")) return true;
  }
  return false;
}

void AddLocaleOptions(const StartArgumentInputs& inputs, OptionAssembly* assembly,
                      const OptionSystem& system) {
  const std::string* last = nullptr;
  for (const std::string& argument : inputs.program_arguments) {
    if (StartsWith(argument, kLocaleOption)) last = &argument;
  }
  if (last == nullptr) return;
  HandleOptionLine(nullptr, *last, assembly, system);
  if (*last == std::string(kLocaleOption) + "true") return;
  if (!inputs.language.empty()) HandleOptionLine(nullptr, "-Duser.language=" + inputs.language, assembly, system);
  if (!inputs.country.empty()) HandleOptionLine(nullptr, "-Duser.country=" + inputs.country, assembly, system);
}

void ReadDefaultOptionsFile(OptionAssembly* assembly, const OptionSystem& system) {
  std::string name;
  void* file = system.open_default_options_file(system.context, &name);
  system.log("default vmoptions file: %p", file);
  if (file == nullptr) return;
  assembly->open_files.push_back(name);
  ReadOptionsFile(nullptr, file, assembly, system);
  assembly->open_files.pop_back();
}

// Appends the file `name` of the directory, made absolute.
void AppendFile(std::string* class_path, const std::string& directory, const std::string& name,
                const OptionSystem& system) {
  *class_path += system.make_absolute(system.context, directory + "\\" + name, nullptr) + ";";
}

// Appends every file of the directory matching *<dotted extension>.
void AppendMatchingFiles(std::string* class_path, const std::string& directory,
                         const std::string& dotted_extension, const OptionSystem& system) {
  for (const std::string& name :
       system.list_files(system.context, directory + "\\*" + dotted_extension)) {
    AppendFile(class_path, directory, name, system);
  }
}

// ScanDirectory for the jar files and then the zip files of one directory,
// with one existence test rather than one per extension.
bool ScanArchives(std::string* class_path, const std::string& directory, const OptionSystem& system) {
  if (!system.exists(system.context, directory)) return false;
  AppendMatchingFiles(class_path, directory, ".jar", system);
  AppendMatchingFiles(class_path, directory, ".zip", system);
  return true;
}

// True when `text` holds `lower` at `at`, ASCII letters in either case (as
// Windows matches "*.jar" and "user").
bool HoldsIgnoringCase(const std::string& text, size_t at, const char* lower) {
  for (size_t i = 0; lower[i] != '\0'; ++i, ++at) {
    const char c = at < text.size() ? text[at] : '\0';
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i]) return false;
  }
  return true;
}

// Where an extracted file (its name as in record 2003) goes on the class
// path: 0 a jar and 1 a zip directly in the launcher temporary directory, 2
// and 3 the same in its "user" folder, -1 not at all.
int ExtractedArchiveGroup(const std::string& name) {
  const size_t separator = name.find_first_of("\\/");
  int group = 0;
  size_t file_start = 0;
  if (separator != std::string::npos) {
    if (separator != 4 || !HoldsIgnoringCase(name, 0, "user")) return -1;
    group = 2;
    file_start = separator + 1;
  }
  if (name.size() - file_start < 4) return -1;
  if (HoldsIgnoringCase(name, name.size() - 4, ".jar")) return group;
  return HoldsIgnoringCase(name, name.size() - 4, ".zip") ? group + 1 : -1;
}

// The archives among the extracted files, in the order a scan of the launcher
// temporary directory gives: its jars, its zips, then those of its "user"
// folder; within each, in extraction order. Only what this run wrote there
// counts: a file planted beside them never reaches the class path.
void AddExtractedArchives(const StartArgumentInputs& inputs, std::string* class_path, const OptionSystem& system) {
  for (int group = 0; group < 4; ++group) {
    for (const std::string& name : inputs.extracted_files) {
      if (ExtractedArchiveGroup(name) == group) AppendFile(class_path, inputs.launcher_temp_dir, name, system);
    }
  }
}

// Archive and directory entries: each ";"-part made absolute. They are added
// even when missing; found only when every part exists.
bool AddPathEntry(const std::string& text, std::string* class_path, const OptionSystem& system) {
  const std::vector<std::string> parts = SplitList(text, ';');
  bool found = !parts.empty();
  for (const std::string& part : parts) {
    const std::string absolute = system.make_absolute(system.context, part, nullptr);
    found = found && system.exists(system.context, absolute);
    *class_path += absolute + ";";
  }
  return found;
}

// An environment variable's value, one pair of enclosing double quotes
// removed. An empty value adds nothing: an empty class path element would
// mean the current directory.
bool AddVariableEntry(const std::string& name, std::string* class_path, const OptionSystem& system) {
  std::string value;
  if (!system.environment(system.context, name, &value)) return false;
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  if (value.empty()) return true;
  *class_path += value;
  if (value.back() != ';') *class_path += ";";
  return true;
}

// Record 121: ";"-separated entries of a type letter, a requirement digit and
// a location.
bool AddConfiguredEntries(const std::string& entries, std::string* class_path, const OptionSystem& system,
                          ClassPathFailure* failure) {
  system.log("classpath entry %s", entries.c_str());
  for (const std::string& entry : SplitList(entries, ';')) {
    const char type = entry[0];
    const bool required = entry.size() > 1 && entry[1] == '1';
    std::string text = entry.size() > 2 ? entry.substr(2) : std::string();
    system.expand(system.context, text);
    bool found = false;
    int missing_message = 1006;
    switch (type) {
      case 'A':
      case 'D':
        found = AddPathEntry(text, class_path, system);
        break;
      case 'E':
        found = AddVariableEntry(text, class_path, system);
        missing_message = 1008;
        break;
      case 'S':
        found = ScanArchives(class_path, system.make_absolute(system.context, text, nullptr), system);
        break;
      default:
        // Not a kind the launcher knows: say so in the log and go on, since
        // the rest of the class path may well be enough.
        system.log_error("unknown classpath entry type %c in %s: entry ignored", type, entry.c_str());
        continue;
    }
    if (required && !found) {
      failure->message_id = missing_message;
      failure->argument = text;
      return false;
    }
  }
  return true;
}

bool BuildClassPath(const StartArgumentInputs& inputs, const ClassPathOverrides& overrides,
                    const OptionSystem& system, std::string* class_path, ClassPathFailure* failure) {
  if (overrides.prepend && !overrides.prepend->empty()) *class_path += *overrides.prepend + ";";
  if (!inputs.launcher_temp_dir.empty()) AddExtractedArchives(inputs, class_path, system);
  if (inputs.tavrelium) {
    const std::string& directory = inputs.installation_directory;
    *class_path += directory;
    if (directory.empty() || directory.back() != '\\') *class_path += "\\";
    *class_path += ".tavrelium\\tvlruntime.jar;";
  }
  if (overrides.replace) {
    *class_path += *overrides.replace;
  } else if (!AddConfiguredEntries(inputs.class_path_entries, class_path, system, failure)) {
    return false;
  }
  if (overrides.append) {
    // A leading ";" with nothing before it would be an empty element: the
    // current directory.
    if (!class_path->empty() && class_path->back() != ';') *class_path += ";";
    *class_path += *overrides.append;
  }
  return true;
}

}  // namespace

std::vector<std::string> OwnOptions(const OwnOptionInputs& inputs) {
  std::vector<std::string> options;
  if (!inputs.semaphore_name.empty()) options.push_back(Property("vexlo.semaphoreName", inputs.semaphore_name));
  if (inputs.tavrelium) options.push_back(Property("vexlo.isTavrelium", "true"));
  options.push_back(Property("vexlo.isService", "true"));
  options.push_back(Property("vexlo.moduleName", inputs.module_path));
  options.push_back(Property("sun.java.command", inputs.module_path));
  if (inputs.single_instance) options.push_back(Property("vexlo.processCommFile", inputs.process_comm_file));
  options.push_back(Property("vexlo.tempDir", inputs.temp_dir));
  options.push_back(Property("vexlo.unextractedPosition", std::to_string(inputs.unextracted_position)));
  options.push_back("-Djava.library.path=" + inputs.library_path);
  if (inputs.has_console_codepage) {
    options.push_back(Property("vexlo.consoleCodepage", "cp" + std::to_string(inputs.console_codepage)));
  }
  return options;
}

bool ScanDirectory(std::string* class_path, const std::string& directory, const std::string& extension,
                   const OptionSystem& system) {
  if (!system.exists(system.context, directory)) return false;
  AppendMatchingFiles(class_path, directory,
                      extension.compare(0, 1, ".") == 0 ? extension : "." + extension, system);
  return true;
}

bool AssembleJvmOptions(const StartArgumentInputs& inputs, const OptionSystem& system,
                        std::vector<std::string>* options, ClassPathFailure* failure) {
  OptionAssembly assembly;
  assembly.options = inputs.own_options;
  AddVmParameters(inputs.vm_parameters, &assembly, system);
  if (inputs.allow_j_arguments) {
    for (const std::string& argument : inputs.program_arguments) {
      if (StartsWith(argument, "-J")) HandleOptionLine(nullptr, argument.substr(2), &assembly, system);
    }
  }
  AddLocaleOptions(inputs, &assembly, system);
  ReadDefaultOptionsFile(&assembly, system);
  if (inputs.java_stop_timeout_ms != 0 && !SetsProperty(assembly.options, kStopTimeoutProperty)) {
    assembly.options.push_back(Property(kStopTimeoutProperty, std::to_string(inputs.java_stop_timeout_ms)));
  }
  // The stop method's record (expanded like the application's arguments) and
  // the logs' rotation, as the builder wrote them: the Java side reads both.
  if (!inputs.java_stop.empty()) {
    std::string stop = inputs.java_stop;
    system.expand(system.context, stop);
    assembly.options.push_back(Property("vexlo.stop", stop));
  }
  if (!inputs.log_rotation.empty()) assembly.options.push_back(Property("vexlo.logs.rotate", inputs.log_rotation));

  std::string class_path;
  if (!BuildClassPath(inputs, assembly.overrides, system, &class_path, failure)) return false;
  assembly.options.push_back("-Djava.class.path=" + class_path);

  system.log("vmoption count %d", static_cast<int>(assembly.options.size()));
  for (size_t i = 0; i < assembly.options.size(); ++i) {
    system.log("vmoption %d: %s", static_cast<int>(i), assembly.options[i].c_str());
  }
  options->swap(assembly.options);
  return true;
}

}  // namespace vexlo
