#pragma once
// TDBXJSonConnectionHandler: a link that reads or writes the connection's stream, with
// the codecs and the row buffer they share. The input handler owns them; the output
// handler only uses them.

#include <memory>

#include "dbxstream/command_handler.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/row_buffer.h"

namespace tavrin {

// The codecs and row buffer of one connection.
struct TDBXJSonStreamers {
  std::unique_ptr<TDBXJSonStreamReader> Reader;
  std::unique_ptr<TDBXJSonStreamWriter> Writer;
  std::unique_ptr<TDBXRowBuffer> RowBuffer;
};

class TDBXJSonConnectionHandler : public TDBXConnectionHandler {
 public:
  // Uses the codecs and row buffer given; they must outlive the handler unless it takes
  // them over with AdoptStreamers.
  TDBXJSonConnectionHandler(TDBXContext& Context, TDBXJSonStreamReader& Reader,
                            TDBXJSonStreamWriter& Writer, TDBXRowBuffer& RowBuffer,
                            std::unique_ptr<TDBXConnectionHandler> Next, bool UsesDbxParameters);
  // Frees the rest of the chain first, while the codecs it may still use are alive.
  ~TDBXJSonConnectionHandler() override;

  bool UsesDbxParameters() const { return FUsesDbxParameters; }
  // True once the handler took over its codecs and row buffer.
  bool OwnsStreamers() const { return FOwnedStreamers.Reader != nullptr; }

 protected:
  // Takes over the codecs and row buffer passed to the constructor.
  void AdoptStreamers(TDBXJSonStreamers Streamers);

  TDBXJSonStreamReader& StreamReader() const { return FDbxStreamReader; }
  TDBXJSonStreamWriter& StreamWriter() const { return FDbxStreamWriter; }
  TDBXRowBuffer& RowBuffer() const { return FDbxRowBuffer; }

 private:
  TDBXJSonStreamers FOwnedStreamers;
  TDBXJSonStreamReader& FDbxStreamReader;
  TDBXJSonStreamWriter& FDbxStreamWriter;
  TDBXRowBuffer& FDbxRowBuffer;
  bool FUsesDbxParameters;
};

}  // namespace tavrin
