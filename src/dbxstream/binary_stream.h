#pragma once
// TDBXBinaryStream: the growable byte store under a row buffer and its typed value
// forms. Every value is a self-describing byte sequence that starts with one header
// byte; the header tells how long the value is, so a reader can skip values it does not
// want. The bytes read here come from the network: no read goes past the read limit,
// and a value whose header claims more bytes than remain raises instead.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vocabulary/client_memory.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {

// Header bytes and header bits of the value forms.
namespace TDBXValueHeader {
inline constexpr std::uint8_t Null = 0xC0;            // what a null is written as
inline constexpr std::uint8_t NullBit = 0x80;         // any header at or above it is a null
inline constexpr std::uint8_t NonNegative = 0x40;     // short form: the value is >= 0
inline constexpr std::uint8_t ShortForm = 0x20;       // 1 + (H & 0x1F) bytes
inline constexpr std::uint8_t ShortLengthMask = 0x1F;
inline constexpr std::uint8_t True = 0x60;
inline constexpr std::uint8_t False = 0x20;
inline constexpr std::uint8_t Callback = 0x02;
inline constexpr std::uint8_t Length16 = 0x10;        // 3 + 16-bit count
inline constexpr std::uint8_t Length16More = 0x50;    // 16-bit form, more bytes by more-blob
inline constexpr std::uint8_t Length32 = 0x40;        // 5 + 32-bit count (JSON)
inline constexpr std::uint8_t BlobHeader = 0x08;      // announced size, no inline bytes
inline constexpr std::uint8_t BlobHeaderWithTag = 0x0C;  // announced size + a short form
inline constexpr std::uint8_t BlobHeaderMask = 0xF8;  // headers 0x08..0x0F test as blobs
inline constexpr std::uint8_t ZeroTerminated = 0x00;  // accepted on reading, never written
inline constexpr std::int32_t Length16Bytes = 3;      // a Length16 header with its count
inline constexpr std::int32_t Length32Bytes = 5;      // a Length32 header with its count
}  // namespace TDBXValueHeader

// Raised (code 0) for a header byte of no known form, or not of the form a reader needs.
inline constexpr char kUnexpectedHeaderMessage[] = "Unexpected header";

// Longest short-form payload: 31 bytes.
inline constexpr std::int32_t kShortFormMaxBytes = 0x1F;

class TDBXBinaryStream {
 public:
  TDBXBinaryStream() = default;
  virtual ~TDBXBinaryStream() = default;
  TDBXBinaryStream(const TDBXBinaryStream&) = delete;
  TDBXBinaryStream& operator=(const TDBXBinaryStream&) = delete;

  // --- The buffer -------------------------------------------------------------------

  // Enlarges the buffer to Size bytes when it is shorter (never shrinks) and records
  // Size as the fill limit used by the inline rule. Raises on a negative size.
  void MinBufferSize(std::int32_t Size);
  std::int32_t MinBufSize() const { return FMinBufSize; }
  std::int32_t BufLength() const { return FBufLength; }
  // Where the next value is read or written, and its ordinal within the row.
  std::int32_t Offset() const { return FOff; }
  std::int32_t CurrentOrdinal() const { return FCurrentOrdinal; }
  // The whole buffer; a view valid until the next write or resize.
  std::span<const std::uint8_t> Buffer() const { return {FBuf.data(), FBuf.size()}; }
  std::span<std::uint8_t> MutableBuffer() { return {FBuf.data(), FBuf.size()}; }
  // The bytes written so far: [0, Offset()).
  std::span<const std::uint8_t> WrittenBytes() const {
    return Buffer().first(static_cast<std::size_t>(FOff));
  }

  // Terminator width of the zero-terminated string form: two zero bytes when true,
  // three when false (the default).
  bool TwoByteStringTerminator() const { return FTwoByteStringTerminator; }
  void SetTwoByteStringTerminator(bool Value) { FTwoByteStringTerminator = Value; }

  // --- Tests at the current offset (do not move; false when no byte is left) --------

  bool Null() const;
  bool Callback() const;
  bool BlobHeader() const;
  // True unless more bytes of this value follow by more-blob (0x50 and the other
  // headers with bit 0x40) or the value is an announced blob (0x08, 0x0C).
  bool LastParameterBlobSegment() const;

  // --- Writers: append at Offset(), then advance past the value and the ordinal -------

  void WriteNull();
  void WriteBoolean(bool Value);
  void WriteByte(std::int8_t Value);
  void WriteShort(std::int16_t Value);
  void WriteInt32(std::int32_t Value);
  void WriteInt64(std::int64_t Value);
  void WriteSingle(float Value);
  void WriteDouble(double Value);
  // TimeValue: milliseconds since 1970-01-01 counting whole seconds only; Nanos: the
  // fraction (0 to 999 999 999), written only when not zero.
  void WriteTimestamp(std::int64_t TimeValue, std::int32_t Nanos);
  void WriteCallback();

  // Starts a JSON value: reserves EstimatedSize + 5 bytes, writes the header and returns
  // the offset at which the caller places the JSON bytes (through MutableBuffer()).
  std::int32_t PrepareJSONByteBlock(std::int32_t EstimatedSize);
  // Fixes the count of the JSON value started by PrepareJSONByteBlock and advances past
  // it. Raises when Size bytes do not fit in what was reserved.
  void EncodeJSONByteBlockSize(std::int32_t Size);
  // Both steps for a text at hand.
  void WriteJSONText(std::string_view Json);

