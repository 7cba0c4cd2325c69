#include "inspect.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "compile.h"
#include "core/args.h"
#include "core/block_format.h"
#include "core/included_file_name.h"
#include "core/record_ids.h"
#include "schema.h"
#include "text_encoding.h"
#include "toml_text.h"

namespace vexlo {
namespace builder {
namespace {

namespace fs = std::filesystem;

// A ByteSource over the executable's bytes.
struct MemorySource {
  const std::string* bytes;
  uint64_t position = 0;

  ByteSource Source() { return ByteSource{this, &Seek, &Read, &Position}; }
  static bool Seek(void* context, uint64_t offset) {
    static_cast<MemorySource*>(context)->position = offset;
    return true;
  }
  static bool Read(void* context, void* buffer, uint32_t size, uint32_t* got, uint32_t* system_error) {
    auto* source = static_cast<MemorySource*>(context);
    *system_error = 0;
    const uint64_t available =
        source->position < source->bytes->size() ? source->bytes->size() - source->position : 0;
    *got = static_cast<uint32_t>(std::min<uint64_t>(size, available));
    std::memcpy(buffer, source->bytes->data() + source->position, *got);
    source->position += *got;
    return true;
  }
  static uint64_t Position(void* context) { return static_cast<MemorySource*>(context)->position; }
};

void IgnoreLine(const char*, ...) {}

struct ContentsFill {
  static void Text(void* context, int32_t id, std::string& value) {
    static_cast<BlockContents*>(context)->texts.emplace_back(id, value);
  }
  static void Wide(void* context, int32_t id, WideString& value) {
    static_cast<BlockContents*>(context)->wides.emplace_back(id, value);
  }
  static void Locale(void* context, const std::string& prefix) {
    static_cast<BlockContents*>(context)->locales.push_back({prefix, {}});
  }
  static void LocaleValue(void* context, int32_t id, WideString& value) {
    static_cast<BlockContents*>(context)->locales.back().values.emplace_back(id, value);
  }
};

// The names of record 2003, as the launcher walks them.
std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(';', start), list.size());
    if (end > start) names.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return pieces;
    start = end + 1;
  }
}

}  // namespace

bool ReadLauncherImage(const std::string& bytes, LauncherImage* image, std::string* error) {
  *image = LauncherImage();
  MemorySource source{&bytes};
  BlockStream stream{source.Source(), &IgnoreLine};
  uint64_t start = 0, end = 0;
  const BlockVisitor visitor{&image->stored, &ContentsFill::Text, &ContentsFill::Wide,
                             &ContentsFill::Locale, &ContentsFill::LocaleValue};
  if (!FindBlockStart(stream, &start)) {
    *error = std::string("not a Windows executable (") + BlockErrorText(stream.error) + ")";
    return false;
  }
  if (!WalkBlock(stream, visitor, &end)) {
    // A stub without a block ends where the block would begin.
    const bool absent = stream.error == BlockError::kMagic || start >= bytes.size();
    *error = std::string(absent ? "no configuration block after the image (" : "damaged configuration block (") +
             BlockErrorText(stream.error) + ")";
    return false;
  }
  image->block_start = start;
  image->block_bytes = bytes.substr(start, end - start);

  // The launcher's tables hold the last value of each id.
  std::string count_text, names_text;
  for (const auto& text : image->stored.texts) {
    if (text.first == record::kIncludedFileCount) count_text = text.second;
    if (text.first == record::kIncludedFileNames) names_text = text.second;
  }
  const int32_t count = ParseConfigInteger(count_text.c_str());
  const std::vector<std::string> names = SplitNames(names_text);
  for (size_t i = 0; i < names.size() && static_cast<int64_t>(i) < count; ++i) {
    int64_t size = 0;
    if (!ReadInt64(stream, &size)) {
      *error = "damaged included file " + names[i] + " (" + BlockErrorText(stream.error) + ")";
      return false;
    }
    IncludedFile file{names[i], std::string()};
    const uint64_t at = source.position;
    if (size > 0) {
      if (static_cast<uint64_t>(size) > bytes.size() - std::min<uint64_t>(at, bytes.size())) {
        *error = "included file " + names[i] + " is cut short: " + std::to_string(size) +
                 " bytes announced, " + std::to_string(bytes.size() - at) + " present";
        return false;
      }
      file.contents = bytes.substr(at, static_cast<size_t>(size));
      for (char& c : file.contents) c = static_cast<char>(static_cast<uint8_t>(c) ^ kIncludedFileMask);
      source.position += static_cast<uint64_t>(size);
    }
    image->files.push_back(file);
  }
  image->file_bytes = bytes.substr(end, source.position - end);
  image->trailing = bytes.substr(std::min<uint64_t>(source.position, bytes.size()));
  return true;
}

