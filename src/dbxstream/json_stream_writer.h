#pragma once
// Composes outgoing messages into one fixed write buffer and hands whole buffers to the
// connection's channel. Messages are not framed: a message reaches the peer as the full
// buffers sent while it was composed plus the final Flush.
//
// Threading: a writer belongs to one connection and is used only by its thread.
// Errors: the writer raises nothing of its own; a failing channel Write propagates.
// A failed Write leaves the unsent bytes in the buffer, so nothing is overwritten.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "dbxstream/channel.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {

class TStream;

class TDBXJSonStreamWriter {
 public:
  // Allocates the buffer: BufferSize bytes, or limits::kDefaultStreamBufferSize when 0.
  // Raises std::invalid_argument for a size below limits::kMinWriteBufferSize (other
  // than 0).
  // The channel must outlive the writer.
  TDBXJSonStreamWriter(TDbxChannel& Channel, std::int32_t BufferSize);

  TDBXJSonStreamWriter(const TDBXJSonStreamWriter&) = delete;
  TDBXJSonStreamWriter& operator=(const TDBXJSonStreamWriter&) = delete;

  // Empties the buffer without sending it (the buffer itself is allocated on creation).
  void Open();
  // Does nothing: the buffer lives as long as the writer.
  void Close() {}
  // Always false.
  bool Closed() const noexcept { return false; }
  // True exactly when the channel reports its connection lost.
  bool ConnectionLost() const { return FChannel.ConnectionLost(); }

  // Sends the buffered bytes (if any) and empties the buffer.
  void Flush();

  // --- Direct access for callers that place bytes themselves -------------------------
  // The whole buffer; bytes up to WriteBufferPosition() are pending.
  std::span<std::uint8_t> WriteBuffer() noexcept { return FWriteBuffer; }
  std::int32_t WriteBufferSize() const noexcept { return FWriteBufferSize; }
  // Index of the last byte placed; -1 when the buffer is empty.
  std::int32_t WriteBufferPosition() const noexcept { return FWriteBufferPosition; }
  // The free bytes after the position (may be empty: write or Flush first).
  std::span<std::uint8_t> FreeSpace() noexcept;
  // Counts Count bytes the caller placed into FreeSpace() as written.
  // Raises std::out_of_range when Count is negative or more than the free space.
  void Skip(std::int32_t Count);
  // The largest row buffer that fits in one data object: the buffer size less
  // limits::kRowBufferReserve when the buffer is at least that big, else the size.
  std::int32_t CalcRowBufferSize() const noexcept;

  // --- Structural ----------------------------------------------------------------------
  void WriteObjectStart();     // {
  void WriteObjectEnd();       // }
  void WriteArrayStart();      // [
  void WriteArrayEnd();        // ]
  void WriteValueSeparator();  // ,
  void WriteNameSeparator();   // :
  void WriteSpace();           // one blank
  void WriteParamsStart();     // "params":[

  // --- Values --------------------------------------------------------------------------
  // A quoted string: U+0020..U+00FF (except " and \) as one byte each, the usual
  // short escapes, \uXXXX (upper-case hex) for every other code unit.
  void WriteString(std::u16string_view Text);
  // Decimal digits, '-' before a negative value; no plus sign, no leading zeros.
  void WriteInt(std::int32_t Value);
  void WriteLong(std::int64_t Value);
  void WriteShort(std::int16_t Value) { WriteInt(Value); }
  void WriteByte(std::int8_t Value) { WriteInt(Value); }
  void WriteBoolean(bool Value);  // true / false
  void WriteNull();               // null
  // Floating-point values travel only inside row buffers: these write nothing.
  void WriteFloat(float) {}
  void WriteDouble(double) {}
  // Name string, ':', value string.
  void WriteNamedString(std::u16string_view Name, std::u16string_view Value);
  // Raw bytes, unescaped; full buffers go to the channel on the way.
  void WriteDataBytes(std::span<const std::uint8_t> Bytes);

  // --- Requests (client to server, and server to client) ------------------------------
  // {"method":"connect","params":[{  -- the caller writes the name/value pairs, then }]}.
  void WriteConnectObjectStart();
  // {"method":"disconnect","params":[handle]} and Flush.
  void WriteDisconnectObject(std::int32_t ConnectionHandle);
  // {"method":"prepare","params":[  -- the caller writes handle, updateable, type,
  // text, optionally a parameters object, then ]}.
  void WritePrepareStart();
  // {"method":"execute","params":[  -- the caller goes on with a handle object or an
  // execute-fields object.
  void WriteExecuteStart();
  // {"fields":[handle,false,type,text]}  (unprepared execute; the caller closes ]}).
  void WriteExecuteFieldsObject(std::int32_t CommandHandle, std::u16string_view CommandType,
                                std::u16string_view CommandText);
  // {"method":"command_close","params":[handle]} and Flush.
  void WriteCommandCloseObject(std::int32_t CommandHandle);
  // {"method":"reader_close","params":[rowHandle,commandHandle]} and Flush.
  void WriteReaderCloseObject(std::int32_t RowHandle, std::int32_t CommandHandle);
  // {"method":"next","params":[rowHandle,position,commandHandle]}; no flush.
  void WriteClientNextObject(std::int32_t RowHandle, std::int64_t Position,
                             std::int32_t CommandHandle);
  // {"next":[rowHandle,position,commandHandle]}; no flush.
  void WriteServerNextObject(std::int32_t RowHandle, std::int64_t Position,
                             std::int32_t CommandHandle);
  // {"method":"more_blob","params":[cmd,blob,row,ordinal,isOut,rowHandle]} and Flush.
  void WriteClientMoreBlobObject(std::int32_t CommandHandle, std::int32_t BlobHandle,
                                 std::int64_t Row, std::int32_t Ordinal, bool IsOutParameter,
                                 std::int32_t RowHandle);
  // {"more_blob":[cmd,blob,row,ordinal,rowHandle]} and Flush.
  void WriteServerMoreBlobObject(std::int32_t CommandHandle, std::int32_t BlobHandle,
                                 std::int64_t Row, std::int32_t Ordinal,
                                 std::int32_t RowHandle);
  // {"method":"next_result","params":[handle]}; no flush.
  void WriteNextResultObject(std::int32_t CommandHandle);
  // {"method":"txbegin","params":[isolation]} and Flush.
  void WriteTxBegin(std::int32_t Isolation);
  // {"method":"txend","params":[commit,transactionHandle]} and Flush.
  void WriteTxEnd(bool Commit, std::int32_t TransactionHandle);
  // {"method":"vendor_property","params":[name]} and Flush.
  void WriteVendorProperty(std::u16string_view PropertyName);

