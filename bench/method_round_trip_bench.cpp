// What the server's request path adds to a round trip: executing a prepared server
// method that does nothing but return 0, over a real loopback connection to the real
// transport and handler chain, against a plain echo of the same bytes each way over
// blocking sockets (one thread per connection, Nagle off on both ends, as the server
// and the client channel set it). Both round trips pay for the same two wake-ups; what
// the execute adds is the client connection's and the server's work on top of one read
// and one write each, which the method keeps down to the request path itself.
//
// Then a call through the real method registry and dispatch (the built-in classes and a
// declared server class, its instance per connection): a method taking two texts and
// one taking none, both returning an integer, each against an echo of its own request
// and reply sizes; what the texts add over the call without them is reported too.

#include <benchmark/benchmark.h>

#include <asio.hpp>
#include <cctype>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "dbxstream/command_types.h"
#include "client/connection.h"
#include "dbxstream/context.h"
#include "dbxstream/row_value_codec.h"
#include "vocabulary/dbx_error.h"
#include "server/builtin/builtin_classes.h"
#include "server/methods/declaration_builder.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/server_class.h"
#include "server/methods/server_connection_handler.h"
#include "server/methods/server_events.h"
#include "server/methods/server_method_provider.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"
#include "counting_channel.h"
#include "interleaved_ratio.h"
#include "loopback_echo.h"
#include "one_core.h"
#include "server/tcp/server_connection_chain.h"
#include "server/tcp/session_manager_events.h"
#include "transport/connection_chain.h"
#include "transport/tcp_client_channel.h"
#include "transport/tcp_limits.h"
#include "transport/tcp_server_transport.h"

namespace tavrin {
namespace {

constexpr char kClassName[] = "TBenchMethods";
constexpr char kMethodName[] = "Zero";
constexpr char kMethodAlias[] = "TBenchMethods.Zero";
constexpr char16_t kMethodAlias16[] = u"TBenchMethods.Zero";
constexpr std::int32_t kNotFoundCode = 105;

// TBenchMethods.Zero: integer -- no parameters, returns 0.
class TZeroMethod : public IDSPreparedServerMethod {
 public:
  TZeroMethod() {
    auto Result = std::make_unique<TDBXParameter>();
    Result->SetName("ReturnParameter");
    Result->SetDataType(TDBXDataTypes::Int32Type);
    Result->SetParameterDirection(TDBXParameterDirections::ReturnParameter);
    Result->SetValue(std::make_unique<TDBXInt32Value>());
    FParameters.push_back(std::move(Result));
  }

  const std::string& MethodAlias() const override { return FAlias; }
  const std::string& ClassName() const override { return FClass; }
  const std::string& MethodName() const override { return FName; }
  const std::string& LifeCycle() const override { return FLifeCycle; }
  TDBXParameterList& Parameters() override { return FParameters; }
  bool HasLiteralParameters() const override { return false; }
  bool HasOutOrReturnParameters() const override { return true; }
  bool HasTableParameters() const override { return false; }

  void LoadArguments(TDBXRowBuffer&) override {}
  void Invoke(std::vector<std::shared_ptr<TDBXReader>>&) override {
    static_cast<TDBXInt32Value&>(*FParameters[0]->Value()).SetInt32(0);
  }
  std::vector<TDSPendingLongValue> WriteResults(TDBXRowBuffer& Row) override {
    WriteRowValue(Row, *FParameters[0], *FParameters[0]->Value());
    return {};
  }
  std::shared_ptr<TDBXReader> ReturnReader() override { return nullptr; }
  void ReleaseInstance() override {}
  void RenewInstance() override {}

 private:
  std::string FAlias = kMethodAlias;
  std::string FClass = kClassName;
  std::string FName = kMethodName;
  std::string FLifeCycle = TDSLifeCycles::kSession;
  TDBXParameterList FParameters;
};

// A server class of one method; stateless, so every connection may share it.
class TBenchMethods : public IDSServerMethodProvider {
 public:
  bool HasMethod(std::u16string_view Alias) const override { return Names(Alias); }

  std::unique_ptr<IDSPreparedServerMethod> Prepare(std::u16string_view CommandText,
                                                   TDSServerConnectionHandler& Connection,
                                                   bool) override {
    if (!Names(CommandText)) {
      throw TDBXError(kNotFoundCode, ToUtf8(CommandText) + " method not found in the server method list");
    }
    Connection.PrepareServerMethod(kMethodAlias, kClassName);
    return std::make_unique<TZeroMethod>();
  }

