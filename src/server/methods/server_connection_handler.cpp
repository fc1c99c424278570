#include "server/methods/server_connection_handler.h"

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"
#include "server/sessions/authentication_manager.h"
#include "server/methods/command_type.h"
#include "server/sessions/session_manager.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

// Text with its "%d" replaced by Count.
std::string WithCount(std::string_view Text, std::int32_t Count) {
  const std::size_t At = Text.find("%d");
  std::string Result(Text.substr(0, At));
  Result.append(std::to_string(Count));
  Result.append(Text.substr(At + 2));
  return Result;
}

}  // namespace

TDSServerConnectionHandler::TDSServerConnectionHandler(
    TDBXContext& Context, TDbxChannel& Channel, const TDSServerEvents& Events,
    IDSServerMethodProvider& Methods, std::unique_ptr<TDBXConnectionHandler> Output,
    std::function<void()> RemoveFromConnectionList)
    : TDBXConnectionHandler(Context, std::move(Output)),
      FEvents(Events),
      FMethods(Methods),
      FDatabaseConnectionHandler(std::make_unique<TDSDatabaseConnectionHandler>()),
      FChannel(Channel),
      FRemoveFromConnectionList(std::move(RemoveFromConnectionList)) {}

TDSServerConnectionHandler::~TDSServerConnectionHandler() {
  // The commands' methods point at the instances, and the instances may still use the
  // handler: commands first, instances next, the members after.
  FCommandHandlers.Clear();
  FInstanceProvider.reset();
}

// --- Connect and disconnect -------------------------------------------------------------

void TDSServerConnectionHandler::RebuildEventObjects() {
  FEventObjects = std::make_unique<TEventObjects>();
  auto Point = [this](TDSEventObject& Event) {
    Event.DbxContext = &DbxContext();
    Event.ConnectionHandler = this;
  };
  Point(FEventObjects->CreateInstance);
  Point(FEventObjects->DestroyInstance);
  Point(FEventObjects->Prepare);
  Point(FEventObjects->Authenticate);
  Point(FEventObjects->Authorize);
  Point(FEventObjects->Connect);
  Point(FEventObjects->Error);
  FEventObjects->Connect.ConnectProperties = FConProperties;
  FEventObjects->Connect.ChannelInfo = FChannel.ChannelInfo();
}

TDSServerConnectionHandler::TEventObjects& TDSServerConnectionHandler::EventObjects() {
  // Errors and prepares may come before any connect; they get fresh objects then.
  if (!FEventObjects) RebuildEventObjects();
  return *FEventObjects;
}

void TDSServerConnectionHandler::Authenticate() {
  const std::shared_ptr<TDSSession> Session = TDSSessionManager::GetThreadSession();
  if (!Session) return;  // a connection served without a session has nobody to check
  TDSConnectProperties Properties;
  for (const auto& [Name, Value] : FConProperties) Properties[ToUtf8(Name)] = ToUtf8(Value);
  if (!Session->Authenticate(Properties)) {
    throw TDBXError(TDBXErrorCodes::AuthenticationRejected, TDSConnectionErrors::kAuthentication);
  }
}

void TDSServerConnectionHandler::Connect(TDBXConnectMessage& Message) {
  FConProperties = Message.FConnectProperties;
  RebuildEventObjects();
  Authenticate();
  if (FEvents.OnConnect) FEvents.OnConnect(FEventObjects->Connect);
  // A method supplying the database connection is not offered by this server: the
  // property is refused while commands are open, as it always was, and otherwise the
  // default database handler simply stays.
  const auto ServerConnection = FConProperties.find(kServerConnectionProperty);
  if (ServerConnection != FConProperties.end() && !ServerConnection->second.empty() &&
      FCommandHandlers.HasOpenCommands()) {
    throw TDBXError(TDBXErrorCodes::CommandsStillOpen, TDSConnectionErrors::kServerConnection);
  }
  FConnected = true;
  Message.FProductName = GetProductName();
  Message.FConnectionHandle = kConnectionHandle;
  TDBXConnectionHandler::DbxConnect(Message);
}

void TDSServerConnectionHandler::DbxConnect(TDBXConnectMessage& Message) {
  try {
    Connect(Message);
  } catch (...) {
    Message.FSuccessfulConnect = false;
    FErrorMessage.SetException(std::current_exception());
    DbxErrorMessage(FErrorMessage);
  }
}

