#include "core/message_text.h"

namespace vexlo {
namespace {

std::string FitMessage(std::string text) {
  if (text.size() > kMessageCapacity - 1) text.resize(kMessageCapacity - 1);
  return text;
}

}  // namespace

std::string SubstituteArgument(const std::string& text, const std::string& argument) {
  const size_t placeholder = text.find("{0}");
  if (placeholder == std::string::npos) return FitMessage(text);
  return FitMessage(text.substr(0, placeholder) + argument + text.substr(placeholder + 3));
}

std::string ComposeShownText(const std::string& text, const char* log_path) {
  if (log_path == nullptr) return FitMessage(text);
  return FitMessage(text + "\n\nLog: " + log_path);
}

}  // namespace vexlo
