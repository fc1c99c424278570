#include "app/tavrin/headless_dialogs.h"

#include <string>

namespace tavrin {

namespace {

// At most MaxChars characters of Text, counting a UTF-8 sequence as one character.
std::string Limited(std::string Text, int MaxChars) {
  int Characters = 0;
  for (std::size_t i = 0; i < Text.size(); ++i) {
    const auto Byte = static_cast<unsigned char>(Text[i]);
    if ((Byte & 0xC0) == 0x80) continue;  // continuation byte
    if (Characters++ == MaxChars) return Text.substr(0, i);
  }
  return Text;
}

}  // namespace

std::optional<std::string> THeadlessDialogs::InputBox(const std::string& Caption, const std::string& Prompt,
                                                      const std::string& Initial, int MaxChars) {
  if (!FInteractive) return std::nullopt;
  FOut << Caption << '\n' << Prompt << " [" << Initial << "] " << std::flush;
  std::string Line;
  if (!std::getline(FIn, Line)) {
    FOut << '\n';
    return std::nullopt;
  }
  if (!Line.empty() && Line.back() == '\r') Line.pop_back();
  if (Line.empty()) return Initial;
  return Limited(std::move(Line), MaxChars);
}

void THeadlessDialogs::ErrorBox(const std::string& Caption, const std::string& Text) {
  FErr << Caption << ": " << Text << std::endl;
}

}  // namespace tavrin
