// The opening of a connection: the filter probe answered with "no filters", and a
// client that starts straight with its data losing nothing and waiting for nothing.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "transport/channel_pair.h"
#include "transport/filter_socket_channel.h"
#include "transport/line_protocol.h"
#include "transport/tcp_channel.h"
#include "transport/tcp_server_transport.h"
#include "transport/test_client.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

const std::string kProbe = "\x05\x05\x05\x05\x05";
const std::string kNoFilters{"\x06\x00\x00\x00\x00", 5};

TEST(FilterChannel, OpeningsAreAnsweredAsTheClientExpects) {
  const struct {
    const char* Name;
    std::vector<std::string> Segments;  // sent apart, so they arrive apart
    std::string Expected;
  } Cases[] = {
      {"probe, then a request", {kProbe, "hello\n"}, kNoFilters + "hello\n"},
      {"probe and request in one segment", {kProbe + "hello\n"}, kNoFilters + "hello\n"},
      {"probe split across segments", {"\x05\x05", "\x05\x05\x05", "hi\n"}, kNoFilters + "hi\n"},
      {"no probe", {"hello world\n"}, "hello world\n"},
      {"no probe, a request of exactly five bytes", {"five\n"}, "five\n"},
      {"no probe, fewer than five bytes first", {"ab", "cdef\n"}, "abcdef\n"},
      {"almost a probe is data", {"\x05\x05\x05\x05\x06\n"}, "\x05\x05\x05\x05\x06\n"},
  };
  TLineStats Stats;
  TDSTCPServerTransport Transport(LineFactory(Stats));
  Transport.SetPort(0);
  Transport.Start();
  for (const auto& Case : Cases) {
    TTestClient Client;
    ASSERT_TRUE(Client.Connect(Transport.BoundPort()));
    for (const auto& Segment : Case.Segments) {
      Client.Send(Segment);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Client.Read(Case.Expected.size()), Case.Expected) << Case.Name;
    EXPECT_TRUE(Client.Quiet(std::chrono::milliseconds(50))) << Case.Name << ": more than expected";
  }
}

TEST(FilterChannel, TwoRequestsInOneSegmentAreAnsweredInOneBatch) {
  TLineStats Stats;
  TDSTCPServerTransport Transport(LineFactory(Stats));
  Transport.SetPort(0);
  Transport.Start();
  for (const std::string& Opening : {kProbe, std::string()}) {
    TTestClient Client;
    ASSERT_TRUE(Client.Connect(Transport.BoundPort()));
    const int Before = Stats.Batches.load();
    Client.Send(Opening + "first\nsecond\n");
    const std::string Answer = Opening.empty() ? "" : kNoFilters;
    EXPECT_EQ(Client.Read(Answer.size() + 13), Answer + "first\nsecond\n");
    EXPECT_EQ(Stats.Batches.load() - Before, 1);
  }
}

TEST(FilterChannel, ReadSmallerThanTheOpeningKeepsTheRestForTheNextRead) {
  TChannelPair Pair;
  TDSTCPChannel Tcp(Pair.Connection);
  TDBXFilterSocketChannel Filter(Tcp);
  Filter.Open();
  Pair.Client.Send("abcdefg");
  std::vector<std::uint8_t> Buffer(10);
  const auto ReadText = [&](std::size_t Size) {
    const auto Count = Filter.Read(std::span(Buffer).first(Size));
    return std::string(reinterpret_cast<const char*>(Buffer.data()), static_cast<std::size_t>(Count));
  };
  EXPECT_EQ(ReadText(2), "ab");
  EXPECT_TRUE(Filter.HasPendingInput());
  EXPECT_EQ(Filter.Negotiation(), TDBXFilterSocketChannel::TNegotiation::PassThrough);
  EXPECT_EQ(ReadText(2), "cd");
  EXPECT_EQ(ReadText(2), "e");
  EXPECT_FALSE(Filter.HasPendingInput());
  EXPECT_EQ(ReadText(10), "fg");
  EXPECT_EQ(ReadText(0), "");

  Filter.Write({});  // nothing is sent for an empty write
  Filter.Write({Buffer.data(), 2});
  EXPECT_EQ(Pair.Client.Read(2), "fg");
  EXPECT_EQ(Filter.ChannelInfo().ClientInfo.Protocol, "tcp/ip");
}

TEST(FilterChannel, OpeningCutShortByThePeerDeliversItsBytesThenReportsTheLoss) {
  TChannelPair Pair;
  TDSTCPChannel Tcp(Pair.Connection);
  TDBXFilterSocketChannel Filter(Tcp);
  Pair.Client.Send("12345");
  Pair.Client.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the close has arrived
  std::vector<std::uint8_t> Buffer(10);
  EXPECT_EQ(Filter.Read(Buffer), 5);
  EXPECT_THROW(Filter.Read(Buffer), TDBXError);
  EXPECT_TRUE(Filter.ConnectionLost());
}

}  // namespace
}  // namespace tavrin
