#pragma once
// A connection's handler chain over memory, with a small middle link of the tests' own
// in place of the server's connection handler: it answers connect, prepare and execute
// with fixed results, raises on demand and serves a reader with many rows.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbxstream/active_table_list.h"
#include "dbxstream/command_handler.h"
#include "dbxstream/memory_channel.h"
#include "dbxstream/row_buffer.h"
#include "server/requests/server_handler_chain.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/value_holders.h"

namespace tavrin::testing {

// Rows of (ID int32, NOME wide string): ID is the row number from 1, NOME is NameLength
// copies of a letter that cycles with the row. Column reads of row FailAtRow raise.
class TFakeReader : public TDBXReader {
 public:
  static constexpr char kFailure[] = "cannot read column";

  TFakeReader(int Rows, std::size_t NameLength, int FailAtRow = -1)
      : FRows(Rows), FNameLength(NameLength), FFailAtRow(FailAtRow) {
    FColumns[0].SetName("ID");
    FColumns[0].SetDataType(TDBXDataTypes::Int32Type);
    FColumns[1].SetName("NOME");
    FColumns[1].SetDataType(TDBXDataTypes::WideStringType);
  }

  static std::u16string NameOf(int Row, std::size_t Length) {
    return std::u16string(Length, static_cast<char16_t>(u'a' + Row % 26));
  }

  std::int32_t ColumnCount() const override { return 2; }
  const TDBXValueType& ValueType(std::int32_t Ordinal) const override {
    return FColumns[static_cast<std::size_t>(Ordinal)];
  }
  bool Next() override {
    if (FRow >= FRows) return false;
    ++FRow;
    ++NextCalls;
    return true;
  }
  const TDBXValue& Value(std::int32_t Ordinal) override {
    if (FRow == FFailAtRow) throw std::runtime_error(kFailure);
    if (Ordinal == 0) {
      FId.SetInt32(FRow);
      return FId;
    }
    FName.SetWideString(NameOf(FRow, FNameLength));
    return FName;
  }
  void Close() override { ++Closes; }

  int NextCalls = 0;
  int Closes = 0;

 private:
  int FRows;
  std::size_t FNameLength;
  int FFailAtRow;
  int FRow = 0;
  TDBXValueType FColumns[2];
  TDBXInt32Value FId;
  TDBXWideStringValue FName;
};

// What the fake server does with an execute.
enum class TExecuteMode { Login, Void, Raise, ReturnTable, ConsumeTables };

class TFakeServer : public TDBXConnectionHandler {
 public:
  using TDBXConnectionHandler::TDBXConnectionHandler;

  void DbxConnect(TDBXConnectMessage& Message) override {
    Calls.push_back("connect");
    Properties = Message.FConnectProperties;
    Message.FConnectionHandle = 0;
    Message.FProductName = u"Corvane";
    TDBXConnectionHandler::DbxConnect(Message);
  }
  void DbxDisconnect(TDBXDisconnectMessage& Message) override {
    Calls.push_back("disconnect");
    TDBXConnectionHandler::DbxDisconnect(Message);
  }
  void DbxPrepare(TDBXPrepareMessage& Message) override {
    Calls.push_back("prepare");
    Message.FCommandHandle = 0;
    Message.FParameters = &LoginParameters;
    TDBXConnectionHandler::DbxPrepare(Message);
  }
  void DbxExecute(TDBXExecuteMessage& Message) override {
    Calls.push_back("execute");
    RequestRow = Message.FHasParameters ? RowBufferOf(Message) : std::vector<std::uint8_t>{};
    Message.FCommandHandle = 0;
    ActiveStreamerRowList().CloseAll();
    Message.FActiveStreamerRowList = &ActiveStreamerRowList();
    switch (Mode) {
      case TExecuteMode::Login: {
        TDBXRowBuffer& Row = *ConnectionRow;
        Row.Post();
        Row.WriteNull();
        Row.WriteNull();
        Row.WriteInt32(3);
        Message.FParameters = &LoginParameters;
        Message.FHasOutOrReturnParameters = true;
        break;
      }
      case TExecuteMode::Void:
        break;
      case TExecuteMode::Raise:
        Raise();
        break;
      case TExecuteMode::ReturnTable:
        Message.FHasOutOrReturnParameters = true;
        Message.FHasDBXTableReaderOutOrReturnParameter = true;
        Message.FReturnReader = Table;
        break;
      case TExecuteMode::ConsumeTables:
        for (const auto& Received : Message.FTables) {
          while (Received->Next()) {
            const auto& Id = dynamic_cast<const TDBXInt32Value&>(Received->Value(0));
            const auto& Name = dynamic_cast<const TDBXWideStringValue&>(Received->Value(1));
            ReceivedRows.emplace_back(Id.GetInt32(), Name.GetWideString());
          }
        }
        // Freed before the reply, as the method layer does once the call is over.
        Message.FTables.clear();
        break;
    }
    TDBXConnectionHandler::DbxExecute(Message);
  }
  void DbxNext(TDBXNextMessage& Message) override {
    Message.FActiveStreamerRowList = &ActiveStreamerRowList();
    TDBXConnectionHandler::DbxNext(Message);
  }
  void DbxReaderClose(TDBXReaderCloseMessage& Message) override {
    Message.FActiveStreamerRowList = &ActiveStreamerRowList();
    TDBXConnectionHandler::DbxReaderClose(Message);
  }
  void DbxMoreBlob(TDBXMoreBlobMessage& Message) override {
    Message.FActiveStreamerRowList = &ActiveStreamerRowList();
    TDBXConnectionHandler::DbxMoreBlob(Message);
  }
  void DbxInvocationMetadata(TJSONValue Value) override { Metadata = std::move(Value); }

