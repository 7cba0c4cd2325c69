// Fuzzes vexlo-build's two readers of outside input: configuration files
// (first byte odd) and the block and included files of an executable to
// inspect (first byte even; the rest follows a minimal image). Whatever the
// bytes, the builder must report errors, never crash, overflow or hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "compile.h"
#include "inspect.h"

namespace {

std::string MinimalImage() {
  std::string image(0x400, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[60] = static_cast<char>(0x80);
  image.replace(0x80, 4, std::string("PE\0\0", 4));
  image[0x80 + 6] = 1;
  image[0x80 + 20] = static_cast<char>(0xF0);
  const size_t section = 0x80 + 24 + 0xF0;
  image[section + 17] = 0x02;
  image[section + 21] = 0x02;
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexlo::builder;
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    BuildPlan plan;
    Diagnostics diagnostics;
    CompileConfiguration(bytes, "/fuzz/config.toml", &plan, &diagnostics);
    diagnostics.Format("config.toml");
    return 0;
  }
  static const std::string kImage = MinimalImage();
  LauncherImage image;
  std::string error;
  if (ReadLauncherImage(kImage + bytes, &image, &error)) {
    InspectOptions options{"fuzz.exe", "", "/fuzz/inspected.toml"};
    DescribeLauncher(image, options);
  }
  return 0;
}
