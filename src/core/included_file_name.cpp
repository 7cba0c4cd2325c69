#include "core/included_file_name.h"

namespace vexlo {
namespace {

// Letters of Windows-1252 in upper case, as Windows compares file names:
// ASCII, the Latin-1 letters and the few letters at 0x8A to 0x9F.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<unsigned char>(c - 0x10);
  if (c == 0xFF) return 0x9F;
  return c;
}

bool EqualsUpper(const std::string& text, const char* upper) {
  size_t i = 0;
  for (; upper[i] != '\0'; ++i) {
    if (i >= text.size() || FoldCase(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(upper[i])) {
      return false;
    }
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

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

IncludedNameProblem CheckIncludedFileName(const std::string& name) {
  if (name.empty()) return IncludedNameProblem::kEmpty;
  if (IsSeparator(name[0])) return IncludedNameProblem::kAbsolute;
  if (name.find(':') != std::string::npos) return IncludedNameProblem::kDriveColon;
  size_t separators = 0;
  size_t start = 0;
  while (true) {
    const size_t end = name.find_first_of("\\/", start);
    const std::string component =
        name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (OnlyDotsAndSpaces(component)) return IncludedNameProblem::kDotComponent;
    if (component.empty()) return IncludedNameProblem::kEmptyPart;
    if (NamesDevice(component)) return IncludedNameProblem::kDeviceName;
    if (component.back() == '.' || component.back() == ' ') return IncludedNameProblem::kTrailingDotOrSpace;
    if (end == std::string::npos) break;
    ++separators;
    start = end + 1;
  }
  if (name.find_first_of("<>\"|?*\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\x13\x14"
                         "\x15\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F") != std::string::npos) {
    return IncludedNameProblem::kReservedCharacter;
  }
  if (name.find(';') != std::string::npos) return IncludedNameProblem::kListSeparator;
  if (separators > 1) return IncludedNameProblem::kTooDeep;
  return IncludedNameProblem::kNone;
}

bool RefusedAtExtraction(IncludedNameProblem problem) {
  return problem != IncludedNameProblem::kNone && problem != IncludedNameProblem::kTooDeep;
}

const char* IncludedNameProblemText(IncludedNameProblem problem) {
  switch (problem) {
    case IncludedNameProblem::kEmpty: return "the name is empty";
    case IncludedNameProblem::kAbsolute: return "the name is absolute; give it relative to the extraction folder";
    case IncludedNameProblem::kDriveColon: return "the name holds a colon (a drive or stream name)";
    case IncludedNameProblem::kDotComponent: return "the name has a \".\" or \"..\" part (or a part of dots and spaces only)";
    case IncludedNameProblem::kDeviceName: return "the name has a part that names a device (CON, NUL, COM1, ...)";
    case IncludedNameProblem::kEmptyPart: return "the name has an empty part (a separator at the end, or two in a row)";
    case IncludedNameProblem::kTrailingDotOrSpace: return "a part of the name ends in a dot or a space, which Windows drops";
    case IncludedNameProblem::kReservedCharacter: return "the name holds < > \" | ? * or a control character, which Windows refuses";
    case IncludedNameProblem::kListSeparator: return "the name holds a \";\", which separates the names";
    case IncludedNameProblem::kTooDeep: return "the name has more than one folder level; only one is created";
    case IncludedNameProblem::kNone: break;
  }
  return "";
}

std::string IncludedFileNameKey(const std::string& name) {
  std::string key;
  const auto drop_trailing_dots_and_spaces = [&key] {
    while (!key.empty() && (key.back() == '.' || key.back() == ' ')) key.pop_back();
  };
  for (const char c : name) {
    if (IsSeparator(c)) {
      drop_trailing_dots_and_spaces();
      key += '\\';
    } else {
      key += static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
    }
  }
  drop_trailing_dots_and_spaces();
  return key;
}

}  // namespace vexlo
