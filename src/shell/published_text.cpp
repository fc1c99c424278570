#include "shell/published_text.h"

namespace tavrin {

std::string TPublishedText::Get() const {
  std::shared_ptr<const std::string> Text;
  {
    const std::lock_guard Guard(FLock);
    Text = FText;
  }
  return Text ? *Text : std::string();
}

void TPublishedText::Set(std::string Text) {
  auto Published = std::make_shared<const std::string>(std::move(Text));
  const std::lock_guard Guard(FLock);
  FText.swap(Published);  // the old text is freed after the lock, by the last reader holding it
}

}  // namespace tavrin
