#include "platform/message_box.h"

#include <iostream>

namespace tavrin::platform {

void ShowErrorBox(const std::string& Caption, const std::string& Text) noexcept {
  try {
    std::cerr << Caption << ": " << Text << std::endl;
  } catch (...) {
  }
}

}  // namespace tavrin::platform
