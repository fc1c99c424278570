#include "dbxstream/json_stream_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "dbxstream/latin1_runs.h"
#include "dbxstream/stream_keywords.h"
#include "dbxstream/stream_sequences.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

// Bytes the reader looks for.
constexpr std::uint8_t kTab = 9;
constexpr std::uint8_t kLineFeed = 10;
constexpr std::uint8_t kCarriageReturn = 13;
constexpr std::uint8_t kBlank = ' ';
constexpr std::uint8_t kUnicodeEscapeLetter = 'u';
constexpr std::uint8_t kPlus = '+';
constexpr std::uint8_t kMinus = '-';
constexpr std::uint8_t kFullStop = '.';
constexpr std::uint8_t kExponentUpper = 'E';
constexpr std::uint8_t kExponentLower = 'e';
constexpr std::uint8_t kDigitZero = '0';
constexpr std::uint8_t kDigitNine = '9';
constexpr std::uint8_t kAfterDigits = ':';       // hex digit below this: byte - '0'
constexpr std::uint8_t kLastUpperHexDigit = 'F'; // not above this: byte - 'A' + 10
constexpr int kUpperHexBias = 'A' - 10;
constexpr int kLowerHexBias = 'a' - 10;
constexpr int kHexDigitsPerEscape = 4;
constexpr std::uint8_t kSignatureMark = 0xB7;    // introduces a reply's signature block
constexpr std::uint32_t kSignatureHeaderBytes = 8;
constexpr std::uint8_t kFirstPrintable = 32;
constexpr std::uint8_t kLastPrintable = 126;

// Letters after the first of each literal and member name.
constexpr std::string_view kTrueRest = "rue";
constexpr std::string_view kFalseRest = "alse";
constexpr std::string_view kNullRest = "ull";
constexpr std::string_view kMethodFirst = "m";
constexpr std::string_view kMethodCommon = "et";      // shared by method and metadata
constexpr std::uint8_t kMethodBranch = 'h';
constexpr std::uint8_t kMetadataBranch = 'a';
constexpr std::string_view kMethodRest = "od\"";
constexpr std::string_view kMetadataRest = "data\"";
constexpr std::string_view kParamsName = "params\"";
constexpr std::uint8_t kResultFirst = 'r';
constexpr std::uint8_t kErrorFirst = 'e';
constexpr std::string_view kResultRest = "esult\"";
constexpr std::string_view kErrorRest = "rror\"";
constexpr std::uint8_t kMoreBlobFirst = 'm';
constexpr std::string_view kMoreBlobRest = "ore_blob\"";
constexpr std::u16string_view kCodeMember = u"code";
constexpr std::u16string_view kMessageMember = u"message";
constexpr std::u16string_view kErrorMember = u"error";
constexpr std::u16string_view kNullText = u"null";

// Texts of the errors.
constexpr std::string_view kReadErrorText = "Read error";
constexpr std::string_view kExpectedText = "Expected:  '";
constexpr std::string_view kFoundText = "' found:  '";
constexpr std::string_view kQuotedAtPositionText = "' at position:  ";
constexpr std::string_view kAtPositionText = " at position:  ";
constexpr std::string_view kUnexpectedByteText = "Unexpected byte";
constexpr std::string_view kUnsupportedProtocolText = "Server uses unsupported streaming protocol";
constexpr std::string_view kDefaultErrorMessage = "unknown error";
constexpr std::int32_t kDefaultErrorCode = TDBXErrorCodes::InvalidInput;
constexpr std::string_view kQuotedMethod = "\"method\"";
constexpr std::string_view kQuotedMetadata = "\"metadata\"";
constexpr std::string_view kQuotedResult = "\"result\"";
constexpr std::string_view kQuotedError = "\"error\"";
constexpr std::string_view kQuotedMoreBlob = "\"more_blob\"";
constexpr std::string_view kColonText = ":";
constexpr std::string_view kCommaText = ",";
constexpr std::string_view kQuoteText = "\"";
constexpr std::string_view kArrayStartText = "[";
constexpr std::string_view kEscapeMark = "#";  // a dumped byte outside 32..126

bool IsWhitespace(std::uint8_t Byte) {
  return Byte == kBlank || Byte == kTab || Byte == kLineFeed || Byte == kCarriageReturn;
}

