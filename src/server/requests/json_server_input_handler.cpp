#include "server/requests/json_server_input_handler.h"

#include <exception>
#include <string>
#include <stdexcept>

#include "dbxstream/json_table_reader.h"
#include "dbxstream/stream_keywords.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {

namespace {

namespace Code = TDBXStringCodes;

std::string ConnectOverCapsText() {
  return "Connect request refused: more than " + std::to_string(limits::kMaxConnectProperties) +
         " properties or " + std::to_string(limits::kMaxConnectPropertyUnits) + " characters of them";
}
namespace Token = TDBXTokens;

TDBXConnectionHandler& Required(const std::unique_ptr<TDBXConnectionHandler>& Next) {
  if (!Next) throw std::invalid_argument("the input handler needs a next handler");
  return *Next;
}

}  // namespace

TDBXJSonServerInputConnectionHandler::TDBXJSonServerInputConnectionHandler(
    TDBXContext& Context, TDBXJSonStreamers Streamers, std::unique_ptr<TDBXConnectionHandler> Next)
    : TDBXJSonConnectionHandler(Context, *Streamers.Reader, *Streamers.Writer,
                                *Streamers.RowBuffer, nullptr, true),
      FNextHandler(Required(Next)) {
  AdoptStreamers(std::move(Streamers));
  SetNextOwnedHandler(std::move(Next));
}

void TDBXJSonServerInputConnectionHandler::DbxOpen() {
  RowBuffer().SetStreams(&StreamReader(), &StreamWriter());
  FNextHandler.DbxOpen();
}

void TDBXJSonServerInputConnectionHandler::Close() {
  StreamReader().Close();
  StreamWriter().Close();
}

// --- The loop ---------------------------------------------------------------------------

void TDBXJSonServerInputConnectionHandler::ReadMethodOrFail() {
  try {
    StreamReader().ReadMethod();
  } catch (const TDBXMidValueRefusal&) {
    // Metadata past its cap: the client learns why before the connection ends.
    ReportError(std::current_exception());
    throw;
  } catch (...) {
    // The peer vanished or sent something that is no request: the transport ends the
    // connection on this code. The cause travels nested for its log.
    std::throw_with_nested(TDBXError(TDBXErrorCodes::MethodUnreadable, ""));
  }
}

void TDBXJSonServerInputConnectionHandler::ReleaseLargeTexts() {
  StreamReader().ReleaseLargeStrings();
  FPrepareMessage.ReleaseLargeTexts();
  FExecuteMessage.ReleaseLargeTexts();
}

bool TDBXJSonServerInputConnectionHandler::HandleNonBlockingProtocol() {
  if (!FHandleRequests) return false;
  do {
    ReadMethodOrFail();
    if (!HandleDbxRequest()) FHandleRequests = false;
    ReleaseLargeTexts();
  } while (FHandleRequests && StreamReader().HasMoreBytes());
  if (!FHandleRequests) Close();
  return FHandleRequests;
}

bool TDBXJSonServerInputConnectionHandler::HandleProtocol() {
  try {
    while (FHandleRequests) {
      ReadMethodOrFail();
      if (!HandleDbxRequest()) FHandleRequests = false;
      ReleaseLargeTexts();
    }
  } catch (...) {
    Close();
    throw;
  }
  Close();
  return false;
}

bool TDBXJSonServerInputConnectionHandler::HandleDbxRequest() {
  const std::int32_t Method = StreamReader().GetStringCode();
  try {
    if (!FNextHandler.DbxBeforeRequest()) return false;
    ServeRequest(Method);
  } catch (const TDBXMidValueRefusal&) {
    // The rest of the refused value would read as requests: the reply goes out, then
    // the refusal ends the connection.
    ReportError(std::current_exception());
    throw;
  } catch (...) {
    return ReportError(std::current_exception());
  }
  return Method != Code::Disconnect;
}

bool TDBXJSonServerInputConnectionHandler::ReportError(std::exception_ptr Error) {
  try {
    FErrorMessage.SetException(std::move(Error));
    FErrorMessage.HandleMessage(FNextHandler);
    FErrorMessage.FEx = nullptr;
    return true;
  } catch (...) {
    // The error reply itself could not be written (the connection is gone): nothing is
    // left to tell the client, so request handling ends.
    FErrorMessage.FEx = nullptr;
    return false;
  }
}

template <typename TRead>
void TDBXJSonServerInputConnectionHandler::Read(TRead&& ReadStep) {
  try {
    ReadStep();
  } catch (...) {
    StreamReader().Open();
    throw;
  }
}

