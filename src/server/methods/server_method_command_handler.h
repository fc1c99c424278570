#pragma once
// TDSServerMethodCommandHandler: one open command of a connection that runs a server
// method. It prepares the method its text names, runs it at each execute (after the
// session allowed the call), and keeps the tables its executions left open for the
// client's next, more-blob and reader-close requests.
//
// Threading: a command belongs to one connection; only its thread calls it.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "dbxstream/command_handler.h"
#include "dbxstream/json_row.h"
#include "server/methods/method_dispatcher.h"
#include "vocabulary/client_memory.h"

namespace tavrin {

class TDSServerConnectionHandler;

namespace TDSCommandErrors {
inline constexpr char kNotAuthorized[] = "%s is not authorized to perform the requested action.";
}  // namespace TDSCommandErrors

class TDSServerMethodCommandHandler : public TDBXCommandHandler {
 public:
  // ServerCon is the connection the command belongs to; Next is the output side's
  // command handler, which writes the replies. Both must outlive the command.
  TDSServerMethodCommandHandler(TDBXContext& Context, TDSServerConnectionHandler& ServerCon,
                                TDBXCommandHandler& Next);
  // Frees the server method (an "Invocation" instance goes with it) and the open tables.
  ~TDSServerMethodCommandHandler() override;

  // Prepares the method the message's text names (replacing any previous one) and puts
  // its parameters into the message. Raises what preparing raises; the command then
  // has no method.
  void DbxPrepare(TDBXPrepareMessage& Message) override;
  // Closes the tables of the previous execution, prepares when there is no method yet,
  // checks with the thread's session that the call is allowed (TDBXError code 113 when
  // it is not), runs the method and hands its out values and tables to the reply.
  void DbxExecute(TDBXExecuteMessage& Message) override;
  // These give the message the command's open tables and pass it on; an "Invocation"
  // instance is destroyed once no table is left unread.
  void DbxNext(TDBXNextMessage& Message) override;
  void DbxMoreBlob(TDBXMoreBlobMessage& Message) override;
  void DbxReaderClose(TDBXReaderCloseMessage& Message) override;

  bool HasExecuted() const { return FHasExecuted; }
  bool HasInvocationLifeCycle() const { return FHasInvocationLifeCycle; }
  // The prepared method, or null before the first prepare.
  IDSPreparedServerMethod* ServerMethod() const { return FServerMethod.get(); }

 private:
  void PrepareMethod(TDBXCommandMessage& Message);
  void Authorize() const;
  // For an "Invocation" class: destroys the instance once no table is left unread.
  void ReleaseInstanceWhenRead();

  TDSServerConnectionHandler& FServerCon;
  std::unique_ptr<IDSPreparedServerMethod> FServerMethod;
  // The row the parameter values arrive in and the out values leave in.
  std::unique_ptr<TDBXJSonRow> FRow;
  // Long out values of the last execution that did not fit in the row, by ordinal,
  // until the client has fetched them whole; their bytes count against the connection.
  struct TLongOutValue {
    std::shared_ptr<TStream> Rest;
    TClientMemoryHold Hold;
  };
  std::map<std::int32_t, TLongOutValue> FLongOutValues;
  bool FHasInvocationLifeCycle = false;
  bool FHasExecuted = false;
};

}  // namespace tavrin
