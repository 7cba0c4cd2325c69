#include "payload/included_file_name.h"

namespace vexlo {

IncludedNameProblem CheckIncludedFileName(const std::string& name) {
  if (name.empty()) return IncludedNameProblem::kEmpty;
  if (name[0] == '\\' || name[0] == '/') return IncludedNameProblem::kAbsolute;
  if (name.find(':') != std::string::npos) return IncludedNameProblem::kDriveColon;
  size_t separators = 0;
  size_t start = 0;
  while (true) {
    const size_t end = name.find_first_of("\\/", start);
    const std::string component = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (component == "." || component == "..") return IncludedNameProblem::kDotComponent;
    if (end == std::string::npos) break;
    ++separators;
    start = end + 1;
  }
  if (separators > 1) return IncludedNameProblem::kTooDeep;
  return IncludedNameProblem::kNone;
}

bool EscapesTempDirectory(IncludedNameProblem problem) {
  return problem == IncludedNameProblem::kEmpty || problem == IncludedNameProblem::kAbsolute ||
         problem == IncludedNameProblem::kDriveColon || problem == IncludedNameProblem::kDotComponent;
}

const char* IncludedNameProblemText(IncludedNameProblem problem) {
  switch (problem) {
    case IncludedNameProblem::kEmpty: return "the name is empty";
    case IncludedNameProblem::kAbsolute: return "the name is absolute; give it relative to the extraction folder";
    case IncludedNameProblem::kDriveColon: return "the name holds a colon (a drive or stream name)";
    case IncludedNameProblem::kDotComponent: return "the name has a \".\" or \"..\" part";
    case IncludedNameProblem::kTooDeep: return "the name has more than one folder level; only one is created";
    case IncludedNameProblem::kNone: break;
  }
  return "";
}

}  // namespace vexlo