  std::vector<std::uint8_t> RowBufferOf(TDBXExecuteMessage&) const {
    const auto Bytes = ConnectionRow->Buffer().first(
        static_cast<std::size_t>(ConnectionRow->ReadSizeBytes()));
    return {Bytes.begin(), Bytes.end()};
  }

  TExecuteMode Mode = TExecuteMode::Void;
  std::function<void()> Raise = [] { throw std::runtime_error("boom"); };
  std::shared_ptr<TDBXReader> Table;
  TDBXRowBuffer* ConnectionRow = nullptr;
  TDBXParameterList LoginParameters;
  std::vector<std::string> Calls;
  TDBXProperties Properties;
  std::optional<TJSONValue> Metadata;
  std::vector<std::uint8_t> RequestRow;
  std::vector<std::pair<std::int32_t, std::u16string>> ReceivedRows;
};

inline std::unique_ptr<TDBXParameter> MakeParameter(const char* Name, std::int32_t Type,
                                                    std::int32_t Direction) {
  auto Parameter = std::make_unique<TDBXParameter>();
  Parameter->SetName(Name);
  Parameter->SetDataType(Type);
  Parameter->SetParameterDirection(Direction);
  return Parameter;
}

// The chain of one connection, built as the transport builds it, over a memory channel.
struct TServerChain {
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TFakeServer* Server = nullptr;
  std::unique_ptr<TDBXJSonServerProtocolHandler> Handler;

  explicit TServerChain(std::int32_t BufferKBSize = defaults::kBufferKBSize) {
    Handler = BuildServerHandlerChain(
        Channel, Context, BufferKBSize,
        [this](TDBXContext& Ctx, TDbxChannel&, std::unique_ptr<TDBXConnectionHandler> Output) {
          auto Made = std::make_unique<TFakeServer>(Ctx, std::move(Output));
          Server = Made.get();
          return Made;
        },
        nullptr);
    // The fake server writes its out values into the connection's row buffer, which
    // the output handler's row objects wrap.
    RowObject = Server->NextConnectionHandler()->CreateDbxRow();
    Server->ConnectionRow = &RowObject->RowBuffer();
    Server->LoginParameters.push_back(MakeParameter("Usuario", 26, 1));
    Server->LoginParameters.push_back(MakeParameter("Senha", 26, 1));
    Server->LoginParameters.push_back(MakeParameter("ReturnParameter", 6, 4));
  }

  // Feeds Request as one arrival, serves it and returns what was written.
  std::string Serve(const std::string& Request) {
    Channel.ClearWritten();
    Channel.Feed(Request);
    Handler->HandleNonBlockingProtocol();
    return Channel.WrittenText();
  }

  std::unique_ptr<TDBXJSonRow> RowObject;
};

inline constexpr char kConnect[] = R"({"method":"connect","params":[{}]})";
inline constexpr char kNextResult[] = R"({"method":"next_result","params":[0]})";
inline constexpr char kNextResultReply[] = R"({"result":[false,0,false,-1]})";
inline constexpr char kExecuteHandle0[] = R"({"method":"execute","params":[{"handle":[0]}]})";

}  // namespace tavrin::testing
