#pragma once
// A text one thread sets and others read: a reader gets the text from before a Set or
// the one after it, each whole, never a mix of the two.

#include <memory>
#include <mutex>
#include <string>

namespace tavrin {

class TPublishedText {
 public:
  TPublishedText() = default;
  TPublishedText(const TPublishedText&) = delete;
  TPublishedText& operator=(const TPublishedText&) = delete;

  // A copy of the current text ("" before the first Set). Any thread; waits at most
  // for another thread's swap of a pointer, never for a copy of the text.
  std::string Get() const;
  // Replaces the text. Any thread.
  void Set(std::string Text);

 private:
  mutable std::mutex FLock;  // guards FText (the pointer; the text it points to never changes)
  std::shared_ptr<const std::string> FText;
};

}  // namespace tavrin
