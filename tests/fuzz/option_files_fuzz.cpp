// Fuzzes the JVM option assembly over hand-written input: VM options files
// that include each other (the input cut at NUL bytes into f0.vmoptions,
// f1.vmoptions, ...; f0 is the default file), the configured VM parameters,
// class path entries and program arguments. Every assembly must end, close
// every file it opened and put the class path last.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/args.h"
#include "launch/jvm_options.h"
#include "support/fake_option_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  vexlo::testing_support::FakeOptionSystem fake;
  size_t start = 0;
  for (int index = 0; start <= text.size() && index < 8; ++index) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    fake.files["C:\\app\\f" + std::to_string(index) + ".vmoptions"] = text.substr(start, end - start);
    start = end + 1;
  }
  fake.default_file = "C:\\app\\f0.vmoptions";
  fake.directories = {"C:\\app\\lib"};
  fake.listings["C:\\app\\lib\\*.jar"] = {"a.jar"};
  fake.environment["CP"] = text.substr(0, 64);

  vexlo::StartArgumentInputs inputs;
  const std::string head = text.substr(0, text.find('\0'));
  inputs.vm_parameters = "-include-options f1.vmoptions " + head;
  inputs.allow_j_arguments = true;
  vexlo::SplitArguments(head, &inputs.program_arguments);
  inputs.class_path_entries = head + ";S0lib;E1CP";
  inputs.tavrelium = !text.empty() && text[0] == 'i';
  inputs.launcher_temp_dir = inputs.tavrelium ? "C:\\tmp" : "";

  std::vector<std::string> options;
  vexlo::ClassPathFailure failure;
  const bool ok = vexlo::AssembleJvmOptions(inputs, fake.System(), &options, &failure);
  if (fake.open_files != 0) __builtin_trap();
  if (ok && (options.empty() || options.back().rfind("-Djava.class.path=", 0) != 0)) __builtin_trap();
  if (!ok && failure.message_id != 1006 && failure.message_id != 1008) __builtin_trap();
  return 0;
}
