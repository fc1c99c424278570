#pragma once
// The links of a connection's handler chain. Each request becomes a message object that
// passes from link to link: the input handler reads it, the next link (the server's
// connection handler) does the work, and the output handler writes the reply. Every
// operation, by default, passes the message on to the next link unchanged (and does
// nothing at the end of the chain), so a link overrides only what it handles.
//
// Threading: a chain belongs to one connection and only its thread calls it.

#include <cstdint>
#include <memory>
#include <string>

#include "dbxstream/context.h"
#include "dbxstream/messages.h"
#include "vocabulary/json_text.h"

namespace tavrin {

class TDBXActiveTableReaderList;
class TDBXJSonRow;

class TDBXCommandHandler {
 public:
  // Next, when given, is the link messages pass on to; it is not owned.
  explicit TDBXCommandHandler(TDBXContext& Context, TDBXCommandHandler* Next = nullptr);
  TDBXCommandHandler(const TDBXCommandHandler&) = delete;
  TDBXCommandHandler& operator=(const TDBXCommandHandler&) = delete;
  virtual ~TDBXCommandHandler();

  // --- Operations, in slot order ------------------------------------------------------
  virtual void DbxExecute(TDBXExecuteMessage& Message);
  virtual void DbxPrepare(TDBXPrepareMessage& Message);
  virtual void DbxNextResult(TDBXNextResultMessage& Message);
  virtual void DbxNext(TDBXNextMessage& Message);
  virtual void DbxMoreBlob(TDBXMoreBlobMessage& Message);
  virtual void DbxCommandClose(TDBXCommandCloseMessage& Message);
  virtual void DbxReaderClose(TDBXReaderCloseMessage& Message);
  virtual void DbxErrorMessage(TDBXErrorMessage& Message);
  // A row object for parameter values, owned by the caller. The base raises TDBXError
  // code 30; the output handler makes one over the connection's row buffer.
  virtual std::unique_ptr<TDBXJSonRow> CreateDbxRow();
  // Closes every open table of this handler.
  virtual void ClearResources();
  virtual std::int32_t GetCommandHandle() const { return FCommandHandle; }
  virtual void SetCommandHandle(std::int32_t Handle) { FCommandHandle = Handle; }

  // --- Shared state -------------------------------------------------------------------
  TDBXContext& DbxContext() const { return FDbxContext; }
  // The handler's open tables, created on first use and freed with the handler.
  TDBXActiveTableReaderList& ActiveStreamerRowList();
  // The tables open on this handler (parameter rows not counted); creates nothing.
  std::size_t OpenTableCount() const;
  TDBXCommandHandler* NextHandler() const { return FNextHandler; }

 protected:
  // Makes Next the next link and frees it with this handler.
  void SetNextOwnedHandler(std::unique_ptr<TDBXCommandHandler> Next);
  // Frees the owned next link now (before members it may still use are freed).
  void FreeNextHandler();

 private:
  std::int32_t FCommandHandle = -1;
  TDBXContext& FDbxContext;
  std::unique_ptr<TDBXActiveTableReaderList> FActiveStreamerRowList;
  TDBXCommandHandler* FNextHandler;
  std::unique_ptr<TDBXCommandHandler> FNextOwnedHandler;
};

class TDBXConnectionHandler : public TDBXCommandHandler {
 public:
  // Next, when given, is the next link; this handler owns it.
  TDBXConnectionHandler(TDBXContext& Context, std::unique_ptr<TDBXConnectionHandler> Next);

  // --- Operations, in slot order after those of TDBXCommandHandler --------------------
  virtual void DbxConnect(TDBXConnectMessage& Message);
  virtual void DbxDisconnect(TDBXDisconnectMessage& Message);
  virtual void DbxTxBegin(TDBXTxBeginMessage& Message);
  virtual void DbxTxEnd(TDBXTxEndMessage& Message);
  virtual void DbxVendorProperty(TDBXVendorPropertyMessage& Message);
  // Called once when the chain is built, before the first request.
  virtual void DbxOpen();
  // The command handler of the message's command (a new one for a negative handle).
  // By default the next link's answer, or this handler at the end of the chain.
  virtual TDBXCommandHandler* AcquireCommandHandler(TDBXCommandMessage& Message);
  // Asked before each request is read; false ends request handling. By default the
  // next link's answer, or true.
  virtual bool DbxBeforeRequest();
  // By default the next link's answer, or empty.
  virtual std::u16string GetProductName();
  // Beyond the slots: a metadata request's JSON, which replaces the invocation metadata
  // of the current thread. By default passed on; dropped at the end of the chain.
  virtual void DbxInvocationMetadata(TJSONValue Metadata);

  // A connection has no command handle: both raise TDBXError code 30.
  std::int32_t GetCommandHandle() const override;
  void SetCommandHandle(std::int32_t Handle) override;

  TDBXConnectionHandler* NextConnectionHandler() const { return FNextConnectionHandler; }

 private:
  TDBXConnectionHandler* FNextConnectionHandler;
};

}  // namespace tavrin