void TDSServerConnectionHandler::DbxDisconnect(TDBXDisconnectMessage& Message) {
  // The input side also sends a disconnect ahead of a command on a connection that
  // never connected; that is no client leaving, so it fires nothing.
  if (FConnected) {
    FConnected = false;
    if (FEvents.OnDisconnect) FEvents.OnDisconnect(EventObjects().Connect);
    FDatabaseConnectionHandler->Disconnect();
    if (FRemoveFromConnectionList) FRemoveFromConnectionList();
  }
  TDBXConnectionHandler::DbxDisconnect(Message);
}

// --- Commands ---------------------------------------------------------------------------

TDBXSqlScanner& TDSServerConnectionHandler::GetSQLScanner() {
  if (!FScanner) FScanner = std::make_unique<TDBXSqlScanner>();
  return *FScanner;
}

TDSServerMethodCommandHandler& TDSServerConnectionHandler::NewCommand(TDBXCommandMessage& Message) {
  if (FCommandHandlers.OpenCount() >= static_cast<std::size_t>(limits::kMaxOpenCommands)) {
    throw TDBXError(TDBXErrorCodes::LimitExceeded,
                    WithCount(TDSConnectionErrors::kTooManyCommands, limits::kMaxOpenCommands));
  }
  Message.FCommand =
      ChooseServerMethodText(Message.FCommandType, std::move(Message.FCommand), FMethods, GetSQLScanner());
  Message.FCommandType = TDSCommandTypes::kServerMethod;
  auto Command = std::make_unique<TDSServerMethodCommandHandler>(
      DbxContext(), *this, *NextConnectionHandler()->AcquireCommandHandler(Message));
  TDSServerMethodCommandHandler& Made = *Command;
  Message.FCommandHandle = FCommandHandlers.Enter(std::move(Command));
  return Made;
}

TDBXCommandHandler* TDSServerConnectionHandler::AcquireCommandHandler(TDBXCommandMessage& Message) {
  if (Message.FCommandHandle < 0) return &NewCommand(Message);
  return &FCommandHandlers.Get(Message.FCommandHandle);
}

template <typename TMessage, typename TServe>
void TDSServerConnectionHandler::ServeCommand(TMessage& Message, TServe&& Serve) {
  if (Message.FCommandHandle >= 0) {
    Serve(FCommandHandlers.Get(Message.FCommandHandle));
    return;
  }
  TDSServerMethodCommandHandler& Command = NewCommand(Message);
  try {
    Serve(Command);
  } catch (...) {
    // The client never learned the new handle, so it could never close the command.
    FCommandHandlers.Release(Command.GetCommandHandle());
    throw;
  }
}

void TDSServerConnectionHandler::DbxPrepare(TDBXPrepareMessage& Message) {
  ServeCommand(Message, [&Message](TDSServerMethodCommandHandler& Command) { Command.DbxPrepare(Message); });
}

void TDSServerConnectionHandler::DbxExecute(TDBXExecuteMessage& Message) {
  // A method handing back a database connection (type 34) is not offered here, so the
  // default database handler stays whatever the command returned.
  // Executing a command again closes its own tables, so only the others count.
  std::size_t OpenTables = 0;
  FCommandHandlers.ForEach([&](const TDSServerMethodCommandHandler& Command) {
    if (Command.GetCommandHandle() != Message.FCommandHandle) OpenTables += Command.OpenTableCount();
  });
  if (OpenTables >= static_cast<std::size_t>(limits::kMaxOpenTables)) {
    throw TDBXError(TDBXErrorCodes::LimitExceeded,
                    WithCount(TDSConnectionErrors::kTooManyTables, limits::kMaxOpenTables));
  }
  ServeCommand(Message, [&Message](TDSServerMethodCommandHandler& Command) { Command.DbxExecute(Message); });
}

void TDSServerConnectionHandler::DbxNext(TDBXNextMessage& Message) {
  FCommandHandlers.Get(Message.FCommandHandle).DbxNext(Message);
}

void TDSServerConnectionHandler::DbxMoreBlob(TDBXMoreBlobMessage& Message) {
  FCommandHandlers.Get(Message.FCommandHandle).DbxMoreBlob(Message);
}

void TDSServerConnectionHandler::DbxNextResult(TDBXNextResultMessage& Message) {
  FCommandHandlers.Get(Message.FCommandHandle).DbxNextResult(Message);
}

