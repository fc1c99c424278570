#pragma once
// TDBXClientConnection: the client's end of one DBX connection, over any byte channel.
// Each call writes one request, flushes it and, when the request has a reply, reads
// that reply whole before returning, so the stream is always between replies when a
// call ends. An error reply from the server is raised as TDBXError with the server's
// code and message, and the connection stays usable for the next request.
//
// The filter probe that may open a TCP connection belongs to the socket layer and is
// done before this object sees the channel.
//
// Threading: one connection is used by one thread at a time; nothing here locks.
// Errors: TDBXError for error replies, malformed replies (code 2, after which the
// stream is no longer in step) and a channel that delivers nothing ("Read error",
// code 1); whatever the channel's Write raises.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbxstream/channel.h"
#include "client/table.h"
#include "dbxstream/context.h"
#include "dbxstream/messages.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/row_buffer.h"
#include "vocabulary/stream.h"
#include "vocabulary/value_type.h"

namespace tavrin {

// A command handle that asks the server for a new command.
inline constexpr std::int32_t kNewCommandHandle = -1;

struct TDBXConnectReply {
  std::int32_t ConnectionHandle = 0;
  std::u16string ProductName;
  std::int32_t ProtocolVersion = 0;
};

struct TDBXPrepareReply {
  std::int32_t CommandHandle = 0;
  // The command's parameters in ordinal order, as the server described them.
  std::vector<TDBXValueType> Parameters;
};

struct TDBXExecuteReply {
  // Negative when the server reported no count.
  std::int64_t RowsAffected = -1;
  // Present only when the server described the parameters again (their types changed).
  std::optional<std::vector<TDBXValueType>> Parameters;
  // True when the reply carried the parameter row: ParameterRow() then holds it, every
  // parameter in ordinal order, the input ones as nulls.
  bool HasParameterRow = false;
  // The tables of the reply, in the order the server wrote them, each with its first
  // block loaded. They use the connection's codecs, so the connection must outlive them.
  std::vector<std::unique_ptr<TDBXClientTable>> Tables;
};

struct TDBXNextResultReply {
  bool Updateable = false;
  std::int64_t RowsAffected = 0;
  bool HasNextResult = false;
  std::int32_t CommandHandle = -1;
};

class TDBXClientConnection {
 public:
  // The channel must outlive the connection. Codec buffers are BufferSize bytes
  // (limits::kDefaultStreamBufferSize when 0); the parameter row's fill limit is the
  // writer's CalcRowBufferSize. Raises std::invalid_argument for a refused size.
  explicit TDBXClientConnection(TDbxChannel& Channel, std::int32_t BufferSize = 0);

  TDBXClientConnection(const TDBXClientConnection&) = delete;
  TDBXClientConnection& operator=(const TDBXClientConnection&) = delete;

  // The context the reader raises through: install error hooks or trace sinks here.
  TDBXContext& Context() { return FContext; }
  TDBXJSonStreamReader& StreamReader() { return FReader; }
  TDBXJSonStreamWriter& StreamWriter() { return FWriter; }

  // Sends the connection properties; returns what the server answered and keeps the
  // connection handle for Disconnect.
  TDBXConnectReply Connect(const TDBXProperties& Properties);

  // Prepares a command (a new one unless CommandHandle names an open command).
  TDBXPrepareReply Prepare(std::u16string_view CommandType, std::u16string_view CommandText,
                           std::int32_t CommandHandle = kNewCommandHandle);

  // Empties the parameter row for the next Execute and returns it: write the values in
  // ordinal order with the row buffer's writers (a null for each out or return slot).
  // Drops the long values held for the previous execute.
  TDBXRowBuffer& BeginParameters();
  // Keeps the rest of a long value just written into the parameter row (a string or
  // byte write that did not fit inline: the row's TakeOverflowStream) as the value of
  // parameter Ordinal. During the next Execute the server fetches it by more-blob
  // requests, which Execute answers piece by piece. Returns false when the row had no
  // rest to take (the value fitted, or a byte source that cannot tell its size still
  // holds it: hand that source over with the other overload).
  bool HoldLongParameter(std::int32_t Ordinal);
  // Keeps Rest, the unsent part of parameter Ordinal, in the same way; a value already
  // held for Ordinal is replaced.
  void HoldLongParameter(std::int32_t Ordinal, std::unique_ptr<TStream> Rest);
  // The connection's parameter row (client side, codecs attached): the values written
  // since BeginParameters, or the row of the last execute reply.
  TDBXRowBuffer& ParameterRow() { return FParameterRow; }

  // Executes a prepared command, sending the parameter row when BeginParameters was
  // called since the last Execute. Until the reply arrives, every more-blob request of
  // the server is answered with the next piece of the value held for its ordinal; a
  // value is dropped once its last piece is sent. A request for an ordinal with nothing
  // held gets an empty last piece, so that the stream stays in step, and once the reply
  // is read Execute raises "No long value held for parameter N" (code 0): the server
  // received only the inline part of that value. Long values of the returned row are
  // fetched by more-blob requests while they are read, until the command is closed or
  // executed again (reading one after that raises code 4).
  TDBXExecuteReply Execute(std::int32_t CommandHandle);

  // {"method":"next_result",...}: the server's answer on whether more results follow.
  TDBXNextResultReply NextResult(std::int32_t CommandHandle);

  // Closes a command on the server; no reply is read. Long values of the parameter
  // row that belong to it can no longer be fetched.
  void CommandClose(std::int32_t CommandHandle);
  // Closes a table on the server; no reply is read.
  void ReaderClose(std::int32_t RowHandle, std::int32_t CommandHandle);
  void ReaderClose(const TDBXClientTable& Table) {
    ReaderClose(Table.RowHandle(), Table.CommandHandle());
  }
  // Ends the session with the connection handle of the last Connect; no reply. The
  // channel stays open: closing it is the caller's.
  void Disconnect();

 private:
  void ReadPrepareReply(TDBXPrepareReply& Reply);
  void ReadExecuteMember(TDBXExecuteReply& Reply);
  // Reads a server's more-blob request after its ':' and answers it with one stream
  // data object. Returns the request's ordinal when nothing was held for it (the answer
  // was an empty last piece), else nothing.
  std::optional<std::int32_t> AnswerMoreBlob();

  TDBXContext FContext;
  TDBXJSonStreamReader FReader;
  TDBXJSonStreamWriter FWriter;
  TDBXRowBuffer FParameterRow;
  bool FParametersPending = false;
  // The unsent rests of long parameters by ordinal, until BeginParameters or their last
  // piece is sent.
  std::map<std::int32_t, std::unique_ptr<TStream>> FHeldLongParameters;
  std::int32_t FConnectionHandle = 0;
};

}  // namespace tavrin
