#pragma once
// A reader of table rows: what a TABLE (23) value holds. It describes its columns and
// walks its rows one way, handing out the current row's values as value holders. The
// base itself reads as an empty table (no columns, no rows), so a holder can carry one
// before any layer supplies real rows.
// Readers belong to one connection's thread; nothing here locks.

#include <cstdint>
#include <string>

#include "vocabulary/dbx_error.h"

namespace tavrin {

class TDBXValue;
class TDBXValueType;

class TDBXReader {
 public:
  TDBXReader() = default;
  TDBXReader(const TDBXReader&) = delete;
  TDBXReader& operator=(const TDBXReader&) = delete;
  virtual ~TDBXReader() = default;

  // Number of values per row; fixed for the reader's life.
  virtual std::int32_t ColumnCount() const { return 0; }
  // Descriptor of column Ordinal (0-based, below ColumnCount()); the reader owns it.
  // Raises TDBXError (code 2) for an ordinal outside the columns.
  virtual const TDBXValueType& ValueType(std::int32_t Ordinal) const { RaiseNoColumn(Ordinal); }
  // Moves to the next row (the first call to the first row). Returns false when no row
  // is left; calling it again after that keeps returning false. May raise TDBXError.
  virtual bool Next() { return false; }
  // The value of column Ordinal in the current row, valid until the next Next or Close;
  // the reader owns it. Only between a Next that returned true and the next one.
  // Raises TDBXError (code 2) for an ordinal outside the columns.
  virtual const TDBXValue& Value(std::int32_t Ordinal) { RaiseNoColumn(Ordinal); }
  // Whether a client may post changes to the rows (travels in the table header).
  virtual bool Updateable() const { return false; }
  // Releases what the reader holds; rows cannot be read afterwards. Closing twice is
  // harmless. May raise TDBXError.
  virtual void Close() {}
  // Bytes the reader holds in memory for its rows, estimated from what it holds: a
  // table kept open for a client counts them against that client's memory. 0 (the
  // default) for a reader that holds no rows of its own, fetching each as it goes.
  virtual std::int64_t HeldBytes() const { return 0; }

 protected:
  [[noreturn]] static void RaiseNoColumn(std::int32_t Ordinal) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, "No column " + std::to_string(Ordinal));
  }
};

}  // namespace tavrin
