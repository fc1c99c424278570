#pragma once
// TDBXJSonRow: a row buffer as one row object of a command: either the connection's
// parameter row (borrowed) or the buffer of one table's row blocks (owned), with the
// row handle that names the table on the wire.
//
// Threading: used only by its connection's thread.

#include <cstdint>
#include <memory>

#include "dbxstream/row_buffer.h"

namespace tavrin {

class TDBXJSonStreamReader;
class TDBXJSonStreamWriter;

class TDBXJSonRow {
 public:
  // Over a buffer that someone else owns (the connection's parameter row); the buffer
  // must outlive the row object.
  explicit TDBXJSonRow(TDBXRowBuffer& Buffer) : FRowBuffer(&Buffer) {}
  // Over a buffer of its own.
  explicit TDBXJSonRow(std::unique_ptr<TDBXRowBuffer> Buffer)
      : FOwnedBuffer(std::move(Buffer)), FRowBuffer(FOwnedBuffer.get()) {}

  TDBXJSonRow(const TDBXJSonRow&) = delete;
  TDBXJSonRow& operator=(const TDBXJSonRow&) = delete;

  TDBXRowBuffer& RowBuffer() { return *FRowBuffer; }

  std::int32_t RowHandle() const { return FRowHandle; }
  // Also tells the buffer, which names the table in the more-blob requests it sends.
  void SetRowHandle(std::int32_t Handle) {
    FRowHandle = Handle;
    FRowBuffer->SetRowHandle(Handle);
  }
  std::int32_t BcdFormat() const { return FRowBuffer->BcdFormat(); }

  // Set when the reader's current row went into the last block already, so the next
  // block starts by moving past it.
  bool NeedsNext() const { return FNeedsNext; }
  void SetNeedsNext(bool Value) { FNeedsNext = Value; }

 private:
  std::unique_ptr<TDBXRowBuffer> FOwnedBuffer;
  TDBXRowBuffer* FRowBuffer;
  std::int32_t FRowHandle = -1;
  bool FNeedsNext = false;
};

// A row object for one table of command CommandHandle, with a buffer of its own wired
// to the codecs: fill limit Writer.CalcRowBufferSize(), the client flag of the
// connection's buffer, the given BCD format. The codecs must outlive the row.
std::unique_ptr<TDBXJSonRow> MakeTableRow(TDBXJSonStreamReader& Reader,
                                          TDBXJSonStreamWriter& Writer, bool Client,
                                          std::int32_t CommandHandle, std::int32_t BcdFormat);

}  // namespace tavrin
