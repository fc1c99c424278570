#include "app/tavrin/system_error_boxes.h"

#include "platform/message_box.h"

namespace tavrin {

void TSystemErrorBoxes::ErrorBox(const std::string& Caption, const std::string& Text) {
  platform::ShowErrorBox(Caption, Text);
}

}  // namespace tavrin