namespace {

// "key = value" lines by table; a group of them stands for some records.
using Line = std::pair<std::string, std::string>;  // table, "key = value"
using Lines = std::vector<Line>;

std::string Snippet(const Lines& lines) {
  std::map<std::string, std::string> tables;
  for (const auto& line : lines) tables[line.first] += line.second + "\n";
  std::string text;
  for (const auto& table : tables) text += "[" + table.first + "]\n" + table.second;
  return text;
}

class Describer {
 public:
  Describer(const LauncherImage& image, const InspectOptions& options) : image_(image), options_(options) {
    for (const auto& text : image.stored.texts) texts_[text.first] = text.second;
    for (const auto& wide : image.stored.wides) wides_[wide.first] = wide.second;
  }

  InspectOutput Run() {
    using namespace record;
    Simple("service", "name", kServiceName);
    Description();
    LaunchMode();
    List("service", "dependencies", kServiceDependencies, ',');
    Simple("java", "main-class", kMainClass);
    ClassPath();
    CommandLine("java", "arguments", kAppArguments);
    CommandLine("jvm", "options", kVmParameters);
    Flag("jvm", "allow-j-arguments", kAllowJArguments);
    Simple("jvm", "vm-type", kPreferredVmType);
    Sequence();
    Simple("search", "min-version", kMinimumJavaVersion);
    Simple("search", "max-version", kMaximumJavaVersion);
    Flag("search", "allow-prerelease", kAllowPreRelease);
    Flag("search", "jdk-required", kJdkRequired);
    Simple("search", "previous-installation", kPreviousInstallations);
    Simple("paths", "working-directory", kWorkingDirectory);
    Simple("paths", "installation-directory", kInstallationDirectory);
    List("paths", "native-libraries", kNativeLibraryDirectories, ';');
    Flag("instance", "single", kSingleInstance);
    Try({kGlobalSemaphore}, {}, {{{"instance", "namespace = \"local\""}}, {{"instance", "namespace = \"global\""}}});
    Log("error", kPassErrorLog, kErrorLog);
    Log("output", kPassOutputLog, kOutputLog);
    Flag("logs", "append", kAppendLogs);
    MessageTexts();
    Runtime();
    accounted_.insert(kIncludedFileCount);
    accounted_.insert(kIncludedFileNames);

    InspectOutput output;
    const std::string files = FilesText(&output);
    output.toml = Header() + Body() + files + LocalesText() + RawText();
    output.warnings = warnings_;
    SelfCheck(output);
    return output;
  }

 private:
  bool Has(int32_t id) const { return texts_.count(id) > 0; }
  std::string Utf8(int32_t id) const { return AnsiToUtf8(texts_.at(id)); }

