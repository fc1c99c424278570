#include "dbxstream/row_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "dbxstream/json_stream_reader.h"
#include "dbxstream/row_text_encoding.h"
#include "vocabulary/data_types.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"
#include "vocabulary/long_value_builder.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace H = TDBXValueHeader;

namespace {

// Room a string write reserves beyond its inline limit, and a byte write.
constexpr std::int64_t kBytesReserveExtra = 3;

constexpr char kInvalidDecimal[] = "Invalid decimal text";
constexpr char kInvalidTimeStampOffset[] = "Invalid timestamp offset text";

// --- Decimal text -------------------------------------------------------------------

bool IsDecimalText(std::string_view Text) {
  std::size_t i = 0;
  if (i < Text.size() && Text[i] == '-') ++i;
  std::size_t Digits = 0;
  for (; i < Text.size() && Text[i] >= '0' && Text[i] <= '9'; ++i) ++Digits;
  if (i < Text.size() && Text[i] == '.') {
    ++i;
    for (; i < Text.size() && Text[i] >= '0' && Text[i] <= '9'; ++i) ++Digits;
  }
  return Digits > 0 && i == Text.size();
}

std::string ScaledDecimalText(std::int64_t Unscaled, std::int32_t Scale) {
  const std::uint64_t Magnitude = Unscaled < 0 ? 0 - static_cast<std::uint64_t>(Unscaled)
                                               : static_cast<std::uint64_t>(Unscaled);
  std::string Digits = std::to_string(Magnitude);
  const auto s = static_cast<std::size_t>(Scale);
  if (s > 0) {
    if (Digits.size() <= s) Digits.insert(0, s + 1 - Digits.size(), '0');
    Digits.insert(Digits.size() - s, 1, '.');
  }
  return Unscaled < 0 ? "-" + Digits : Digits;
}

// --- Timestamp-offset text: "m/d/yyyy h:nn:ss:zz +hh:nn" ---------------------------

std::string FormatTimeStampOffset(const TSQLTimeStampOffset& Value) {
  const TSQLTimeStamp& t = Value.TimeStamp;
  const bool Negative =
      Value.OffsetHours < 0 || (Value.OffsetHours == 0 && Value.OffsetMinutes < 0);
  if (t.Year < 0 || t.Fractions > 999 || Value.OffsetHours < -14 || Value.OffsetHours > 14 ||
      Value.OffsetMinutes < -59 || Value.OffsetMinutes > 59) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, "Timestamp offset out of range");
  }
  char Text[64];
  std::snprintf(Text, sizeof Text, "%u/%u/%04d %u:%02u:%02u:%u %c%02d:%02d",
                static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day), t.Year,
                static_cast<unsigned>(t.Hour), static_cast<unsigned>(t.Minute),
                static_cast<unsigned>(t.Second), static_cast<unsigned>(t.Fractions),
                Negative ? '-' : '+', std::abs(Value.OffsetHours),
                std::abs(Value.OffsetMinutes));
  return Text;
}

// Reads 1..MaxDigits digits at Pos, then the separator Next (none when Next is 0).
bool TakeNumber(std::u16string_view Text, std::size_t& Pos, std::size_t MaxDigits, char Next,
                int& Value) {
  std::size_t Digits = 0;
  Value = 0;
  while (Pos < Text.size() && Digits < MaxDigits && Text[Pos] >= u'0' && Text[Pos] <= u'9') {
    Value = Value * 10 + (Text[Pos++] - u'0');
    ++Digits;
  }
  if (Digits == 0) return false;
  if (Next == 0) return true;
  if (Pos >= Text.size() || Text[Pos] != static_cast<char16_t>(Next)) return false;
  ++Pos;
  return true;
}

