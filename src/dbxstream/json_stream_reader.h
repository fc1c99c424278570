#pragma once
// Pulls bytes from the connection's channel into one fixed read buffer and tokenises
// them. Does no I/O of its own beyond the channel's Read.
//
// Threading: a reader belongs to one connection and is used only by its thread.
// Errors: every fault is raised as TDBXError through the context. "Read error" (code 1)
// when the channel delivers nothing; code 2 for malformed input and refused sizes, in
// which case the rest of the buffered input is dropped first, so the next read starts
// with fresh bytes from the channel.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbxstream/channel.h"
#include "dbxstream/context.h"
#include "dbxstream/stream_tokens.h"
#include "vocabulary/client_memory.h"
#include "vocabulary/json_text.h"

namespace tavrin {

class TDBXJSonStreamReader {
 public:
  // Allocates the buffers: the read buffer of BufferSize bytes
  // (limits::kDefaultStreamBufferSize when 0). Channel and context must outlive the
  // reader. Raises std::invalid_argument for a negative size.
  TDBXJSonStreamReader(TDbxChannel& Channel, TDBXContext& Context, std::int32_t BufferSize);

  TDBXJSonStreamReader(const TDBXJSonStreamReader&) = delete;
  TDBXJSonStreamReader& operator=(const TDBXJSonStreamReader&) = delete;

  // Forgets any buffered input (positions back to -1).
  void Open();
  // Gives back the room of string buffers that a long string made large; the next long
  // string grows them again. Called between requests.
  void ReleaseLargeStrings();
  // Does nothing: the buffers live as long as the reader.
  void Close() {}
  // True exactly when the channel reports its connection lost.
  bool ConnectionLost() const { return FChannel.ConnectionLost(); }

  // --- Tokens --------------------------------------------------------------------------
  // Skips whitespace, consumes one token and returns its kind (TDBXTokens). For a
  // number only its first byte is consumed; read numbers with ReadInt/ReadLong from
  // the position before them instead.
  std::int32_t Next();
  // Reads a token; raises the expected-token error when its kind is not Expected.
  void Next(std::int32_t Expected);
  void NextValueSeparator() { Next(TDBXTokens::ValueSeparator); }
  // True while unconsumed bytes remain in the read buffer.
  bool HasMoreBytes() const noexcept { return FReadPosition < FReadLastPosition; }

  // --- Values --------------------------------------------------------------------------
  // A plain integer literal starting right after the current position (no whitespace
  // allowed before it). An immediate ']' gives 0 and is left unread. Anything that is
  // not an optional sign and digits, or that does not fit, raises code 2.
  std::int32_t ReadInt();
  std::int64_t ReadLong();
  std::int32_t ReadShort() { return ReadInt(); }
  // Reads a token: true or false; any other kind raises the expected-token error.
  bool ReadBoolean();
  // Reads a string (skipping up to its opening quote unless the last token was one),
  // decodes escapes and returns it; the reference stays valid until the next read.
  // Bytes 0x80..0xFF become the code points of the same value.
  const std::u16string& ReadString();
  // Reads a string as ReadString does, into Text (its content replaced), whose room
  // Hold counts: a long string is handed over with its charge, not copied.
  // GetStringValue() is not that string afterwards.
  void ReadString(std::u16string& Text, TClientMemoryHold& Hold);
  // Reads a string and returns its code from the keyword table (TDBXStringCodes); no
  // string is built, and GetStringValue() gives "null" afterwards.
  std::int32_t ReadStringCode();
  // Copies Buffer.size() raw bytes that start right after the current position,
  // refilling as needed; leaves the position on the last of them.
  void ReadDataBytes(std::span<std::uint8_t> Buffer);
  // Floating-point values and single bytes never travel as text: these read nothing.
  float ReadFloat() noexcept { return 0; }
  double ReadDouble() noexcept { return 0; }
  std::int8_t ReadByte() noexcept { return 0; }

  const std::u16string& GetStringValue() const noexcept { return FStringValue; }
  bool GetBooleanValue() const noexcept { return FBooleanValue; }
  std::int32_t GetStringCode() const noexcept { return FStringCode; }
  std::int32_t GetToken() const noexcept { return FToken; }

