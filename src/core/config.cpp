#include "core/config.h"

namespace vexlo {

ConfigTables& ConfigRecords() {
  static ConfigTables tables;
  return tables;
}

const std::string& ConfigText(int32_t id) {
  static const std::string kEmpty;
  const auto& texts = ConfigRecords().texts;
  const auto it = texts.find(id);
  return it == texts.end() ? kEmpty : it->second;
}

const WideString& ConfigWide(int32_t id) {
  static const WideString kEmpty;
  const auto& wides = ConfigRecords().wides;
  const auto it = wides.find(id);
  return it == wides.end() ? kEmpty : it->second;
}

int32_t ConfigInteger(int32_t id) { return ParseConfigInteger(ConfigText(id).c_str()); }

}  // namespace vexlo
