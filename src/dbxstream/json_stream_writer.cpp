#include "dbxstream/json_stream_writer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "dbxstream/latin1_runs.h"
#include "dbxstream/stream_sequences.h"
#include "vocabulary/stream.h"

namespace tavrin {

namespace seq = sequences;

namespace {

constexpr std::int32_t kDataStartSize = static_cast<std::int32_t>(seq::kDataStart.size());

std::uint64_t Magnitude(std::int64_t Value) {
  // Unsigned negation: well defined for INT64_MIN too.
  return Value < 0 ? 0 - static_cast<std::uint64_t>(Value) : static_cast<std::uint64_t>(Value);
}

std::int32_t CheckedCount(std::size_t Size) {
  if (Size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::invalid_argument("data block larger than a 32-bit count");
  }
  return static_cast<std::int32_t>(Size);
}

}  // namespace

TDBXJSonStreamWriter::TDBXJSonStreamWriter(TDbxChannel& Channel, std::int32_t BufferSize)
    : FChannel(Channel),
      FWriteBufferSize(BufferSize == 0 ? limits::kDefaultStreamBufferSize : BufferSize) {
  if (FWriteBufferSize < limits::kMinWriteBufferSize) {
    throw std::invalid_argument("write buffer smaller than " +
                                std::to_string(limits::kMinWriteBufferSize) + " bytes");
  }
  FWriteBuffer.resize(static_cast<std::size_t>(FWriteBufferSize));
}

void TDBXJSonStreamWriter::Open() { FWriteBufferPosition = -1; }

void TDBXJSonStreamWriter::SendFullBuffer() {
  // The position moves only after the channel took the bytes, so a failed Write
  // leaves them in place instead of letting the next byte overwrite them.
  FChannel.Write(FWriteBuffer);
  FWriteBufferPosition = -1;
}

void TDBXJSonStreamWriter::Flush() {
  if (FWriteBufferPosition < 0) return;
  FChannel.Write(std::span<const std::uint8_t>(FWriteBuffer)
                     .first(static_cast<std::size_t>(FWriteBufferPosition + 1)));
  FWriteBufferPosition = -1;
}

std::span<std::uint8_t> TDBXJSonStreamWriter::FreeSpace() noexcept {
  return std::span<std::uint8_t>(FWriteBuffer)
      .subspan(static_cast<std::size_t>(FWriteBufferPosition + 1));
}

void TDBXJSonStreamWriter::Skip(std::int32_t Count) {
  if (Count < 0 || Count > FWriteBufferSize - FWriteBufferPosition - 1) {
    throw std::out_of_range("Skip beyond the write buffer");
  }
  FWriteBufferPosition += Count;
}

std::int32_t TDBXJSonStreamWriter::CalcRowBufferSize() const noexcept {
  return FWriteBufferSize >= limits::kRowBufferReserve
             ? FWriteBufferSize - limits::kRowBufferReserve
             : FWriteBufferSize;
}

void TDBXJSonStreamWriter::Append(std::span<const std::uint8_t> Sequence) {
  for (const std::uint8_t Byte : Sequence) Append(Byte);
}

// --- Structural -------------------------------------------------------------------------

void TDBXJSonStreamWriter::WriteObjectStart() { Append(seq::kObjectStart); }
void TDBXJSonStreamWriter::WriteObjectEnd() { Append(seq::kObjectEnd); }
void TDBXJSonStreamWriter::WriteArrayStart() { Append(seq::kArrayStart); }
void TDBXJSonStreamWriter::WriteArrayEnd() { Append(seq::kArrayEnd); }
void TDBXJSonStreamWriter::WriteValueSeparator() { Append(seq::kValueSeparator); }
void TDBXJSonStreamWriter::WriteNameSeparator() { Append(seq::kNameSeparator); }
void TDBXJSonStreamWriter::WriteSpace() { Append(seq::kBlank); }
void TDBXJSonStreamWriter::WriteParamsStart() { Append(seq::kParamsStart); }

// --- Values -----------------------------------------------------------------------------

void TDBXJSonStreamWriter::WriteString(std::u16string_view Text) {
  Append(seq::kQuote);
  std::size_t i = 0;
  while (i < Text.size()) {
    // Runs of plain characters go straight into the buffer; only the unit that ends a
    // run is looked at on its own.
    if (FWriteBufferPosition + 1 == FWriteBufferSize) SendFullBuffer();
    const std::size_t Room = std::min(Text.size() - i,
                                      static_cast<std::size_t>(FWriteBufferSize - FWriteBufferPosition - 1));
    const std::size_t Plain = NarrowPlainUnits(
        Text.data() + i, Room, FWriteBuffer.data() + FWriteBufferPosition + 1);
    FWriteBufferPosition += static_cast<std::int32_t>(Plain);
    i += Plain;
    if (Plain == Room) continue;
    WriteEscapedUnit(Text[i++]);
  }
  Append(seq::kQuote);
}

void TDBXJSonStreamWriter::WriteEscapedUnit(char16_t Unit) {
  const auto* Short = std::find_if(seq::kShortEscapes.begin(), seq::kShortEscapes.end(),
                                   [Unit](const auto& e) { return e.Unit == Unit; });
  if (Short != seq::kShortEscapes.end()) {
    Append(seq::kBackslash);
    Append(Short->Letter);
    return;
  }
  Append(seq::kUnicodeEscape);
  for (int Shift = 12; Shift >= 0; Shift -= 4) {
    Append(seq::kHexDigits[(static_cast<unsigned>(Unit) >> Shift) & 0xFU]);
  }
}

void TDBXJSonStreamWriter::WriteLongBody(std::uint64_t Value, bool Negative) {
  if (Negative) Append(seq::kMinus);
  if (Value < 10) {
    Append(static_cast<std::uint8_t>(seq::kDigitZero + Value));
    return;
  }
  // Digits from the right end of the decimal buffer, least significant first.
  std::size_t First = FDecimalBuffer.size();
  while (Value != 0) {
    FDecimalBuffer[--First] = static_cast<std::uint8_t>(seq::kDigitZero + Value % 10);
    Value /= 10;
  }
  Append(std::span<const std::uint8_t>(FDecimalBuffer).subspan(First));
}

void TDBXJSonStreamWriter::WriteInt(std::int32_t Value) { WriteLong(Value); }

void TDBXJSonStreamWriter::WriteLong(std::int64_t Value) {
  WriteLongBody(Magnitude(Value), Value < 0);
}

void TDBXJSonStreamWriter::WriteBoolean(bool Value) {
  if (Value) {
    Append(seq::kTrue);
  } else {
    Append(seq::kFalse);
  }
}

void TDBXJSonStreamWriter::WriteNull() { Append(seq::kNull); }

void TDBXJSonStreamWriter::WriteNamedString(std::u16string_view Name,
                                            std::u16string_view Value) {
  WriteString(Name);
  WriteNameSeparator();
  WriteString(Value);
}

void TDBXJSonStreamWriter::WriteDataBytes(std::span<const std::uint8_t> Bytes) {
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    std::int32_t Free = FWriteBufferSize - FWriteBufferPosition - 1;
    if (Free <= 0) {
      SendFullBuffer();
      Free = FWriteBufferSize;
    }
    FWriteCount = static_cast<std::int32_t>(
        std::min(Bytes.size() - Done, static_cast<std::size_t>(Free)));
    std::memcpy(FWriteBuffer.data() + FWriteBufferPosition + 1, Bytes.data() + Done,
                static_cast<std::size_t>(FWriteCount));
    FWriteBufferPosition += FWriteCount;
    Done += static_cast<std::size_t>(FWriteCount);
  }
}

