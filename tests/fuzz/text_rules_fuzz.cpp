// Fuzzes the text rules that take outside input: command lines, argument
// splitting, configured texts under expansion, integer records and paths.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/args.h"
#include "core/block_format.h"
#include "core/message_text.h"
#include "core/path_text.h"
#include "windows/expand.h"

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
  std::string collapsed = text;
  vexlo::CollapseBackslashes(collapsed);
  vexlo::IsRelativePath(text);
  if (vexlo::SubstituteArgument(text, text).size() >= vexlo::kMessageCapacity) __builtin_trap();
  return 0;
}
