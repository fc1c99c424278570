#include "server/sessions/tcp_session_binder.h"

#include <gtest/gtest.h>

#include "server/sessions/session_manager.h"

namespace tavrin {
namespace {

TEST(DSSessionBinder, CreatesATcpSessionWithItsDataAndClosesItWithTheConnection) {
  TDSSessionManager Manager;
  {
    TDSTCPSessionBinder Binder("10.0.0.7", Manager);
    EXPECT_FALSE(Binder.HasSession());
    Binder.CreateSession(nullptr);
    ASSERT_TRUE(Binder.HasSession());
    EXPECT_EQ(Manager.GetSessionCount(), 1u);
    EXPECT_EQ(Binder.Session()->GetData("CommunicationProtocol"), "tcp/ip");
    EXPECT_EQ(Binder.Session()->GetData("RemoteIP"), "10.0.0.7");

    Binder.MakeCurrentForThread();
    EXPECT_EQ(TDSSessionManager::GetThreadSession(), Binder.Session());
    Binder.CloseSession();
    EXPECT_FALSE(Binder.HasSession());
    EXPECT_EQ(TDSSessionManager::GetThreadSession(), nullptr);
  }
  EXPECT_EQ(Manager.GetSessionCount(), 0u);
}

TEST(DSSessionBinder, ForgetsASessionClosedElsewhereAndDoesNotCloseItTwice) {
  TDSSessionManager Manager;
  int Closings = 0;
  Manager.AddSessionEvent([&](TDSSessionEventType Event, const std::shared_ptr<TDSSession>&) {
    if (Event == TDSSessionEventType::Closed) ++Closings;
  });
  TDSTCPSessionBinder Binder("::1", Manager);
  Binder.CreateSession(nullptr);
  const std::string Name = Binder.Session()->SessionName();

  EXPECT_TRUE(Manager.CloseSession(Name));  // e.g. an administrator closing it
  EXPECT_FALSE(Binder.HasSession());
  Binder.CloseSession();
  EXPECT_EQ(Closings, 1);

  // The connection may bind a fresh session afterwards.
  Binder.CreateSession(nullptr);
  EXPECT_TRUE(Binder.HasSession());
  EXPECT_NE(Binder.Session()->SessionName(), Name);
}

}  // namespace
}  // namespace tavrin