// --- Requests ---------------------------------------------------------------------------

void TDBXJSonStreamWriter::WriteRequestStart(std::span<const std::uint8_t> Method) {
  Append(seq::kMethodStart);
  Append(Method);
  Append(seq::kParamsStart);
}

void TDBXJSonStreamWriter::WriteArrayAndObjectEnd() {
  WriteArrayEnd();
  WriteObjectEnd();
}

void TDBXJSonStreamWriter::WriteConnectObjectStart() {
  WriteRequestStart(seq::kConnectMethod);
  WriteObjectStart();
}

void TDBXJSonStreamWriter::WriteDisconnectObject(std::int32_t ConnectionHandle) {
  WriteRequestStart(seq::kDisconnectMethod);
  WriteInt(ConnectionHandle);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WritePrepareStart() {
  WriteRequestStart(seq::kPrepareMethod);
}

void TDBXJSonStreamWriter::WriteExecuteStart() {
  WriteRequestStart(seq::kExecuteMethod);
}

void TDBXJSonStreamWriter::WriteExecuteFieldsObject(std::int32_t CommandHandle,
                                                    std::u16string_view CommandType,
                                                    std::u16string_view CommandText) {
  Append(seq::kFieldsStart);
  WriteInt(CommandHandle);
  WriteValueSeparator();
  WriteBoolean(false);
  WriteValueSeparator();
  WriteString(CommandType);
  WriteValueSeparator();
  WriteString(CommandText);
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteCommandCloseObject(std::int32_t CommandHandle) {
  WriteRequestStart(seq::kCommandCloseMethod);
  WriteInt(CommandHandle);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WriteReaderCloseObject(std::int32_t RowHandle,
                                                  std::int32_t CommandHandle) {
  WriteRequestStart(seq::kReaderCloseMethod);
  WriteInt(RowHandle);
  WriteValueSeparator();
  WriteInt(CommandHandle);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WriteClientNextObject(std::int32_t RowHandle, std::int64_t Position,
                                                 std::int32_t CommandHandle) {
  WriteRequestStart(seq::kNextMethod);
  WriteInt(RowHandle);
  WriteValueSeparator();
  WriteLong(Position);
  WriteValueSeparator();
  WriteInt(CommandHandle);
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteServerNextObject(std::int32_t RowHandle, std::int64_t Position,
                                                 std::int32_t CommandHandle) {
  WriteObjectStart();
  Append(seq::kNextMember);
  WriteInt(RowHandle);
  WriteValueSeparator();
  WriteLong(Position);
  WriteValueSeparator();
  WriteInt(CommandHandle);
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteClientMoreBlobObject(std::int32_t CommandHandle,
                                                     std::int32_t BlobHandle, std::int64_t Row,
                                                     std::int32_t Ordinal, bool IsOutParameter,
                                                     std::int32_t RowHandle) {
  WriteRequestStart(seq::kMoreBlobMethod);
  WriteInt(CommandHandle);
  WriteValueSeparator();
  WriteInt(BlobHandle);
  WriteValueSeparator();
  WriteLong(Row);
  WriteValueSeparator();
  WriteInt(Ordinal);
  WriteValueSeparator();
  WriteBoolean(IsOutParameter);
  WriteValueSeparator();
  WriteInt(RowHandle);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WriteServerMoreBlobObject(std::int32_t CommandHandle,
                                                     std::int32_t BlobHandle, std::int64_t Row,
                                                     std::int32_t Ordinal,
                                                     std::int32_t RowHandle) {
  WriteObjectStart();
  Append(seq::kMoreBlobMember);
  WriteInt(CommandHandle);
  WriteValueSeparator();
  WriteInt(BlobHandle);
  WriteValueSeparator();
  WriteLong(Row);
  WriteValueSeparator();
  WriteInt(Ordinal);
  WriteValueSeparator();
  WriteInt(RowHandle);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WriteNextResultObject(std::int32_t CommandHandle) {
  WriteRequestStart(seq::kNextResultMethod);
  WriteInt(CommandHandle);
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteTxBegin(std::int32_t Isolation) {
  WriteRequestStart(seq::kTxBeginMethod);
  WriteInt(Isolation);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WriteTxEnd(bool Commit, std::int32_t TransactionHandle) {
  WriteRequestStart(seq::kTxEndMethod);
  WriteBoolean(Commit);
  WriteValueSeparator();
  WriteInt(TransactionHandle);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WriteVendorProperty(std::u16string_view PropertyName) {
  WriteRequestStart(seq::kVendorPropertyMethod);
  WriteString(PropertyName);
  WriteArrayAndObjectEnd();
  Flush();
}

// --- Replies and member objects ---------------------------------------------------------

void TDBXJSonStreamWriter::WriteResultObjectStart() { Append(seq::kResultStart); }

void TDBXJSonStreamWriter::WriteResultObject(std::int64_t Value) {
  Append(seq::kResultStart);
  WriteLong(Value);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WriteResultVoidObject() {
  Append(seq::kResultStart);
  WriteArrayAndObjectEnd();
  Flush();
}

void TDBXJSonStreamWriter::WriteHandleObject(std::int32_t Handle) {
  Append(seq::kHandleStart);
  WriteInt(Handle);
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteParametersObjectStart(std::int32_t ParameterCount) {
  Append(seq::kParametersStart);
  WriteInt(ParameterCount);
}

void TDBXJSonStreamWriter::WriteParameterDescription(
    std::int32_t DataType, std::int32_t SubType, std::int32_t Direction, std::int64_t Precision,
    std::int32_t Scale, std::u16string_view Name, std::int32_t ChildPosition, std::int32_t Size,
    std::int32_t ValueTypeFlags, std::optional<std::u16string_view> LiteralValue) {
  WriteValueSeparator();
  WriteArrayStart();
  WriteInt(DataType);
  WriteValueSeparator();
  WriteInt(SubType);
  WriteValueSeparator();
  WriteInt(Direction);
  WriteValueSeparator();
  WriteLong(Precision);
  WriteValueSeparator();
  WriteInt(Scale);
  WriteValueSeparator();
  WriteString(Name);
  WriteValueSeparator();
  WriteInt(ChildPosition);
  WriteValueSeparator();
  WriteInt(Size);
  WriteValueSeparator();
  WriteInt(ValueTypeFlags);
  if (LiteralValue) {
    WriteValueSeparator();
    WriteString(*LiteralValue);
  }
  WriteArrayEnd();
}

void TDBXJSonStreamWriter::WriteParametersObjectEnd() {
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteRowsObjectStart() { Append(seq::kRowsStart); }

void TDBXJSonStreamWriter::WriteRowsObject(std::int64_t RowsAffected) {
  Append(seq::kRowsStart);
  WriteLong(RowsAffected);
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteDataObjectStart() { Append(seq::kDataStart); }

void TDBXJSonStreamWriter::WriteCountedBlock(std::span<const std::uint8_t> Bytes) {
  WriteInt(CheckedCount(Bytes.size()));
  WriteValueSeparator();
  WriteDataBytes(Bytes);
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteDataObject(std::span<const std::uint8_t> Bytes) {
  Append(seq::kDataStart);
  WriteCountedBlock(Bytes);
}

void TDBXJSonStreamWriter::WriteRowStreamDataObject(std::int32_t SignedCount,
                                                    std::span<const std::uint8_t> Bytes) {
  if (Magnitude(SignedCount) != Bytes.size()) {
    throw std::invalid_argument("row-stream data count does not match its bytes");
  }
  Append(seq::kDataStart);
  WriteInt(SignedCount);
  if (SignedCount != 0) {
    WriteValueSeparator();
    WriteDataBytes(Bytes);
  }
  WriteArrayAndObjectEnd();
}

bool TDBXJSonStreamWriter::WriteDataObject(TStream& Source) {
  // Room for the header, the 9-character count, the comma, at least one data byte
  // and ]}; with less, start a fresh buffer so the whole object stays in this one.
  constexpr std::int32_t kRoomNeeded = kDataStartSize + limits::kStreamDataObjectReserve + 1;
  if (FWriteBufferPosition + kRoomNeeded > FWriteBufferSize) Flush();
  const std::int32_t HeaderStart = FWriteBufferPosition;
  Append(seq::kDataStart);
  const std::int32_t p = FWriteBufferPosition;  // index of the '['
  const std::int32_t Wanted = std::min(FWriteBufferSize - p - limits::kStreamDataObjectReserve,
                                       limits::kMaxStreamDataPieceBytes);
  const std::size_t DataStart = static_cast<std::size_t>(p + 2 + limits::kStreamDataCountWidth);

  std::int64_t Got = 0;
  bool Last = false;
  try {
    Got = Source.Read(std::span<std::uint8_t>(FWriteBuffer)
                          .subspan(DataStart, static_cast<std::size_t>(Wanted)));
    Last = Got < Wanted || Source.AtEnd();
  } catch (...) {
    // Take the header back so that a failed source leaves no half object behind.
    FWriteBufferPosition = HeaderStart;
    throw;
  }
  // A source that signals its end with -1 delivered nothing.
  const std::int32_t Count = static_cast<std::int32_t>(std::clamp<std::int64_t>(Got, 0, Wanted));
  WriteInt(Last ? -Count : Count);
  while (FWriteBufferPosition < p + limits::kStreamDataCountWidth) WriteSpace();
  WriteValueSeparator();
  FWriteBufferPosition += Count;
  WriteArrayAndObjectEnd();
  Flush();
  return Last;
}

void TDBXJSonStreamWriter::WriteTableObjectStart(std::int32_t CommandHandle, bool Updateable,
                                                 std::int32_t RowHandle, std::int32_t BcdFormat,
                                                 std::int32_t ColumnCount) {
  Append(seq::kTableStart);
  Append(seq::kFieldsStart);
  WriteInt(CommandHandle);
  WriteValueSeparator();
  WriteBoolean(Updateable);
  WriteValueSeparator();
  WriteInt(RowHandle);
  WriteValueSeparator();
  WriteInt(BcdFormat);
  WriteValueSeparator();
  WriteBoolean(true);
  WriteArrayAndObjectEnd();
  WriteValueSeparator();
  Append(seq::kColumnsStart);
  WriteInt(ColumnCount);
}

void TDBXJSonStreamWriter::WriteColumnDescription(std::u16string_view Name,
                                                  std::int32_t DataType, std::int32_t SubType,
                                                  std::int64_t Precision, std::int32_t Scale,
                                                  std::int32_t Size, std::int32_t ValueTypeFlags,
                                                  std::int32_t Direction) {
  WriteValueSeparator();
  WriteArrayStart();
  WriteString(Name);
  WriteValueSeparator();
  WriteInt(DataType);
  WriteValueSeparator();
  WriteInt(SubType);
  WriteValueSeparator();
  WriteLong(Precision);
  WriteValueSeparator();
  WriteInt(Scale);
  WriteValueSeparator();
  WriteInt(Size);
  WriteValueSeparator();
  WriteInt(ValueTypeFlags);
  WriteValueSeparator();
  WriteInt(Direction);
  WriteArrayEnd();
}

void TDBXJSonStreamWriter::WriteTableObjectEnd() {
  WriteArrayAndObjectEnd();
  WriteArrayAndObjectEnd();
}

void TDBXJSonStreamWriter::WriteRpcError(std::u16string_view Name, std::int32_t Code,
                                         std::u16string_view Message, bool HasNameValuePairs) {
  Append(seq::kErrorStart);
  WriteString(Name);
  WriteValueSeparator();
  Append(seq::kCodeMember);
  WriteInt(Code);
  WriteValueSeparator();
  Append(seq::kMessageMember);
  WriteString(Message);
  if (HasNameValuePairs) Append(seq::kEmptyErrorMember);
  // Only the inner object closes; clients read exactly this far.
  WriteObjectEnd();
}

void TDBXJSonStreamWriter::WriteMetadata(std::span<const std::uint8_t> JsonText) {
  WriteObjectStart();
  Append(seq::kMetadataMember);
  WriteCountedBlock(JsonText);
}

void TDBXJSonStreamWriter::WriteCallback(std::span<const std::uint8_t> JsonText) {
  WriteObjectStart();
  Append(seq::kCallbackMember);
  WriteCountedBlock(JsonText);
}

}  // namespace tavrin
