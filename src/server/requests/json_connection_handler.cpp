#include "server/requests/json_connection_handler.h"

namespace tavrin {

TDBXJSonConnectionHandler::TDBXJSonConnectionHandler(TDBXContext& Context,
                                                     TDBXJSonStreamReader& Reader,
                                                     TDBXJSonStreamWriter& Writer,
                                                     TDBXRowBuffer& RowBuffer,
                                                     std::unique_ptr<TDBXConnectionHandler> Next,
                                                     bool UsesDbxParameters)
    : TDBXConnectionHandler(Context, std::move(Next)),
      FDbxStreamReader(Reader),
      FDbxStreamWriter(Writer),
      FDbxRowBuffer(RowBuffer),
      FUsesDbxParameters(UsesDbxParameters) {}

TDBXJSonConnectionHandler::~TDBXJSonConnectionHandler() { FreeNextHandler(); }

void TDBXJSonConnectionHandler::AdoptStreamers(TDBXJSonStreamers Streamers) {
  FOwnedStreamers = std::move(Streamers);
}

}  // namespace tavrin
