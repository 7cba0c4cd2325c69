// Process-wide values set by start-up and read by the roles.
#pragma once
#include <string>

namespace vexlo {

// The service's key and display name: record 101, a name from the command
// line, or the name the service control manager passes.
std::string& ServiceName();

// First character of record 2001; "i" selects the second runtime's classes.
char& ModeLetter();

}  // namespace vexlo