  // Takes the first candidate whose lines build exactly the records `ids`
  // (and wide records `wide_ids`) hold; records no candidate reproduces are
  // printed raw.
  void Try(const std::vector<int32_t>& ids, const std::vector<int32_t>& wide_ids,
           const std::vector<Lines>& candidates) {
    bool any = false;
    for (int32_t id : ids) any = any || Has(id);
    for (int32_t id : wide_ids) any = any || wides_.count(id);
    if (!any) return;
    for (const Lines& candidate : candidates) {
      if (!Reproduces(candidate, ids, wide_ids)) continue;
      for (const auto& line : candidate) Print(line);
      accounted_.insert(ids.begin(), ids.end());
      wide_accounted_.insert(wide_ids.begin(), wide_ids.end());
      return;
    }
  }

  bool Reproduces(const Lines& lines, const std::vector<int32_t>& ids, const std::vector<int32_t>& wide_ids) const {
    BuildPlan plan;
    Diagnostics diagnostics;
    if (!CompileConfiguration(Snippet(lines), "check.toml", &plan, &diagnostics)) return false;
    for (int32_t id : ids) {
      if (!SameEntry(plan.texts, texts_, id)) return false;
    }
    for (int32_t id : wide_ids) {
      if (!SameEntry(plan.wides, wides_, id)) return false;
    }
    return true;
  }

  // Both maps lack the id, or both hold the same value for it.
  template <typename Map>
  static bool SameEntry(const Map& a, const Map& b, int32_t id) {
    const auto x = a.find(id), y = b.find(id);
    if (x == a.end() || y == b.end()) return (x == a.end()) == (y == b.end());
    return x->second == y->second;
  }

  void Simple(const char* table, const char* name, int32_t id) {
    if (Has(id)) Try({id}, {}, {{{table, std::string(name) + " = " + TomlString(Utf8(id))}}});
  }

  void Flag(const char* table, const char* name, int32_t id) {
    if (!Has(id)) return;
    Try({id}, {}, {{{table, std::string(name) + " = true"}}, {{table, std::string(name) + " = false"}}});
  }

  void List(const char* table, const char* name, int32_t id, char separator) {
    if (!Has(id)) return;
    std::vector<std::string> pieces = Split(Utf8(id), separator);
    if (pieces.size() == 1 && pieces[0].empty()) pieces.clear();
    Try({id}, {}, {{{table, std::string(name) + " = " + TomlStringArray(pieces)}}});
  }

  void CommandLine(const char* table, const char* name, int32_t id) {
    if (!Has(id)) return;
    std::vector<std::string> arguments;
    SplitArguments(Utf8(id), &arguments);
    Try({id}, {}, {{{table, std::string(name) + " = " + TomlStringArray(arguments)}},
                   {{table, std::string(name) + " = " + TomlString(Utf8(id))}}});
  }

  void Description() {
    const auto found = wides_.find(record::kServiceDescription);
    std::string utf8;
    if (found == wides_.end() || !WideToUtf8(found->second, &utf8)) return;
    Try({}, {record::kServiceDescription}, {{{"service", "description = " + TomlString(utf8)}}});
  }

  void LaunchMode() {
    if (!Has(record::kLaunchMode)) return;
    Try({record::kLaunchMode}, {},
        {{{"service", "start = \"auto\""}}, {{"service", "start = \"demand\""}},
         {{"messages", "dialog = true"}}, {{"java", "windowed = true"}}});
  }

  void Log(const char* name, int32_t pass_id, int32_t file_id) {
    if (!Has(file_id)) return;
    Try({pass_id, file_id}, {}, {{{"logs", std::string(name) + " = " + TomlString(Utf8(file_id))}}});
  }

  void ClassPath() {
    if (!Has(record::kClassPath)) return;
    std::vector<std::string> entries;
    for (const std::string& piece : Split(Utf8(record::kClassPath), ';')) {
      if (piece.size() < 3) return;
      const char* kind = piece[0] == 'A'   ? "archive"
                         : piece[0] == 'D' ? "directory"
                         : piece[0] == 'E' ? "env"
                         : piece[0] == 'S' ? "scan"
                                           : nullptr;
      if (!kind) return;
      entries.push_back("  { " + std::string(kind) + " = " + TomlString(piece.substr(2)) +
                        (piece[1] == '1' ? ", required = true" : "") + " },");
    }
    Try({record::kClassPath}, {}, {{{"java", ArrayOfTables("class-path", entries)}}});
  }

