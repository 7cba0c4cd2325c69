#include "launch/java_side.h"

#include "core/args.h"

namespace vexlo {
namespace {

bool StartsWith(const WideString& text, const WideString& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

WideString Flag(bool value) { return value ? VEXLO_WIDE("true") : VEXLO_WIDE("false"); }

}  // namespace

std::vector<WideString> MainArguments(const MainArgumentInputs& inputs) {
  std::vector<WideString> arguments = {Flag(inputs.windowed), inputs.main_class, inputs.error_log,
                                       inputs.output_log, Flag(inputs.append_logs)};
  const std::vector<WideString>& program = inputs.program_arguments;
  if (!program.empty()) arguments.push_back(program[0]);
  SplitArguments(inputs.application_arguments, &arguments);
  for (size_t i = 1; i < program.size(); ++i) {
    if (inputs.allow_j_arguments && StartsWith(program[i], VEXLO_WIDE("-J"))) continue;
    if (StartsWith(program[i], VEXLO_WIDE("-Dsun.locale.formatasdefault="))) continue;
    arguments.push_back(program[i]);
  }
  return arguments;
}

}  // namespace vexlo
