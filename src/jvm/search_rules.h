// Text rules of the JVM search that need no file system: the search
// sequence's entries, which of them the relative pass retries, and the line a
// location file names.
#pragma once
#include <string>
#include <vector>

namespace vexlo {

// One entry of the search sequence: a type letter and its location text.
struct SearchEntry {
  char letter;
  std::string location;
};

// Splits the ";"-separated search sequence; empty entries do not exist. The
// first character of an entry is its letter, the rest (maybe empty) its text.
std::vector<SearchEntry> SplitSearchSequence(const std::string& sequence);

// Whether the second, relative pass tries this entry: B always; A and R only
// when the text is not absolute here, that is unless it is longer than one
// character and has a colon second (so "C:x" counts as absolute) or starts
// with two backslashes. No other letter takes part.
bool RetriedInRelativePass(const SearchEntry& entry);

// The first line of a location file's contents, without trailing carriage
// returns and line feeds (and cut at a NUL, as a C string read would be).
// False for empty contents; a file that starts with a line break gives the
// empty line.
bool LocationFileLine(const std::string& contents, std::string* line);

}  // namespace vexlo
