// The trace's text form of bytes, and the tracing channel over a memory channel: what
// each direction carried, line by line, and the exact way back from text to bytes that
// lets a trace be replayed.

#include "client/tracing_channel.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "dbxstream/memory_channel.h"

namespace tavrin {
namespace {

std::span<const std::uint8_t> BytesOf(const std::string& Text) {
  return {reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()};
}

TEST(TraceText, PrintableBytesStayTextOthersAndTheMarkAreHexRunsAndTheFormIsExact) {
  const struct {
    std::string Bytes;
    const char* Text;
  } Cases[] = {
      {"", ""},
      {R"({"a":[1]})", R"({"a":[1]})"},
      {std::string("\x05\x05", 2), "|05 05|"},
      {std::string("[14,%admin\xC0\x00]", 13), "[14,%admin|C0 00|]"},
      {"a|b", "a|7C|b"},
      {std::string("\x7F ~\x1F", 4), "|7F| ~|1F|"},
      {std::string("\xFF", 1), "|FF|"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    EXPECT_EQ(TraceText(BytesOf(Case.Bytes)), Case.Text);
    EXPECT_EQ(TraceBytes(Case.Text), Case.Bytes);
  }
  // Lower-case digits are read too; anything else is not the form.
  EXPECT_EQ(TraceBytes("|c0 0a|"), std::string("\xC0\x0A", 2));
  for (const char* Broken : {"|", "||", "|C0", "|C|", "|C0  00|", "|C0-00|", "|G0|", "a\tb", "\xC3\xA9"}) {
    EXPECT_EQ(TraceBytes(Broken), std::nullopt) << Broken;
  }
}

TEST(TracingChannel, EachWriteAndEachReadIsOneLineNamingItsDirection) {
  TDBXMemoryChannel Inner;
  std::ostringstream Trace;
  TDBXTracingChannel Channel(Inner, Trace);
  Channel.Write(BytesOf(std::string("{\"x\":[\x01]}", 9)));
  Inner.Feed("ok");
  std::uint8_t Buffer[16];
  ASSERT_EQ(Channel.Read(Buffer), 2);
  EXPECT_EQ(Trace.str(), "C: {\"x\":[|01|]}\nS: ok\n");
}

}  // namespace
}  // namespace tavrin
