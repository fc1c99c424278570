#pragma once
// Builds the handler chain of one accepted connection: the codecs over its channel, the
// shared row buffer, the output handler, the middle link the caller makes (the server's
// connection handler), the input handler and the protocol handler that owns them all.

#include <cstdint>
#include <functional>
#include <memory>

#include "dbxstream/channel.h"
#include "dbxstream/context.h"
#include "server/requests/json_server_protocol_handler.h"
#include "vocabulary/defaults.h"

namespace tavrin {

// Makes the middle link of the chain around the output handler, which it must own and
// pass every message on to. May raise; nothing is left behind then.
using TDBXMiddleLinkFactory = std::function<std::unique_ptr<TDBXConnectionHandler>(
    TDBXContext& Context, TDbxChannel& Channel,
    std::unique_ptr<TDBXConnectionHandler> OutputHandler)>;

// Builds and opens the chain; the caller owns the result. Codec buffers are
// BufferKBSize KB (kept within the range of vocabulary/defaults.h); the row buffer's fill
// limit is the writer's CalcRowBufferSize. Channel and Context must outlive the result.
// Raises what building raises (the channel is the caller's to close then).
std::unique_ptr<TDBXJSonServerProtocolHandler> BuildServerHandlerChain(
    TDbxChannel& Channel, TDBXContext& Context, std::int32_t BufferKBSize,
    const TDBXMiddleLinkFactory& MakeMiddleLink, std::unique_ptr<IDBXSessionBinder> Session);

}  // namespace tavrin