void TDBXJSonServerInputConnectionHandler::ServeRequest(std::int32_t Method) {
  switch (Method) {
    case Code::Connect:
      Read([this] { ReadConnect(); });
      if (FConnectOverCaps) {
        // Raised after the whole request was read, so the next request reads in step.
        FConnectMessage.FSuccessfulConnect = false;
        throw TDBXError(TDBXErrorCodes::LimitExceeded, ConnectOverCapsText());
      }
      FConnectMessage.HandleMessage(FNextHandler);
      break;
    case Code::Disconnect:
      Read([this] { StreamReader().SkipToEndOfObject(); });
      FDisconnectMessage.HandleMessage(FNextHandler);
      break;
    case Code::Prepare:
      Read([this] { ReadPrepare(); });
      HandCommandOn(FPrepareMessage);
      break;
    case Code::Execute: {
      Read([this] { ReadExecute(); });
      FExecuteMessage.FConnectionHandler = this;
      // The client's tables and a returned reader are dropped once the reply is out,
      // whatever happened: the tables of the reply live on in the command's list.
      struct TDropTables {
        TDBXExecuteMessage& Message;
        ~TDropTables() {
          Message.FTables.clear();
          Message.FReturnReader.reset();
        }
      } DropTables{FExecuteMessage};
      HandCommandOn(FExecuteMessage);
      break;
    }
    case Code::CommandClose:
      Read([this] { ReadCommandClose(); });
      FCommandCloseMessage.HandleMessage(FNextHandler);
      break;
    case Code::ReaderClose:
      Read([this] { ReadReaderClose(); });
      FReaderCloseMessage.HandleMessage(FNextHandler);
      break;
    case Code::Next:
      Read([this] { ReadNext(); });
      FNextMessage.HandleMessage(FNextHandler);
      break;
    case Code::TxBegin:
      Read([this] { ReadTxBegin(); });
      FTxBeginMessage.HandleMessage(FNextHandler);
      break;
    case Code::TxEnd:
      Read([this] { ReadTxEnd(); });
      FTxEndMessage.HandleMessage(FNextHandler);
      break;
    case Code::MoreBlob:
      Read([this] { ReadMoreBlob(); });
      FMoreBlobMessage.HandleMessage(FNextHandler);
      break;
    case Code::NextResult:
      Read([this] { ReadNextResult(); });
      FNextResultMessage.HandleMessage(FNextHandler);
      break;
    case Code::VendorProperty:
      Read([this] { ReadVendorProperty(); });
      FVendorProperMessage.HandleMessage(FNextHandler);
      break;
    case Code::Metadata: {
      // The metadata was read with the method; it replaces the thread's metadata.
      auto Metadata = StreamReader().TakeInvocationMetadata();
      Read([this] { StreamReader().SkipToEndOfObject(); });
      if (Metadata) FNextHandler.DbxInvocationMetadata(std::move(*Metadata));
      break;
    }
    default:
      // An unknown method gets no reply.
      Read([this] { StreamReader().SkipToEndOfObject(); });
      break;
  }
}

void TDBXJSonServerInputConnectionHandler::HandCommandOn(TDBXCommandMessage& Message) {
  if (!FConnectMessage.FSuccessfulConnect) FDisconnectMessage.HandleMessage(FNextHandler);
  Message.HandleMessage(FNextHandler);
}

// --- Reading each request ---------------------------------------------------------------