  // --- Readers: read at Offset(), then advance past the value and the ordinal --------
  // A null reads as zero, false or empty and advances one byte; any other form that is
  // not the one asked for raises TDBXError, as does a value cut short.

  bool ReadBoolean();
  std::uint8_t ReadByte();
  std::int8_t ReadInt8();
  std::int16_t ReadInt16();
  std::uint16_t ReadUInt16();
  std::int32_t ReadInt32();
  std::int64_t ReadInt64();
  float ReadSingle();
  double ReadDouble();
  // Milliseconds since 1970 (whole seconds); the fraction goes to ReadTimestampNanos().
  std::int64_t ReadTimestamp();
  std::int32_t ReadTimestampNanos() const { return FNanos; }
  // Reads a decimal in the big-decimal form into the big-decimal fields below.
  void ReadBigDecimalBuffer();
  std::span<const std::uint8_t> BigDecimalBytes() const {
    return std::span<const std::uint8_t>(FBigDecimalBuffer).first(
        static_cast<std::size_t>(FBigDecimalLength));
  }
  std::int32_t BigDecimalScale() const { return FBigDecimalScale; }
  std::int32_t BigDecimalSignum() const { return FBigDecimalSignum; }
  // The unscaled value of the last big decimal read, signed. Raises "BCD to big"
  // (code 14) when it needs more than 8 bytes, or 8 bytes with the top bit set.
  std::int64_t BigDecimalUnscaled() const;
  // Advances past a null; raises when the value is not null.
  void ReadNull();
  // True for a callback marker, false for a null; raises on anything else.
  bool ReadCallback();
  // The JSON text of a JSON value, or nullopt for a null. Raises "Invalid JSON header
  // byte encountered" (code 0) on any other header.
  std::optional<std::string> ReadJSONText();

  // --- Skipping ----------------------------------------------------------------------

  // Advances past the value at Offset() and its ordinal.
  void SkipValue();
  // Total length of the value starting at Offset. Raises "Unexpected header" (code 0)
  // for a header of no known form and "Truncated value at offset N" when the value
  // does not lie wholly within the readable bytes.
  std::int32_t ValueLength(std::int32_t Offset) const;

 protected:
  // End of the readable bytes: the whole buffer, or the loaded block once FReadSize is
  // set. Plain fields rather than virtual calls: every value read passes here.
  std::int32_t ReadLimit() const { return FReadSize < 0 ? FBufLength : FReadSize; }
  // Called before every read and skip: returns to a length header that a caller read
  // without reading its value.
  void ReturnToPendingHeader() {
    if (FHeaderConsumed) ReturnToHeader();
  }
  virtual void ReturnToHeader() { FHeaderConsumed = false; }

  // "Unexpected header" (code 0): a header of no form the reader at hand accepts.
  [[noreturn]] static void RaiseUnexpectedHeader();

  // Grows the buffer so that Bytes bytes fit from Offset(), by exactly the shortfall.
  void EnsureRoom(std::int64_t Bytes);
  void Growbuf(std::int64_t Bytes);
  // Raises unless [Offset, Offset + Count) lies within the readable bytes.
  void RequireReadable(std::int64_t Offset, std::int64_t Count) const;
  // The header byte at Offset(); raises when none is left.
  std::uint8_t HeaderAt(std::int32_t Offset) const;
  void FinishValue(std::int32_t Length) {
    FOff += Length;
    ++FCurrentOrdinal;
  }
  // Writes the integer form of Value at Offset without advancing; returns its length.
  std::int32_t PutIntegerForm(std::int32_t Offset, std::int64_t Value);
  void PutUInt16(std::int32_t Offset, std::uint16_t Value);
  void PutUInt32(std::int32_t Offset, std::uint32_t Value);
  std::uint16_t GetUInt16(std::int32_t Offset) const;
  std::uint32_t GetUInt32(std::int32_t Offset) const;
  // If the value at Offset() is null, advances past it and returns true.
  bool TakeNull();
  // Length of the bytes of a zero-terminated string at Offset (without its header and
  // terminator); raises when no terminator lies within the readable bytes.
  std::int32_t ZeroTerminatedContentLength(std::int32_t Offset) const;
  std::int32_t TerminatorLength() const { return FTwoByteStringTerminator ? 2 : 3; }
  // Reads the short-form header at Offset() and checks that its payload is readable;
  // returns the payload length.
  std::int32_t ShortFormPayload();
  std::int64_t ReadIntegerForm();

  std::vector<std::uint8_t> FBuf;
  // FBuf's bytes, counted against the connection served (requests and replies alike).
  TClientMemoryHold FBufHold;
  std::int32_t FBufLength = 0;
  std::int32_t FOff = 0;
  std::int32_t FCurrentOrdinal = 0;
  std::int32_t FMinBufSize = 0;
  std::array<std::uint8_t, limits::kBigDecimalBufferBytes> FBigDecimalBuffer{};
  std::int32_t FBigDecimalLength = 0;
  std::int32_t FBigDecimalScale = 0;
  std::int32_t FBigDecimalSignum = 0;
  bool FBigDecimalTwosComplement = false;
  std::int32_t FNanos = 0;
  bool FTwoByteStringTerminator = false;
  std::int32_t FReadSize = -1;   // bytes of the block being read; -1: the whole buffer
  bool FHeaderConsumed = false;  // a length header was read without its value
};

}  // namespace tavrin
