#include "dbxstream/binary_stream.h"

#include <bit>
#include <cstring>
#include <limits>
#include <string>

#include "vocabulary/dbx_error.h"

namespace tavrin {
namespace H = TDBXValueHeader;

namespace {

// Worst case each write reserves before writing.
constexpr std::int64_t kReserveOneByte = 1;     // null, boolean, callback
constexpr std::int64_t kReserveByte = 2;        // 8-bit integer form
constexpr std::int64_t kReserveShort = 3;       // 16-bit integer form
constexpr std::int64_t kReserveInt32 = 5;       // 32-bit integer or single
constexpr std::int64_t kReserveInt64 = 9;       // 64-bit integer or double
constexpr std::int64_t kReserveTimestamp = 14;  // header, 64-bit form, 4 fraction bytes
constexpr std::int32_t kBlobHeaderBytes = 5;
constexpr std::int32_t kBlobHeaderWithTagBytes = 6;
constexpr std::int32_t kNanosBytes = 4;
constexpr std::int32_t kMaxNanos = 999'999'999;
// Bit 7 of a big decimal's scale byte: the digits are two's complement.
constexpr std::uint8_t kScaleTwosComplement = 0x80;
constexpr std::uint8_t kScaleMask = 0x7F;

constexpr char kInvalidJsonHeader[] = "Invalid JSON header byte encountered";
constexpr char kBcdTooBig[] = "BCD to big";
// What a refusal for lack of memory names.
constexpr char kRowOfValuesWhat[] = "A row of values";


[[noreturn]] void RaiseMalformed(const char* What, std::int64_t Offset) {
  throw TDBXError(TDBXErrorCodes::InvalidInput,
                  std::string(What) + " at offset " + std::to_string(Offset));
}

bool IsShortForm(std::uint8_t Header) {
  return Header < H::NullBit && (Header & H::ShortForm) != 0;
}

// Number of bytes the big-endian magnitude of Value needs (0 for zero).
std::int32_t MagnitudeBytes(std::uint64_t Value) {
  return static_cast<std::int32_t>((std::bit_width(Value) + 7) / 8);
}

}  // namespace

void TDBXBinaryStream::RaiseUnexpectedHeader() {
  throw TDBXError(TDBXErrorCodes::Unspecified, kUnexpectedHeaderMessage);
}

// --- The buffer -----------------------------------------------------------------------

void TDBXBinaryStream::MinBufferSize(std::int32_t Size) {
  if (Size < 0) {
    throw TDBXError(TDBXErrorCodes::LimitExceeded,
                    "Invalid buffer size " + std::to_string(Size));
  }
  if (FBufLength < Size) Growbuf(Size - FBufLength);
  FMinBufSize = Size;
}

void TDBXBinaryStream::EnsureRoom(std::int64_t Bytes) {
  const std::int64_t Remaining = static_cast<std::int64_t>(FBufLength) - FOff;
  if (Bytes > Remaining) Growbuf(Bytes - Remaining);
}

void TDBXBinaryStream::Growbuf(std::int64_t Bytes) {
  const std::int64_t NewLength = static_cast<std::int64_t>(FBufLength) + Bytes;
  if (NewLength > std::numeric_limits<std::int32_t>::max()) {
    throw TDBXError(TDBXErrorCodes::LimitExceeded, "Row buffer too large");
  }
  FBufHold.Set(NewLength, kRowOfValuesWhat);
  FBuf.resize(static_cast<std::size_t>(NewLength));
  FBufLength = static_cast<std::int32_t>(NewLength);
}

void TDBXBinaryStream::RequireReadable(std::int64_t Offset, std::int64_t Count) const {
  if (Offset < 0 || Count < 0 || Offset + Count > ReadLimit()) {
    RaiseMalformed("Truncated value", Offset);
  }
}

std::uint8_t TDBXBinaryStream::HeaderAt(std::int32_t Offset) const {
  RequireReadable(Offset, 1);
  return FBuf[static_cast<std::size_t>(Offset)];
}

void TDBXBinaryStream::PutUInt16(std::int32_t Offset, std::uint16_t Value) {
  auto* p = FBuf.data() + Offset;
  p[0] = static_cast<std::uint8_t>(Value >> 8);
  p[1] = static_cast<std::uint8_t>(Value & 0xFF);
}

void TDBXBinaryStream::PutUInt32(std::int32_t Offset, std::uint32_t Value) {
  auto* p = FBuf.data() + Offset;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(Value >> (24 - 8 * i));
}

std::uint16_t TDBXBinaryStream::GetUInt16(std::int32_t Offset) const {
  const auto* p = FBuf.data() + Offset;
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t TDBXBinaryStream::GetUInt32(std::int32_t Offset) const {
  const auto* p = FBuf.data() + Offset;
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | p[i];
  return v;
}

// --- Tests ----------------------------------------------------------------------------

bool TDBXBinaryStream::Null() const {
  return FOff < ReadLimit() && FBuf[static_cast<std::size_t>(FOff)] >= H::NullBit;
}

bool TDBXBinaryStream::Callback() const {
  return FOff < ReadLimit() && FBuf[static_cast<std::size_t>(FOff)] == H::Callback;
}

bool TDBXBinaryStream::BlobHeader() const {
  return FOff < ReadLimit() &&
         (FBuf[static_cast<std::size_t>(FOff)] & H::BlobHeaderMask) == H::BlobHeader;
}

bool TDBXBinaryStream::LastParameterBlobSegment() const {
  if (FOff >= ReadLimit()) return true;
  const std::uint8_t h = FBuf[static_cast<std::size_t>(FOff)];
  return (h & H::NonNegative) == 0 && h != H::BlobHeader && h != H::BlobHeaderWithTag;
}

// --- Writers --------------------------------------------------------------------------

void TDBXBinaryStream::WriteNull() {
  EnsureRoom(kReserveOneByte);
  FBuf[static_cast<std::size_t>(FOff)] = H::Null;
  FinishValue(1);
}

void TDBXBinaryStream::WriteBoolean(bool Value) {
  EnsureRoom(kReserveOneByte);
  FBuf[static_cast<std::size_t>(FOff)] = Value ? H::True : H::False;
  FinishValue(1);
}

void TDBXBinaryStream::WriteCallback() {
  EnsureRoom(kReserveOneByte);
  FBuf[static_cast<std::size_t>(FOff)] = H::Callback;
  FinishValue(1);
}

std::int32_t TDBXBinaryStream::PutIntegerForm(std::int32_t Offset, std::int64_t Value) {
  // Unsigned arithmetic: the magnitude of INT64_MIN has no signed form.
  const std::uint64_t Magnitude =
      Value < 0 ? 0 - static_cast<std::uint64_t>(Value) : static_cast<std::uint64_t>(Value);
  const std::int32_t n = MagnitudeBytes(Magnitude);
  const std::uint8_t Base = Value < 0 ? H::ShortForm : H::True;
  auto* p = FBuf.data() + Offset;
  p[0] = static_cast<std::uint8_t>(Base + n);
  for (std::int32_t i = 0; i < n; ++i) {
    p[1 + i] = static_cast<std::uint8_t>(Magnitude >> (8 * (n - 1 - i)));
  }
  return 1 + n;
}

void TDBXBinaryStream::WriteByte(std::int8_t Value) {
  EnsureRoom(kReserveByte);
  FinishValue(PutIntegerForm(FOff, Value));
}

void TDBXBinaryStream::WriteShort(std::int16_t Value) {
  EnsureRoom(kReserveShort);
  FinishValue(PutIntegerForm(FOff, Value));
}

void TDBXBinaryStream::WriteInt32(std::int32_t Value) {
  EnsureRoom(kReserveInt32);
  FinishValue(PutIntegerForm(FOff, Value));
}

void TDBXBinaryStream::WriteInt64(std::int64_t Value) {
  EnsureRoom(kReserveInt64);
  FinishValue(PutIntegerForm(FOff, Value));
}

namespace {

// Floats: the IEEE bytes big-endian with trailing zero bytes left out; the header's sign
// bit repeats the value's.
template <typename TBits>
std::int32_t PutFloatBits(std::uint8_t* p, TBits Bits) {
  constexpr int kBytes = sizeof(TBits);
  constexpr TBits kSignBit = TBits{1} << (8 * kBytes - 1);
  int n = kBytes;
  while (n > 0 && ((Bits >> (8 * (kBytes - n))) & 0xFF) == 0) --n;
  p[0] = static_cast<std::uint8_t>(((Bits & kSignBit) != 0 ? H::ShortForm : H::True) + n);
  for (int i = 0; i < n; ++i) {
    p[1 + i] = static_cast<std::uint8_t>(Bits >> (8 * (kBytes - 1 - i)));
  }
  return 1 + n;
}

}  // namespace

void TDBXBinaryStream::WriteSingle(float Value) {
  EnsureRoom(kReserveInt32);
  FinishValue(PutFloatBits(FBuf.data() + FOff, std::bit_cast<std::uint32_t>(Value)));
}

void TDBXBinaryStream::WriteDouble(double Value) {
  EnsureRoom(kReserveInt64);
  FinishValue(PutFloatBits(FBuf.data() + FOff, std::bit_cast<std::uint64_t>(Value)));
}

void TDBXBinaryStream::WriteTimestamp(std::int64_t TimeValue, std::int32_t Nanos) {
  EnsureRoom(kReserveTimestamp);
  std::int32_t n = PutIntegerForm(FOff + 1, TimeValue);
  if (Nanos != 0) {
    PutUInt32(FOff + 1 + n, static_cast<std::uint32_t>(Nanos));
    n += kNanosBytes;
  }
  FBuf[static_cast<std::size_t>(FOff)] = static_cast<std::uint8_t>(H::ShortForm + n);
  FinishValue(1 + n);
}

std::int32_t TDBXBinaryStream::PrepareJSONByteBlock(std::int32_t EstimatedSize) {
  if (EstimatedSize < 0) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, "Negative JSON size estimate");
  }
  EnsureRoom(static_cast<std::int64_t>(EstimatedSize) + TDBXValueHeader::Length32Bytes);
  FBuf[static_cast<std::size_t>(FOff)] = H::Length32;
  return FOff + TDBXValueHeader::Length32Bytes;
}

