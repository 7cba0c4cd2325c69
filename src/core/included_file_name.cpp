#include "core/included_file_name.h"

namespace vexlo {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(const std::string& text, const char* upper) {
  size_t i = 0;
  for (; upper[i] != '\0'; ++i) {
    if (i >= text.size() || Upper(text[i]) != upper[i]) return false;
  }
  return i == text.size();
}

// Windows trims trailing dots and spaces from path parts, so "..." or ".. "
// can end up as ".." or as nothing.
bool OnlyDotsAndSpaces(const std::string& component) {
  return !component.empty() && component.find_first_not_of(". ") == std::string::npos;
}

// A part whose stem (up to the first dot, trailing spaces dropped) is a DOS
// device name opens the device, wherever the directory is: "nul.jar" or
// "lib\COM1" never becomes a file in the temporary directory.
bool NamesDevice(const std::string& component) {
  std::string stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsUpper(stem, device)) return true;
  }
  if (stem.size() != 4) return false;
  const std::string base = stem.substr(0, 3);
  if (!EqualsUpper(base, "COM") && !EqualsUpper(base, "LPT")) return false;
  const unsigned char digit = static_cast<unsigned char>(stem[3]);
  // 0xB9, 0xB2 and 0xB3 are the superscript digits 1 to 3 of the ANSI code
  // page, which Windows also takes as port numbers.
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

IncludedNameProblem CheckIncludedFileName(const std::string& name) {
  if (name.empty()) return IncludedNameProblem::kEmpty;
  if (name[0] == '\\' || name[0] == '/') return IncludedNameProblem::kAbsolute;
  if (name.find(':') != std::string::npos) return IncludedNameProblem::kDriveColon;
  size_t separators = 0;
  size_t start = 0;
  while (true) {
    const size_t end = name.find_first_of("\\/", start);
    const std::string component =
        name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (OnlyDotsAndSpaces(component)) return IncludedNameProblem::kDotComponent;
    if (NamesDevice(component)) return IncludedNameProblem::kDeviceName;
    if (end == std::string::npos) break;
    ++separators;
    start = end + 1;
  }
  if (name.find(';') != std::string::npos) return IncludedNameProblem::kListSeparator;
  if (separators > 1) return IncludedNameProblem::kTooDeep;
  return IncludedNameProblem::kNone;
}

bool EscapesTempDirectory(IncludedNameProblem problem) {
  return problem == IncludedNameProblem::kEmpty || problem == IncludedNameProblem::kAbsolute ||
         problem == IncludedNameProblem::kDriveColon ||
         problem == IncludedNameProblem::kDotComponent ||
         problem == IncludedNameProblem::kDeviceName;
}

const char* IncludedNameProblemText(IncludedNameProblem problem) {
  switch (problem) {
    case IncludedNameProblem::kEmpty: return "the name is empty";
    case IncludedNameProblem::kAbsolute: return "the name is absolute; give it relative to the extraction folder";
    case IncludedNameProblem::kDriveColon: return "the name holds a colon (a drive or stream name)";
    case IncludedNameProblem::kDotComponent: return "the name has a \".\" or \"..\" part (or a part of dots and spaces only)";
    case IncludedNameProblem::kDeviceName: return "the name has a part that names a device (CON, NUL, COM1, ...)";
    case IncludedNameProblem::kListSeparator: return "the name holds a \";\", which separates the names";
    case IncludedNameProblem::kTooDeep: return "the name has more than one folder level; only one is created";
    case IncludedNameProblem::kNone: break;
  }
  return "";
}

}  // namespace vexlo
