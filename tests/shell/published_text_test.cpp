// The data folder's publication: threads reading while it is set see the old text or
// the new one, whole.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "shell/published_text.h"

namespace tavrin {
namespace {

TEST(PublishedText, ReadersSeeTheTextBeforeOrAfterASetNeverAMix) {
  TPublishedText Text;
  EXPECT_EQ(Text.Get(), "");
  const std::string A(1000, 'a');
  const std::string B(3000, 'b');
  std::atomic<bool> Done{false};
  std::atomic<int> Torn{0};
  auto Reader = [&] {
    while (!Done.load()) {
      const std::string Seen = Text.Get();
      if (!Seen.empty() && Seen != A && Seen != B) ++Torn;
    }
  };
  std::thread R1(Reader), R2(Reader);
  for (int i = 0; i < 20000; ++i) Text.Set(i % 2 == 0 ? A : B);
  Done = true;
  R1.join();
  R2.join();
  EXPECT_EQ(Torn.load(), 0);
  EXPECT_EQ(Text.Get(), B);
}

}  // namespace
}  // namespace tavrin