void TDBXBinaryStream::EncodeJSONByteBlockSize(std::int32_t Size) {
  if (Size < 0 ||
      static_cast<std::int64_t>(FOff) + TDBXValueHeader::Length32Bytes + Size > FBufLength) {
    throw TDBXError(TDBXErrorCodes::InvalidInput,
                    "JSON value of " + std::to_string(Size) + " bytes exceeds its reservation");
  }
  PutUInt32(FOff + 1, static_cast<std::uint32_t>(Size));
  FinishValue(TDBXValueHeader::Length32Bytes + Size);
}

void TDBXBinaryStream::WriteJSONText(std::string_view Json) {
  if (Json.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw TDBXError(TDBXErrorCodes::LimitExceeded, "JSON value too large");
  }
  const auto Size = static_cast<std::int32_t>(Json.size());
  const std::int32_t At = PrepareJSONByteBlock(Size);
  if (Size > 0) std::memcpy(FBuf.data() + At, Json.data(), Json.size());
  EncodeJSONByteBlockSize(Size);
}

// --- Readers --------------------------------------------------------------------------

bool TDBXBinaryStream::TakeNull() {
  if (HeaderAt(FOff) < H::NullBit) return false;
  FinishValue(1);
  return true;
}

std::int32_t TDBXBinaryStream::ShortFormPayload() {
  const std::uint8_t h = HeaderAt(FOff);
  if (!IsShortForm(h)) RaiseUnexpectedHeader();
  const std::int32_t n = h & H::ShortLengthMask;
  RequireReadable(FOff, 1 + n);
  return n;
}

