#pragma once
// A real server on a loopback ephemeral port, wired as the product wires it: the TCP
// transport, per connection the whole handler chain with the server connection link
// over the test methods (Echo, Fail, Rows, Long) or over a method registry the test
// hands in, a TCP session binder, and the session manager of the process as the
// transport's source of session-close events.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dbxstream/row_buffer.h"
#include "server/methods/server_events.h"
#include "server/methods/server_connection_fixture.h"
#include "server/tcp/server_connection_chain.h"
#include "server/tcp/session_manager_events.h"
#include "transport/connection_chain.h"
#include "transport/tcp_server_transport.h"
#include "vocabulary/client_memory.h"

namespace tavrin::testing {

class TDbxTestServer {
 public:
  // Started on an ephemeral loopback port; raises what Start raises.
  TDbxTestServer() : TDbxTestServer(nullptr) {}
  // The same, every connection calling Methods (which must outlive the server).
  explicit TDbxTestServer(IDSServerMethodProvider& Methods) : TDbxTestServer(&Methods) {}
  // Over the test methods, its connections' memory within Budget (which must outlive
  // the server).
  explicit TDbxTestServer(TServerMemoryBudget& Budget) : TDbxTestServer(nullptr, &Budget) {}
  ~TDbxTestServer() { FTransport.Stop(); }

  TDbxTestServer(const TDbxTestServer&) = delete;
  TDbxTestServer& operator=(const TDbxTestServer&) = delete;

  std::uint16_t Port() const { return FTransport.BoundPort(); }
  TDSTCPServerTransport& Transport() { return FTransport; }
  // The addresses of the connections the server ended after refusing a value in the
  // middle of it, in order.
  std::vector<std::string> RefusalCloses() {
    std::lock_guard Guard(FNoticesLock);
    return FRefusalCloses;
  }

 private:
  explicit TDbxTestServer(IDSServerMethodProvider* SharedMethods, TServerMemoryBudget* Budget = nullptr)
      : FSharedMethods(SharedMethods),
        FBudget(Budget),
        FTransport([this](const TDSTCPConnectionInfo& Info) { return Build(Info); }) {
    FTransport.SetPort(0);
    FTransport.SetSessionEvents(&FSessionEvents);
    FTransport.SetOnRefusalClose([this](const std::string& Address) {
      std::lock_guard Guard(FNoticesLock);
      FRefusalCloses.push_back(Address);
    });
    FTransport.Start();
  }

  TDSTCPConnectionChain Build(const TDSTCPConnectionInfo& Info) {
    IDSServerMethodProvider* Methods = FSharedMethods;
    if (Methods == nullptr) {
      std::lock_guard Guard(FMethodsLock);
      Methods = &FMethods.emplace_back();
    }
    return MakeServerConnectionChain(Info, FEvents, *Methods, FBudget);
  }

  TDSSessionManagerEvents FSessionEvents;
  TDSServerEvents FEvents;
  // One method provider per connection: the test methods count their calls without a
  // lock, so connections must not share one. Kept until the server is gone.
  std::mutex FMethodsLock;  // guards FMethods
  std::list<TTestMethods> FMethods;
  // The registry every connection uses, when the test gave one; read-only once started.
  IDSServerMethodProvider* FSharedMethods = nullptr;
  TServerMemoryBudget* FBudget = nullptr;
  std::mutex FNoticesLock;  // guards FRefusalCloses
  std::vector<std::string> FRefusalCloses;
  TDSTCPServerTransport FTransport;  // last: stopped and destroyed before what it uses
};

// The bytes a row buffer holds after Write has written into it.
inline std::string RowOf(const std::function<void(TDBXRowBuffer&)>& Write) {
  TDBXRowBuffer Row;
  Write(Row);
  const auto Bytes = Row.WrittenBytes();
  return {Bytes.begin(), Bytes.end()};
}

}  // namespace tavrin::testing
