// The TCP channel over a real loopback connection: what it tells about the client,
// reads that never wait for more than has arrived, "Connection lost", writes that wait
// for room, and the session link that closes a connection from another thread.

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "support/error_of.h"
#include "transport/channel_pair.h"
#include "transport/line_protocol.h"
#include "transport/tcp_channel.h"
#include "transport/tcp_server_transport.h"
#include "transport/test_client.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

std::string AsText(const std::vector<std::uint8_t>& Bytes, std::int32_t Count) {
  return {reinterpret_cast<const char*>(Bytes.data()), static_cast<std::size_t>(Count)};
}

TEST(TcpChannel, OpenDescribesTheClientAndCloseForgetsIt) {
  TChannelPair Pair;
  TDSTCPChannel Channel(Pair.Connection);
  EXPECT_EQ(Channel.ChannelInfo().ClientInfo.IpAddress, "");

  Channel.Open();
  ASSERT_NE(Channel.SocketChannelInfo(), nullptr);
  const auto& Info = *Channel.SocketChannelInfo();
  EXPECT_EQ(&Channel.ChannelInfo(), &Info);
  EXPECT_EQ(Info.Info(), "127.0.0.1");
  EXPECT_EQ(Info.ClientInfo.IpAddress, "127.0.0.1");
  EXPECT_EQ(Info.ClientInfo.ClientPort, Pair.Client.LocalPort());
  EXPECT_EQ(Info.ClientInfo.Protocol, "tcp/ip");
  EXPECT_EQ(Info.ClientInfo.AppName, "");
  EXPECT_EQ(Info.Id(), Pair.Connection->Id());

  Channel.Close();
  EXPECT_EQ(Channel.SocketChannelInfo(), nullptr);
  EXPECT_EQ(Channel.ChannelInfo().ClientInfo.IpAddress, "");
  EXPECT_TRUE(Pair.Client.ClosedByServer());
}

TEST(TcpChannel, ReadReturnsWhatHasArrivedWithoutWaitingForMore) {
  TChannelPair Pair;
  TDSTCPChannel Channel(Pair.Connection);
  std::vector<std::uint8_t> Buffer(100);
  Pair.Client.Send("abc");
  EXPECT_EQ(AsText(Buffer, Channel.Read(Buffer)), "abc");
  EXPECT_EQ(Channel.ReadAvailable(Buffer), 0);  // nothing waiting: no wait either
  Pair.Client.Send("defgh");
  EXPECT_EQ(AsText(Buffer, Channel.Read(std::span(Buffer).first(2))), "de");
  EXPECT_EQ(AsText(Buffer, Channel.Read(Buffer)), "fgh");
}

TEST(TcpChannel, ReadAfterThePeerLeftRaisesConnectionLostFromThenOn) {
  TChannelPair Pair;
  TDSTCPChannel Channel(Pair.Connection);
  std::vector<std::uint8_t> Buffer(100);
  Pair.Client.Send("xy");
  Pair.Client.Close();
  EXPECT_EQ(AsText(Buffer, Channel.Read(Buffer)), "xy");  // what came before the close
  EXPECT_FALSE(Channel.ConnectionLost());
  for (int i = 0; i < 2; ++i) {
    const auto Error = ErrorOf([&] { Channel.Read(Buffer); });
    EXPECT_EQ(Error.Message(), "Connection lost");
    EXPECT_EQ(Error.ErrorCode(), 0);
    EXPECT_TRUE(Channel.ConnectionLost());
  }
  const std::uint8_t Byte = 1;
  EXPECT_EQ(ErrorOf([&] { Channel.Write({&Byte, 1}); }).Message(), "Connection lost");
}

TEST(TcpChannel, WriteWaitsForRoomAndSendsEveryByte) {
  TChannelPair Pair;
  TDSTCPChannel Channel(Pair.Connection);
  // Far more than the system buffers hold, so the write has to wait for the reader.
  const std::vector<std::uint8_t> Bytes(16 * 1024 * 1024, 'w');
  auto Writing = std::async(std::launch::async, [&] { Channel.Write(Bytes); });
  const std::string Got = Pair.Client.Read(Bytes.size(), 4 * kPatience);
  EXPECT_EQ(Got.size(), Bytes.size());
  ASSERT_EQ(Writing.wait_for(kPatience), std::future_status::ready);
  Writing.get();
}

TEST(TcpChannel, CloseRequestedFromAnotherThreadEndsAWaitingRead) {
  TChannelPair Pair;
  TDSTCPChannel Channel(Pair.Connection);
  auto Reading = std::async(std::launch::async, [&] {
    std::vector<std::uint8_t> Buffer(10);
    return ErrorOf([&] { Channel.Read(Buffer); }).Message();
  });
  EXPECT_EQ(Reading.wait_for(kQuietTime), std::future_status::timeout);  // nothing came
  Pair.Connection->RequestClose();
  ASSERT_EQ(Reading.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(Reading.get(), "Connection lost");
  EXPECT_TRUE(Pair.Client.ClosedByServer());
}

class TcpChannelSessions : public ::testing::Test {
 protected:
  void SetUp() override {
    Transport.SetSessionEvents(&Events);
    Transport.SetPort(0);
    Transport.Start();
  }

  TFakeSessionEvents Events;
  TLineStats Stats;
  TDSTCPServerTransport Transport{LineFactory(Stats)};
};

TEST_F(TcpChannelSessions, ClosesWhenItsSessionIsClosedElsewhere) {
  // One after the other: handles (and so the fake's session names) follow the order in
  // which the connections' threads set them up.
  TTestClient First;
  ASSERT_TRUE(First.Connect(Transport.BoundPort()));
  // The channel learns its session's name on the first read of a batch.
  EXPECT_EQ(First.Ask("session"), "S1");
  TTestClient Second;
  ASSERT_TRUE(Second.Connect(Transport.BoundPort()));
  EXPECT_EQ(Second.Ask("session"), "S2");
  EXPECT_EQ(Events.SubscriberCount(), 2u);

  Events.CloseSession("S9");  // someone else's session
  Events.CloseSession("");
  EXPECT_TRUE(First.Quiet());

  Events.CloseSession("S1");
  EXPECT_TRUE(First.ClosedByServer());
  EXPECT_EQ(Second.Ask("unaffected"), "unaffected");
  // The torn-down channel unsubscribed.
  EXPECT_TRUE(Eventually([&] { return Events.SubscriberCount() == 1 && Stats.Live() == 1; }));
}

TEST_F(TcpChannelSessions, TheFactorysChannelDescribesTheClient) {
  TTestClient Client;
  ASSERT_TRUE(Client.Connect(Transport.BoundPort()));
  EXPECT_EQ(Client.Ask("info"),
            "127.0.0.1|" + std::to_string(Client.LocalPort()) + "|tcp/ip|127.0.0.1|");
  if (Transport.ListensOnIPv6()) {
    TTestClient V6;
    ASSERT_TRUE(V6.Connect(Transport.BoundPort(), true));
    EXPECT_EQ(V6.Ask("info"), "::1|" + std::to_string(V6.LocalPort()) + "|tcp/ip|::1|");
  }
}

}  // namespace
}  // namespace tavrin