std::int64_t TDBXBinaryStream::ReadIntegerForm() {
  // The commonest read: one header fetch and one bounds test on the fast path.
  ReturnToPendingHeader();
  const std::int32_t Limit = ReadLimit();
  if (FOff >= Limit) RaiseMalformed("Truncated value", FOff);
  const std::uint8_t h = FBuf[static_cast<std::size_t>(FOff)];
  if (h >= H::NullBit) {
    FinishValue(1);
    return 0;
  }
  if (!IsShortForm(h)) RaiseUnexpectedHeader();
  const std::int32_t n = h & H::ShortLengthMask;
  if (n > 8) RaiseMalformed("Integer value too long", FOff);
  if (n >= Limit - FOff) RaiseMalformed("Truncated value", FOff);
  const std::uint8_t* p = FBuf.data() + FOff + 1;
  std::uint64_t Magnitude = 0;
  for (std::int32_t i = 0; i < n; ++i) Magnitude = (Magnitude << 8) | p[i];
  FinishValue(1 + n);
  // Modular conversion back to signed; no signed overflow on any input.
  return static_cast<std::int64_t>((h & H::NonNegative) != 0 ? Magnitude : 0 - Magnitude);
}

bool TDBXBinaryStream::ReadBoolean() {
  ReturnToPendingHeader();
  if (TakeNull()) return false;
  const std::int32_t n = ShortFormPayload();
  const bool Value = (FBuf[static_cast<std::size_t>(FOff)] & H::NonNegative) != 0;
  FinishValue(1 + n);
  return Value;
}

