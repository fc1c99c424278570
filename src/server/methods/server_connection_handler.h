#pragma once
// TDSServerConnectionHandler: the server side of one client connection, the middle link
// of its handler chain (input handler -> this -> output handler). It keeps the
// connection's open commands, decides what each new command is, hands server method
// commands to a TDSServerMethodCommandHandler each, fires the server's connection
// events, and answers the database-level requests through its database handler.
//
// Threading: every message of a connection arrives on that connection's thread, one at
// a time, so nothing here locks.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dbxstream/channel.h"
#include "dbxstream/command_handler.h"
#include "server/requests/server_handler_chain.h"
#include "server/methods/command_table.h"
#include "server/methods/instance_provider.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/server_events.h"
#include "server/methods/sql_scanner.h"

namespace tavrin {

// Handler of the database-level requests (transactions, vendor properties). This server
// has no database connection of a client's choosing, so the only one is the default:
// product name "Corvane", transactions that do nothing, empty property values.
class TDSDatabaseConnectionHandler {
 public:
  static constexpr char16_t kProductName[] = u"Corvane";

  virtual ~TDSDatabaseConnectionHandler() = default;
  virtual std::u16string ProductName() const { return kProductName; }
  virtual void TxBegin(TDBXTxBeginMessage&) {}
  virtual void TxEnd(TDBXTxEndMessage&) {}
  virtual void VendorProperty(TDBXVendorPropertyMessage& Message) { Message.FPropertyValue.clear(); }
  virtual void Disconnect() {}
};

namespace TDSConnectionErrors {
inline constexpr char kAuthentication[] =
    "Authentication manager rejected user credentials. This may due to invalid combination of DS "
    "user name and password";
inline constexpr char kServerConnection[] =
    "All open command objects must be close before changing the server connection";
// What one connection may hold at once; a request past it is refused with these texts
// (code LimitExceeded), the connection going on.
inline constexpr char kTooManyCommands[] =
    "Command refused: this connection already has %d open commands, the most it may hold; "
    "close one first";
inline constexpr char kTooManyTables[] =
    "Execute refused: this connection already has %d open tables, the most it may hold; "
    "close one first";
}  // namespace TDSConnectionErrors

class TDSServerConnectionHandler : public TDBXConnectionHandler {
 public:
  // Connect property naming a method that would supply a database connection.
  static constexpr char16_t kServerConnectionProperty[] = u"ServerConnection";
  // The connection handle every connect reply carries.
  static constexpr std::int32_t kConnectionHandle = 0;

  // Output is the chain's output handler (owned from now on). Events and Methods belong
  // to the server and must outlive the handler, as must Context and Channel.
  // RemoveFromConnectionList, when set, takes the connection out of the transport's
  // list when the client disconnects; it must be safe to call more than once.
  TDSServerConnectionHandler(TDBXContext& Context, TDbxChannel& Channel, const TDSServerEvents& Events,
                             IDSServerMethodProvider& Methods,
                             std::unique_ptr<TDBXConnectionHandler> Output,
                             std::function<void()> RemoveFromConnectionList);
  // Frees the open commands before the output handler they write through, then the
  // connection's server class instances (newest first), while everything they might
  // use is still there.
  ~TDSServerConnectionHandler() override;

  // Authenticates through the thread's session, fires OnConnect and replies with handle
  // 0 and "Corvane". On failure the success flag turns false and the error takes the
  // error path (OnError, error reply) instead of a connect reply; nothing is raised.
  void DbxConnect(TDBXConnectMessage& Message) override;
  // After a successful connect: fires OnDisconnect and leaves the transport's list.
  // Then passes the message on.
  void DbxDisconnect(TDBXDisconnectMessage& Message) override;
  // A negative handle opens a new command (raising TDBXError code 30 when its type is
  // not recognised; the command is freed again when its first request fails); any other
  // is looked up (code 29 when it is not open).
  void DbxPrepare(TDBXPrepareMessage& Message) override;
  void DbxExecute(TDBXExecuteMessage& Message) override;
  // Through the open command of the message's handle (code 4 or 29 when there is none).
  void DbxNext(TDBXNextMessage& Message) override;
  void DbxMoreBlob(TDBXMoreBlobMessage& Message) override;
  void DbxNextResult(TDBXNextResultMessage& Message) override;
  void DbxReaderClose(TDBXReaderCloseMessage& Message) override;
  // Passes the message through the command (no reply), then frees the command.
  void DbxCommandClose(TDBXCommandCloseMessage& Message) override;
  void DbxTxBegin(TDBXTxBeginMessage& Message) override;
  void DbxTxEnd(TDBXTxEndMessage& Message) override;
  void DbxVendorProperty(TDBXVendorPropertyMessage& Message) override;
  // Fires OnError (what it raises is swallowed), then passes the message on.
  void DbxErrorMessage(TDBXErrorMessage& Message) override;

