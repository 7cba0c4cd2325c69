#include "jvm/search_rules.h"

#include "sys/text_list.h"

namespace vexlo {

std::vector<SearchEntry> SplitSearchSequence(const std::string& sequence) {
  std::vector<SearchEntry> entries;
  for (const std::string& part : SplitList(sequence, ';')) entries.push_back({part[0], part.substr(1)});
  return entries;
}

bool RetriedInRelativePass(const SearchEntry& entry) {
  if (entry.letter == 'B') return true;
  if (entry.letter != 'A' && entry.letter != 'R') return false;
  const std::string& text = entry.location;
  const bool absolute = text.size() > 1 && (text[1] == ':' || (text[0] == '\\' && text[1] == '\\'));
  return !absolute;
}

bool LocationFileLine(const std::string& contents, std::string* line) {
  if (contents.empty()) return false;
  std::string first = contents.substr(0, contents.find('\n'));
  first = first.substr(0, first.find('\0'));
  while (!first.empty() && (first.back() == '\r' || first.back() == '\n')) first.pop_back();
  *line = first;
  return true;
}

}  // namespace vexlo