TSQLTimeStampOffset ParseTimeStampOffset(std::u16string_view Text) {
  int Month = 0, Day = 0, Year = 0, Hour = 0, Minute = 0, Second = 0, Millis = 0;
  int OffsetHours = 0, OffsetMinutes = 0;
  std::size_t Pos = 0;
  bool Ok = TakeNumber(Text, Pos, 2, '/', Month) && TakeNumber(Text, Pos, 2, '/', Day) &&
            TakeNumber(Text, Pos, 4, ' ', Year) && TakeNumber(Text, Pos, 2, ':', Hour) &&
            TakeNumber(Text, Pos, 2, ':', Minute) && TakeNumber(Text, Pos, 2, ':', Second) &&
            TakeNumber(Text, Pos, 3, ' ', Millis);
  const bool Negative = Ok && Pos < Text.size() && Text[Pos] == u'-';
  Ok = Ok && Pos < Text.size() && (Text[Pos] == u'+' || Negative);
  ++Pos;
  Ok = Ok && TakeNumber(Text, Pos, 2, ':', OffsetHours) &&
       TakeNumber(Text, Pos, 2, 0, OffsetMinutes) && Pos == Text.size();
  Ok = Ok && Month >= 1 && Month <= 12 && Day >= 1 && Day <= 31 && Hour <= 23 &&
       Minute <= 59 && Second <= 59 && OffsetHours <= 14 && OffsetMinutes <= 59;
  if (!Ok) throw TDBXError(TDBXErrorCodes::InvalidInput, kInvalidTimeStampOffset);
  TSQLTimeStampOffset Value;
  Value.TimeStamp = {static_cast<std::int16_t>(Year), static_cast<std::uint16_t>(Month),
                     static_cast<std::uint16_t>(Day), static_cast<std::uint16_t>(Hour),
                     static_cast<std::uint16_t>(Minute), static_cast<std::uint16_t>(Second),
                     static_cast<std::uint32_t>(Millis)};
  Value.OffsetHours = static_cast<std::int16_t>(Negative ? -OffsetHours : OffsetHours);
  Value.OffsetMinutes =
      static_cast<std::int16_t>(Negative && OffsetHours == 0 ? -OffsetMinutes : OffsetMinutes);
  return Value;
}

}  // namespace

// A string or byte value as it lies in the buffer.
struct TDBXRowBuffer::TLongValue {
  std::int32_t Length = 0;        // total length in the buffer
  std::int32_t HeaderLength = 0;  // bytes before the inline bytes
  std::span<const std::uint8_t> Inline;
  bool More = false;               // 0x50: the peer holds the rest
  bool Announced = false;          // blob header: all bytes are with the peer
  std::int64_t AnnouncedSize = 0;
  bool IsNull = false;
};

TDBXRowBuffer::TDBXRowBuffer()
    : FCommandHandle(std::make_shared<std::int32_t>(-1)),
      FRowOffsets(static_cast<std::size_t>(limits::kRowOffsetsGrow), 0) {
  FReadSize = 0;  // nothing is readable before a block is loaded
}

void TDBXRowBuffer::SetCommandHandle(std::int32_t Handle) {
  // Values read under the old handle keep seeing it closed; when none holds it, the
  // same cell takes the new handle.
  if (FCommandHandle.use_count() == 1) {
    *FCommandHandle = Handle;
    return;
  }
  *FCommandHandle = -1;
  FCommandHandle = std::make_shared<std::int32_t>(Handle);
}

// --- Long values ----------------------------------------------------------------------

std::int32_t TDBXRowBuffer::InlineLimit() const {
  const std::int64_t Limit =
      FMinBufSize < static_cast<std::int64_t>(FOff) + FMaxInline + TDBXValueHeader::Length16Bytes
          ? FMaxInline
          : static_cast<std::int64_t>(FBufLength) - FOff - TDBXValueHeader::Length16Bytes;
  return static_cast<std::int32_t>(std::min<std::int64_t>(Limit, limits::kMaxInlineCeiling));
}

