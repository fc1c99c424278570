#pragma once
// TDBXRowBuffer: parameter values and table rows in their byte form. One buffer holds
// either one row of parameters or a block of table rows, values one after another in
// ordinal order with no separators. Long strings and byte values keep at most the
// inline limit in the buffer; the rest travels by more-blob exchanges.
//
// Threading: a row buffer belongs to one connection (its parameters or one open table)
// and only that connection's thread touches it.
// Errors: every fault is a TDBXError. The bytes read come from the network: reads are
// bounded by the block set with ReadSize or ReadDataBytes (nothing is readable before),
// and a value that claims more bytes than remain raises "Truncated value at offset N"
// (code 2).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbxstream/binary_stream.h"
#include "dbxstream/row_blob_stream_reader.h"
#include "vocabulary/json_text.h"
#include "vocabulary/sql_timestamp.h"
#include "vocabulary/stream.h"
#include "vocabulary/value_holders.h"

namespace tavrin {

class TDBXJSonStreamReader;
class TDBXJSonStreamWriter;

// BCD formats of a row: 0 = decimal text (the only one this server writes),
// 1 = the big-decimal form (only ever read).
inline constexpr std::int32_t kBcdFormatText = 0;
inline constexpr std::int32_t kBcdFormatBigDecimal = 1;

class TDBXRowBuffer : public TDBXBinaryStream {
 public:
  TDBXRowBuffer();

  // --- Setup -------------------------------------------------------------------------

  // The connection's codecs, used by blob continuation; not owned, must outlive the
  // buffer and the blob readers made from it.
  void SetStreams(TDBXJSonStreamReader* Reader, TDBXJSonStreamWriter* Writer) {
    FDbxStreamReader = Reader;
    FDbxStreamWriter = Writer;
  }
  // True in a client's buffers; this server's buffers keep the default, false.
  void SetClient(bool Client) { FClient = Client; }
  bool Client() const { return FClient; }
  void SetParameterBuffer(bool Value) { FParameterBuffer = Value; }
  bool ParameterBuffer() const { return FParameterBuffer; }
  // Values per row; row navigation needs it.
  void SetColumnCount(std::int32_t Count) { FColumnCount = Count; }
  std::int32_t ColumnCount() const { return FColumnCount; }
  void SetBcdFormat(std::int32_t Format) { FBcdFormat = Format; }
  std::int32_t BcdFormat() const { return FBcdFormat; }
  // Row handle sent in the more-blob requests of ReadString and ReadBytes.
  void SetRowHandle(std::int32_t Handle) { FRowHandle = Handle; }
  std::int32_t RowHandle() const { return FRowHandle; }

  // The owning command's handle. Setting a new one marks the previous handle closed
  // for the blob readers made before (they then fail on a client with "Command closed
  // or executed again"); CloseCommandHandle marks it closed without a successor.
  std::int32_t CommandHandle() const { return *FCommandHandle; }
  void SetCommandHandle(std::int32_t Handle);
  void CloseCommandHandle() { *FCommandHandle = -1; }

  // --- Long values -------------------------------------------------------------------

  // Inline limit the next string or byte write would use: 1024 when the buffer's fill
  // limit (MinBufSize) leaves less than 1024 + 3 bytes from Offset(), otherwise all the
  // room left, at most 65535.
  std::int32_t InlineLimit() const;
  // The inline limit used by the last string or byte write.
  std::int32_t LastInlineByteCount() const { return FLastInlinByteCount; }
  // Whether the last string or byte write kept the whole value inline.
  bool LastWriteFitted() const { return FLastWriteFitted; }
  // The overflow bytes of the last string or byte write that did not fit, as a stream
  // the caller now owns (to serve the peer's more-blob requests); null when the value
  // fitted, when already taken, or when the byte source could not tell its size or keeps
  // its rest, in which case the rest is still in that source.
  std::unique_ptr<TStream> TakeOverflowStream();

  // --- Writers (append at Offset(), advance past the value and the ordinal) -----------

