// vexlo-build: see commands.h and docs/configuration.md.
#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
  return vexlo::builder::RunCommandLine(argc, argv, std::cout, std::cerr);
}
