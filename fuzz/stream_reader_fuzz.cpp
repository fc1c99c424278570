// Arbitrary bytes as a client's request stream, served the way the request loop reads
// it: method, parameters, the members of prepare and execute requests, row data, skips.
// A reply object from the client side is read now and then too.

#include <vector>

#include "dbxstream/context.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/memory_channel.h"
#include "dbxstream/stream_keywords.h"
#include "dbxstream/stream_tokens.h"
#include "fuzz_input.h"
#include "row_values.h"

using namespace tavrin;

namespace {

void ReadExecuteMembers(TDBXJSonStreamReader& Reader, TDBXRowBuffer& Row) {
  for (int Member = 0; Member < 16; ++Member) {
    Reader.Next(TDBXTokens::ObjectStart);
    Reader.Next(TDBXTokens::StringStart);
    const std::int32_t Code = Reader.ReadStringCode();
    Reader.Next(TDBXTokens::NameSeparator);
    Reader.Next(TDBXTokens::ArrayStart);
    if (Code == TDBXStringCodes::Data) {
      Row.ReadDataBytes();
      fuzz::ReadAllRows(Row, {});
    } else if (Code == TDBXStringCodes::Handle) {
      Reader.ReadInt();
    } else if (Code == TDBXStringCodes::Fields) {
      Reader.ReadInt();
      Reader.NextValueSeparator();
      Reader.ReadBoolean();
      Reader.NextValueSeparator();
      Reader.ReadString();
    }
    Reader.SkipToEndOfObject();
    if (Reader.Next() != TDBXTokens::ValueSeparator) return;
  }
}

void ReadPrepare(TDBXJSonStreamReader& Reader) {
  Reader.ReadInt();
  Reader.NextValueSeparator();
  Reader.ReadBoolean();
  Reader.NextValueSeparator();
  Reader.ReadString();
  Reader.NextValueSeparator();
  Reader.ReadString();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  fuzz::TFuzzInput Input(Data, Size);
  const std::uint8_t Flags = Input.Choice();
  TDBXMemoryChannel Channel(Flags % 5 == 0 ? 0 : 1 + Flags % 23);
  Channel.Feed(Input.Rest());
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 32 + 16 * (Flags >> 4));
  TDBXJSonStreamWriter Writer(Channel, 64);
  Reader.Open();
  Writer.Open();
  TDBXRowBuffer Row;
  Row.SetStreams(&Reader, &Writer);
  Row.SetColumnCount(4);

  for (int Request = 0; Request < 64; ++Request) {
    try {
      if ((Flags & 0x08) != 0 && Request % 3 == 2) {
        Reader.NextResultObjectStart();
        Reader.SkipToEndOfArray();
        continue;
      }
      const std::int32_t Method = Reader.ReadMethod();
      Reader.TakeInvocationMetadata();
      if (Method == TDBXStringCodes::Metadata) continue;
      Reader.ReadParams();
      if (Method == TDBXStringCodes::Prepare) ReadPrepare(Reader);
      if (Method == TDBXStringCodes::Execute) ReadExecuteMembers(Reader, Row);
      if (Method == TDBXStringCodes::Next) {
        Reader.ReadInt();
        Reader.NextValueSeparator();
        Reader.ReadLong();
      }
      Reader.SkipToEndOfObject();
    } catch (const TDBXError&) {
      // The loop answers with an error reply and reads on; with nothing left, it ends.
      if (Channel.PendingBytes() == 0 && !Reader.HasMoreBytes()) break;
    }
  }
  return 0;
}
