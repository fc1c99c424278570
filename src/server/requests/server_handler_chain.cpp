#include "server/requests/server_handler_chain.h"

#include <algorithm>
#include <stdexcept>

#include "server/requests/json_server_output_handler.h"

namespace tavrin {

std::unique_ptr<TDBXJSonServerProtocolHandler> BuildServerHandlerChain(
    TDbxChannel& Channel, TDBXContext& Context, std::int32_t BufferKBSize,
    const TDBXMiddleLinkFactory& MakeMiddleLink, std::unique_ptr<IDBXSessionBinder> Session) {
  const std::int32_t BufferSize =
      std::clamp(BufferKBSize, defaults::kMinBufferKBSize, defaults::kMaxBufferKBSize) * defaults::kBytesPerKB;
  TDBXJSonStreamers Streamers;
  Streamers.Reader = std::make_unique<TDBXJSonStreamReader>(Channel, Context, BufferSize);
  Streamers.Writer = std::make_unique<TDBXJSonStreamWriter>(Channel, BufferSize);
  Streamers.Reader->Open();
  Streamers.Writer->Open();
  Streamers.RowBuffer = std::make_unique<TDBXRowBuffer>();
  Streamers.RowBuffer->MinBufferSize(Streamers.Writer->CalcRowBufferSize());
  Streamers.RowBuffer->SetClient(false);

  auto Output = std::make_unique<TDBXJSonServerOutputConnectionHandler>(
      Context, *Streamers.Reader, *Streamers.Writer, *Streamers.RowBuffer);
  std::unique_ptr<TDBXConnectionHandler> Middle = MakeMiddleLink(Context, Channel, std::move(Output));
  if (!Middle) throw std::invalid_argument("the middle link factory made no handler");
  auto Input = std::make_unique<TDBXJSonServerInputConnectionHandler>(
      Context, std::move(Streamers), std::move(Middle));
  Input->DbxOpen();
  return std::make_unique<TDBXJSonServerProtocolHandler>(std::move(Input), std::move(Session));
}

}  // namespace tavrin