 private:
  static bool Names(std::u16string_view Alias) {
    const std::string Text = ToUtf8(Alias);
    const std::string_view Expected = kMethodAlias;
    if (Text.size() != Expected.size()) return false;
    for (std::size_t i = 0; i < Text.size(); ++i) {
      const auto Upper = [](char c) { return std::toupper(static_cast<unsigned char>(c)); };
      if (Upper(Text[i]) != Upper(Expected[i])) return false;
    }
    return true;
  }
};

// The real server on an ephemeral loopback port, every connection calling Methods
// (which must outlive the server).
class TMethodServer {
 public:
  explicit TMethodServer(IDSServerMethodProvider& Methods)
      : FMethods(Methods), FTransport([this](const TDSTCPConnectionInfo& Info) { return Build(Info); }) {
    FTransport.SetPort(0);
    FTransport.SetSessionEvents(&FSessionEvents);
    FTransport.Start();
  }
  ~TMethodServer() { FTransport.Stop(); }
  TMethodServer(const TMethodServer&) = delete;
  TMethodServer& operator=(const TMethodServer&) = delete;

  std::uint16_t Port() const { return FTransport.BoundPort(); }

 private:
  TDSTCPConnectionChain Build(const TDSTCPConnectionInfo& Info) {
    return MakeServerConnectionChain(Info, FEvents, FMethods);
  }

  TDSSessionManagerEvents FSessionEvents;
  TDSServerEvents FEvents;
  IDSServerMethodProvider& FMethods;
  TDSTCPServerTransport FTransport;  // last: stopped before what it uses goes
};

void BM_ExecuteRoundTrip(benchmark::State& State) {
  const bench::TOnOneCore OneCore;
  TBenchMethods Methods;
  TMethodServer Server(Methods);
  TDBXTcpClientChannel Tcp("127.0.0.1", Server.Port());
  bench::TCountingChannel Channel(Tcp);
  TDBXClientConnection Connection(Channel);
  Connection.Connect({});
  const std::int32_t Handle = Connection.Prepare(TDSCommandTypes::kServerMethod, kMethodAlias16).CommandHandle;

  Channel.WrittenBytes = 0;
  Channel.ReadBytes = 0;
  if (!Connection.Execute(Handle).HasParameterRow) {
    State.SkipWithError("the method's result did not come back");
    return;
  }
  const std::size_t RequestBytes = Channel.WrittenBytes;
  const std::size_t ReplyBytes = Channel.ReadBytes;

  asio::io_context Io;
  asio::ip::tcp::socket EchoClient(Io);
  {
    // The echo carries the same bytes each way: the request in, the reply's size out.
    bench::TEchoServer Echo(Io, EchoClient, RequestBytes, ReplyBytes);
    EchoClient.set_option(asio::ip::tcp::no_delay(true));
    std::vector<std::uint8_t> Request(RequestBytes, '.');
    std::vector<std::uint8_t> Reply(ReplyBytes);

    bench::RunInterleaved(
        State, "x_echo",
        [&] {
          const TDBXExecuteReply Result = Connection.Execute(Handle);
          benchmark::DoNotOptimize(Result.HasParameterRow);
        },
        [&] {
          asio::write(EchoClient, asio::buffer(Request));
          asio::read(EchoClient, asio::buffer(Reply));
          benchmark::DoNotOptimize(Reply.data());
        });
  }
  Connection.CommandClose(Handle);
  Connection.Disconnect();
  State.counters["request_bytes"] = static_cast<double>(RequestBytes);
  State.counters["reply_bytes"] = static_cast<double>(ReplyBytes);
}
BENCHMARK(BM_ExecuteRoundTrip);

// --- Through the registry ---------------------------------------------------------------------

constexpr char16_t kNoParametersAlias[] = u"TBenchServer.Zero";
constexpr char16_t kTwoTextsAlias[] = u"TBenchServer.Login";
// A sign-in's worth of text: a user name and a password.
constexpr char16_t kLongUser[] = u"operador.caixa";
constexpr char16_t kLongPassword[] = u"s3nh@-Forte-2024";

// TBenchServer.Zero: Integer, and Login(const User, Password: string): Integer, which
// answers the length of both texts.
class TBenchServer : public TDSServerObject {
 public:
  std::int32_t Zero() const { return 0; }
  std::int32_t Login(const std::u16string& User, const std::u16string& Password) const {
    return static_cast<std::int32_t>(User.size() + Password.size());
  }
};

const TDSClassDeclaration& BenchServerDeclaration() {
  static const TDSClassDeclaration Declaration = [] {
    using namespace declare;
    TDSClassDeclaration Class;
    Class.ClassName = "TBenchServer";
    Class.UnitName = "BenchUnit";
    Class.ParentClassName = "TObject";
    Class.Create = [] { return std::make_unique<TBenchServer>(); };
    Class.Methods = {
        {"Zero", {}, Named("Integer"), false, false, BindMethod(&TBenchServer::Zero)},
        {"Login", {ConstText("User"), ConstText("Password")}, Named("Integer"), false, false,
         BindMethod(&TBenchServer::Login)},
    };
    return Class;
  }();
  return Declaration;
}

// One prepared call: at every execute the parameter row with the arguments and a null in
// the result's slot, then the integer result read back. Without arguments no row goes
// at all, as in the round trip above: the leanest request the baseline can make.
struct TPreparedCall {
  TDBXClientConnection& Connection;
  std::int32_t Handle;
  std::vector<std::u16string> Arguments;

