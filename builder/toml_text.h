// Writing TOML values: strings, keys and arrays as a person would write them.
#pragma once
#include <string>
#include <vector>

namespace vexlo {
namespace builder {

// A TOML string for UTF-8 text: a literal string ('C:\jre') where that is
// exact and easier to read, else a basic string with escapes.
std::string TomlString(const std::string& utf8);

// A key: bare when it can be, else quoted.
std::string TomlKey(const std::string& key);

// ["a", "b"]
std::string TomlStringArray(const std::vector<std::string>& values);

}  // namespace builder
}  // namespace vexlo