  void Sequence() {
    if (!Has(record::kSearchSequence)) return;
    std::vector<std::string> entries;
    const std::string sequence = Utf8(record::kSearchSequence);
    for (const std::string& piece : sequence.empty() ? std::vector<std::string>() : Split(sequence, ';')) {
      if (piece.empty()) return;
      const std::string location = TomlString(piece.substr(1));
      switch (piece[0]) {
        case 'Y': entries.push_back("  { registry = true },"); break;
        case 'S': entries.push_back("  { path = true },"); break;
        case 'E': entries.push_back("  { env = " + location + " },"); break;
        case 'A': entries.push_back("  { dir = " + location + " },"); break;
        case 'R': entries.push_back("  { dir = " + location + ", retry = \"relative\" },"); break;
        case 'B': entries.push_back("  { dir = " + location + ", retry = \"always\" },"); break;
        default: return;
      }
    }
    Try({record::kSearchSequence}, {}, {{{"search", ArrayOfTables("sequence", entries)}}});
  }

  static std::string ArrayOfTables(const std::string& name, const std::vector<std::string>& entries) {
    if (entries.empty()) return name + " = []";
    std::string text = name + " = [\n";
    for (const auto& entry : entries) text += entry + "\n";
    return text + "]";
  }

  void MessageTexts() {
    std::vector<std::string> omitted;
    std::vector<int32_t> omitted_ids;
    for (const auto& message : Messages()) {
      if (!Has(message.id)) {
        omitted.push_back(message.name);
        omitted_ids.push_back(message.id);
      } else if (texts_.at(message.id) == message.default_text) {
        accounted_.insert(message.id);
      } else {
        Try({message.id}, {}, {{{"messages", std::string(message.name) + " = " + TomlString(Utf8(message.id))}}});
      }
    }
    if (!omitted.empty()) {
      Print("messages", "omit", "omit = " + TomlStringArray(omitted));
      accounted_.insert(omitted_ids.begin(), omitted_ids.end());
    }
  }

  // The runtime jar: embedded as the first included file, or referenced in
  // the installation (mode letter "i"), or neither.
  void Runtime() {
    const bool beside = Has(record::kModeLetter) && texts_.at(record::kModeLetter) == "i";
    embedded_ = !beside && !image_.files.empty() && image_.files[0].name == kRuntimeJarName;
    if (beside) accounted_.insert(record::kModeLetter);
    Print("java", "runtime", std::string("runtime = ") + (beside ? "\"beside\"" : embedded_ ? "\"embedded\"" : "\"none\""));
  }

  std::string Header() const {
    return "# Configuration of " + options_.executable_name + ", printed by vexlo-build inspect.\n" +
           "# vexlo-build build <this file> -o <executable> builds it again.\n";
  }

