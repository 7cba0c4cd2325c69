// Fuzzes the text rules that take outside input: command lines, argument
// splitting, configured texts under expansion, integer, duration, size,
// account and recovery records, paths, included-file names, instance names
// and the native library path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "coord/instance_name.h"
#include "coord/locale_table.h"
#include "coord/native_path.h"
#include "core/args.h"
#include "core/block_format.h"
#include "core/byte_size.h"
#include "core/duration.h"
#include "core/expand.h"
#include "core/included_file_name.h"
#include "core/settings.h"
#include "core/message_text.h"
#include "payload/included_files.h"
#include "sys/path_text.h"

namespace {
void DiscardLine(const char*, ...) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::vector<std::string> arguments;
  vexlo::SplitArguments(text, &arguments);
  // Only the space separates, so no argument holds one outside quotes, and
  // the narrow and wide forms cut alike.
  std::vector<vexlo::WideString> wide_arguments;
  vexlo::SplitArguments(vexlo::WideString(text.begin(), text.end()), &wide_arguments);
  if (wide_arguments.size() != arguments.size()) __builtin_trap();

  const vexlo::ParsedCommand command = vexlo::ParseCommand(vexlo::CommandTail(text));
  vexlo::LookupCommand(command.word);

  std::string expanded = text;
  vexlo::FixedExpansionValues fixed{"C:\\a\\", "", "C:\\jre\\bin\\..", "C:\\Temp\\"};
  vexlo::ExpandText(expanded, fixed, {"PATH=" + text, "X=${PATH}"}, DiscardLine);

  const std::string terminated = text.substr(0, text.find('\0'));
  vexlo::ParseConfigInteger(terminated.c_str());
  // A duration that parses prints back as one that gives the same value.
  uint64_t milliseconds = 0, again = 0;
  if (vexlo::ParseDuration(text, &milliseconds) &&
      (!vexlo::ParseDuration(vexlo::FormatDuration(milliseconds), &again) || again != milliseconds)) {
    __builtin_trap();
  }
  // So does a size.
  uint64_t bytes = 0, bytes_again = 0;
  if (vexlo::ParseSize(text, &bytes) &&
      (!vexlo::ParseSize(vexlo::FormatSize(bytes), &bytes_again) || bytes_again != bytes)) {
    __builtin_trap();
  }
  // A recovery that parses is what the system takes: one to three actions,
  // and a command exactly when an action runs it.
  vexlo::Recovery recovery;
  bool run = false;
  if (vexlo::ParseRecovery(terminated, &recovery)) {
    for (uint32_t i = 0; i < recovery.action_count; ++i) run = run || recovery.actions[i].type == 3;
    if (recovery.action_count > vexlo::kMaxRecoveryActions || run != (recovery.command_start < terminated.size())) {
      __builtin_trap();
    }
  }
  vexlo::IsAccount(text);
  std::string collapsed = text;
  vexlo::CollapseBackslashes(collapsed);
  vexlo::IsRelativePath(text);
  if (vexlo::SubstituteArgument(text, text).size() >= vexlo::kMessageCapacity) __builtin_trap();

  // A name that passes never leads out of the directory it is written to:
  // it is relative, names no drive and has no "." or ".." part.
  for (const std::string& name : vexlo::SplitIncludedFileNames(text)) {
    if (vexlo::CheckIncludedFileName(name) != vexlo::IncludedNameProblem::kNone) continue;
    if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) {
      __builtin_trap();
    }
    std::string bounded = "\\" + name + "\\";
    for (char& c : bounded) c = c == '/' ? '\\' : c;
    if (bounded.find("\\.\\") != std::string::npos || bounded.find("\\..\\") != std::string::npos) {
      __builtin_trap();
    }
  }
  // Instance names never pass the system's limit.
  for (const bool global : {false, true}) {
    if (vexlo::InstanceNameBase(global, text, vexlo::kInstanceNumberDigits).size() + vexlo::kInstanceNumberDigits >
        vexlo::kMaxObjectNameLength) {
      __builtin_trap();
    }
  }
  // The old PATH always survives whole at the end.
  const std::string path = vexlo::ComposeNativeLibraryPath(text, "C:\\a\\", "OLD", &vexlo::CollapseBackslashes<char>);
  if (path.size() < 3 || path.compare(path.size() - 3, 3, "OLD") != 0) __builtin_trap();
  std::string language, country;
  vexlo::SplitLocale(text, &language, &country);
  if (size >= 2) vexlo::LocaleTextFor(static_cast<uint16_t>(data[0] | (data[1] << 8)));
  return 0;
}