bool IsNumberByte(std::uint8_t Byte) {
  return (Byte >= kDigitZero && Byte <= kDigitNine) || Byte == kPlus || Byte == kMinus ||
         Byte == kFullStop || Byte == kExponentUpper || Byte == kExponentLower;
}

// The kind of the token that starts with Byte.
std::int32_t KindOfFirstByte(std::uint8_t Byte) {
  switch (Byte) {
    case sequences::kObjectStart: return TDBXTokens::ObjectStart;
    case sequences::kObjectEnd: return TDBXTokens::ObjectEnd;
    case sequences::kArrayStart: return TDBXTokens::ArrayStart;
    case sequences::kArrayEnd: return TDBXTokens::ArrayEnd;
    case sequences::kTrue[0]: return TDBXTokens::True;
    case sequences::kFalse[0]: return TDBXTokens::False;
    case sequences::kNull[0]: return TDBXTokens::Null;
    case kQuote: return TDBXTokens::StringStart;
    case sequences::kNameSeparator: return TDBXTokens::NameSeparator;
    case sequences::kValueSeparator: return TDBXTokens::ValueSeparator;
    default: return TDBXTokens::Number;
  }
}

// Hex digits are not validated: a stray byte gives a stray value, never a fault.
int HexDigitValue(std::uint8_t Byte) {
  if (Byte < kAfterDigits) return Byte - kDigitZero;
  if (Byte <= kLastUpperHexDigit) return Byte - kUpperHexBias;
  return Byte - kLowerHexBias;
}

bool Equals(std::span<const char16_t> Chars, std::u16string_view Word) {
  return Chars.size() == Word.size() && std::equal(Chars.begin(), Chars.end(), Word.begin());
}

}  // namespace

TDBXJSonStreamReader::TDBXJSonStreamReader(TDbxChannel& Channel, TDBXContext& Context,
                                           std::int32_t BufferSize)
    : FChannel(Channel),
      FContext(Context),
      FCharBuffer(static_cast<std::size_t>(limits::kCharBufferInitialUnits), u'\0'),
      FByteBuffer(static_cast<std::size_t>(
          std::max(limits::kByteBufferInitialBytes, limits::kMaxNumberBytes))),
      FReadBufferSize(BufferSize == 0 ? limits::kDefaultStreamBufferSize : BufferSize) {
  if (FReadBufferSize < 0) throw std::invalid_argument("negative read buffer size");
  FReadBuffer.resize(static_cast<std::size_t>(FReadBufferSize));
}

void TDBXJSonStreamReader::ReleaseLargeStrings() {
  const auto Initial = static_cast<std::size_t>(limits::kCharBufferInitialUnits);
  if (FStringValue.capacity() > limits::kKeptStringUnits) {
    std::u16string().swap(FStringValue);
    FStringValueHold.Reset();
  }
  if (FCharBuffer.capacity() > limits::kKeptStringUnits) {
    std::u16string(Initial, u'\0').swap(FCharBuffer);
    FCharBufferCount = 0;
    FCharBufferHold.Reset();
  }
}

void TDBXJSonStreamReader::Open() {
  FReadPosition = -1;
  FReadLastPosition = -1;
  FToken = 0;
  FInvocationMetadata.reset();
}

// --- Bytes ------------------------------------------------------------------------------

void TDBXJSonStreamReader::Refill() {
  const std::int32_t Count = FChannel.Read(FReadBuffer);
  if (Count <= 0) FContext.Error(TDBXErrorCodes::ReadError, std::string(kReadErrorText));
  // A channel cannot place more than it was given room for; never trust it to.
  FReadLastPosition = std::min(Count, FReadBufferSize) - 1;
  FReadPosition = -1;
  if (FContext.IsTracing()) {
    FContext.Trace("read " + std::to_string(FReadLastPosition + 1) + " bytes:" + Dump());
  }
}

std::uint8_t TDBXJSonStreamReader::NextByte() {
  if (FReadPosition >= FReadLastPosition) Refill();
  return FReadBuffer[static_cast<std::size_t>(++FReadPosition)];
}

std::uint8_t TDBXJSonStreamReader::SkipWhitespace() {
  std::uint8_t Byte = NextByte();
  while (IsWhitespace(Byte)) Byte = NextByte();
  return Byte;
}

std::string TDBXJSonStreamReader::Dump() const {
  std::string Text;
  for (std::int32_t i = 0; i <= FReadLastPosition; ++i) {
    const std::uint8_t Byte = FReadBuffer[static_cast<std::size_t>(i)];
    if (Byte >= kFirstPrintable && Byte <= kLastPrintable) {
      Text += static_cast<char>(Byte);
    } else {
      Text += kEscapeMark;
      Text += std::to_string(Byte);
    }
  }
  return Text;
}

