// Variable expansion of configured texts: the launcher's fixed tokens
// (%VEXLO_EXEDIR%, ${launcher:sys.jvmHome}, ...) and then ${NAME} for every
// environment variable. The values are inputs, so the same code runs in the
// launcher and in tests.
#pragma once
#include <string>
#include <vector>

#include "core/block_format.h"  // LogSink

namespace vexlo {

struct FixedExpansionValues {
  std::string executable_directory;  // ends in a backslash
  std::string launcher_temp_dir;     // empty without included files
  std::string jvm_home;              // empty until the JVM is loaded
  std::string system_temp_dir;
};

// Replaces every occurrence of token (case-sensitive) by value, logging
// "expanding %s to %s in %s." each time. The search goes on behind the
// inserted value, so a value containing the token is not expanded again.
void ReplaceAll(std::string& text, const std::string& token, const std::string& value, LogSink log);

// The fixed tokens in their fixed order, then each environment entry
// ("NAME=value", in the environment block's order) as ${NAME} and as its
// ASCII upper-cased form. Fixed tokens therefore win over variables of the
// same name; unknown tokens stay as they are.
void ExpandText(std::string& text, const FixedExpansionValues& fixed,
                const std::vector<std::string>& environment, LogSink log);

// Whether expansion could replace part of the text: it holds "${" or two
// "%" signs. Such a text can gain blanks on the target machine (a folder
// below C:\Program Files), so a configured argument holding one is quoted.
bool MayExpand(const std::string& text);

// The directory part of a java executable path, its trailing backslash kept:
// the path without "javaw.exe" (exact case) or otherwise without as many
// characters as "java.exe" has.
std::string JavaExecutableDirectory(const std::string& java_executable);

// The JVM home for a java executable path: the path without its trailing
// "javaw.exe" (exact case) or otherwise without as many characters as
// "java.exe" has, followed by "..". C:\jre\bin\javaw.exe gives C:\jre\bin\..
std::string JvmHomeFor(const std::string& java_executable);

}  // namespace vexlo
