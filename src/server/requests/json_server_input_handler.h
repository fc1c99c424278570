#pragma once
// TDBXJSonServerInputConnectionHandler: the first link of a connection's chain and its
// request loop. It reads each request into the message object of its kind, hands the
// message to the next link (the server's connection handler, which passes it on to the
// output handler for the reply), and turns every error raised while a request is read
// or handled into an error reply through DbxErrorMessage.
//
// Threading: the connection's thread only.

#include <memory>

#include "dbxstream/messages.h"
#include "server/requests/json_connection_handler.h"

namespace tavrin {

class TDBXJSonServerInputConnectionHandler : public TDBXJSonConnectionHandler {
 public:
  // Owns the codecs, the row buffer and Next (with the rest of the chain). Next must
  // not be null.
  TDBXJSonServerInputConnectionHandler(TDBXContext& Context, TDBXJSonStreamers Streamers,
                                       std::unique_ptr<TDBXConnectionHandler> Next);

  // Serves requests until request handling ends, then closes the codecs; returns false.
  // Raises TDBXError code 30 (the read failure nested inside) when a method cannot be
  // read, and a TDBXMidValueRefusal, after its error reply, when a value was refused
  // while its bytes were still arriving; the codecs are closed then too.
  bool HandleProtocol();
  // Serves one request and goes on while unread bytes remain buffered. Returns true
  // while requests are still handled; once handling ended it closes the codecs and
  // reads nothing more. Raises like HandleProtocol (without closing).
  bool HandleNonBlockingProtocol();
  // Serves the request whose method was just read. Returns false when request handling
  // ends: after a disconnect, a refusal by DbxBeforeRequest, or an error reply that
  // could not be written. Raises only a TDBXMidValueRefusal, once its error reply is
  // out.
  bool HandleDbxRequest();
  // Closes the codecs.
  void Close();

  bool HandleRequests() const { return FHandleRequests; }

  // Attaches the codecs to the row buffer, then lets the rest of the chain open.
  void DbxOpen() override;

 private:
  void ReadMethodOrFail();
  // Gives back the room long strings and command texts took. Called between requests.
  void ReleaseLargeTexts();
  void ServeRequest(std::int32_t Method);
  bool ReportError(std::exception_ptr Error);
  // Runs a request's reading step; on failure drops the rest of the buffered input,
  // since the stream's place within the request is lost.
  template <typename TRead>
  void Read(TRead&& ReadStep);

  // Reads the whole connect request; properties past the caps are read but not kept, and
  // make FConnectOverCaps true.
  void ReadConnect();
  void ReadPrepare();
  void ReadExecute();
  void ReadExecuteMember();
  void ReadCommandClose();
  void ReadReaderClose();
  void ReadNext();
  void ReadMoreBlob();
  void ReadNextResult();
  void ReadTxBegin();
  void ReadTxEnd();
  void ReadVendorProperty();
  // Hands a prepare or execute on; a disconnect first when no connect succeeded.
  void HandCommandOn(TDBXCommandMessage& Message);

  TDBXConnectMessage FConnectMessage;
  TDBXDisconnectMessage FDisconnectMessage;
  TDBXPrepareMessage FPrepareMessage;
  TDBXExecuteMessage FExecuteMessage;
  TDBXCommandCloseMessage FCommandCloseMessage;
  TDBXReaderCloseMessage FReaderCloseMessage;
  TDBXNextMessage FNextMessage;
  TDBXNextResultMessage FNextResultMessage;
  TDBXMoreBlobMessage FMoreBlobMessage;
  TDBXTxBeginMessage FTxBeginMessage;
  TDBXTxEndMessage FTxEndMessage;
  TDBXVendorPropertyMessage FVendorProperMessage;
  TDBXErrorMessage FErrorMessage;
  bool FHandleRequests = true;
  bool FConnectOverCaps = false;
  TDBXConnectionHandler& FNextHandler;
};

}  // namespace tavrin