// --- Errors -----------------------------------------------------------------------------

void TDBXJSonStreamReader::FailInput(const std::string& Message) {
  std::string Text = Message + std::to_string(FReadPosition) + '\n' + Dump();
  // The rest of the buffered input is dropped: the next read starts with fresh bytes.
  FReadPosition = FReadLastPosition;
  FContext.Error(TDBXErrorCodes::InvalidInput, Text);
}

void TDBXJSonStreamReader::RefuseValue(const std::string& Message) {
  FReadPosition = FReadLastPosition;
  throw TDBXMidValueRefusal(TDBXErrorCodes::LimitExceeded, Message);
}

void TDBXJSonStreamReader::FailExpectedToken(std::int32_t Expected, std::int32_t Found) {
  FailInput(std::string(kExpectedText) + std::string(TokenName(Expected)) +
            std::string(kFoundText) + std::string(TokenName(Found)) +
            std::string(kQuotedAtPositionText));
}

void TDBXJSonStreamReader::FailExpectedText(std::string_view Expected) {
  FailInput(std::string(kExpectedText) + std::string(Expected) + std::string(kAtPositionText));
}

void TDBXJSonStreamReader::MatchLetters(std::string_view Letters, std::string_view ExpectedText) {
  for (const char Letter : Letters) {
    if (NextByte() != static_cast<std::uint8_t>(Letter)) FailExpectedText(ExpectedText);
  }
}

// --- Tokens -----------------------------------------------------------------------------

std::int32_t TDBXJSonStreamReader::Next() {
  const std::uint8_t Byte = SkipWhitespace();
  FToken = KindOfFirstByte(Byte);
  switch (FToken) {
    case TDBXTokens::True:
      MatchLetters(kTrueRest, TokenName(TDBXTokens::True));
      FBooleanValue = true;
      break;
    case TDBXTokens::False:
      MatchLetters(kFalseRest, TokenName(TDBXTokens::False));
      FBooleanValue = false;
      break;
    case TDBXTokens::Null:
      MatchLetters(kNullRest, TokenName(TDBXTokens::Null));
      break;
    default:
      break;
  }
  return FToken;
}

void TDBXJSonStreamReader::Next(std::int32_t Expected) {
  const std::int32_t Found = Next();
  if (Found != Expected) FailExpectedToken(Expected, Found);
}

// --- Numbers ----------------------------------------------------------------------------

std::size_t TDBXJSonStreamReader::CollectNumber() {
  std::size_t Count = 0;
  for (;;) {
    const std::uint8_t Byte = NextByte();
    if (!IsNumberByte(Byte)) break;
    if (Count == FByteBuffer.size()) {
      FailInput("Number longer than " + std::to_string(FByteBuffer.size()) +
                " characters refused" + std::string(kAtPositionText));
    }
    FByteBuffer[Count++] = Byte;
  }
  // The stopping byte belongs to the next token.
  StepBack();
  return Count;
}

std::int64_t TDBXJSonStreamReader::ReadInteger(std::uint64_t PositiveLimit) {
  const std::size_t Count = CollectNumber();
  if (Count == 0) {
    // An empty array's ']' reads as 0 and stays unread.
    const bool AtArrayEnd = NextByte() == sequences::kArrayEnd;
    StepBack();
    if (AtArrayEnd) return 0;
    FailInput(std::string(kUnexpectedByteText) + std::string(kAtPositionText));
  }
  std::size_t i = 0;
  const bool Negative = FByteBuffer[0] == kMinus;
  if (Negative || FByteBuffer[0] == kPlus) ++i;
  if (i == Count) FailInput("Not an integer literal" + std::string(kAtPositionText));
  // A negative value may reach one beyond the positive limit (INT32_MIN, INT64_MIN).
  const std::uint64_t Limit = Negative ? PositiveLimit + 1 : PositiveLimit;
  std::uint64_t Value = 0;
  for (; i < Count; ++i) {
    const std::uint8_t Byte = FByteBuffer[i];
    if (Byte < kDigitZero || Byte > kDigitNine) {
      FailInput("Not an integer literal" + std::string(kAtPositionText));
    }
    const std::uint64_t Digit = static_cast<std::uint64_t>(Byte - kDigitZero);
    if (Value > (Limit - Digit) / 10) {
      FailInput("Integer literal out of range" + std::string(kAtPositionText));
    }
    Value = Value * 10 + Digit;
  }
  // Modular conversion (C++20): 2^63 negated is INT64_MIN, without signed overflow.
  return Negative ? static_cast<std::int64_t>(0 - Value) : static_cast<std::int64_t>(Value);
}

