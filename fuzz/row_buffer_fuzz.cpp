// Arbitrary bytes as a block of table rows, read back with every value reader; more-blob
// pieces, when a value asks for them, come from the rest of the input.

#include <cstring>

#include "dbxstream/context.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/memory_channel.h"
#include "fuzz_input.h"
#include "row_values.h"

using namespace tavrin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  fuzz::TFuzzInput Input(Data, Size);
  const std::int32_t Columns = 1 + Input.Choice() % 12;
  const std::uint8_t Flags = Input.Choice();
  const auto Kinds = Input.Take(8);
  const auto Block = Input.Take(Input.Rest().size() * (1 + Flags % 4) / 4);

  TDBXMemoryChannel Channel(1 + Flags % 7);
  Channel.Feed(Input.Rest());
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 64);
  TDBXJSonStreamWriter Writer(Channel, 64);
  Reader.Open();
  Writer.Open();

  TDBXRowBuffer Row;
  Row.SetStreams(&Reader, &Writer);
  Row.SetClient((Flags & 0x10) != 0);
  Row.SetBcdFormat((Flags & 0x20) != 0 ? kBcdFormatBigDecimal : kBcdFormatText);
  Row.SetColumnCount(Columns);
  Row.SetCommandHandle(0);
  Row.MinBufferSize(static_cast<std::int32_t>(Block.size()));
  if (!Block.empty()) std::memcpy(Row.MutableBuffer().data(), Block.data(), Block.size());
  Row.ReadSize(static_cast<std::int32_t>(Block.size()));
  fuzz::ReadAllRows(Row, Kinds);
  return 0;
}
