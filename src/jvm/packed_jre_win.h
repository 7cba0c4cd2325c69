// Preparing a private runtime shipped with Pack200-compressed jars: the
// runtime's own bin\unpack200.exe restores each jar before the runtime is
// tested or used.
#pragma once
#include <string>

#include "sys/win.h"

namespace vexlo {

// Restores the packed jars of a runtime directory (resolved, lower-cased)
// when it is packed; otherwise costs a few file lookups. Prints "Preparing
// JRE ..." on standard output once per preparation. Two launchers preparing
// the same runtime at once take turns; the second finds it prepared. Ends
// the launcher with internal error 20 when the unpacker cannot be started or
// does not finish in time, or when another launcher's preparation does not.
void prepareJre(const std::string& runtime_directory);

// Restores one jar (relative to the runtime directory) from its ".pack" file
// and deletes the packed file once the unpacker succeeded and the jar exists.
void unpackJar(const std::string& runtime_directory, const std::string& jar);

// How long one unpacker run may take: 5 minutes. Test drivers shorten it.
DWORD& UnpackLimitMs();
// How long a launcher waits for another one's preparation of the same
// runtime: longer than every unpacker run of a whole preparation. Test
// drivers shorten it.
DWORD& PreparationWaitLimitMs();

}  // namespace vexlo