// Narrow readers keep the low bits, as the wire's 32-bit form is shared by all of them.
std::uint8_t TDBXBinaryStream::ReadByte() { return static_cast<std::uint8_t>(ReadIntegerForm()); }
std::int8_t TDBXBinaryStream::ReadInt8() { return static_cast<std::int8_t>(ReadIntegerForm()); }
std::int16_t TDBXBinaryStream::ReadInt16() { return static_cast<std::int16_t>(ReadIntegerForm()); }
std::uint16_t TDBXBinaryStream::ReadUInt16() {
  return static_cast<std::uint16_t>(ReadIntegerForm());
}
std::int32_t TDBXBinaryStream::ReadInt32() { return static_cast<std::int32_t>(ReadIntegerForm()); }
std::int64_t TDBXBinaryStream::ReadInt64() { return ReadIntegerForm(); }

namespace {

template <typename TBits>
TBits GetFloatBits(const std::uint8_t* p, std::int32_t n) {
  constexpr int kBytes = sizeof(TBits);
  TBits Bits = 0;
  for (std::int32_t i = 0; i < n; ++i) Bits |= static_cast<TBits>(p[i]) << (8 * (kBytes - 1 - i));
  return Bits;
}

}  // namespace

float TDBXBinaryStream::ReadSingle() {
  ReturnToPendingHeader();
  if (TakeNull()) return 0.0F;
  const std::int32_t n = ShortFormPayload();
  if (n > 4) RaiseMalformed("Single value too long", FOff);
  const auto Bits = GetFloatBits<std::uint32_t>(FBuf.data() + FOff + 1, n);
  FinishValue(1 + n);
  return std::bit_cast<float>(Bits);
}

double TDBXBinaryStream::ReadDouble() {
  ReturnToPendingHeader();
  if (TakeNull()) return 0.0;
  const std::int32_t n = ShortFormPayload();
  if (n > 8) RaiseMalformed("Double value too long", FOff);
  const auto Bits = GetFloatBits<std::uint64_t>(FBuf.data() + FOff + 1, n);
  FinishValue(1 + n);
  return std::bit_cast<double>(Bits);
}

std::int64_t TDBXBinaryStream::ReadTimestamp() {
  ReturnToPendingHeader();
  FNanos = 0;
  if (TakeNull()) return 0;
  const std::int32_t Start = FOff;
  const std::int32_t n = ShortFormPayload();
  // The payload is an integer form and, optionally, four fraction bytes.
  const std::uint8_t Inner = n > 0 ? FBuf[static_cast<std::size_t>(Start + 1)] : 0;
  const std::int32_t InnerLength = 1 + (Inner & H::ShortLengthMask);
  const std::int32_t Rest = n - InnerLength;
  if (!IsShortForm(Inner) || InnerLength > 9 || (Rest != 0 && Rest != kNanosBytes)) {
    RaiseMalformed("Malformed timestamp", Start);
  }
  std::int32_t Nanos = 0;
  if (Rest == kNanosBytes) {
    const std::uint32_t Raw = GetUInt32(Start + 1 + InnerLength);
    if (Raw > static_cast<std::uint32_t>(kMaxNanos)) RaiseMalformed("Malformed timestamp", Start);
    Nanos = static_cast<std::int32_t>(Raw);
  }
  // Read the inner integer in place, then account for the timestamp as one value.
  FOff = Start + 1;
  const std::int32_t Ordinal = FCurrentOrdinal;
  const std::int64_t Millis = ReadIntegerForm();
  FOff = Start;
  FCurrentOrdinal = Ordinal;
  FinishValue(1 + n);
  FNanos = Nanos;
  return Millis;
}

void TDBXBinaryStream::ReadBigDecimalBuffer() {
  ReturnToPendingHeader();
  FBigDecimalLength = 0;
  FBigDecimalScale = 0;
  FBigDecimalSignum = 0;
  FBigDecimalTwosComplement = false;
  if (TakeNull()) return;
  const std::int32_t n = ShortFormPayload();
  const std::uint8_t h = FBuf[static_cast<std::size_t>(FOff)];
  if (n > 0) {
    const std::uint8_t Scale = FBuf[static_cast<std::size_t>(FOff + 1)];
    FBigDecimalScale = Scale & kScaleMask;
    FBigDecimalTwosComplement = (Scale & kScaleTwosComplement) != 0;
    FBigDecimalLength = n - 1;
    std::memcpy(FBigDecimalBuffer.data(), FBuf.data() + FOff + 2,
                static_cast<std::size_t>(FBigDecimalLength));
  }
  bool Zero = true;
  for (auto b : BigDecimalBytes()) Zero = Zero && b == 0;
  if (!Zero) {
    if (FBigDecimalTwosComplement) {
      FBigDecimalSignum = (FBigDecimalBuffer[0] & 0x80) != 0 ? -1 : 1;
    } else {
      FBigDecimalSignum = (h & H::NonNegative) != 0 ? 1 : -1;
    }
  }
  FinishValue(1 + n);
}