  // A 16-bit string in the row text encoding. Returns false when it did not fit inline:
  // the value was written with header 0x50 and the inline limit of bytes, and the rest
  // waits in TakeOverflowStream().
  bool WriteString(std::u16string_view Text);
  // The byte-value form: an empty source as 0x20, else up to the inline limit of bytes
  // after 0x10 (complete) or 0x50 (more follow by more-blob). When more remain and the
  // source tells its size without keeping its rest (TStream::KeepsItsRest), the rest is
  // read at once for TakeOverflowStream(); otherwise it stays in the source. Returns the
  // number of bytes written inline. Errors of the source propagate.
  std::int64_t WriteBytes(TStream& Source);
  std::int64_t WriteBytes(std::span<const std::uint8_t> Bytes);
  // An 8-bit string (ZSTRING and 8-bit memo): its bytes as they are, byte-value form.
  bool WriteAnsiString(std::string_view Text);
  // DATE: year * 512 + month * 32 + day. TIME: milliseconds since midnight.
  void WriteDate(std::int32_t EncodedDate) { WriteInt64(EncodedDate); }
  void WriteTime(std::int32_t Millis) { WriteInt64(Millis); }
  // TIMESTAMP and DATETIME.
  void WriteTimeStamp(const TSQLTimeStamp& Value);
  // TIMESTAMPOFFSET as the text "m/d/yyyy h:nn:ss:zz +hh:nn" (zz: milliseconds without
  // leading zeros; the offset after a blank, always signed). Returns WriteString's result.
  bool WriteTimeStampOffset(const TSQLTimeStampOffset& Value);
  // BCD and Currency as decimal text: an optional '-', digits, optionally '.' and
  // digits. Raises "Invalid decimal text" (code 2) for anything else.
  void WriteBcd(std::string_view DecimalText);
  // DOUBLE, carried as a single when the subtype is 27.
  void WriteDoubleValue(double Value, std::int32_t SubType);
  // JSON (data type 37) as its JSON text.
  void WriteJSONValue(const TJSONValue& Value);
  // TABLE: the table's handle; the table travels separately.
  void WriteTableHandle(std::int32_t Handle) { WriteInt32(Handle); }

  // --- Readers (read at Offset(), advance past the value and the ordinal) -----------
  // A null reads as the kind's empty value.

  // Encoded length of the string or byte value at Offset(): its inline byte count (for
  // 0x50 only the inline part), or the announced size of a blob header; 0 for a null.
  // Reads only the length header and remembers it: the next read or navigation starts
  // again at that header, so the value can still be read whole. Raises "Unexpected
  // header" (code 0) when the value is no string or byte form.
  std::int64_t EncodedStringLength();
  // The whole text, fetching the pieces of a long value from the peer. A long value is
  // counted against the connection served while it is read, and grows in pieces that
  // are joined once (TLongValueBuilder).
  std::u16string ReadString();
  // The whole byte value, or the bytes of an 8-bit string.
  std::vector<std::uint8_t> ReadBytes();
  std::string ReadAnsiString();
  // A stream over the value at Offset(): its inline bytes, then (for 0x50 and blob
  // headers) the pieces fetched from the peer. The caller owns it; it needs the codecs
  // and the command handle of this buffer while it is read.
  std::unique_ptr<TDBXRowBlobStreamReader> ReadBlobStreamReader(std::int32_t RowHandle);
  std::int32_t ReadDate() { return static_cast<std::int32_t>(ReadInt64()); }
  std::int32_t ReadTime() { return static_cast<std::int32_t>(ReadInt64()); }
  TSQLTimeStamp ReadTimeStamp();
  // Raises "Invalid timestamp offset text" (code 2) for text not in the written pattern.
  TSQLTimeStampOffset ReadTimeStampOffset();
  // Decimal text; in BCD format 1 read from the big-decimal form, where a value too big
  // for 64 bits raises "BCD to big" (code 14).
  std::string ReadBcd();
  double ReadDoubleValue(std::int32_t SubType);
  // nullopt for a null; malformed JSON text raises (code 2).
  std::optional<TJSONValue> ReadJSONValue();
  std::int32_t ReadTableHandle() { return ReadInt32(); }

