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

}  // namespace vexlo