std::int32_t TDBXJSonStreamReader::ReadInt() {
  return static_cast<std::int32_t>(ReadInteger(static_cast<std::uint64_t>(INT32_MAX)));
}

std::int64_t TDBXJSonStreamReader::ReadLong() {
  return ReadInteger(static_cast<std::uint64_t>(INT64_MAX));
}

bool TDBXJSonStreamReader::ReadBoolean() {
  const std::int32_t Found = Next();
  if (Found == TDBXTokens::True) return true;
  if (Found == TDBXTokens::False) return false;
  FailExpectedToken(TDBXTokens::True, Found);
}

// --- Strings and raw bytes --------------------------------------------------------------

void TDBXJSonStreamReader::ReadStringBody() {
  ReadStringBody(FCharBuffer);
  FCharBufferCount = FCharBuffer.size();
}

void TDBXJSonStreamReader::ReadStringBody(std::u16string& Text) {
  // Text's size serves as its room while reading (it only grows, and only when a
  // character must be stored); at the end it is cut to the characters read. A long
  // string fills pieces instead, joined once at its end.
  TLongStringPieces Long;
  std::size_t Count = 0;
  for (;;) {
    if (FReadPosition >= FReadLastPosition) Refill();
    const std::uint8_t* Start = FReadBuffer.data() + FReadPosition + 1;
    const auto Available = static_cast<std::size_t>(FReadLastPosition - FReadPosition);
    if (Count == Text.size() && *Start != kQuote && *Start != kBackslash) GrowText(Text, Long, Count);
    // The plain bytes up to the next quote or backslash are widened in one go.
    const std::size_t Limit = std::min(Available, Text.size() - Count);
    const std::size_t Run = WidenUntilQuoteOrBackslash(Start, Limit, Text.data() + Count);
    Count += Run;
    FReadPosition += static_cast<std::int32_t>(Run);
    if (Run == Limit && Limit != 0) continue;  // Limit 0: the next byte is special

    std::uint8_t Byte = NextByte();
    if (Byte == kQuote) break;
    Byte = NextByte();  // the byte after the backslash
    char16_t Unit = Byte;
    if (Byte == kUnicodeEscapeLetter) {
      int Value = 0;
      for (int i = 0; i < kHexDigitsPerEscape; ++i) Value = Value * 16 + HexDigitValue(NextByte());
      Unit = static_cast<char16_t>(static_cast<unsigned>(Value) & 0xFFFFU);
    } else {
      for (const auto& Escape : sequences::kShortEscapes) {
        if (Escape.Letter == Byte) Unit = Escape.Unit;
      }
    }
    if (Count == Text.size()) GrowText(Text, Long, Count);
    Text[Count++] = Unit;
  }
  Text.resize(Count);
  if (!Long.Pieces.empty()) JoinPieces(Text, Long);
}

TClientMemoryHold& TDBXJSonStreamReader::HoldOf(const std::u16string& Text) {
  return &Text == &FCharBuffer ? FCharBufferHold : FStringValueHold;
}

void TDBXJSonStreamReader::GrowText(std::u16string& Text, TLongStringPieces& Long, std::size_t& Count) {
  const auto Cap = static_cast<std::size_t>(limits::kMaxStringUnits);
  if (Long.Units + Text.size() >= Cap) {
    RefuseValue("String longer than " + std::to_string(Cap) + " code units refused" +
                std::string(kAtPositionText) + std::to_string(FReadPosition));
  }
  constexpr std::size_t kPieceUnits = limits::kLongValuePieceBytes / sizeof(char16_t);
  if (Text.size() >= kPieceUnits) {
    // The filled room becomes a piece and a fresh piece follows: the characters read so
    // far are never copied into a doubled room while the old one is still held.
    const std::size_t Room = std::min(kPieceUnits, Cap - Long.Units - Text.size());
    RefuseMidValue([&] {
      HoldOf(Text).Set(static_cast<std::int64_t>((Long.Units + Text.capacity() + Room) * sizeof(char16_t)),
                       "A string");
    });
    Long.Units += Text.size();
    Long.Pieces.push_back(std::move(Text));
    Text = std::u16string(Room, u'\0');
    Count = 0;
    return;
  }
  // Doubling keeps a short string linear; the first steps are the usual 128 units.
  const std::size_t Grow =
      std::max(static_cast<std::size_t>(limits::kCharBufferGrowUnits), Text.size());
  const std::size_t Room = std::min(Text.size() + Grow, Cap - Long.Units);
  RefuseMidValue([&] {
    HoldOf(Text).Set(static_cast<std::int64_t>(std::max(Room, Text.capacity()) * sizeof(char16_t)), "A string");
  });
  Text.resize(Room);
}