void TDBXJSonServerInputConnectionHandler::ReadConnect() {
  TDBXJSonStreamReader& R = StreamReader();
  FConnectMessage.FSuccessfulConnect = true;
  FConnectOverCaps = false;
  if (R.ReadParams() == Token::ArrayStart) {
    auto& Properties = FConnectMessage.FConnectProperties;
    Properties.clear();
    std::size_t Units = 0;
    R.Next(Token::ObjectStart);
    std::int32_t Kind = R.Next();
    while (Kind == Token::StringStart) {
      std::u16string Name = R.ReadString();
      R.Next(Token::NameSeparator);
      const std::u16string& Value = R.ReadString();
      Units += Name.size() + Value.size();
      FConnectOverCaps = FConnectOverCaps || Properties.size() >= limits::kMaxConnectProperties ||
                         Units > limits::kMaxConnectPropertyUnits;
      // Past a cap the rest is read to keep in step with the stream, and dropped.
      if (FConnectOverCaps) {
        Properties.clear();
      } else {
        Properties[std::move(Name)] = Value;
      }
      if (R.Next() != Token::ValueSeparator) break;
      Kind = R.Next();
    }
    R.Next(Token::ArrayEnd);
  }
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadPrepare() {
  TDBXJSonStreamReader& R = StreamReader();
  TDBXPrepareMessage& M = FPrepareMessage;
  M.Reset();
  R.ReadParams();
  M.FCommandHandle = R.ReadInt();
  R.NextValueSeparator();
  M.FUpdatable = R.ReadBoolean();
  R.NextValueSeparator();
  M.FCommandType = R.ReadString();
  R.NextValueSeparator();
  R.ReadString(M.FCommand, M.FCommandHold);
  while (R.Next() == Token::ValueSeparator) {
    R.Next(Token::ObjectStart);
    if (R.ReadStringCode() == Code::Parameters) {
      R.Next(Token::NameSeparator);
      R.Next(Token::ArrayStart);
      M.FExplicitParameters = ReadParameterList(R);
      M.FParameterTypeChanged = false;
    }
    R.SkipToEndOfObject();
  }
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadExecute() {
  TDBXJSonStreamReader& R = StreamReader();
  FExecuteMessage.Reset();
  R.ReadParams();
  do {
    ReadExecuteMember();
  } while (R.Next() == Token::ValueSeparator);
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadExecuteMember() {
  TDBXJSonStreamReader& R = StreamReader();
  TDBXExecuteMessage& M = FExecuteMessage;
  R.Next(Token::ObjectStart);
  R.Next(Token::StringStart);
  const std::int32_t Member = R.ReadStringCode();
  R.Next(Token::NameSeparator);
  R.Next(Token::ArrayStart);
  switch (Member) {
    case Code::Handle:
      M.FCommandHandle = R.ReadInt();
      break;
    case Code::Fields:
      M.FCommandHandle = R.ReadInt();
      R.NextValueSeparator();
      M.FUpdatable = R.ReadBoolean();
      R.NextValueSeparator();
      M.FCommandType = R.ReadString();
      R.NextValueSeparator();
      R.ReadString(M.FCommand, M.FCommandHold);
      break;
    case Code::Data:
      RowBuffer().ReadDataBytes();
      M.FHasParameters = true;
      break;
    case Code::Parameters:
      M.FExplicitParameters = ReadParameterList(R);
      break;
    case Code::Table:
      // Read whole, its first block included; nothing of its object is left to skip.
      M.FTables.push_back(ReadDBXReader(R, StreamWriter(), RowBuffer().Client()));
      return;
    default:
      break;
  }
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadCommandClose() {
  TDBXJSonStreamReader& R = StreamReader();
  R.ReadParams();
  FCommandCloseMessage.FCommandHandle = R.ReadInt();
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadReaderClose() {
  TDBXJSonStreamReader& R = StreamReader();
  TDBXReaderCloseMessage& M = FReaderCloseMessage;
  M.FActiveStreamerRowList = nullptr;
  R.ReadParams();
  M.FReaderHandle = R.ReadInt();
  M.FCommandHandle = R.Next() == Token::ValueSeparator ? R.ReadInt() : M.FReaderHandle;
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadNext() {
  TDBXJSonStreamReader& R = StreamReader();
  TDBXNextMessage& M = FNextMessage;
  M.FActiveStreamerRowList = nullptr;
  R.ReadParams();
  M.FRowHandle = R.ReadInt();
  R.NextValueSeparator();
  M.FPosition = R.ReadLong();
  M.FCommandHandle = R.Next() == Token::ValueSeparator ? R.ReadInt() : M.FRowHandle;
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadMoreBlob() {
  TDBXJSonStreamReader& R = StreamReader();
  TDBXMoreBlobMessage& M = FMoreBlobMessage;
  M.FStreamReader = nullptr;
  M.FActiveStreamerRowList = nullptr;
  M.FEos = false;
  R.ReadParams();
  M.FCommandHandle = R.ReadInt();
  R.NextValueSeparator();
  M.FBlobHandle = R.ReadInt();
  R.NextValueSeparator();
  M.FRow = R.ReadLong();
  R.NextValueSeparator();
  M.FOrdinal = R.ReadInt();
  M.FRowHandle = -1;
  M.FOutParameter = false;
  if (R.Next() == Token::ValueSeparator) {
    M.FOutParameter = R.ReadBoolean();
    if (R.Next() == Token::ValueSeparator) M.FRowHandle = R.ReadInt();
  }
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadNextResult() {
  TDBXJSonStreamReader& R = StreamReader();
  R.ReadParams();
  FNextResultMessage.FCommandHandle = R.ReadInt();
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadTxBegin() {
  TDBXJSonStreamReader& R = StreamReader();
  R.ReadParams();
  FTxBeginMessage.FIsolationLevel = R.ReadInt();
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadTxEnd() {
  TDBXJSonStreamReader& R = StreamReader();
  R.ReadParams();
  FTxEndMessage.FCommit = R.ReadBoolean();
  R.NextValueSeparator();
  FTxEndMessage.FTransactionHandle = R.ReadInt();
  R.SkipToEndOfObject();
}

void TDBXJSonServerInputConnectionHandler::ReadVendorProperty() {
  TDBXJSonStreamReader& R = StreamReader();
  R.ReadParams();
  FVendorProperMessage.FPropertyName = R.ReadString();
  R.SkipToEndOfObject();
}

}  // namespace tavrin
