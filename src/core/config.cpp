#include "core/config.h"

namespace vexlo {

ConfigTables& ConfigRecords() {
  static ConfigTables tables;
  return tables;
}

const std::string& ConfigText(int32_t id) {
  static const std::string kEmpty;
  const std::string* text = ConfigRecords().texts.Find(id);
  return text != nullptr ? *text : kEmpty;
}

const WideString& ConfigWide(int32_t id) {
  static const WideString kEmpty;
  const WideString* wide = ConfigRecords().wides.Find(id);
  return wide != nullptr ? *wide : kEmpty;
}

int32_t ConfigInteger(int32_t id) { return ParseConfigInteger(ConfigText(id).c_str()); }

}  // namespace vexlo