std::unique_ptr<TStream> TDBXRowBuffer::TakeOverflowStream() {
  if (FOverflowInSource || FBytesOverflowBuffer.empty()) return nullptr;
  auto Stream = std::make_unique<TBytesStream>(std::move(FBytesOverflowBuffer));
  FBytesOverflowBuffer.clear();
  return Stream;
}

std::int64_t TDBXRowBuffer::WriteEncoded(std::span<const std::uint8_t> Encoded,
                                         bool StringForm) {
  const std::int32_t Limit = InlineLimit();
  FLastInlinByteCount = Limit;
  const std::size_t Length = Encoded.size();
  // Room for what this value can place: its header and at most the inline limit of its
  // bytes. Reserving the whole limit (all the room left) plus a margin grew a reused
  // buffer by the margin on every long write.
  EnsureRoom(TDBXValueHeader::Length16Bytes +
             static_cast<std::int64_t>(std::min(Length, static_cast<std::size_t>(Limit))));
  FBytesOverflowBuffer.clear();
  FOverflowInSource = false;
  FLastWriteFitted = true;
  std::uint8_t* p = FBuf.data() + FOff;
  // The empty value of either form is the bare short-form header.
  if (Length == 0 || (StringForm && Length <= static_cast<std::size_t>(kShortFormMaxBytes))) {
    p[0] = static_cast<std::uint8_t>(H::ShortForm + Length);
    if (Length > 0) std::memcpy(p + 1, Encoded.data(), Length);
    FinishValue(1 + static_cast<std::int32_t>(Length));
    return static_cast<std::int64_t>(Length);
  }
  const std::size_t n = std::min(Length, static_cast<std::size_t>(Limit));
  p[0] = n == Length ? H::Length16 : H::Length16More;
  PutUInt16(FOff + 1, static_cast<std::uint16_t>(n));
  std::memcpy(p + TDBXValueHeader::Length16Bytes, Encoded.data(), n);
  FBytesOverflowBuffer.assign(Encoded.begin() + static_cast<std::ptrdiff_t>(n), Encoded.end());
  FLastWriteFitted = n == Length;
  FinishValue(TDBXValueHeader::Length16Bytes + static_cast<std::int32_t>(n));
  return static_cast<std::int64_t>(n);
}

bool TDBXRowBuffer::WriteString(std::u16string_view Text) {
  std::vector<std::uint8_t> Encoded;
  EncodeRowText(Text, Encoded);
  WriteEncoded(Encoded, true);
  return FLastWriteFitted;
}

std::int64_t TDBXRowBuffer::WriteBytes(std::span<const std::uint8_t> Bytes) {
  return WriteEncoded(Bytes, false);
}

bool TDBXRowBuffer::WriteAnsiString(std::string_view Text) {
  WriteEncoded({reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()}, false);
  return FLastWriteFitted;
}

