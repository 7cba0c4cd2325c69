// Which names an included file may have. The launcher writes each included
// file below its temporary directory under the name stored in the block, so a
// name must never lead out of that directory, and must be a name Windows
// creates as it is: no part that Windows trims or folds into another name.
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
  kEmptyPart,      // "lib\" or "lib\\a.jar": a part with nothing in it
  kTrailingDotOrSpace,  // "app.jar." or "lib \a.jar": Windows drops the end,
                        // so the file would land on another file's name
  kReservedCharacter,   // < > " | ? * or a control character
  kListSeparator,  // holds a ";", which separates the names in the block
  kTooDeep,        // more than one directory part: only one is created
};

// kNone for a name the launcher extracts, such as "app.jar" or "lib\b.jar".
IncludedNameProblem CheckIncludedFileName(const std::string& name);

// True for the problems the launcher refuses before creating anything (with
// internal error 11), and that the block writer therefore never writes. A
// name that is only too deep fails on its own when its file cannot be
// created.
bool RefusedAtExtraction(IncludedNameProblem problem);

// A short English description of the problem, for the builder's messages.
const char* IncludedNameProblemText(IncludedNameProblem problem);

// The name as Windows compares it: "/" as "\", trailing dots and spaces of
// every part dropped, letters of the ANSI code page (Windows-1252) in one
// case. Two names with the same key are one file.
std::string IncludedFileNameKey(const std::string& name);

}  // namespace vexlo
