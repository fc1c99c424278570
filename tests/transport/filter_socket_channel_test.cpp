// The opening of a connection: the filter probe answered with "no filters", and a
// client that starts straight with its data losing nothing and waiting for nothing.

#include <gtest/gtest.h>

#if defined(__linux__)
#include <poll.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <span>
#include <string>
#include <vector>

#include "transport/channel_pair.h"
#include "transport/filter_socket_channel.h"
#include "transport/line_protocol.h"
#include "transport/tcp_channel.h"
#include "transport/tcp_connection.h"
#include "transport/tcp_server_transport.h"
#include "transport/test_client.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

const std::string kProbe = "\x05\x05\x05\x05\x05";
const std::string kNoFilters{"\x06\x00\x00\x00\x00", 5};

// A TCP channel that counts the bytes its reads took off the socket, so a test sees when
// the server has read what was sent.
class TCountingTcpChannel : public TDSTCPChannel {
 public:
  using TDSTCPChannel::TDSTCPChannel;
  std::int32_t Read(std::span<std::uint8_t> Buffer) override {
    const std::int32_t Count = TDSTCPChannel::Read(Buffer);
    Taken += static_cast<std::size_t>(Count);
    return Count;
  }
  std::atomic<std::size_t> Taken{0};
};

TEST(FilterChannel, OpeningsAreAnsweredAsTheClientExpects) {
  const struct {
    const char* Name;
    std::vector<std::string> Segments;  // each read by the server before the next is sent
    std::string Answer;                 // what the client gets back
    std::string Data;                   // what the server's reads deliver
  } Cases[] = {
      {"probe, then a request", {kProbe, "hello\n"}, kNoFilters, "hello\n"},
      {"probe and request in one segment", {kProbe + "hello\n"}, kNoFilters, "hello\n"},
      {"probe split across segments", {"\x05\x05", "\x05\x05\x05", "hi\n"}, kNoFilters, "hi\n"},
      {"no probe", {"hello world\n"}, "", "hello world\n"},
      {"no probe, a request of exactly five bytes", {"five\n"}, "", "five\n"},
      {"no probe, fewer than five bytes first", {"ab", "cdef\n"}, "", "abcdef\n"},
      {"almost a probe is data", {"\x05\x05\x05\x05\x06\n"}, "", "\x05\x05\x05\x05\x06\n"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TChannelPair Pair;
    TCountingTcpChannel Tcp(Pair.Connection);
    TDBXFilterSocketChannel Filter(Tcp);
    Filter.Open();
    auto Reading = std::async(std::launch::async, [&] {
      std::string Got;
      std::vector<std::uint8_t> Buffer(64);
      while (Got.size() < Case.Data.size()) {
        const auto Count = Filter.Read(Buffer);
        Got.append(reinterpret_cast<const char*>(Buffer.data()), static_cast<std::size_t>(Count));
      }
      return Got;
    });
    std::size_t Sent = 0;
    for (std::size_t i = 0; i < Case.Segments.size(); ++i) {
      Pair.Client.Send(Case.Segments[i]);
      Sent += Case.Segments[i].size();
      if (i + 1 < Case.Segments.size()) {
        EXPECT_TRUE(Eventually([&] { return Tcp.Taken.load() == Sent; })) << "segment " << i << " not read";
      }
    }
    EXPECT_EQ(Pair.Client.Read(Case.Answer.size()), Case.Answer);
    if (Reading.wait_for(kPatience) != std::future_status::ready) {
      ADD_FAILURE() << "the server's reads never delivered the data";
      Pair.Client.Close();  // ends the waiting read
    }
    EXPECT_EQ(Reading.get(), Case.Data);
    EXPECT_TRUE(Pair.Client.Quiet(std::chrono::milliseconds(50))) << "more than expected";
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

// Whether the peer's close has reached this end (always true where the system does not
// tell: the read after the opening then waits for the close itself).
bool PeerClosed(TDSTCPConnection& Connection) {
#if defined(__linux__)
  pollfd Poll{Connection.Socket().native_handle(), POLLRDHUP, 0};
  return ::poll(&Poll, 1, 0) == 1 && (Poll.revents & POLLRDHUP) != 0;
#else
  (void)Connection;
  return true;
#endif
}

TEST(FilterChannel, OpeningCutShortByThePeerDeliversItsBytesThenReportsTheLoss) {
  TChannelPair Pair;
  TDSTCPChannel Tcp(Pair.Connection);
  TDBXFilterSocketChannel Filter(Tcp);
  Pair.Client.Send("12345");
  Pair.Client.Close();
  // The opening's read meets the close behind the bytes only when it has arrived.
  EXPECT_TRUE(Eventually([&] { return PeerClosed(*Pair.Connection); }));
  std::vector<std::uint8_t> Buffer(10);
  EXPECT_EQ(Filter.Read(Buffer), 5);
  EXPECT_THROW(Filter.Read(Buffer), TDBXError);
  EXPECT_TRUE(Filter.ConnectionLost());
}

}  // namespace
}  // namespace tavrin