std::int64_t TDBXRowBuffer::WriteBytes(TStream& Source) {
  const std::int32_t Limit = InlineLimit();
  FLastInlinByteCount = Limit;
  EnsureRoom(Limit + kBytesReserveExtra);
  FBytesOverflowBuffer.clear();
  FOverflowInSource = false;
  std::uint8_t* Inline = FBuf.data() + FOff + TDBXValueHeader::Length16Bytes;
  std::int64_t Got = 0;
  bool Ended = false;
  while (Got < Limit) {
    const std::int64_t r = Source.Read({Inline + Got, static_cast<std::size_t>(Limit - Got)});
    if (r <= 0) {
      Ended = true;
      break;
    }
    Got += r;
  }
  FLastWriteFitted = true;
  if (Got == 0) {
    FBuf[static_cast<std::size_t>(FOff)] = H::ShortForm;
    FinishValue(1);
    return 0;
  }
  bool More = false;
  if (!Ended && !Source.AtEnd()) {
    // A source that keeps its rest serves it itself: a large packet is not copied once more.
    if (Source.Size() >= 0 && !Source.KeepsItsRest()) {
      auto& Rest = FBytesOverflowBuffer;
      // A source that tells its size gets room for its rest at once: a large value is
      // not grown into by doubling, which would hold up to twice its size meanwhile.
      // (Each read asks for a chunk more than may be left.)
      if (Source.Size() > Got) {
        Rest.reserve(static_cast<std::size_t>(Source.Size() - Got) + static_cast<std::size_t>(limits::kOverflowReadChunk));
      }
      for (;;) {
        const std::size_t Old = Rest.size();
        Rest.resize(Old + static_cast<std::size_t>(limits::kOverflowReadChunk));
        const std::int64_t r =
            Source.Read({Rest.data() + Old, static_cast<std::size_t>(limits::kOverflowReadChunk)});
        Rest.resize(Old + static_cast<std::size_t>(std::max<std::int64_t>(r, 0)));
        if (r <= 0) break;
      }
      More = !Rest.empty();
    } else {
      // The rest is served from the source itself: it keeps it, or it cannot tell
      // whether anything is left without consuming it (then possibly as one empty last
      // piece).
      More = true;
      FOverflowInSource = true;
    }
  }
  FBuf[static_cast<std::size_t>(FOff)] = More ? H::Length16More : H::Length16;
  PutUInt16(FOff + 1, static_cast<std::uint16_t>(Got));
  FLastWriteFitted = !More;
  FinishValue(TDBXValueHeader::Length16Bytes + static_cast<std::int32_t>(Got));
  return Got;
}

// --- Per-kind writers -----------------------------------------------------------------

void TDBXRowBuffer::WriteTimeStamp(const TSQLTimeStamp& Value) {
  const TDBXTimeValue tv = TimeStampToTimeValue(Value);
  WriteTimestamp(tv.Millis, tv.Nanos);
}

bool TDBXRowBuffer::WriteTimeStampOffset(const TSQLTimeStampOffset& Value) {
  return WriteString(ToUtf16(FormatTimeStampOffset(Value)));
}

void TDBXRowBuffer::WriteBcd(std::string_view DecimalText) {
  if (!IsDecimalText(DecimalText)) throw TDBXError(TDBXErrorCodes::InvalidInput, kInvalidDecimal);
  WriteString(ToUtf16(DecimalText));
}

void TDBXRowBuffer::WriteDoubleValue(double Value, std::int32_t SubType) {
  if (SubType == TDBXSubDataTypes::SingleSubType) {
    WriteSingle(static_cast<float>(Value));
  } else {
    WriteDouble(Value);
  }
}

void TDBXRowBuffer::WriteJSONValue(const TJSONValue& Value) { WriteJSONText(Value.dump()); }

// --- Reading long values --------------------------------------------------------------

TDBXRowBuffer::TLongValue TDBXRowBuffer::LongValueAt(std::int32_t Start) const {
  TLongValue v;
  const std::uint8_t h = HeaderAt(Start);
  if (h >= H::NullBit) {
    v.IsNull = true;
    v.Length = 1;
    return v;
  }
  if (h == H::Callback) RaiseUnexpectedHeader();
  v.Length = ValueLength(Start);  // raises for garbage and for a value cut short
  const auto* Base = FBuf.data() + Start;
  if ((h & H::ShortForm) != 0) {
    v.HeaderLength = 1;
  } else if ((h & H::Length16) != 0) {
    v.HeaderLength = TDBXValueHeader::Length16Bytes;
    v.More = (h & H::NonNegative) != 0;
  } else if ((h & H::Length32) != 0) {
    v.HeaderLength = TDBXValueHeader::Length32Bytes;
  } else if (h == H::BlobHeader || h == H::BlobHeaderWithTag) {
    // The tag after a 0x0C header says nothing this server needs; it is skipped.
    v.HeaderLength = v.Length;
    v.Announced = true;
    v.AnnouncedSize = GetUInt32(Start + 1);
    return v;
  } else {  // zero-terminated
    v.HeaderLength = 1;
    v.Inline = {Base + 1, static_cast<std::size_t>(ZeroTerminatedContentLength(Start))};
    return v;
  }
  v.Inline = {Base + v.HeaderLength, static_cast<std::size_t>(v.Length - v.HeaderLength)};
  return v;
}