void TDBXJSonStreamReader::JoinPieces(std::u16string& Text, TLongStringPieces& Long) {
  // Each piece is given back once copied, and the whole string's pages are touched only
  // as they are filled: the string costs about its own size plus one piece meanwhile.
  std::u16string Whole;
  Whole.reserve(Long.Units + Text.size());
  for (std::u16string& Piece : Long.Pieces) {
    Whole += Piece;
    std::u16string().swap(Piece);
  }
  Whole += Text;
  Text = std::move(Whole);
  HoldOf(Text).Set(static_cast<std::int64_t>(Text.capacity() * sizeof(char16_t)), "A string");
}

void TDBXJSonStreamReader::SkipStringBody() {
  for (;;) {
    const std::uint8_t Byte = NextByte();
    if (Byte == kQuote) return;
    // An escaped quote does not end the string.
    if (Byte == kBackslash) NextByte();
  }
}

const std::u16string& TDBXJSonStreamReader::ReadString() {
  if (FToken != TDBXTokens::StringStart) {
    while (NextByte() != kQuote) {
    }
  }
  ReadStringBody(FStringValue);
  FToken = TDBXTokens::String;
  return FStringValue;
}

void TDBXJSonStreamReader::ReadString(std::u16string& Text, TClientMemoryHold& Hold) {
  ReadString();
  if (FStringValue.size() <= limits::kKeptStringUnits) {
    Text.assign(FStringValue);
    return;
  }
  // A long text changes hands with its charge instead of being copied.
  Text.swap(FStringValue);
  std::swap(Hold, FStringValueHold);
  FStringValue.clear();
}

std::int32_t TDBXJSonStreamReader::ReadStringCode() {
  if (FToken != TDBXTokens::StringStart) {
    while (NextByte() != kQuote) {
    }
  }
  ReadStringBody();
  FStringCode = LookupStringCode(std::span<const char16_t>(FCharBuffer.data(), FCharBufferCount));
  FStringValue = kNullText;
  FToken = TDBXTokens::String;
  return FStringCode;
}

void TDBXJSonStreamReader::ReadDataBytes(std::span<std::uint8_t> Buffer) {
  std::size_t Done = 0;
  while (Done < Buffer.size()) {
    if (FReadPosition >= FReadLastPosition) Refill();
    const std::size_t Count = std::min(Buffer.size() - Done,
                                       static_cast<std::size_t>(FReadLastPosition - FReadPosition));
    std::memcpy(Buffer.data() + Done, FReadBuffer.data() + FReadPosition + 1, Count);
    FReadPosition += static_cast<std::int32_t>(Count);
    Done += Count;
  }
}

// --- Requests ---------------------------------------------------------------------------

