// Writes the demo launcher: the stub with a sample configuration block.
// Usage: write_demo_launcher <stub.exe> <output.exe>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "core/block_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <stub.exe> <output.exe>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string stub((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  vexlo::BlockContents contents;
  contents.texts = {
      {101, "Vexlo Demo"},
      {107, "4"},  // install registers automatic start; messages on standard error
      {121, "A0%VEXLO_EXEDIR%demo.jar"},
      {122, "com.vexlo.demo.DemoService"},
      {146, "."},
      {149, "Tcpip"},
      {1000, "Error"},
      {1009, "An internal error occurred (error code: {0})"},
      {1015, "You must be at least Poweruser to run this program."},
      {2001, "i"},
  };
  contents.wides = {{20017, u"Vexlo demo service"}};
  std::string launcher, error;
  if (!vexlo::BuildLauncher(stub, contents, {}, &launcher, &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out.write(launcher.data(), static_cast<std::streamsize>(launcher.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%s: %zu bytes (stub %zu bytes)\n", argv[2], launcher.size(), stub.size());
  return 0;
}