std::int64_t TDBXBinaryStream::BigDecimalUnscaled() const {
  const auto Bytes = BigDecimalBytes();
  if (Bytes.size() > 8 || (Bytes.size() == 8 && (Bytes[0] & 0x80) != 0)) {
    throw TDBXError(TDBXErrorCodes::BcdTooBig, kBcdTooBig);
  }
  std::uint64_t v = 0;
  for (auto b : Bytes) v = (v << 8) | b;
  if (FBigDecimalTwosComplement && !Bytes.empty() && (Bytes[0] & 0x80) != 0) {
    v |= ~std::uint64_t{0} << (8 * Bytes.size());  // sign-extend
    return static_cast<std::int64_t>(v);
  }
  const auto Magnitude = static_cast<std::int64_t>(v);
  return FBigDecimalSignum < 0 && !FBigDecimalTwosComplement ? -Magnitude : Magnitude;
}

void TDBXBinaryStream::ReadNull() {
  ReturnToPendingHeader();
  if (!TakeNull()) RaiseUnexpectedHeader();
}

bool TDBXBinaryStream::ReadCallback() {
  ReturnToPendingHeader();
  if (TakeNull()) return false;
  if (HeaderAt(FOff) != H::Callback) RaiseUnexpectedHeader();
  FinishValue(1);
  return true;
}

std::optional<std::string> TDBXBinaryStream::ReadJSONText() {
  ReturnToPendingHeader();
  if (TakeNull()) return std::nullopt;
  if (HeaderAt(FOff) != H::Length32) {
    throw TDBXError(TDBXErrorCodes::Unspecified, kInvalidJsonHeader);
  }
  const std::int32_t Length = ValueLength(FOff);
  std::string Text(reinterpret_cast<const char*>(FBuf.data() + FOff + TDBXValueHeader::Length32Bytes),
                   static_cast<std::size_t>(Length - TDBXValueHeader::Length32Bytes));
  FinishValue(Length);
  return Text;
}

// --- Skipping -------------------------------------------------------------------------

std::int32_t TDBXBinaryStream::ZeroTerminatedContentLength(std::int32_t Offset) const {
  const std::int32_t Terminator = TerminatorLength();
  const std::int32_t Limit = ReadLimit();
  std::int32_t Run = 0;
  for (std::int32_t i = Offset + 1; i < Limit; ++i) {
    Run = FBuf[static_cast<std::size_t>(i)] == 0 ? Run + 1 : 0;
    if (Run == Terminator) return i + 1 - Terminator - (Offset + 1);
  }
  RaiseMalformed("Truncated value", Offset);
}

std::int32_t TDBXBinaryStream::ValueLength(std::int32_t Offset) const {
  const std::uint8_t h = HeaderAt(Offset);
  std::int64_t Length = 0;
  if (h >= H::NullBit) {
    Length = 1;
  } else if ((h & H::ShortForm) != 0) {
    Length = 1 + (h & H::ShortLengthMask);
  } else if (h == H::Callback) {
    Length = 1;
  } else if ((h & H::Length16) != 0) {
    RequireReadable(Offset, TDBXValueHeader::Length16Bytes);
    Length = TDBXValueHeader::Length16Bytes + GetUInt16(Offset + 1);
  } else if ((h & H::Length32) != 0) {
    RequireReadable(Offset, TDBXValueHeader::Length32Bytes);
    Length = TDBXValueHeader::Length32Bytes + static_cast<std::int64_t>(GetUInt32(Offset + 1));
  } else if (h == H::BlobHeader) {
    Length = kBlobHeaderBytes;
  } else if (h == H::BlobHeaderWithTag) {
    RequireReadable(Offset, kBlobHeaderWithTagBytes);
    Length = kBlobHeaderWithTagBytes +
             (FBuf[static_cast<std::size_t>(Offset + kBlobHeaderBytes)] & H::ShortLengthMask);
  } else if (h == H::ZeroTerminated) {
    Length = 1 + ZeroTerminatedContentLength(Offset) + TerminatorLength();
  } else {
    // No known form has length 0; stepping by it would never end.
    RaiseUnexpectedHeader();
  }
  RequireReadable(Offset, Length);
  return static_cast<std::int32_t>(Length);
}

void TDBXBinaryStream::SkipValue() {
  ReturnToPendingHeader();
  FinishValue(ValueLength(FOff));
}

}  // namespace tavrin