TDBXBlobOrigin TDBXRowBuffer::MakeOrigin(std::int32_t RowHandle) {
  TDBXBlobOrigin Origin;
  Origin.Row = CurrentTotalRow();
  Origin.Ordinal = FCurrentOrdinal;
  Origin.BlobId = ++FBlobId;
  Origin.ParameterBuffer = FParameterBuffer;
  Origin.RowHandle = RowHandle;
  Origin.CommandHandle = FCommandHandle;
  Origin.Reader = FDbxStreamReader;
  Origin.Writer = FDbxStreamWriter;
  Origin.Client = FClient;
  return Origin;
}

std::int64_t TDBXRowBuffer::EncodedStringLength() {
  ReturnToPendingHeader();
  const TLongValue v = LongValueAt(FOff);
  if (v.IsNull) return 0;
  FLastHeaderOffset = FOff;
  FLastOrdinal = FCurrentOrdinal;
  FHeaderConsumed = true;
  FOff += v.HeaderLength;
  return v.Announced ? v.AnnouncedSize : static_cast<std::int64_t>(v.Inline.size());
}

void TDBXRowBuffer::ReturnToHeader() {
  FOff = FLastHeaderOffset;
  FCurrentOrdinal = FLastOrdinal;
  FHeaderConsumed = false;
}

template <typename TWhole, typename TPiece>
bool TDBXRowBuffer::ReadValuePieces(TWhole&& Whole, TPiece&& Piece) {
  ReturnToPendingHeader();
  const TLongValue v = LongValueAt(FOff);
  if (!v.More && !v.Announced) {
    FinishValue(v.Length);
    Whole(v.Inline);
    return false;
  }
  // The blob reader holds the inline bytes too, so its cap counts the whole value.
  std::optional<TDBXRowBlobStreamReader> Reader;
  if (v.Announced) {
    Reader.emplace(MakeOrigin(FRowHandle), v.AnnouncedSize);
  } else {
    Reader.emplace(MakeOrigin(FRowHandle), v.Inline, true);
  }
  FinishValue(v.Length);
  std::vector<std::uint8_t> Chunk(static_cast<std::size_t>(limits::kWideBlobStringBufferBytes));
  while (!Reader->AtEnd()) {
    const std::int64_t n = Reader->Read(Chunk);
    // A piece refused (past what the connection may hold) leaves the rest unread.
    RefuseMidValue([&] { Piece(std::span<const std::uint8_t>(Chunk).first(static_cast<std::size_t>(n))); });
  }
  return true;
}

namespace {
constexpr char kRowLongValueWhat[] = "A long value";
}  // namespace

std::u16string TDBXRowBuffer::ReadString() {
  std::u16string Text;
  TDBXRowTextDecoder Decoder;
  TLongValueBuilder<std::u16string> Long(kRowLongValueWhat);
  const bool IsLong = ReadValuePieces([&](std::span<const std::uint8_t> Bytes) { Decoder.Decode(Bytes, Text); },
                                      [&](std::span<const std::uint8_t> Bytes) {
                                        Text.clear();
                                        Decoder.Decode(Bytes, Text);
                                        Long.Append(Text.data(), Text.size());
                                      });
  // A held odd byte at the end cannot form a code unit; the peer cut its own text short.
  if (!IsLong) return Text;
  TClientMemoryHold Hold;
  return Long.Take(Hold);
}

