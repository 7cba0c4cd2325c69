// The printer behind DescribeLauncher, private to the builder: it turns a
// launcher image back into the configuration that builds it again.
// describe_keys.cpp finds the keys that give each record, describe_output.cpp
// prints them with the files, locales and raw records and checks that the
// printed configuration builds the same bytes.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "compile.h"
#include "inspect.h"
#include "text_encoding.h"

namespace vexlo {
namespace builder {
namespace inspect_detail {

// "key = value" lines by table; a group of them stands for some records.
using Line = std::pair<std::string, std::string>;  // table, "key = value"
using Lines = std::vector<Line>;

class Describer {
 public:
  Describer(const LauncherImage& image, const InspectOptions& options);

  InspectOutput Run();

 private:
  bool Has(int32_t id) const { return texts_.count(id) > 0; }
  std::string Utf8(int32_t id) const { return AnsiToUtf8(texts_.at(id)); }

  // ---- records back to keys ------------------------------------------------

  // Takes the first candidate whose lines build exactly the records `ids`
  // (and wide records `wide_ids`) hold; records no candidate reproduces are
  // printed raw.
  void Try(const std::vector<int32_t>& ids, const std::vector<int32_t>& wide_ids,
           const std::vector<Lines>& candidates);
  bool Reproduces(const Lines& lines, const std::vector<int32_t>& ids, const std::vector<int32_t>& wide_ids) const;

  void Simple(const char* table, const char* name, int32_t id);
  void Flag(const char* table, const char* name, int32_t id);
  void List(const char* table, const char* name, int32_t id, char separator);
  void CommandLine(const char* table, const char* name, int32_t id);
  void Description();
  void LaunchMode();
  void RecoveryKey();
  void EnvironmentKey();
  void StopKey();
  void RotationKey();
  void Log(const char* name, int32_t pass_id, int32_t file_id);
  void ClassPath();
  void Sequence();
  void MessageTexts();
  // The runtime jar: embedded as the first included file, or referenced in
  // the installation (mode letter "i"), or neither.
  void Runtime();

  // ---- the executable's resources (describe_exe.cpp) ------------------------

  // The [exe] keys that give the version resource, icon and manifest.
  void ExeKeys(InspectOutput* output);
  // Where a resource is written out (a name no included file takes), and
  // the path the configuration names it by.
  std::string ResourceFile(const std::string& preferred, const std::string& bytes, InspectOutput* output);
  void CheckResources(const BuildPlan& plan, const FileReader& read, InspectOutput& output);

  // ---- the printed configuration -------------------------------------------

  std::string Header() const;
  // The tables in print order, each with its keys in the schema's order.
  std::string Body() const;
  // Adds a line to a table; `key` orders it there.
  void Print(const std::string& table, const std::string& key, const std::string& line);
  void Print(const Line& line);
  // Where an included file is written out, and the path the configuration
  // names it by.
  std::string Placement(size_t index, const IncludedFile& file, InspectOutput* output);
  // Writes bytes out below the extraction folder; the path to name them by.
  std::string Extracted(const std::string& relative, const std::string& bytes, InspectOutput* output);
  std::string FilesText(InspectOutput* output);
  std::string LocalesText();
  std::string RawText();
  // True, with a warning, for a record of the launcher's own settings that no
  // key gives back: no configuration can write it, and the launcher ignores
  // a value its rule refuses.
  bool LeftOut(int32_t id, const std::string& utf8);
  // Builds the printed configuration in memory and compares the result
  // with the executable's own bytes.
  void SelfCheck(InspectOutput& output);
  std::string DifferingRecords(const BlockContents& built) const;

  const LauncherImage& image_;
  const InspectOptions& options_;
  std::map<int32_t, std::string> texts_;
  std::map<int32_t, WideString> wides_;
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> lines_;  // table: key, line
  std::set<int32_t> accounted_, wide_accounted_;
  std::vector<std::string> warnings_;
  std::vector<std::pair<std::string, std::string>> sources_;
  bool embedded_ = false;
};

}  // namespace inspect_detail
}  // namespace builder
}  // namespace vexlo
