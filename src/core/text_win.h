// Conversions between the code-page texts the launcher keeps and UTF-16.
#pragma once
#include <string>

#include "core/wide.h"
#include "core/win.h"

namespace vexlo {

// False when a character has no form in the code page ("?" stands in).
bool WideToNarrow(const WideString& wide, UINT code_page, std::string* narrow);
WideString NarrowToWide(const std::string& narrow, UINT code_page);

// Backslash collapsing of narrow text, done on its wide form so that no trail
// byte of a double-byte code page is taken for a backslash. The text stays as
// it is when the result does not convert back.
void CollapseNarrowBackslashes(std::string& narrow, UINT code_page = CP_ACP);

}  // namespace vexlo
