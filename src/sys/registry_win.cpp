#include "sys/registry_win.h"

#include "sys/text_win.h"

namespace vexlo {
namespace {

// Reads a value of any size; *type receives its type. The size can change
// between the size query and the read, hence the loop.
bool QueryValue(HKEY key, const char* name, DWORD* type, std::string* bytes) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
    bytes->assign(size, '\0');
    const LONG status = RegQueryValueExA(key, name, nullptr, type,
                                         size ? reinterpret_cast<BYTE*>(&(*bytes)[0]) : nullptr, &size);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return false;
    bytes->resize(size);
    return true;
  }
  return false;
}

}  // namespace

UniqueKey OpenRegistryKey(HKEY root, const std::string& path) {
  UniqueKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) key.release();
  return key;
}

bool ReadRegistryString(HKEY key, const char* name, std::string* value) {
  DWORD type = 0;
  std::string bytes;
  if (!QueryValue(key, name, &type, &bytes)) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  // Stored strings need not carry their terminator; anything after a NUL is
  // not part of the text.
  bytes = bytes.substr(0, bytes.find('\0'));
  if (type == REG_EXPAND_SZ) {
    const std::string expanded = FillGrowing<char>([&](char* buffer, DWORD size) {
      // The count includes the terminator; a fitting result is one shorter.
      const DWORD needed = ExpandEnvironmentStringsA(bytes.c_str(), buffer, size);
      return needed <= size && needed > 0 ? needed - 1 : needed;
    });
    if (!bytes.empty() && expanded.empty()) return false;
    bytes = expanded.substr(0, expanded.find('\0'));
  }
  *value = bytes;
  return true;
}

bool ReadRegistryBytes(HKEY key, const char* name, std::string* bytes) {
  DWORD type = 0;
  return QueryValue(key, name, &type, bytes);
}

std::vector<std::string> RegistrySubKeyNames(HKEY key) {
  std::vector<std::string> names;
  // Key names have at most 255 characters; the buffer still grows if the
  // system ever says otherwise.
  std::string name(256, '\0');
  for (DWORD index = 0;;) {
    DWORD length = static_cast<DWORD>(name.size());
    const LONG status = RegEnumKeyExA(key, index, &name[0], &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA && name.size() < 65536) {
      name.resize(name.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS, or a failure
    names.push_back(name.substr(0, length));
    ++index;
  }
  return names;
}

}  // namespace vexlo