  // --- Navigation --------------------------------------------------------------------

  // Makes the first Size bytes the block to read and goes to its first row and value.
  // The row count goes on across blocks; Post and Cancel start it again from 0.
  void ReadSize(std::int32_t Size);
  std::int32_t ReadSizeBytes() const { return FReadSize; }
  // Loads a block from the stream reader: the count, a comma, the bytes (the caller has
  // read up to the array start of a data object). A count that is negative or above
  // limits::kMaxDataBlockBytes is refused before anything is allocated.
  void ReadDataBytes();
  // Reads Count bytes from Reader into the buffer from offset 0. The buffer grows only
  // as the bytes arrive, in steps of at most its current size (at least
  // limits::kBlockGrowBytes), so an announced block that never comes costs one step.
  // Records Count as the minimum buffer size, as MinBufferSize does.
  void ReadBlock(TDBXJSonStreamReader& Reader, std::int32_t Count);
  // Goes to the start of the next row; false when the block has no further row.
  // Raises when the column count is not set while bytes remain (no row could end).
  bool NextRow();
  // A reader's step through a loaded block: on the first step after loading the block's
  // first row is current already (there is one when the block is not empty); later
  // steps go on with NextRow.
  bool StepRow(bool FirstStepOfBlock) { return FirstStepOfBlock ? FReadSize > 0 : NextRow(); }
  // Goes to the start of row Row of the block; false when the block has no such row.
  bool GoToRow(std::int32_t Row);
  // Goes to value Ordinal of the current row, back to the row's start when needed.
  void GoToField(std::int32_t Ordinal);
  // Both empty the buffer for reuse: offset, ordinal, rows and header tracking back
  // to 0 (the buffer keeps its size).
  void Post() { Reset(); }
  void Cancel() { Reset(); }

  std::int32_t CurrentRow() const { return FCurrentRow; }
  std::int64_t CurrentTotalRow() const { return FRowsBeforeBlock + FCurrentRow; }
  std::int32_t RowCount() const { return FRowCount; }

 protected:
  void ReturnToHeader() override;

 private:
  struct TLongValue;
  void Reset();
  // Writes a string (StringForm) or byte value from bytes at hand; returns the number
  // of bytes kept inline.
  std::int64_t WriteEncoded(std::span<const std::uint8_t> Encoded, bool StringForm);
  TLongValue LongValueAt(std::int32_t Start) const;
  TDBXBlobOrigin MakeOrigin(std::int32_t RowHandle);
  // Reads the string or byte value at Offset(): a value held whole goes to Whole; the
  // bytes of a long value go to Piece as they are fetched from the peer. Returns true
  // for a long value.
  template <typename TWhole, typename TPiece>
  bool ReadValuePieces(TWhole&& Whole, TPiece&& Piece);

  TDBXJSonStreamReader* FDbxStreamReader = nullptr;
  TDBXJSonStreamWriter* FDbxStreamWriter = nullptr;
  bool FClient = false;
  std::shared_ptr<std::int32_t> FCommandHandle;
  std::int32_t FBlobId = 0;
  std::int32_t FRowHandle = -1;
  std::vector<std::uint8_t> FBytesOverflowBuffer;
  bool FOverflowInSource = false;
  bool FLastWriteFitted = true;
  std::int32_t FCurrentRow = 0;
  std::int64_t FRowsBeforeBlock = 0;  // rows seen in the blocks before this one
  std::int32_t FRowCount = 0;
  std::int32_t FColumnCount = 0;
  std::vector<std::int32_t> FRowOffsets;
  std::int32_t FMaxInline = limits::kMaxInline;
  bool FParameterBuffer = false;
  std::int32_t FBcdFormat = kBcdFormatText;
  std::int32_t FLastInlinByteCount = 0;
  std::int32_t FLastHeaderOffset = 0;
  std::int32_t FLastOrdinal = 0;
};

}  // namespace tavrin