  // --- Replies and member objects ------------------------------------------------------
  // {"result":[  -- no flush.
  void WriteResultObjectStart();
  // {"result":[value]} and Flush.
  void WriteResultObject(std::int64_t Value);
  // {"result":[]} and Flush.
  void WriteResultVoidObject();
  // {"handle":[handle]}; no flush.
  void WriteHandleObject(std::int32_t Handle);
  // {"parameters":[count  -- then one WriteParameterDescription per parameter and
  // WriteParametersObjectEnd.
  void WriteParametersObjectStart(std::int32_t ParameterCount);
  // ,[type,subtype,direction,precision,scale,name,childPosition,size,flags(,value)]
  // The value string is written only for a literal parameter.
  void WriteParameterDescription(std::int32_t DataType, std::int32_t SubType,
                                 std::int32_t Direction, std::int64_t Precision,
                                 std::int32_t Scale, std::u16string_view Name,
                                 std::int32_t ChildPosition, std::int32_t Size,
                                 std::int32_t ValueTypeFlags,
                                 std::optional<std::u16string_view> LiteralValue = {});
  // ]}
  void WriteParametersObjectEnd();
  // {"rows":[  -- the caller writes the count and ]}.
  void WriteRowsObjectStart();
  // {"rows":[rowsAffected]}; no flush.
  void WriteRowsObject(std::int64_t RowsAffected);
  // {"data":[  -- for callers that write the count and place the bytes themselves.
  void WriteDataObjectStart();
  // {"data":[count,bytes]}; no flush.
  void WriteDataObject(std::span<const std::uint8_t> Bytes);
  // {"data":[signedCount,bytes]} where Bytes holds |SignedCount| bytes; a count of 0
  // is written as {"data":[0]}. Raises std::invalid_argument when the sizes differ.
  void WriteRowStreamDataObject(std::int32_t SignedCount, std::span<const std::uint8_t> Bytes);
  // One blob piece: {"data":[count padded with blanks to 9 characters,bytes]} and
  // Flush. The source reads straight into the buffer, as many bytes as fit in it. The
  // count is negated on the last piece (the source ran short or is at its end).
  // Returns true when this was the last piece. Errors of the source propagate.
  bool WriteDataObject(TStream& Source);
  // {"table":[{"fields":[cmd,updateable,rowHandle,bcdFormat,true]},{"columns":[count
  // -- then one WriteColumnDescription per column and WriteTableObjectEnd.
  void WriteTableObjectStart(std::int32_t CommandHandle, bool Updateable,
                             std::int32_t RowHandle, std::int32_t BcdFormat,
                             std::int32_t ColumnCount);
  // ,[name,type,subtype,precision,scale,size,flags,direction]
  void WriteColumnDescription(std::u16string_view Name, std::int32_t DataType,
                              std::int32_t SubType, std::int64_t Precision,
                              std::int32_t Scale, std::int32_t Size,
                              std::int32_t ValueTypeFlags, std::int32_t Direction);
  // ]}]}
  void WriteTableObjectEnd();
  // {"error":{"name":name,"code":code,"message":message(,"error":{})}  -- closes the
  // inner object only: the outer object stays open, as clients expect. No flush.
  void WriteRpcError(std::u16string_view Name, std::int32_t Code, std::u16string_view Message,
                     bool HasNameValuePairs);
  // {"metadata":[count,JSON text bytes]}; no flush.
  void WriteMetadata(std::span<const std::uint8_t> JsonText);
  // {"callback":[count,JSON text bytes]}; no flush.
  void WriteCallback(std::span<const std::uint8_t> JsonText);

 private:
  // Appends one byte; a full buffer goes to the channel first.
  void Append(std::uint8_t Byte) {
    if (FWriteBufferPosition + 1 == FWriteBufferSize) SendFullBuffer();
    FWriteBuffer[static_cast<std::size_t>(++FWriteBufferPosition)] = Byte;
  }
  void Append(std::span<const std::uint8_t> Sequence);
  void SendFullBuffer();
  void WriteCountedBlock(std::span<const std::uint8_t> Bytes);  // count,bytes]}
  void WriteLongBody(std::uint64_t Magnitude, bool Negative);
  void WriteEscapedUnit(char16_t Unit);
  void WriteRequestStart(std::span<const std::uint8_t> Method);  // {"method":name,"params":[
  void WriteArrayAndObjectEnd();                                  // ]}  // a unit that does not travel as itself

  TDbxChannel& FChannel;
  std::int32_t FWriteBufferSize;
  std::vector<std::uint8_t> FWriteBuffer;
  std::int32_t FWriteBufferPosition = -1;
  std::array<std::uint8_t, limits::kDecimalBufferBytes> FDecimalBuffer{};
  std::int32_t FWriteCount = 0;
};

}  // namespace tavrin
