// The whole product list of a large folder while another client holds most of the memory
// the server allows for its clients: the honest fetch waits for room and gets every row;
// when no room comes within the wait it gets a clear refusal, the operator's log says so,
// and the connection goes on.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/connection.h"
#include "client/provider_client.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "demo_data/demo_data.h"
#include "engine/sqlite_connection.h"
#include "product/server_container.h"
#include "support/error_of.h"
#include "support/eventually.h"
#include "support/temp_folder.h"
#include "transport/tcp_client_channel.h"
#include "transport/test_client.h"

namespace tavrin::testing {
namespace {

namespace BudgetTexts = TServerContainerTexts;
using namespace std::chrono_literals;

constexpr int kBudgetProducts = 100'000;  // a packet of about 9.9 MB
constexpr std::int64_t kBudgetMiB = 1024 * 1024;
// What all clients together may hold, and how long a request waits for room in it.
constexpr std::int32_t kBudgetMB = 24;
constexpr std::int32_t kBudgetWaitMs = 1500;

class TBudgetLog : public IActivityLogWriter {
 public:
  void Append(std::string_view Message) noexcept override {
    std::lock_guard Lock(FMutex);
    FLines.emplace_back(Message);
  }
  std::vector<std::string> Snapshot() {
    std::lock_guard Lock(FMutex);
    return FLines;
  }

 private:
  std::mutex FMutex;
  std::vector<std::string> FLines;
};

// A client that makes the server hold 16 MiB of the budget: a row block announced at
// 64 MiB of which 12 MiB arrive; the server holds a block in doubling steps as its bytes
// come, and waits for the rest.
class TBudgetHog {
 public:
  explicit TBudgetHog(std::uint16_t Port) {
    EXPECT_TRUE(FClient.Connect(Port));
    const std::string Connect = R"({"method":"connect","params":[{}]})";
    FClient.Send(Connect + R"({"method":"execute","params":[{"fields":[-1,false,"x","y"]},{"data":[67108864,)" +
                 std::string(12 * kBudgetMiB, 'p'));
    const std::string Connected = R"({"result":[0,"Corvane",2]})";
    EXPECT_EQ(FClient.Read(Connected.size()), Connected);
  }
  void Leave() { FClient.Close(); }

 private:
  TTestClient FClient;
};

// An honest client of the product's class.
class TBudgetClient {
 public:
  explicit TBudgetClient(std::uint16_t Port) : FChannel("127.0.0.1", Port, true), FConnection(FChannel) {
    FConnection.Connect({});
  }
  // The whole list's rows, counted from its packet.
  std::int64_t WholeListRows() {
    const TDBXRecordsReply Reply = FProvider.GetRecords(u"dsEst1", -1, 0);
    const TDSBase Base(std::get<std::vector<std::uint8_t>>(Reply.Data.Value));
    std::int64_t Rows = 0;
    for (TDSCursor Cursor(Base); !Cursor.Eof(); Cursor.Next()) ++Rows;
    EXPECT_EQ(Reply.RecsOut, Rows);
    return Rows;
  }

 private:
  TDBXTcpClientChannel FChannel;
  TDBXClientConnection FConnection;
  TDBXProviderClient FProvider{FConnection, u"TvxServerMethods8765"};
};

class ProductListBudgetTest : public ::testing::Test {
 protected:
  ProductListBudgetTest() {
    CreateDemoData(FFolder.Path().string());
    TSqliteConnection Connection((FFolder.Path() / TDatabaseFiles::kDatabaseFileName).string(),
                                 TSqliteConnection::TOpenMode::ExistingFile);
    Connection.Execute(
        "delete from tabest1;"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        std::to_string(kBudgetProducts) +
        ") insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo)"
        " select i, 'Produto n\u00famero ' || ((i * 7919) % 100003) || ' da linha ' || (i % 97),"
        " round((i % 5000) / 7.0, 2), round((i % 5000) / 5.0, 2), (i % 300) / 4.0, 0 from n");
  }
  std::int64_t Held() const { return FContainer.DSTCPServerTransport1.ClientMemoryBudget().Held(); }

  TTempFolder FFolder;
  TSession FSession;
  TBudgetLog FLog;
  std::string FDataFolder = FFolder.Path().string();
  TServerMethodsServices FServices{FLog, [this] { return FDataFolder; }, FSession,
                                   [](const std::string&) { return false; }};
  TServerContainer1 FContainer{FServices,
                               {.Port = 0, .ClientMemoryMB = kBudgetMB, .ClientMemoryWaitMs = kBudgetWaitMs}};
};

TEST_F(ProductListBudgetTest, TheWholeListWaitsForRoomAndIsRefusedOnlyWhenNoneComesInTime) {
  const std::string Refusal = std::string(BudgetTexts::kRequestRefused) + "127.0.0.1" + BudgetTexts::kMemoryReason;
  EXPECT_EQ(Refusal, " - Pedido recusado do endere\u00e7o 127.0.0.1: limite de mem\u00f3ria atingido");
  TBudgetClient Honest(FContainer.BoundPort());
  // Room comes while the list waits for it: slowed, not refused, and every row there.
  {
    TBudgetHog Hog(FContainer.BoundPort());
    ASSERT_TRUE(Eventually([&] { return Held() >= 16 * kBudgetMiB; }, 20s)) << Held();
    std::chrono::steady_clock::time_point HogLeft;
    std::thread Leaves([&] {
      std::this_thread::sleep_for(500ms);
      HogLeft = std::chrono::steady_clock::now();
      Hog.Leave();
    });
    const std::int64_t Rows = Honest.WholeListRows();
    const auto Done = std::chrono::steady_clock::now();
    Leaves.join();
    EXPECT_EQ(Rows, kBudgetProducts);
    EXPECT_GT(Done, HogLeft);
  }
  EXPECT_TRUE(Eventually([&] { return Held() < 2 * kBudgetMiB; }, 20s)) << Held();
  for (const auto& Line : FLog.Snapshot()) EXPECT_NE(Line, Refusal);
  // No room within the wait: a clear refusal, told to the operator; nothing is lost, as
  // the same connection gets the whole list once the room is there.
  {
    TBudgetHog Hog(FContainer.BoundPort());
    ASSERT_TRUE(Eventually([&] { return Held() >= 16 * kBudgetMiB; }, 20s)) << Held();
    const TDBXError Refused = ErrorOf([&] { Honest.WholeListRows(); });
    EXPECT_EQ(Refused.ErrorCode(), 2);
    EXPECT_EQ(Refused.Message(), "Remote error: A reply's long value refused: the server holds all the memory it "
                                 "allows for its clients (24 MiB); try again later");
    Hog.Leave();
  }
  const auto Lines = FLog.Snapshot();
  EXPECT_EQ(std::count(Lines.begin(), Lines.end(), Refusal), 1);
  EXPECT_TRUE(Eventually([&] { return Held() < 2 * kBudgetMiB; }, 20s)) << Held();
  EXPECT_EQ(Honest.WholeListRows(), kBudgetProducts);
}

}  // namespace
}  // namespace tavrin::testing
