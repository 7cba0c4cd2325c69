// The keys of a vexlo-build configuration file: which tables exist, which
// keys each table takes and which records each key writes. The parser, the
// printer, the documentation test and the suggestions for misspelt keys all
// read this one list.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vexlo {
namespace builder {

struct ConfigKey {
  const char* table;  // "service", "files", "locales.<prefix>", "raw.text"
  const char* name;   // "name"; "<id>" where any record id is the key
  std::vector<int32_t> records;  // records the key writes (or decides)
};

// Every key, in the order the template and the printer use.
const std::vector<ConfigKey>& AllKeys();

// The keys of the launcher's own settings (records 30000 to 30999), each
// stored as written and checked by the rule core/settings.h gives it. The
// reader checks them, the printer gives them back and AllKeys lists each at
// the end of its table, all from this list: a new setting is one line here.
struct SettingKey {
  const char* table;
  const char* name;
  int32_t id;
  // What the launcher uses without the record; null where that depends on
  // the executable.
  const char* default_text;
  // Why the launcher refuses a value, "" when it takes it.
  std::string (*problem)(const std::string& text);
};
const std::vector<SettingKey>& SettingKeys();
// The key that writes a record, or null.
const ConfigKey* KeyWriting(int32_t id);
std::string KeyPath(const ConfigKey& key);  // "service.name"

// The names of the keys of one table (for unknown-key checks).
std::vector<std::string> KeyNamesOf(const std::string& table);

// The top-level tables, in print order.
const std::vector<std::string>& TableNames();

// The message catalogue: records 1000 to 1020, their key names under
// [messages] and the texts written when the configuration does not give one.
struct MessageSpec {
  int32_t id;
  const char* name;
  const char* default_text;
};
const std::vector<MessageSpec>& Messages();
const MessageSpec* FindMessage(const std::string& name);

// The known spelling closest to `wrong` (edit distance, case and "-"/"_"
// ignored), or "" when none is close enough to be a likely typo.
std::string NearestName(const std::string& wrong, const std::vector<std::string>& candidates);

}  // namespace builder
}  // namespace vexlo
