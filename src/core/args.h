// Command-line handling shared by every role of the launcher: the command
// tail, the administration command parsing and the one argument splitting
// rule (space separates; single or double quotes group and are removed; no
// escape character).
#pragma once
#include <string>
#include <vector>

#include "sys/wide.h"

namespace vexlo {

// Appends the arguments of `text` to *out. Only the space separates (tabs are
// ordinary); a backslash is ordinary; text in front of an opening quote joins
// the quoted text; text glued to a closing quote starts a new argument; a
// quote pair with nothing between is one empty argument; an unmatched quote
// runs to the end.
template <typename Char>
void SplitArguments(const std::basic_string<Char>& text, std::vector<std::basic_string<Char>>* out) {
  using String = std::basic_string<Char>;
  const Char kSpace = static_cast<Char>(' ');
  const Char kDouble = static_cast<Char>('"');
  const Char kSingle = static_cast<Char>('\'');
  size_t start = 0;
  const size_t end = text.size();
  while (start < end) {
    if (text[start] == kSpace) {
      ++start;
      continue;
    }
    const size_t space = text.find(kSpace, start);
    const size_t double_quote = text.find(kDouble, start);
    const size_t single_quote = text.find(kSingle, start);
    const size_t first_quote = double_quote < single_quote ? double_quote : single_quote;
    if (space != String::npos && space < first_quote) {
      out->push_back(text.substr(start, space - start));
      start = space + 1;
      continue;
    }
    if (first_quote == String::npos) {
      out->push_back(text.substr(start));
      return;
    }
    const Char quote = text[first_quote];
    size_t close = text.find(quote, first_quote + 1);
    if (close == String::npos) close = end;
    String argument = text.substr(start, first_quote - start);
    argument.append(text, first_quote + 1, close - first_quote - 1);
    out->push_back(argument);
    if (close >= end) return;
    start = close + 1;
    if (start < end && text[start] == kSpace) ++start;
  }
}

// Appends `element` to *line, after a space unless *line is empty, in the
// form SplitArguments gives back unchanged: as it is, or quoted when it is
// empty, holds a space or a quote character, or `always_quote` asks for it
// (in single quotes when it holds a double quote, else in double quotes).
// False, with nothing appended, for an element with both quote characters:
// without an escape no form passes it.
template <typename Char>
bool AppendQuotedArgument(const std::basic_string<Char>& element, std::basic_string<Char>* line,
                          bool always_quote = false) {
  using String = std::basic_string<Char>;
  const Char kSpace = static_cast<Char>(' ');
  const Char kDouble = static_cast<Char>('"');
  const Char kSingle = static_cast<Char>('\'');
  const bool has_double = element.find(kDouble) != String::npos;
  const bool has_single = element.find(kSingle) != String::npos;
  if (has_double && has_single) return false;
  if (!line->empty()) line->push_back(kSpace);
  if (!always_quote && !element.empty() && !has_double && !has_single && element.find(kSpace) == String::npos) {
    line->append(element);
    return true;
  }
  // Inside a quoted part the other quote character is ordinary.
  const Char quote = has_double ? kSingle : kDouble;
  line->push_back(quote);
  line->append(element);
  line->push_back(quote);
  return true;
}

// The command line without the program name and the blanks after it. The
// program name ends at the first character of code 32 or lower outside double
// quotes (each double quote toggles); characters 1 to 32 after it are skipped.
std::string CommandTail(const std::string& command_line);

// An administration command as the command tail states it.
struct ParsedCommand {
  bool has_prefix = false;   // the tail began with "/" or "-"
  std::string word;          // the command word after "/", "-" or "--"
  bool has_name = false;     // a service name followed the word
  std::string service_name;  // that name, spaces included
  bool interactive = true;   // false when "non-interactive" was given
};

// Begins with "/" or "-", as a command word does. A service name that does
// is refused: its child's command line would read as a command.
bool StartsLikeCommand(const std::string& text);

// Reads "/word", "-word" or "--word", then the "non-interactive" tokens and a
// service name. A name is everything after the separating space, spaces
// included, less one pair of surrounding double quotes (cmd.exe users quote
// a name with blanks); "non-interactive" after the name is part of the name.
// Only spaces after the word (nothing else) are no name: users do not see them.
ParsedCommand ParseCommand(const std::string& tail);

enum class CommandWord {
  kNone,
  kInstall,
  kInstallAndStart,
  kInstallAuto,
  kInstallDemand,
  kUninstall,
  kStop,
  kStart,
  kStatus,
  kHelp,  // "help" or "?": the usage text
};
// Exact, case-sensitive match against the command table.
CommandWord LookupCommand(const std::string& word);

}  // namespace vexlo
