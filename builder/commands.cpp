#include "commands.h"

#include <filesystem>
#include <fstream>

#include "compile.h"
#include "core/block_writer.h"
#include "file_io.h"
#include "inspect.h"

namespace vexlo {
namespace builder {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  std::error_code code;
  return !path.empty() && fs::is_regular_file(fs::u8path(path), code);
}

// The explicit choice, else the first candidate that exists; "" when none.
std::string Choose(const std::string& given, const std::vector<std::string>& candidates) {
  if (!given.empty()) return given;
  for (const auto& candidate : candidates) {
    if (Exists(candidate)) return candidate;
  }
  return std::string();
}

std::string Listed(const std::vector<std::string>& paths) {
  std::string text;
  for (const auto& path : paths) text += (text.empty() ? "" : ", ") + path;
  return text.empty() ? "nowhere" : text;
}

std::string Plural(size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

int Build(const BuildRequest& request, std::ostream& out, std::ostream& err) {
  std::string text, error;
  if (!ReadWholeFile(request.config, &text, &error)) {
    err << "vexlo-build: cannot read " << request.config << ": " << error << "\n";
    return kExitConfigurationError;
  }
  BuildPlan plan;
  Diagnostics diagnostics;
  const bool compiled = CompileConfiguration(text, request.config, &plan, &diagnostics);

  std::string stub;
  const std::string stub_path = Choose(request.stub, request.stub_candidates);
  if (compiled) {
    if (stub_path.empty()) {
      diagnostics.Error({}, "", "no launcher stub (vexlo-service.exe) found; looked at " +
                                    Listed(request.stub_candidates) + "; give --stub");
    } else if (!ReadWholeFile(stub_path, &stub, &error)) {
      diagnostics.Error({}, "", "cannot read the launcher stub " + stub_path + ": " + error);
    }
  }
  std::string runtime_jar = request.runtime_jar;
  if (runtime_jar.empty()) {
    runtime_jar = plan.runtime_jar;
  } else {
    // The command line overrides java.runtime-jar; errors then name no key.
    plan.runtime_jar.clear();
    plan.runtime_jar_position = {};
  }
  runtime_jar = Choose(runtime_jar, request.runtime_jar_candidates);
  if (compiled && plan.runtime == RuntimeMode::kEmbedded && runtime_jar.empty()) {
    diagnostics.Error({}, "java.runtime",
                      "the Java runtime jar (vexlo-runtime.jar) to embed was not found; looked at " +
                          Listed(request.runtime_jar_candidates) +
                          "; give --runtime-jar, or set java.runtime = \"beside\" or \"none\"");
  }

  BlockContents contents;
  std::vector<IncludedFile> files;
  ExeResources resources;
  std::string launcher;
  if (!diagnostics.HasErrors()) {
    AssembleLauncher(plan, runtime_jar, &ReadWholeFile, &contents, &files, &diagnostics);
    AssembleResources(plan, &ReadWholeFile, &resources, &diagnostics);
  }
  if (!diagnostics.HasErrors() && !BuildLauncherWithResources(stub, resources, contents, files, &launcher, &error)) {
    diagnostics.Error({}, "", "the launcher stub " + stub_path + " is not usable: " + error);
  }
  err << diagnostics.Format(request.config);
  if (diagnostics.HasErrors()) {
    err << "vexlo-build: " << request.output << " not written ("
        << Plural(diagnostics.ErrorCount(), "error") << ")\n";
    return kExitConfigurationError;
  }
  if (!WriteFileReplacing(request.output, launcher, &error)) {
    err << "vexlo-build: " << error << "\n";
    return kExitConfigurationError;
  }
  size_t included = 0;
  for (const auto& file : files) included += file.contents.size();
  out << "wrote " << request.output << ": " << launcher.size() << " bytes ("
      << Plural(files.size(), "included file") << ", " << included << " bytes)\n";
  return kExitSuccess;
}

int Inspect(const InspectRequest& request, std::ostream& out, std::ostream& err) {
  std::string bytes, error;
  if (!ReadWholeFile(request.executable, &bytes, &error)) {
    err << "vexlo-build: cannot read " << request.executable << ": " << error << "\n";
    return kExitConfigurationError;
  }
  LauncherImage image;
  if (!ReadLauncherImage(bytes, &image, &error)) {
    err << "vexlo-build: " << request.executable << ": " << error << "\n";
    return kExitConfigurationError;
  }
  InspectOptions options;
  options.executable_name = fs::u8path(request.executable).filename().u8string();
  options.extract_dir = request.extract_dir;
  const fs::path config = request.output.empty() ? fs::current_path() / "inspected.toml"
                                                 : fs::absolute(fs::u8path(request.output));
  options.config_path = config.lexically_normal().u8string();
  const InspectOutput result = DescribeLauncher(image, options);
  for (const auto& file : result.extracted) {
    std::error_code code;
    fs::create_directories(fs::u8path(file.first).parent_path(), code);
    if (!WriteFileReplacing(file.first, file.second, &error)) {
      err << "vexlo-build: " << error << "\n";
      return kExitConfigurationError;
    }
  }
  for (const auto& warning : result.warnings) err << "vexlo-build: warning: " << warning << "\n";
  if (request.output.empty()) {
    out << result.toml;
  } else if (!WriteFileReplacing(request.output, result.toml, &error)) {
    err << "vexlo-build: " << error << "\n";
    return kExitConfigurationError;
  }
  return kExitSuccess;
}

int Init(const InitRequest& request, std::ostream& out, std::ostream& err) {
  if (request.path == "-") {
    out << ConfigurationTemplate();
    return kExitSuccess;
  }
  std::error_code code;
  if (fs::exists(fs::u8path(request.path), code) && !request.force) {
    err << "vexlo-build: " << request.path << " exists; --force replaces it\n";
    return kExitConfigurationError;
  }
  std::string error;
  if (!WriteFileReplacing(request.path, ConfigurationTemplate(), &error)) {
    err << "vexlo-build: " << error << "\n";
    return kExitConfigurationError;
  }
  out << "wrote " << request.path << "\n";
  return kExitSuccess;
}

}  // namespace builder
}  // namespace vexlo
