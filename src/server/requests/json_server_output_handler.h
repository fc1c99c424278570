#pragma once
// TDBXJSonServerOutputConnectionHandler: the last link of a connection's chain. It gets
// each message back with the results filled in and writes the reply, flushing it
// whole. Requests without a reply (disconnect, command close, open) write nothing.

#include <memory>

#include "server/requests/json_connection_handler.h"
#include "server/requests/table_streamer.h"

namespace tavrin {

class TDBXJSonServerOutputConnectionHandler : public TDBXJSonConnectionHandler {
 public:
  // The protocol version this server speaks, the last value of a connect reply.
  static constexpr std::int32_t kProtocolVersion = 2;
  // Put before the built error text of every error reply.
  static constexpr char kRemoteErrorPrefix[] = "Remote error: ";

  // Uses, and does not own, the codecs and row buffer.
  TDBXJSonServerOutputConnectionHandler(TDBXContext& Context, TDBXJSonStreamReader& Reader,
                                        TDBXJSonStreamWriter& Writer, TDBXRowBuffer& RowBuffer);

  // {"result":[connectionHandle,productName,2]}
  void DbxConnect(TDBXConnectMessage& Message) override;
  // {"result":[{"handle":[h]},{"fields":[0,false]}(,parameters object)]}
  void DbxPrepare(TDBXPrepareMessage& Message) override;
  // {"result":[(rows)(,parameters)(,row data)(,tables)]} then the tables' first blocks.
  // Raises TDBXError (TDBXTableErrors) when the reply has tables but the message no
  // open-table list.
  void DbxExecute(TDBXExecuteMessage& Message) override;
  // The next block of the table, with no envelope. Raises TDBXError (TDBXTableErrors)
  // when no table is open under the row handle or its last block was sent.
  void DbxNext(TDBXNextMessage& Message) override;
  // {"result":[stream data object]} from the message's stream, or else from the long
  // value kept for the row handle, row and ordinal; raises TDBXError when none exists.
  void DbxMoreBlob(TDBXMoreBlobMessage& Message) override;
  // {"result":[false,0,false,-1]}, whatever the message holds.
  void DbxNextResult(TDBXNextResultMessage& Message) override;
  void DbxTxBegin(TDBXTxBeginMessage& Message) override;
  void DbxTxEnd(TDBXTxEndMessage& Message) override;
  void DbxVendorProperty(TDBXVendorPropertyMessage& Message) override;
  // Drops what is still unsent of the failed reply and writes
  // {"error":{"name":..,"code":..,"message":"Remote error: .."} -- the outer object
  // stays open, as clients expect.
  void DbxErrorMessage(TDBXErrorMessage& Message) override;
  // Writes nothing; frees the table named by the message. Raises TDBXError
  // (TDBXTableErrors) when no table is open under the handle.
  void DbxReaderClose(TDBXReaderCloseMessage& Message) override;
  void DbxCommandClose(TDBXCommandCloseMessage&) override {}
  void DbxDisconnect(TDBXDisconnectMessage&) override {}
  void DbxOpen() override {}

  std::unique_ptr<TDBXJSonRow> CreateDbxRow() override;
  bool DbxBeforeRequest() override { return true; }
  std::u16string GetProductName() override { return {}; }
  TDBXCommandHandler* AcquireCommandHandler(TDBXCommandMessage&) override { return this; }

 private:
  void WriteArrayAndObjectEnd();
  void WriteParameters(TDBXCommandMessage& Message, bool& Written);
  void WriteParameterRow(TDBXRowBuffer& Row, bool& Written);

  TDBXTableStreamer FStreamer;
};

}  // namespace tavrin