std::vector<std::uint8_t> TDBXRowBuffer::ReadBytes() {
  std::vector<std::uint8_t> Bytes;
  TLongValueBuilder<std::vector<std::uint8_t>> Long(kRowLongValueWhat);
  const bool IsLong = ReadValuePieces(
      [&](std::span<const std::uint8_t> Piece) { Bytes.assign(Piece.begin(), Piece.end()); },
      [&](std::span<const std::uint8_t> Piece) { Long.Append(Piece.data(), Piece.size()); });
  if (!IsLong) return Bytes;
  TClientMemoryHold Hold;
  return Long.Take(Hold);
}

std::string TDBXRowBuffer::ReadAnsiString() {
  std::string Text;
  TLongValueBuilder<std::string> Long(kRowLongValueWhat);
  const bool IsLong = ReadValuePieces(
      [&](std::span<const std::uint8_t> Piece) { Text.assign(reinterpret_cast<const char*>(Piece.data()), Piece.size()); },
      [&](std::span<const std::uint8_t> Piece) {
        Long.Append(reinterpret_cast<const char*>(Piece.data()), Piece.size());
      });
  if (!IsLong) return Text;
  TClientMemoryHold Hold;
  return Long.Take(Hold);
}

std::unique_ptr<TDBXRowBlobStreamReader> TDBXRowBuffer::ReadBlobStreamReader(
    std::int32_t RowHandle) {
  ReturnToPendingHeader();
  const TLongValue v = LongValueAt(FOff);
  std::unique_ptr<TDBXRowBlobStreamReader> Reader;
  if (v.Announced) {
    Reader = std::make_unique<TDBXRowBlobStreamReader>(MakeOrigin(RowHandle), v.AnnouncedSize);
  } else {
    Reader = std::make_unique<TDBXRowBlobStreamReader>(MakeOrigin(RowHandle), v.Inline, v.More);
  }
  FinishValue(v.Length);
  return Reader;
}

// --- Per-kind readers -----------------------------------------------------------------

TSQLTimeStamp TDBXRowBuffer::ReadTimeStamp() {
  ReturnToPendingHeader();
  if (Null()) {
    ReadNull();
    return {};
  }
  const std::int64_t Millis = ReadTimestamp();
  return TimeValueToTimeStamp({Millis, FNanos});
}

TSQLTimeStampOffset TDBXRowBuffer::ReadTimeStampOffset() {
  ReturnToPendingHeader();
  if (Null()) {
    ReadNull();
    return {};
  }
  return ParseTimeStampOffset(ReadString());
}

std::string TDBXRowBuffer::ReadBcd() {
  ReturnToPendingHeader();
  if (Null()) {
    ReadNull();
    return {};
  }
  if (FBcdFormat == kBcdFormatBigDecimal) {
    ReadBigDecimalBuffer();
    return ScaledDecimalText(BigDecimalUnscaled(), FBigDecimalScale);
  }
  return ToUtf8(ReadString());
}

double TDBXRowBuffer::ReadDoubleValue(std::int32_t SubType) {
  return SubType == TDBXSubDataTypes::SingleSubType ? ReadSingle() : ReadDouble();
}

std::optional<TJSONValue> TDBXRowBuffer::ReadJSONValue() {
  const auto Text = ReadJSONText();
  if (!Text) return std::nullopt;
  return ParseJsonText(*Text);
}

// --- Navigation -----------------------------------------------------------------------

void TDBXRowBuffer::Reset() {
  FOff = 0;
  FCurrentOrdinal = 0;
  FHeaderConsumed = false;
  FLastHeaderOffset = 0;
  FLastOrdinal = 0;
  FReadSize = 0;
  FCurrentRow = 0;
  FRowCount = 0;
  FRowsBeforeBlock = 0;
}

void TDBXRowBuffer::ReadSize(std::int32_t Size) {
  if (Size < 0 || Size > FBufLength) {
    throw TDBXError(TDBXErrorCodes::LimitExceeded, "Invalid read size " + std::to_string(Size));
  }
  FRowsBeforeBlock += FRowCount;
  FReadSize = Size;
  FOff = 0;
  FCurrentOrdinal = 0;
  FHeaderConsumed = false;
  FCurrentRow = 0;
  FRowCount = Size > 0 ? 1 : 0;
  FRowOffsets[0] = 0;
}

