// Alone in its file: a test program may link its own RandomValue in place of
// this one to choose the names it gets.
#include "sys/random_win.h"

#include "sys/win.h"

#include <ntsecapi.h>  // RtlGenRandom

namespace vexlo {

// RtlGenRandom (advapi32's SystemFunction036) costs one import in a DLL the
// launcher links anyway; BCryptGenRandom would add bcrypt.dll.
bool RandomValue(uint64_t* value) { return RtlGenRandom(value, sizeof(*value)) != FALSE; }

}  // namespace vexlo
