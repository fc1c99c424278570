#pragma once
// The tests' own request loop: one request per line, answered with one line. It lets
// the transport tests see what a connection's thread did without the real protocol.
//
//   handle   -> the connection's registry handle
//   info     -> address|port|protocol|info|app name, from the channel information
//   session  -> the thread's current session name (set by SetUp)
//   flood N  -> N bytes of 'x' and a line feed
//   quit     -> no reply; request handling ends
//   boom     -> raises out of the handler
//   anything else is echoed back
//
// As with real requests, the first bytes of a connection must number at least five:
// the filter channel takes them as the opening before anything is handed on.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dbxstream/protocol_handler.h"
#include "vocabulary/dbx_error.h"
#include "transport/connection_chain.h"
#include "transport/session_events.h"
#include "transport/filter_socket_channel.h"

namespace tavrin::testing {

// The current session of each thread, as the fake session layer sees it. A function
// rather than an inline thread_local variable: mingw-w64 emits the variable's
// initialiser once per translation unit and the link then fails.
inline std::string& CurrentSession() {
  thread_local std::string Name;
  return Name;
}

// Stands in for the session manager: names sessions per connection and closes them on
// request, telling every subscriber.
class TFakeSessionEvents : public TDSSessionEvents {
 public:
  std::uint64_t Subscribe(TSessionClosed Listener) override {
    std::lock_guard Guard(FLock);
    FListeners.emplace(FNext, std::move(Listener));
    return FNext++;
  }
  void Unsubscribe(std::uint64_t Subscription) override {
    std::lock_guard Guard(FLock);
    FListeners.erase(Subscription);
  }
  std::string ThreadSessionName() const override { return CurrentSession(); }

  // Tells every subscriber, on the calling thread, with no lock held.
  void CloseSession(const std::string& Name) {
    std::vector<TSessionClosed> Listeners;
    {
      std::lock_guard Guard(FLock);
      for (const auto& [Id, Listener] : FListeners) {
        Listeners.push_back(Listener);
      }
    }
    for (const auto& Listener : Listeners) {
      Listener(Name);
    }
  }
  std::size_t SubscriberCount() const {
    std::lock_guard Guard(FLock);
    return FListeners.size();
  }

 private:
  mutable std::mutex FLock;  // guards FListeners and FNext
  std::map<std::uint64_t, TSessionClosed> FListeners;
  std::uint64_t FNext = 1;
};

// What the handlers of one transport did, seen from the test's thread.
struct TLineStats {
  std::atomic<int> Created{0};
  std::atomic<int> Destroyed{0};
  std::atomic<int> Batches{0};
  std::atomic<int> AfterBatches{0};
  std::mutex Lock;  // guards LastReadError
  std::string LastReadError;

  int Live() const { return Created.load() - Destroyed.load(); }
  std::string ReadError() {
    std::lock_guard Guard(Lock);
    return LastReadError;
  }
};

class TLineHandler : public TDBXProtocolHandler {
 public:
  TLineHandler(const TDSTCPConnectionInfo& Info, TLineStats& Stats)
      : FChannel(Info.Channel), FHandle(Info.ConnectionHandle), FStats(Stats),
        FBuffer(static_cast<std::size_t>(Info.BufferSize)) {
    ++FStats.Created;
  }
  ~TLineHandler() override { ++FStats.Destroyed; }

  bool HandleProtocol() override {
    while (HandleNonBlockingProtocol()) {
    }
    return false;
  }

  // Like the real loop: reads, answers every whole request, and keeps reading while a
  // request is incomplete.
  bool HandleNonBlockingProtocol() override {
    ++FStats.Batches;
    do {
      ReadMore();
      for (auto End = FPending.find('\n'); End != std::string::npos; End = FPending.find('\n')) {
        const std::string Line = FPending.substr(0, End);
        FPending.erase(0, End + 1);
        if (!Answer(Line)) {
          return false;
        }
      }
    } while (!FPending.empty());
    return true;
  }

  void SetUp(TDSCustomAuthenticationManager*) override {
    CurrentSession() = "S" + std::to_string(FHandle);
  }

 private:
  void ReadMore() {
    try {
      const auto Count = FChannel.Read(FBuffer);
      FPending.append(reinterpret_cast<const char*>(FBuffer.data()), static_cast<std::size_t>(Count));
    } catch (const TDBXError& Error) {
      std::lock_guard Guard(FStats.Lock);
      FStats.LastReadError = Error.Message() + (FChannel.ConnectionLost() ? " (lost)" : "");
      throw;
    }
  }

  bool Answer(const std::string& Line) {
    if (Line == "quit") {
      return false;
    }
    if (Line == "boom") {
      throw TDBXError(30, "");
    }
    std::string Reply = Line;
    if (Line == "handle") {
      Reply = std::to_string(FHandle);
    } else if (Line == "session") {
      Reply = CurrentSession();
    } else if (Line == "info") {
      const auto& Info = FChannel.ChannelInfo();
      const auto* Filter = dynamic_cast<const TDBXFilterSocketChannel*>(&FChannel);
      const auto* Socket = Filter ? Filter->SocketChannelInfo() : nullptr;
      Reply = Info.ClientInfo.IpAddress + "|" + std::to_string(Info.ClientInfo.ClientPort) + "|" +
              Info.ClientInfo.Protocol + "|" + (Socket ? Socket->Info() : "?") + "|" +
              Info.ClientInfo.AppName;
    } else if (Line.rfind("flood ", 0) == 0) {
      Reply = std::string(std::stoul(Line.substr(6)), 'x');
    }
    Reply += '\n';
    FChannel.Write({reinterpret_cast<const std::uint8_t*>(Reply.data()), Reply.size()});
    return true;
  }

  TDbxChannel& FChannel;
  const std::int32_t FHandle;
  TLineStats& FStats;
  std::vector<std::uint8_t> FBuffer;
  std::string FPending;
};

// A factory that builds line handlers and clears the thread's session after each batch.
inline TDSProtocolHandlerFactory LineFactory(TLineStats& Stats) {
  return [&Stats](const TDSTCPConnectionInfo& Info) {
    TDSTCPConnectionChain Chain;
    Chain.Handler = std::make_unique<TLineHandler>(Info, Stats);
    Chain.AfterBatch = [&Stats] {
      CurrentSession().clear();
      ++Stats.AfterBatches;
    };
    return Chain;
  };
}

}  // namespace tavrin::testing
