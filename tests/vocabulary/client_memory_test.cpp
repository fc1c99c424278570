// What clients make the server hold: the server's budget with its wait, a connection's
// cap, and the charges of single buffers.

#include "vocabulary/client_memory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/error_of.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

TEST(ClientMemory, TheServersBudgetWaitsForRoomAndRefusesWhenNoneComes) {
  TServerMemoryBudget Budget(100, 50ms);
  EXPECT_TRUE(Budget.Take(60));
  EXPECT_FALSE(Budget.Take(101));  // never fits, not even in an empty budget
  const auto Began = std::chrono::steady_clock::now();
  EXPECT_FALSE(Budget.Take(50));   // waited, then nothing taken
  EXPECT_GE(std::chrono::steady_clock::now() - Began, 50ms);
  EXPECT_EQ(Budget.Held(), 60);
  // Room given back while a charge waits lets it through.
  TServerMemoryBudget Slow(100, 10s);
  ASSERT_TRUE(Slow.Take(60));
  std::thread Giver([&] {
    std::this_thread::sleep_for(50ms);
    Slow.Give(60);
  });
  EXPECT_TRUE(Slow.Take(50));
  Giver.join();
  EXPECT_EQ(Slow.Held(), 50);
  TServerMemoryBudget Unbounded(0, 0ms);
  EXPECT_TRUE(Unbounded.Take(std::int64_t{1} << 40));
}

TEST(ClientMemory, AConnectionIsRefusedPastItsCapOrTheServersBudgetAndGivesBackAllAtItsEnd) {
  TServerMemoryBudget Budget(3 << 20, 10ms);
  std::vector<std::string> Reports;  // refusals for want of room in the budget, as reported
  Budget.SetOnRefusal([&](const std::string& Client) { Reports.push_back(Client); });
  auto Memory = std::make_shared<TConnectionMemory>(&Budget, 2 << 20);
  Memory->SetClient("10.0.0.7");
  Memory->Charge(1 << 20, "A string");
  const TDBXError OverCap = ErrorOf([&] { Memory->Charge((1 << 20) + 1, "A string"); });
  EXPECT_EQ(OverCap.ErrorCode(), TDBXErrorCodes::LimitExceeded);
  EXPECT_EQ(OverCap.Message(),
            "A string refused: the connection would hold more than 2 MiB in requests and unsent replies");
  TConnectionMemory Other(&Budget, 0);
  Other.Charge(2 << 20, "A row of values");
  const TDBXError Full = ErrorOf([&] { Memory->Charge(1 << 20, "A row of values"); });
  EXPECT_EQ(Full.Message(),
            "A row of values refused: the server holds all the memory it allows for its clients (3 MiB); try again "
            "later");
  EXPECT_EQ(Memory->Held(), 1 << 20);  // the refused charges counted nothing
  EXPECT_EQ(Budget.Held(), 3 << 20);
  // Only the budget's refusal is reported, at most once a second.
  EXPECT_EQ(Reports, std::vector<std::string>{"10.0.0.7"});
  ErrorOf([&] { Memory->Charge(1 << 20, "A row of values"); });
  EXPECT_EQ(Reports.size(), 1u);
  std::this_thread::sleep_for(1100ms);
  ErrorOf([&] { Memory->Charge(1 << 20, "A row of values"); });
  EXPECT_EQ(Reports, (std::vector<std::string>{"10.0.0.7", "10.0.0.7"}));
  Memory.reset();
  EXPECT_EQ(Budget.Held(), 2 << 20);
}

TEST(ClientMemory, AChargeWaitingForRoomStopsWhenItsClientHasGone) {
  TServerMemoryBudget Budget(100, 10s);
  ASSERT_TRUE(Budget.Take(60));
  bool Reported = false;  // a client that has gone is no refusal to report
  Budget.SetOnRefusal([&](const std::string&) { Reported = true; });
  TConnectionMemory Memory(&Budget, 0);
  std::atomic<bool> Gone{false};
  Memory.SetClientGone([&] { return Gone.load(); });
  std::thread Leaves([&] {
    std::this_thread::sleep_for(50ms);
    Gone = true;
  });
  const auto Began = std::chrono::steady_clock::now();
  const TDBXError Error = ErrorOf([&] { Memory.Charge(50, "A row of values"); });
  Leaves.join();
  EXPECT_LT(std::chrono::steady_clock::now() - Began, 5s);
  EXPECT_EQ(Error.ErrorCode(), TDBXErrorCodes::LimitExceeded);
  EXPECT_EQ(Error.Message(), "A row of values refused: the client has gone");
  EXPECT_FALSE(Reported);
  EXPECT_EQ(Memory.Held(), 0);
  EXPECT_EQ(Budget.Held(), 60);
}

TEST(ClientMemory, AHoldChargesTheThreadsConnectionFollowsItsBufferAndOutlivesTheConnectionSafely) {
  TServerMemoryBudget Budget(1000, 0ms);
  TClientMemoryHold Off;
  Off.Set(500, "A string");  // no connection on this thread: nothing counted
  EXPECT_EQ(Off.Bytes(), 0);
  auto Memory = std::make_shared<TConnectionMemory>(&Budget, 600);
  TConnectionMemory::SetCurrent(Memory);
  TClientMemoryHold Hold;
  Hold.Set(400, "A string");
  Hold.Set(100, "A string");
  EXPECT_EQ(Memory->Held(), 100);
  EXPECT_THROW(Hold.Set(700, "A string"), TDBXError);
  EXPECT_EQ(Hold.Bytes(), 100);  // unchanged by the refusal
  TClientMemoryHold Moved = std::move(Hold);
  TConnectionMemory::SetCurrent(nullptr);
  Memory.reset();  // the connection's chain is gone; the buffer is not
  EXPECT_EQ(Budget.Held(), 100);
  Moved.Reset();
  EXPECT_EQ(Budget.Held(), 0);
}

}  // namespace
}  // namespace tavrin
