// Composition of user-facing message texts: the catalogue's "{0}" argument
// and the log path suffix, within the size a message may have.
#pragma once
#include <string>

namespace vexlo {

// Messages never exceed this many bytes including the terminator.
constexpr size_t kMessageCapacity = 8192;

// Replaces the first "{0}" by the argument; later ones stay. The result is
// cut to fit the message capacity.
std::string SubstituteArgument(const std::string& text, const std::string& argument);

// "<text>\n\nLog: <log path>" when a log path is given, else the text; cut to
// fit the message capacity.
std::string ComposeShownText(const std::string& text, const char* log_path);

}  // namespace vexlo
