#include "dbxstream/json_row.h"

#include "dbxstream/json_stream_writer.h"

namespace tavrin {

std::unique_ptr<TDBXJSonRow> MakeTableRow(TDBXJSonStreamReader& Reader,
                                          TDBXJSonStreamWriter& Writer, bool Client,
                                          std::int32_t CommandHandle, std::int32_t BcdFormat) {
  auto Buffer = std::make_unique<TDBXRowBuffer>();
  Buffer->SetStreams(&Reader, &Writer);
  Buffer->SetClient(Client);
  Buffer->SetCommandHandle(CommandHandle);
  Buffer->SetBcdFormat(BcdFormat);
  Buffer->MinBufferSize(Writer.CalcRowBufferSize());
  return std::make_unique<TDBXJSonRow>(std::move(Buffer));
}

}  // namespace tavrin