  TDBXCommandHandler* AcquireCommandHandler(TDBXCommandMessage& Message) override;
  bool DbxBeforeRequest() override { return true; }
  std::u16string GetProductName() override;

  // --- For method dispatch ------------------------------------------------------------
  IDSServerMethodProvider& MethodProvider() const { return FMethods; }
  // The command-text tokenizer, quoting with double quotes; made on first use.
  TDBXSqlScanner& GetSQLScanner();
  // Fills the prepare event with the method, its instance and the session's user, and
  // fires ClassOnPrepare (the server class's hook, when given and set), then the
  // server's OnPrepare. What a hook raises fails the prepare.
  void PrepareServerMethod(const std::string& MethodAlias, const std::string& ServerClassName,
                           TDSServerObject* MethodInstance = nullptr,
                           const std::function<void(TDSPrepareEventObject&)>* ClassOnPrepare = nullptr);

  // --- For the instance life cycle ------------------------------------------------------
  // The connection's instance of Class ("Session"): made through CreateInstance on the
  // first call and kept until the handler is freed. Raises what creating raises; nothing
  // is kept then.
  TDSServerObject& GetInstance(const TDSClassInfo& Class);
  // A new instance of Class through the class's create hook (with this connection's
  // create event argument) or from its declaration; null when neither made one.
  std::unique_ptr<TDSServerObject> CreateInstance(const TDSClassInfo& Class);
  // Destroys Instance through the class's destroy hook (with this connection's destroy
  // event argument), or frees it.
  void DestroyInstance(const TDSClassInfo& Class, std::unique_ptr<TDSServerObject> Instance);
  // The instances the connection keeps ("Session"); 0 before the first.
  std::size_t InstanceCount() const { return FInstanceProvider ? FInstanceProvider->Count() : 0; }

  const TDSCommandTable& CommandTable() const { return FCommandHandlers; }

 private:
  // The seven event arguments, rebuilt at every connect.
  struct TEventObjects {
    TDSCreateInstanceEventObject CreateInstance;
    TDSDestroyInstanceEventObject DestroyInstance;
    TDSPrepareEventObject Prepare;
    TDSAuthenticateEventObject Authenticate;
    TDSAuthorizeEventObject Authorize;
    TDSConnectEventObject Connect;
    TDSErrorEventObject Error;
  };

  void Connect(TDBXConnectMessage& Message);
  void RebuildEventObjects();
  void Authenticate();
  TDSServerMethodCommandHandler& NewCommand(TDBXCommandMessage& Message);
  // Serves a prepare or execute through its command; a new command whose first request
  // fails is freed again.
  template <typename TMessage, typename TServe>
  void ServeCommand(TMessage& Message, TServe&& Serve);
  TEventObjects& EventObjects();

  TDBXProperties FConProperties;
  const TDSServerEvents& FEvents;
  IDSServerMethodProvider& FMethods;
  std::unique_ptr<TDSDatabaseConnectionHandler> FDatabaseConnectionHandler;
  TDSCommandTable FCommandHandlers;
  TDBXErrorMessage FErrorMessage;
  std::unique_ptr<TDBXSqlScanner> FScanner;
  TDbxChannel& FChannel;
  std::function<void()> FRemoveFromConnectionList;
  std::unique_ptr<TEventObjects> FEventObjects;
  // The "Session" instances; made on first use, freed in the destructor right after the
  // open commands.
  std::unique_ptr<TDSHashtableInstanceProvider> FInstanceProvider;
  // True from a successful connect to the next disconnect.
  bool FConnected = false;
};

// The middle-link factory for BuildServerHandlerChain: makes a TDSServerConnectionHandler
// with the server's events and methods around the output handler. Events and Methods
// must outlive every chain built; RemoveFromConnectionList is as for the constructor.
TDBXMiddleLinkFactory MakeServerConnectionLink(const TDSServerEvents& Events,
                                               IDSServerMethodProvider& Methods,
                                               std::function<void()> RemoveFromConnectionList);

}  // namespace tavrin
