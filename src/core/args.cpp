#include "core/args.h"

#include <cstring>

namespace vexlo {

std::string CommandTail(const std::string& command_line) {
  size_t i = 0;
  bool quoted = false;
  for (; i < command_line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(command_line[i]);
    if (c == '"') quoted = !quoted;
    else if (c <= 32 && !quoted) break;
  }
  while (i < command_line.size() && command_line[i] >= 1 &&
         static_cast<unsigned char>(command_line[i]) <= 32) {
    ++i;
  }
  return command_line.substr(i);
}

bool StartsLikeCommand(const std::string& text) { return !text.empty() && (text[0] == '/' || text[0] == '-'); }

ParsedCommand ParseCommand(const std::string& tail) {
  ParsedCommand command;
  if (!StartsLikeCommand(tail)) return command;
  command.has_prefix = true;
  size_t word_start = 1;
  if (word_start < tail.size() && tail[word_start] == '-') ++word_start;

  static const char kToken[] = "non-interactive";
  constexpr size_t kTokenLength = sizeof(kToken) - 1;
  size_t word_end = tail.size();
  size_t separator = tail.find(' ', word_start);
  while (separator != std::string::npos && tail.size() - separator >= 2) {
    if (tail.compare(separator + 1, kTokenLength, kToken) == 0) {
      command.interactive = false;
      if (separator < word_end) word_end = separator;
      // The character right behind the token is the next separator, whatever
      // it is; a match guarantees it lies within the text or at its end.
      separator += kTokenLength + 1;
      continue;
    }
    if (separator < word_end) word_end = separator;
    const std::string rest = tail.substr(separator + 1);
    if (rest.find_first_not_of(' ') != std::string::npos) {
      command.has_name = true;
      const bool quoted = rest.size() >= 2 && rest.front() == '"' && rest.back() == '"';
      command.service_name = quoted ? rest.substr(1, rest.size() - 2) : rest;
    }
    separator = std::string::npos;
  }
  // A single space right behind the word is not taken as a separator by the
  // scan above; it is still no part of the word.
  if (separator != std::string::npos && separator < word_end &&
      tail.find_first_not_of(' ', separator) == std::string::npos) {
    word_end = separator;
  }
  command.word = tail.substr(word_start, word_end - word_start);
  return command;
}

CommandWord LookupCommand(const std::string& word) {
  static const struct {
    const char* word;
    CommandWord command;
  } kTable[] = {
      {"install", CommandWord::kInstall},
      {"install-and-start", CommandWord::kInstallAndStart},
      {"install-auto", CommandWord::kInstallAuto},
      {"install-demand", CommandWord::kInstallDemand},
      {"uninstall", CommandWord::kUninstall},
      {"stop", CommandWord::kStop},
      {"start", CommandWord::kStart},
      {"status", CommandWord::kStatus},
      {"help", CommandWord::kHelp},
      {"?", CommandWord::kHelp},
  };
  for (const auto& entry : kTable) {
    if (word == entry.word) return entry.command;
  }
  return CommandWord::kNone;
}

}  // namespace vexlo