  // The tables in print order, each with its keys in the schema's order.
  std::string Body() const {
    std::string text;
    for (const char* table : {"service", "java", "jvm", "search", "paths", "instance", "logs", "messages"}) {
      const auto found = lines_.find(table);
      if (found == lines_.end()) continue;
      const std::vector<std::string> order = KeyNamesOf(table);
      std::vector<std::pair<size_t, std::string>> lines;
      for (const auto& line : found->second) {
        const size_t rank = std::find(order.begin(), order.end(), line.first) - order.begin();
        lines.emplace_back(rank, line.second);
      }
      std::stable_sort(lines.begin(), lines.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      text += std::string("\n[") + table + "]\n";
      for (const auto& line : lines) text += line.second + "\n";
    }
    return text;
  }

  // Adds a line to a table; `key` orders it there.
  void Print(const std::string& table, const std::string& key, const std::string& line) {
    lines_[table].emplace_back(key, line);
  }
  void Print(const Line& line) { Print(line.first, line.second.substr(0, line.second.find(" = ")), line.second); }

  // Where an included file is written out, and the path the configuration
  // names it by.
  std::string Placement(size_t index, const IncludedFile& file, InspectOutput* output) {
    std::string name = AnsiToUtf8(file.name);
    std::replace(name.begin(), name.end(), '\\', '/');
    const bool safe = CheckIncludedFileName(file.name) == IncludedNameProblem::kNone &&
                      file.name.find_first_of("*?\"<>|") == std::string::npos;
    if (options_.extract_dir.empty()) return name;
    std::string relative = name;
    if (!safe) {
      relative = "included-" + std::to_string(index + 1) + ".bin";
      warnings_.push_back("included file " + std::to_string(index + 1) + " has a name the builder refuses (" +
                          name + "); written out as " + relative);
    }
    const fs::path target = (fs::absolute(fs::u8path(options_.extract_dir)) / fs::u8path(relative)).lexically_normal();
    output->extracted.emplace_back(target.u8string(), file.contents);
    const fs::path base = fs::u8path(options_.config_path).parent_path();
    const fs::path shown = target.lexically_relative(base);
    return (shown.empty() ? target : shown).generic_u8string();
  }

  std::string FilesText(InspectOutput* output) {
    std::string text;
    const bool extract = !options_.extract_dir.empty();
    for (size_t i = 0; i < image_.files.size(); ++i) {
      const IncludedFile& file = image_.files[i];
      const std::string source = Placement(i, file, output);
      sources_.emplace_back(source, file.contents);
      const std::string size = std::to_string(file.contents.size()) + " bytes";
      if (i == 0 && embedded_) {
        Print("java", "runtime-jar",
              extract ? "runtime-jar = " + TomlString(source)
                      : "# the embedded runtime jar (" + size + ") is taken from the builder");
        continue;
      }
      std::string name = AnsiToUtf8(file.name);
      std::replace(name.begin(), name.end(), '\\', '/');
      text += "\n[[files]]\n";
      if (!extract) text += "# " + size + "; not written out (vexlo-build inspect --extract DIR writes it)\n";
      text += "source = " + TomlString(source) + "\nname = " + TomlString(name) + "\n";
    }
    return text;
  }

  std::string LocalesText() {
    std::string text;
    std::map<std::string, size_t> seen;
    for (const auto& block : image_.stored.locales) {
      if (!seen.emplace(block.prefix, 0).second) {
        warnings_.push_back("the locale block \"" + block.prefix + "\" appears more than once; it is printed once");
        continue;
      }
      std::string description;
      std::vector<std::string> raw;
      std::map<int32_t, WideString> values;
      for (const auto& other : image_.stored.locales) {
        if (other.prefix != block.prefix) continue;
        for (const auto& value : other.values) values[value.first] = value.second;
      }
      for (const auto& value : values) {
        std::string utf8;
        if (!WideToUtf8(value.second, &utf8)) {
          warnings_.push_back("record " + std::to_string(value.first) + " of locale \"" + block.prefix +
                              "\" holds an unpaired surrogate, which a configuration file cannot hold");
          continue;
        }
        if (value.first == record::kServiceDescription) description = "description = " + TomlString(utf8) + "\n";
        else raw.push_back(std::to_string(value.first) + " = " + TomlString(utf8));
      }
      text += "\n[locales." + TomlKey(block.prefix) + "]\n" + description;
      if (!raw.empty()) {
        text += "\n[locales." + TomlKey(block.prefix) + ".raw]\n";
        for (const auto& line : raw) text += line + "\n";
      }
    }
    return text;
  }

  std::string RawText() {
    std::string texts, wides;
    for (const auto& text : texts_) {
      if (!accounted_.count(text.first)) {
        texts += std::to_string(text.first) + " = " + TomlString(AnsiToUtf8(text.second)) + "\n";
      }
    }
    for (const auto& wide : wides_) {
      if (wide_accounted_.count(wide.first)) continue;
      std::string utf8;
      if (!WideToUtf8(wide.second, &utf8)) {
        warnings_.push_back("wide record " + std::to_string(wide.first) +
                            " holds an unpaired surrogate, which a configuration file cannot hold");
        continue;
      }
      wides += std::to_string(wide.first) + " = " + TomlString(utf8) + "\n";
    }
    std::string text;
    if (!texts.empty()) text += "\n# Records no key describes, as the block holds them.\n[raw.text]\n" + texts;
    if (!wides.empty()) text += "\n[raw.wide]\n" + wides;
    return text;
  }

  // Builds the printed configuration in memory and compares the result
  // with the executable's own bytes.
  void SelfCheck(InspectOutput& output) {
    BuildPlan plan;
    Diagnostics diagnostics;
    if (!CompileConfiguration(output.toml, options_.config_path, &plan, &diagnostics)) {
      output.warnings.push_back("the printed configuration does not build:\n" + diagnostics.Format("  (printed)"));
      return;
    }
    std::map<std::string, std::string> files;
    const fs::path base = fs::u8path(options_.config_path).parent_path();
    for (const auto& source : sources_) {
      files[(base / fs::u8path(source.first)).lexically_normal().u8string()] = source.second;
    }
    const std::string kBuilderJar = "<the builder's runtime jar>";
    if (embedded_ && !image_.files.empty()) files[plan.runtime_jar.empty() ? kBuilderJar : plan.runtime_jar] = image_.files[0].contents;
    const FileReader read = [&files](const std::string& path, std::string* bytes, std::string* error) {
      const auto found = files.find(path);
      if (found == files.end()) {
        *error = "not in the executable";
        return false;
      }
      *bytes = found->second;
      return true;
    };
    BlockContents contents;
    std::vector<IncludedFile> built_files;
    if (!AssembleLauncher(plan, plan.runtime_jar.empty() ? kBuilderJar : plan.runtime_jar, read, &contents,
                          &built_files, &diagnostics)) {
      output.warnings.push_back("the printed configuration does not build:\n" + diagnostics.Format("  (printed)"));
      return;
    }
    if (SerializeBlock(contents) != image_.block_bytes) {
      output.warnings.push_back(
          "a rebuild writes a different configuration block: the executable's block was not written by "
          "vexlo-build (its records are in another order or repeated, or its header differs)" +
          DifferingRecords(contents));
    }
    if (SerializeIncludedFiles(built_files) != image_.file_bytes) {
      output.warnings.push_back("a rebuild writes different included files");
    }
    if (!image_.trailing.empty()) {
      output.warnings.push_back(std::to_string(image_.trailing.size()) +
                                " bytes after the included files belong to no configuration and are not written again");
    }
  }

  std::string DifferingRecords(const BlockContents& built) const {
    std::map<int32_t, std::string> texts(built.texts.begin(), built.texts.end());
    std::map<int32_t, WideString> wides(built.wides.begin(), built.wides.end());
    std::set<int32_t> differing;
    for (const auto& text : texts_) {
      if (!texts.count(text.first) || texts[text.first] != text.second) differing.insert(text.first);
    }
    for (const auto& text : texts) {
      if (!texts_.count(text.first)) differing.insert(text.first);
    }
    for (const auto& wide : wides_) {
      if (!wides.count(wide.first) || wides[wide.first] != wide.second) differing.insert(wide.first);
    }
    if (differing.empty()) return "; the records themselves are the same";
    std::string list;
    for (int32_t id : differing) list += (list.empty() ? "" : ", ") + std::to_string(id);
    return "; records that differ: " + list;
  }

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

}  // namespace

InspectOutput DescribeLauncher(const LauncherImage& image, const InspectOptions& options) {
  return Describer(image, options).Run();
}

}  // namespace builder
}  // namespace vexlo
