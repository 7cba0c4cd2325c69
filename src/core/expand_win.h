// Variable expansion with this process's values, and the JVM home.
#pragma once
#include <string>

namespace vexlo {

// Expands the launcher's fixed tokens and ${NAME} environment variables in
// place. Never fails; the text grows as needed.
void Expand(std::string& text);

// Records the JVM home from the path of the chosen java executable.
void SetJvmHome(const std::string& java_executable);
const std::string& JvmHome();

}  // namespace vexlo