std::int32_t TDBXJSonStreamReader::ReadMethod() {
  FStringCode = TDBXStringCodes::Other;
  Next();
  if (SkipWhitespace() != kQuote) FailExpectedText(kQuotedMethod);
  MatchLetters(kMethodFirst, kQuotedMethod);
  MatchLetters(kMethodCommon, kQuotedMethod);
  const std::uint8_t Branch = NextByte();
  if (Branch == kMethodBranch) {
    MatchLetters(kMethodRest, kQuotedMethod);
    if (SkipWhitespace() != sequences::kNameSeparator) FailExpectedText(kColonText);
    if (SkipWhitespace() != kQuote) FailExpectedText(kQuoteText);
    ReadStringBody();
    FStringCode = LookupStringCode(std::span<const char16_t>(FCharBuffer.data(), FCharBufferCount));
    if (FCharBufferCount <= limits::kKeptStringUnits) {
      FStringValue.assign(FCharBuffer.data(), FCharBufferCount);
    } else {
      // A long name changes buffers with its charge instead of being copied.
      FStringValue.swap(FCharBuffer);
      std::swap(FStringValueHold, FCharBufferHold);
      FCharBufferCount = 0;
    }
    FToken = TDBXTokens::String;
    return FStringCode;
  }
  if (Branch != kMetadataBranch) FailExpectedText(kQuotedMethod);

  MatchLetters(kMetadataRest, kQuotedMetadata);
  FStringCode = TDBXStringCodes::Metadata;
  if (SkipWhitespace() != sequences::kNameSeparator) FailExpectedText(kColonText);
  if (NextByte() != sequences::kArrayStart) FailExpectedText(kArrayStartText);
  const std::int32_t Count = ReadInt();
  if (Count < 0) {
    FailInput("Negative metadata byte count " + std::to_string(Count) + " refused" +
              std::string(kAtPositionText));
  }
  if (Count > limits::kMaxDataBlockBytes) {
    RefuseValue("Metadata of " + std::to_string(Count) + " bytes is above the limit of " +
                std::to_string(limits::kMaxDataBlockBytes) + " bytes");
  }
  if (Count == 0) return FStringCode;
  if (NextByte() != sequences::kValueSeparator) FailExpectedText(kCommaText);
  if (Count > FReadLastPosition - FReadPosition) {
    RefuseValue("Metadata of " + std::to_string(Count) + " bytes does not lie within the read buffer of " +
                std::to_string(FReadBufferSize) + " bytes");
  }
  std::string Text;
  Text.reserve(static_cast<std::size_t>(Count));
  for (std::int32_t i = 1; i <= Count; ++i) {
    const std::uint8_t Byte = FReadBuffer[static_cast<std::size_t>(FReadPosition + i)];
    if (Byte >= kFirstPrintable && Byte <= kLastPrintable) {
      Text += static_cast<char>(Byte);
    } else {
      Text += kEscapeMark;
      Text += std::to_string(Byte);
    }
  }
  FReadPosition += Count;
  try {
    FInvocationMetadata = ParseJsonText(Text);
  } catch (const TDBXError& Error) {
    FailInput(Error.Message() + std::string(kAtPositionText));
  }
  return FStringCode;
}

std::optional<TJSONValue> TDBXJSonStreamReader::TakeInvocationMetadata() {
  std::optional<TJSONValue> Taken = std::move(FInvocationMetadata);
  FInvocationMetadata.reset();
  return Taken;
}

std::int32_t TDBXJSonStreamReader::ReadParams() {
  std::uint8_t Byte = NextByte();
  while (IsWhitespace(Byte) || Byte == sequences::kValueSeparator) Byte = NextByte();
  if (Byte != kQuote) {
    // Not a member name: the byte starts the token the caller gets.
    StepBack();
    return Next();
  }
  for (const char Letter : kParamsName) {
    if (NextByte() != static_cast<std::uint8_t>(Letter)) {
      // Another member: read the rest of its name (the mismatched byte included).
      StepBack();
      ReadStringBody();
      FToken = TDBXTokens::String;
      return FToken;
    }
  }
  const std::int32_t Kind = Next();
  return Kind == TDBXTokens::NameSeparator ? Next() : Kind;
}

void TDBXJSonStreamReader::SkipToEnd(std::int32_t OpenKind, std::int32_t CloseKind) {
  std::int32_t Depth = 1;
  while (Depth > 0) {
    const std::int32_t Kind = Next();
    if (Kind == OpenKind) {
      ++Depth;
    } else if (Kind == CloseKind) {
      --Depth;
    } else if (Kind == TDBXTokens::StringStart) {
      SkipStringBody();
    }
  }
}

void TDBXJSonStreamReader::SkipToEndOfObject() {
  SkipToEnd(TDBXTokens::ObjectStart, TDBXTokens::ObjectEnd);
}

void TDBXJSonStreamReader::SkipToEndOfArray() {
  SkipToEnd(TDBXTokens::ArrayStart, TDBXTokens::ArrayEnd);
}

// --- Results (client side) --------------------------------------------------------------

std::uint32_t TDBXJSonStreamReader::ReadBigEndian32() {
  std::uint32_t Value = 0;
  for (int i = 0; i < 4; ++i) Value = (Value << 8) | NextByte();
  return Value;
}