void TDSServerConnectionHandler::DbxReaderClose(TDBXReaderCloseMessage& Message) {
  FCommandHandlers.Get(Message.FCommandHandle).DbxReaderClose(Message);
}

void TDSServerConnectionHandler::DbxCommandClose(TDBXCommandCloseMessage& Message) {
  FCommandHandlers.Get(Message.FCommandHandle).DbxCommandClose(Message);
  FCommandHandlers.Release(Message.FCommandHandle);
}

void TDSServerConnectionHandler::PrepareServerMethod(
    const std::string& MethodAlias, const std::string& ServerClassName, TDSServerObject* MethodInstance,
    const std::function<void(TDSPrepareEventObject&)>* ClassOnPrepare) {
  TDSPrepareEventObject& Event = EventObjects().Prepare;
  Event.MethodAlias = MethodAlias;
  Event.ServerClassName = ServerClassName;
  Event.MethodInstance = MethodInstance;
  Event.UserName.clear();
  Event.UserRoles.clear();
  if (const auto Session = TDSSessionManager::GetThreadSession()) {
    Event.UserName = Session->UserName();
    Event.UserRoles = Session->UserRoles();
  }
  if (ClassOnPrepare != nullptr && *ClassOnPrepare) (*ClassOnPrepare)(Event);
  if (FEvents.OnPrepare) FEvents.OnPrepare(Event);
}

// --- Server class instances ------------------------------------------------------------

TDSServerObject& TDSServerConnectionHandler::GetInstance(const TDSClassInfo& Class) {
  if (!FInstanceProvider) {
    FInstanceProvider = std::make_unique<TDSHashtableInstanceProvider>(
        [this](const TDSClassInfo& Owner, std::unique_ptr<TDSServerObject> Instance) {
          DestroyInstance(Owner, std::move(Instance));
        });
  }
  return FInstanceProvider->GetInstance(Class, [&] { return CreateInstance(Class); });
}

std::unique_ptr<TDSServerObject> TDSServerConnectionHandler::CreateInstance(const TDSClassInfo& Class) {
  return CreateServerClassInstance(Class, EventObjects().CreateInstance);
}

void TDSServerConnectionHandler::DestroyInstance(const TDSClassInfo& Class,
                                                 std::unique_ptr<TDSServerObject> Instance) {
  DestroyServerClassInstance(Class, std::move(Instance), EventObjects().DestroyInstance);
}

// --- Database-level requests and errors ------------------------------------------------

std::u16string TDSServerConnectionHandler::GetProductName() {
  return FDatabaseConnectionHandler->ProductName();
}

void TDSServerConnectionHandler::DbxTxBegin(TDBXTxBeginMessage& Message) {
  FDatabaseConnectionHandler->TxBegin(Message);
  TDBXConnectionHandler::DbxTxBegin(Message);
}

void TDSServerConnectionHandler::DbxTxEnd(TDBXTxEndMessage& Message) {
  FDatabaseConnectionHandler->TxEnd(Message);
  TDBXConnectionHandler::DbxTxEnd(Message);
}

void TDSServerConnectionHandler::DbxVendorProperty(TDBXVendorPropertyMessage& Message) {
  FDatabaseConnectionHandler->VendorProperty(Message);
  TDBXConnectionHandler::DbxVendorProperty(Message);
}

void TDSServerConnectionHandler::DbxErrorMessage(TDBXErrorMessage& Message) {
  TDSErrorEventObject& Event = EventObjects().Error;
  Event.Error = Message.FEx;
  try {
    if (FEvents.OnError) FEvents.OnError(Event);
  } catch (...) {
    // The hook only observes the failure; the client's error reply matters more than
    // whatever went wrong while observing it.
  }
  Event.Error = nullptr;
  TDBXConnectionHandler::DbxErrorMessage(Message);
}

TDBXMiddleLinkFactory MakeServerConnectionLink(const TDSServerEvents& Events,
                                               IDSServerMethodProvider& Methods,
                                               std::function<void()> RemoveFromConnectionList) {
  return [&Events, &Methods, Remove = std::move(RemoveFromConnectionList)](
             TDBXContext& Context, TDbxChannel& Channel,
             std::unique_ptr<TDBXConnectionHandler> Output) -> std::unique_ptr<TDBXConnectionHandler> {
    return std::make_unique<TDSServerConnectionHandler>(Context, Channel, Events, Methods,
                                                        std::move(Output), Remove);
  };
}

}  // namespace tavrin
