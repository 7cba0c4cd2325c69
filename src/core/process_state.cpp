#include "core/process_state.h"

namespace vexlo {

std::string& ServiceName() {
  static std::string name;
  return name;
}

char& ModeLetter() {
  static char letter = '\0';
  return letter;
}

uint32_t& ExtractionEndPosition() {
  static uint32_t position = 0;
  return position;
}

std::vector<std::string>& ExtractedFileNames() {
  static std::vector<std::string>* names;  // made once, never destroyed: no guard, no exit code
  if (names == nullptr) names = new std::vector<std::string>();
  return *names;
}

std::string& InstanceSemaphoreName() {
  static std::string name;
  return name;
}

}  // namespace vexlo