  std::int32_t operator()() const {
    if (!Arguments.empty()) {
      TDBXRowBuffer& Row = Connection.BeginParameters();
      for (const auto& Text : Arguments) Row.WriteString(Text);
      Row.WriteNull();
    }
    Connection.Execute(Handle);
    Connection.ParameterRow().GoToField(static_cast<std::int32_t>(Arguments.size()));
    return Connection.ParameterRow().ReadInt32();
  }
};

void BM_RegistryCallRoundTrip(benchmark::State& State) {
  const bench::TOnOneCore OneCore;
  TDSServerClass Component;
  Component.OnGetClass = [] { return &BenchServerDeclaration(); };
  TDSServerMethodProvider Registry(
      std::vector<const TDSClassDeclaration*>{&DSAdminDeclaration(), &DSMetadataDeclaration()});
  Registry.AddServerClass(Component);
  Registry.Open();
  TMethodServer Server(Registry);

  TDBXTcpClientChannel Tcp("127.0.0.1", Server.Port());
  bench::TCountingChannel Channel(Tcp);
  TDBXClientConnection Connection(Channel);
  Connection.Connect({});
  const TPreparedCall Calls[] = {
      {Connection, Connection.Prepare(TDSCommandTypes::kServerMethod, kNoParametersAlias).CommandHandle, {}},
      {Connection, Connection.Prepare(TDSCommandTypes::kServerMethod, kTwoTextsAlias).CommandHandle, {kLongUser, kLongPassword}},
  };
  const std::int32_t Expected[] = {0, static_cast<std::int32_t>(std::u16string_view(kLongUser).size() +
                                                                 std::u16string_view(kLongPassword).size())};
  std::size_t RequestBytes[2] = {};
  std::size_t ReplyBytes[2] = {};
  for (int i = 0; i < 2; ++i) {
    Channel.WrittenBytes = 0;
    Channel.ReadBytes = 0;
    if (Calls[i]() != Expected[i]) {
      State.SkipWithError("a method answered something else");
      return;
    }
    RequestBytes[i] = Channel.WrittenBytes;
    ReplyBytes[i] = Channel.ReadBytes;
  }

  asio::io_context Io;
  asio::ip::tcp::socket EchoClients[2] = {asio::ip::tcp::socket(Io), asio::ip::tcp::socket(Io)};
  std::vector<double> Ns;
  {
    bench::TEchoServer Echoes[2] = {{Io, EchoClients[0], RequestBytes[0], ReplyBytes[0]},
                                    {Io, EchoClients[1], RequestBytes[1], ReplyBytes[1]}};
    std::vector<std::uint8_t> Requests[2], Replies[2];
    for (int i = 0; i < 2; ++i) {
      EchoClients[i].set_option(asio::ip::tcp::no_delay(true));
      Requests[i].assign(RequestBytes[i], '.');
      Replies[i].resize(ReplyBytes[i]);
    }
    const auto Echo = [&](int i) {
      return [&, i] {
        asio::write(EchoClients[i], asio::buffer(Requests[i]));
        asio::read(EchoClients[i], asio::buffer(Replies[i]));
        benchmark::DoNotOptimize(Replies[i].data());
      };
    };
    const auto Call = [&](int i) { return [&, i] { benchmark::DoNotOptimize(Calls[i]()); }; };
    Ns = bench::FastestInterleaved(State, {Call(0), Call(1), Echo(0), Echo(1)});
  }
  for (const auto& Prepared : Calls) Connection.CommandClose(Prepared.Handle);
  Connection.Disconnect();
  // The target: the call with texts against the echo of the same bytes.
  State.counters["x_echo"] = Ns[1] / Ns[3];
  State.counters["none_x_echo"] = Ns[0] / Ns[2];
  State.counters["x_no_params"] = Ns[1] / Ns[0];
  State.counters["none_ns"] = Ns[0];
  State.counters["texts_ns"] = Ns[1];
  State.counters["echo_ns"] = Ns[2];
  State.counters["texts_echo_ns"] = Ns[3];
  State.counters["none_request_bytes"] = static_cast<double>(RequestBytes[0]);
  State.counters["texts_request_bytes"] = static_cast<double>(RequestBytes[1]);
  State.counters["none_reply_bytes"] = static_cast<double>(ReplyBytes[0]);
  State.counters["texts_reply_bytes"] = static_cast<double>(ReplyBytes[1]);
}
BENCHMARK(BM_RegistryCallRoundTrip);

}  // namespace
}  // namespace tavrin
