// Facts about Windows code pages that the text conversions depend on.
#pragma once

namespace vexlo {

// True for the code pages whose conversion from UTF-16 takes no flags and
// refuses the default-character arguments (the call fails with
// ERROR_INVALID_PARAMETER when they are given): UTF-7, UTF-8, the ISO-2022
// and ISCII families, GB18030 and the symbol code page. UTF-8 becomes the
// ANSI code page when Windows is set to use it system-wide.
bool CodePageRejectsDefaultChar(unsigned code_page);

}  // namespace vexlo
