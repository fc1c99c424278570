#pragma once
// The fixed byte sequences the stream writer appends. They are constant arrays, built
// at compile time and shared read-only by every writer on every thread.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrin::sequences {

// The bytes of a text literal, without its terminating zero.
template <std::size_t N>
consteval std::array<std::uint8_t, N - 1> Bytes(const char (&Text)[N]) {
  std::array<std::uint8_t, N - 1> Out{};
  for (std::size_t i = 0; i + 1 < N; ++i) Out[i] = static_cast<std::uint8_t>(Text[i]);
  return Out;
}

// Requests.
inline constexpr auto kMethodStart = Bytes("{\"method\":");
inline constexpr auto kParamsStart = Bytes("\"params\":[");
inline constexpr auto kConnectMethod = Bytes("\"connect\",");
inline constexpr auto kDisconnectMethod = Bytes("\"disconnect\",");
inline constexpr auto kPrepareMethod = Bytes("\"prepare\",");
inline constexpr auto kExecuteMethod = Bytes("\"execute\",");
inline constexpr auto kCommandCloseMethod = Bytes("\"command_close\",");
inline constexpr auto kReaderCloseMethod = Bytes("\"reader_close\",");
inline constexpr auto kNextMethod = Bytes("\"next\",");
inline constexpr auto kTxBeginMethod = Bytes("\"txbegin\",");
inline constexpr auto kTxEndMethod = Bytes("\"txend\",");
inline constexpr auto kMoreBlobMethod = Bytes("\"more_blob\",");
inline constexpr auto kNextResultMethod = Bytes("\"next_result\",");
inline constexpr auto kVendorPropertyMethod = Bytes("\"vendor_property\",");

// Replies.
inline constexpr auto kResultStart = Bytes("{\"result\":[");
inline constexpr auto kErrorStart = Bytes("{\"error\":{\"name\":");
inline constexpr auto kCodeMember = Bytes("\"code\":");
inline constexpr auto kMessageMember = Bytes("\"message\":");
// Marks an error reply that carries name/value pairs.
inline constexpr auto kEmptyErrorMember = Bytes(",\"error\":{}");

// Literals.
inline constexpr auto kNull = Bytes("null");
inline constexpr auto kTrue = Bytes("true");
inline constexpr auto kFalse = Bytes("false");

// Member objects, each opening its array.
inline constexpr auto kParametersStart = Bytes("{\"parameters\":[");
inline constexpr auto kColumnsStart = Bytes("{\"columns\":[");
inline constexpr auto kTableStart = Bytes("{\"table\":[");
inline constexpr auto kSessionStart = Bytes("{\"session\":[");
inline constexpr auto kRowsStart = Bytes("{\"rows\":[");
inline constexpr auto kDataStart = Bytes("{\"data\":[");
inline constexpr auto kHandleStart = Bytes("{\"handle\":[");
inline constexpr auto kFieldsStart = Bytes("{\"fields\":[");

// Members written after a separately written '{'.
inline constexpr auto kNextMember = Bytes("\"next\":[");
inline constexpr auto kMoreBlobMember = Bytes("\"more_blob\":[");
inline constexpr auto kCallbackMember = Bytes("\"callback\":[");
inline constexpr auto kMetadataMember = Bytes("\"metadata\":[");

// Digits of \u escapes.
inline constexpr auto kHexDigits = Bytes("0123456789ABCDEF");
inline constexpr auto kUnicodeEscape = Bytes("\\u");

// Single structural bytes and the escapes of strings.
inline constexpr std::uint8_t kObjectStart = '{';
inline constexpr std::uint8_t kObjectEnd = '}';
inline constexpr std::uint8_t kArrayStart = '[';
inline constexpr std::uint8_t kArrayEnd = ']';
inline constexpr std::uint8_t kValueSeparator = ',';
inline constexpr std::uint8_t kNameSeparator = ':';
inline constexpr std::uint8_t kQuote = '"';
inline constexpr std::uint8_t kBackslash = '\\';
inline constexpr std::uint8_t kBlank = ' ';
inline constexpr std::uint8_t kMinus = '-';
inline constexpr std::uint8_t kDigitZero = '0';

// The two-byte escapes of strings: the code unit and the letter after the backslash.
struct TShortEscape {
  char16_t Unit;
  std::uint8_t Letter;
};
inline constexpr std::array<TShortEscape, 7> kShortEscapes{{
    {u'\b', 'b'}, {u'\t', 't'}, {u'\n', 'n'}, {u'\f', 'f'}, {u'\r', 'r'},
    {u'"', '"'}, {u'\\', '\\'},
}};
// First and last code unit written as one plain byte (except quote and backslash).
inline constexpr char16_t kFirstPlainUnit = 0x20;
inline constexpr char16_t kLastPlainUnit = 0xFF;

}  // namespace tavrin::sequences
