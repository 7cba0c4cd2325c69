#include "jvm/packed_jre.h"

#include "sys/name_digest.h"

namespace vexlo {

std::string PreparationMutexName(const std::string& runtime_directory) {
  return "Global\\vexlo-prepare-jre-" + NameDigest(runtime_directory);
}

}  // namespace vexlo