void TDBXRowBuffer::ReadDataBytes() {
  if (FDbxStreamReader == nullptr) {
    throw TDBXError(TDBXErrorCodes::Unspecified, "Row buffer has no stream reader");
  }
  const std::int32_t Count = FDbxStreamReader->ReadInt();
  if (Count < 0) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, "Invalid row block size " + std::to_string(Count));
  }
  if (Count > limits::kMaxDataBlockBytes) {
    throw TDBXMidValueRefusal(TDBXErrorCodes::LimitExceeded, "Invalid row block size " + std::to_string(Count));
  }
  // An empty block may come as {"data":[0]} without the comma; the caller's skip to
  // the end of the object passes over a comma if there is one.
  if (Count > 0) FDbxStreamReader->NextValueSeparator();
  ReadSize(0);
  ReadBlock(*FDbxStreamReader, Count);
  ReadSize(Count);
}

void TDBXRowBuffer::ReadBlock(TDBXJSonStreamReader& Reader, std::int32_t Count) {
  std::int32_t Done = 0;
  while (Done < Count) {
    if (BufLength() <= Done) {
      const std::int32_t Step = std::max(limits::kBlockGrowBytes, BufLength());
      // Held as the bytes arrive; a refusal leaves the rest of the block unread.
      RefuseMidValue([&] { MinBufferSize(Done + std::min(Step, Count - Done)); });
    }
    const std::int32_t Piece = std::min(Count, BufLength()) - Done;
    Reader.ReadDataBytes(MutableBuffer().subspan(static_cast<std::size_t>(Done),
                                                 static_cast<std::size_t>(Piece)));
    Done += Piece;
  }
  MinBufferSize(Count);
}

bool TDBXRowBuffer::NextRow() {
  ReturnToPendingHeader();
  if (FOff >= FReadSize) return false;
  if (FColumnCount <= 0) {
    // With no values per row the offset could never move past a row.
    throw TDBXError(TDBXErrorCodes::InvalidInput, "Row navigation without a column count");
  }
  while (FCurrentOrdinal < FColumnCount) SkipValue();
  FCurrentOrdinal = 0;
  if (FOff >= FReadSize) return false;
  ++FCurrentRow;
  if (FCurrentRow >= FRowCount) {
    if (static_cast<std::size_t>(FCurrentRow) >= FRowOffsets.size()) {
      FRowOffsets.resize(FRowOffsets.size() + static_cast<std::size_t>(limits::kRowOffsetsGrow));
    }
    FRowOffsets[static_cast<std::size_t>(FCurrentRow)] = FOff;
    FRowCount = FCurrentRow + 1;
  }
  return true;
}

bool TDBXRowBuffer::GoToRow(std::int32_t Row) {
  ReturnToPendingHeader();
  if (Row < 0 || FRowCount == 0) return false;
  const std::int32_t Known = std::min(Row, FRowCount - 1);
  FCurrentRow = Known;
  FOff = FRowOffsets[static_cast<std::size_t>(Known)];
  FCurrentOrdinal = 0;
  while (FCurrentRow < Row) {
    if (!NextRow()) return false;
  }
  return true;
}

void TDBXRowBuffer::GoToField(std::int32_t Ordinal) {
  ReturnToPendingHeader();
  if (Ordinal < 0 || (FColumnCount > 0 && Ordinal >= FColumnCount)) {
    throw TDBXError(TDBXErrorCodes::InvalidInput,
                    "Field ordinal " + std::to_string(Ordinal) + " out of range");
  }
  if (Ordinal < FCurrentOrdinal) {
    FOff = FRowOffsets[static_cast<std::size_t>(FCurrentRow)];
    FCurrentOrdinal = 0;
  }
  while (FCurrentOrdinal < Ordinal) SkipValue();
}

}  // namespace tavrin
