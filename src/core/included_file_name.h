// Which names an included file may have. The launcher writes each included
// file below its temporary directory under the name stored in the block, so a
// name must never lead out of that directory.
#pragma once
#include <string>

namespace vexlo {

enum class IncludedNameProblem {
  kNone,
  kEmpty,
  kAbsolute,       // begins with a backslash or slash
  kDriveColon,     // holds a ":" (a drive, or an alternate data stream)
  kDotComponent,   // a part of dots and spaces only (".", "..", "...", ".. "),
                   // with "\" or "/" as separator
  kDeviceName,     // a part that names a device (CON, NUL, COM1, lpt2.jar, ...)
  kListSeparator,  // holds a ";", which separates the names in the block
  kTooDeep,        // more than one directory part: only one is created
};

// kNone for a name the launcher extracts, such as "app.jar" or "lib\b.jar".
IncludedNameProblem CheckIncludedFileName(const std::string& name);

// True for the problems that would write outside the launcher temporary
// directory: the launcher refuses those before creating anything. A name
// that is only too deep fails on its own when its file cannot be created.
bool EscapesTempDirectory(IncludedNameProblem problem);

// A short English description of the problem, for the builder's messages.
const char* IncludedNameProblemText(IncludedNameProblem problem);

}  // namespace vexlo
