// Clients that try to make the server hold memory or flood it with requests. Each case
// checks what the server answered the abuser and that an honest client beside it still
// connects and gets its answer.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dbx_test_server.h"
#include "transport/test_client.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;
using namespace std::chrono_literals;

const std::string kEchoType = "Corvane.ServerMethod";

// An honest client connects, prepares Echo and gets its answer.
void ExpectHonestClientServed(std::uint16_t Port) {
  TTestClient Honest;
  ASSERT_TRUE(Honest.Connect(Port));
  Honest.Send(kConnect + Prepare(kEchoType, kEchoAlias) + Execute(0, EchoRow("ok")));
  const std::string Expected = kConnectReply + PrepareReply(0) + EchoReply("ok");
  EXPECT_EQ(Honest.Read(Expected.size()), Expected);
}

// Resident memory of this process in bytes, or -1 where the system does not say.
std::int64_t ResidentBytes() {
  std::ifstream Status("/proc/self/status");
  std::string Word;
  while (Status >> Word) {
    if (Word == "VmRSS:") {
      std::int64_t KiB = -1;
      Status >> KiB;
      return KiB * 1024;
    }
  }
  return -1;
}

TEST(DbxServerAbuse, AnAnnouncedBlockThatNeverComesCostsNothing) {
  TDbxTestServer Server;
  constexpr int kAbusers = 8;
  const std::int64_t Before = ResidentBytes();
  std::vector<std::unique_ptr<TTestClient>> Abusers;
  for (int i = 0; i < kAbusers; ++i) {
    auto& Abuser = *Abusers.emplace_back(std::make_unique<TTestClient>());
    ASSERT_TRUE(Abuser.Connect(Server.Port()));
    Abuser.Send(kConnect + std::string(R"({"method":"execute","params":[{"fields":[-1,false,")") +
                kEchoType + R"(",")" + kEchoAlias + R"("]},{"data":[67107864,)");
    EXPECT_EQ(Abuser.Read(sizeof kConnectReply - 1), kConnectReply);
  }
  ExpectHonestClientServed(Server.Port());
  std::this_thread::sleep_for(300ms);  // the abusers' threads are waiting for the bytes
  for (auto& Abuser : Abusers) EXPECT_TRUE(Abuser->Quiet(10ms));
  if (Before >= 0) {
    // Held whole, the announced blocks would be kAbusers × 64 MiB.
    EXPECT_LT(ResidentBytes() - Before, std::int64_t{kAbusers} * limits::kMaxDataBlockBytes / 8);
  }
  Abusers.clear();
  EXPECT_TRUE(Eventually([&] { return Server.Transport().ConnectionCount() == 0; }));
}

}  // namespace
}  // namespace tavrin