  // --- Requests ------------------------------------------------------------------------
  // Reads the opening of a request up to its first member's value: for "method" the
  // method name's string code; for "metadata" TDBXStringCodes::Metadata, after reading
  // and parsing the JSON text (take it with TakeInvocationMetadata). The position is
  // then on the method name's closing quote (GetStringValue() gives the name) or on the
  // last metadata byte. Metadata must lie within the read buffer; a negative count
  // raises code 2, one above limits::kMaxDataBlockBytes or beyond the buffer a
  // TDBXMidValueRefusal (code 2) naming the cap.
  std::int32_t ReadMethod();
  // The metadata parsed by the last ReadMethod, handed over once; empty when none.
  std::optional<TJSONValue> TakeInvocationMetadata();
  // Reads the "params" member name and its ':' and returns the kind of the token after
  // it (ArrayStart for a well-formed request).
  std::int32_t ReadParams();
  // Read tokens until the object (array) the caller is inside is closed. Raw data
  // blocks are not recognised: read them with ReadDataBytes first.
  void SkipToEndOfObject();
  void SkipToEndOfArray();

  // --- Results (client side) -----------------------------------------------------------
  // Consumes the opening of a reply up to the value of its member: '{' (after an
  // optional signature block), "result" and ':'. For an error reply, reads the error
  // body, which raises it.
  void NextResultObjectStart();
  // As NextResultObjectStart, but a peer's more-blob request ({"more_blob":[...]}) may
  // stand where the reply is awaited: the peer then wants the next piece of a long value
  // before it replies. Returns TDBXStringCodes::Result or TDBXStringCodes::MoreBlob,
  // with the position after the ':' either way.
  std::int32_t NextResultOrMoreBlobObjectStart();
  // Reads the members of an error object ("code", "message", "error", others ignored)
  // through its closing '}' and raises TDBXError with that code (default 2) and message
  // (default "unknown error"). Reads nothing after that '}'.
  [[noreturn]] void ReadErrorBody();
  // Reads a whole {"result":[int]} reply and returns the value.
  std::int32_t ReadIntResultObject();

 private:
  std::uint8_t NextByte();       // consumes and returns the next byte, refilling
  std::uint8_t SkipWhitespace(); // consumes whitespace, returns the first other byte
  void StepBack() noexcept { --FReadPosition; }
  void Refill();
  void MatchLetters(std::string_view Letters, std::string_view ExpectedText);
  void ReadStringBody();  // into FCharBuffer, up to the unescaped closing quote
  // The filled pieces of a long string being read, in order.
  struct TLongStringPieces {
    std::vector<std::u16string> Pieces;
    std::size_t Units = 0;  // in Pieces
  };
  void ReadStringBody(std::u16string& Text);  // into Text, which ends sized to the string
  // More room for a string, within the cap: Text doubles, or past a piece's size it
  // becomes a piece of Long and starts again empty (Count back to 0).
  void GrowText(std::u16string& Text, TLongStringPieces& Long, std::size_t& Count);
  void JoinPieces(std::u16string& Text, TLongStringPieces& Long);
  TClientMemoryHold& HoldOf(const std::u16string& Text);  // the charge of a string buffer
  void SkipStringBody();
  std::size_t CollectNumber();  // number characters into FByteBuffer; returns count
  // A plain integer literal within -(PositiveLimit + 1)..PositiveLimit.
  std::int64_t ReadInteger(std::uint64_t PositiveLimit);
  void SkipToEnd(std::int32_t OpenKind, std::int32_t CloseKind);
  void ReadSignatureBlock();
  // Both reply openings; AcceptMoreBlob admits a more-blob request too.
  std::int32_t ReadReplyObjectStart(bool AcceptMoreBlob);
  std::uint32_t ReadBigEndian32();

  std::string Dump() const;
  // Drops the rest of the buffered input and raises a code-2 error; the message gets
  // " at position:  " (or the given text), the position, a line feed and the dump.
  [[noreturn]] void FailInput(const std::string& Message);
  // A value past its cap while its bytes are still arriving: drops what is buffered and
  // raises TDBXMidValueRefusal (code LimitExceeded) with Message, quoting none of them.
  [[noreturn]] void RefuseValue(const std::string& Message);
  [[noreturn]] void FailExpectedToken(std::int32_t Expected, std::int32_t Found);
  [[noreturn]] void FailExpectedText(std::string_view Expected);

  TDbxChannel& FChannel;
  TDBXContext& FContext;

  std::int32_t FToken = 0;
  std::int32_t FStringCode = 1;
  std::u16string FStringValue;
  bool FBooleanValue = false;

  std::u16string FCharBuffer;
  std::size_t FCharBufferCount = 0;
  // The two string buffers' room, against the connection served.
  TClientMemoryHold FStringValueHold;
  TClientMemoryHold FCharBufferHold;
  std::vector<std::uint8_t> FByteBuffer;

  std::int32_t FReadBufferSize;
  std::vector<std::uint8_t> FReadBuffer;
  std::int32_t FReadPosition = -1;
  std::int32_t FReadLastPosition = -1;

  std::optional<TJSONValue> FInvocationMetadata;
};

}  // namespace tavrin