void TDBXJSonStreamReader::ReadSignatureBlock() {
  const std::uint32_t Length = ReadBigEndian32();
  const std::uint32_t Version = ReadBigEndian32();
  if (Length < kSignatureHeaderBytes ||
      Length - kSignatureHeaderBytes > static_cast<std::uint32_t>(limits::kMaxDataBlockBytes)) {
    FailInput("Signature block of " + std::to_string(Length) + " bytes refused" +
              std::string(kAtPositionText));
  }
  if (Version == 0) {
    FReadPosition = FReadLastPosition;
    FContext.Error(TDBXErrorCodes::InvalidInput, std::string(kUnsupportedProtocolText));
  }
  std::uint32_t Remaining = Length - kSignatureHeaderBytes;
  while (Remaining > 0) {
    if (FReadPosition >= FReadLastPosition) Refill();
    const std::uint32_t Count = std::min(
        Remaining, static_cast<std::uint32_t>(FReadLastPosition - FReadPosition));
    FReadPosition += static_cast<std::int32_t>(Count);
    Remaining -= Count;
  }
}

void TDBXJSonStreamReader::NextResultObjectStart() { ReadReplyObjectStart(false); }

std::int32_t TDBXJSonStreamReader::NextResultOrMoreBlobObjectStart() {
  return ReadReplyObjectStart(true);
}

std::int32_t TDBXJSonStreamReader::ReadReplyObjectStart(bool AcceptMoreBlob) {
  for (;;) {
    const std::uint8_t Byte = SkipWhitespace();
    if (Byte == sequences::kObjectStart) break;
    if (Byte == kSignatureMark) {
      ReadSignatureBlock();
      continue;
    }
    FailExpectedToken(TDBXTokens::ObjectStart, KindOfFirstByte(Byte));
  }
  FToken = TDBXTokens::ObjectStart;
  if (SkipWhitespace() != kQuote) FailExpectedText(kQuotedResult);
  const std::uint8_t First = NextByte();
  std::int32_t Member = TDBXStringCodes::Result;
  if (First == kResultFirst) {
    MatchLetters(kResultRest, kQuotedResult);
  } else if (AcceptMoreBlob && First == kMoreBlobFirst) {
    MatchLetters(kMoreBlobRest, kQuotedMoreBlob);
    Member = TDBXStringCodes::MoreBlob;
  } else if (First == kErrorFirst) {
    MatchLetters(kErrorRest, kQuotedError);
    if (SkipWhitespace() != sequences::kNameSeparator) FailExpectedText(kColonText);
    ReadErrorBody();
  } else {
    FailExpectedText(kQuotedResult);
  }
  if (SkipWhitespace() != sequences::kNameSeparator) FailExpectedText(kColonText);
  FToken = TDBXTokens::NameSeparator;
  return Member;
}

void TDBXJSonStreamReader::ReadErrorBody() {
  Next(TDBXTokens::ObjectStart);
  std::int32_t Code = kDefaultErrorCode;
  std::u16string Message = ToUtf16(kDefaultErrorMessage);
  for (;;) {
    const std::int32_t Kind = Next();
    if (Kind == TDBXTokens::ObjectEnd) break;
    if (Kind == TDBXTokens::ValueSeparator) continue;
    if (Kind != TDBXTokens::StringStart) FailExpectedToken(TDBXTokens::StringStart, Kind);
    ReadStringBody();
    const std::span<const char16_t> Name(FCharBuffer.data(), FCharBufferCount);
    const bool IsCode = Equals(Name, kCodeMember);
    const bool IsMessage = Equals(Name, kMessageMember);
    const bool IsError = Equals(Name, kErrorMember);
    FToken = TDBXTokens::String;
    Next(TDBXTokens::NameSeparator);
    if (IsCode) {
      Code = ReadInt();
    } else if (IsMessage) {
      Message = ReadString();
    } else if (IsError) {
      Next(TDBXTokens::ObjectStart);
      SkipToEndOfObject();
    } else {
      ReadString();
    }
  }
  // The peer's error, relayed as is: the stream is in step, so nothing is dropped.
  FContext.Error(Code, ToUtf8(Message));
}

std::int32_t TDBXJSonStreamReader::ReadIntResultObject() {
  NextResultObjectStart();
  Next(TDBXTokens::ArrayStart);
  const std::int32_t Value = ReadInt();
  Next(TDBXTokens::ArrayEnd);
  Next(TDBXTokens::ObjectEnd);
  return Value;
}

}  // namespace tavrin
