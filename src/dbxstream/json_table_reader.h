#pragma once
// A table that a client sent as a parameter of an execute request, read as a reader:
// the table object and its first block come with the request, and further blocks are
// asked for with {"next":[rowHandle,rowsRead,commandHandle]} as the rows are read.
// Closing it tells the client with a reader-close request.
//
// Threading: used only by the connection's thread, while no other request is read.

#include <cstdint>
#include <memory>
#include <vector>

#include "dbxstream/json_row.h"
#include "vocabulary/dbx_reader.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_type.h"

namespace tavrin {

class TDBXJSonStreamReader;
class TDBXJSonStreamWriter;

// Reads one column description of a table object, positioned before the ',' that
// precedes its '[': [name,type,subtype,precision,scale,size,flags(,direction)].
// CurrentFlags false: the flags are in the older layout and are translated. Raises
// what the stream reader raises on malformed input.
TDBXValueType ReadColumnDescription(TDBXJSonStreamReader& Reader, bool CurrentFlags);

class TDBXJSonTableReader : public TDBXReader {
 public:
  // Row holds the first block already (LastBlock: no more follow). The codecs must
  // outlive the reader.
  TDBXJSonTableReader(TDBXJSonStreamReader& Reader, TDBXJSonStreamWriter& Writer,
                      std::unique_ptr<TDBXJSonRow> Row, std::int32_t CommandHandle,
                      bool Updateable, std::vector<TDBXValueType> Columns, bool LastBlock);
  // Closes the reader; a client that cannot be told any more is not an error here.
  ~TDBXJSonTableReader() override;

  std::int32_t ColumnCount() const override {
    return static_cast<std::int32_t>(FColumns.size());
  }
  // Raises TDBXError (code 2) for an ordinal outside the columns.
  const TDBXValueType& ValueType(std::int32_t Ordinal) const override;
  // Fetches the next block from the client when the current one is used up.
  bool Next() override;
  // Reads the value from the row (and, for a long value, its pieces from the client).
  // Raises TDBXError for an ordinal outside the columns, a column type without a
  // holder, or a value the row does not hold in the column's form.
  const TDBXValue& Value(std::int32_t Ordinal) override;
  bool Updateable() const override { return FUpdateable; }
  // Sends {"method":"reader_close","params":[rowHandle,commandHandle]} once, when the
  // table has a row handle of 0 or more.
  void Close() override;

  std::int32_t RowHandle() const { return FRow->RowHandle(); }
  std::int32_t CommandHandle() const { return FCommandHandle; }

 private:
  void CheckOrdinal(std::int32_t Ordinal) const;

  TDBXJSonStreamReader& FReader;
  TDBXJSonStreamWriter& FWriter;
  std::unique_ptr<TDBXJSonRow> FRow;
  std::int32_t FCommandHandle;
  bool FUpdateable;
  std::vector<TDBXValueType> FColumns;
  std::vector<std::unique_ptr<TDBXWritableValue>> FValues;
  std::vector<bool> FLoaded;
  bool FLastBlock;
  bool FAtBlockStart = true;
  bool FAtEnd = false;
  bool FClosed = false;
  std::int64_t FRowsRead = 0;
};

// Reads one row block object into Buffer: {"data":[c,bytes]} where c < 1 marks the last
// block of -c bytes, or an error object, which is raised. Returns true for the last
// block. A size above limits::kMaxDataBlockBytes is refused (code 2) before anything is
// allocated.
bool ReadRowBlock(TDBXJSonStreamReader& Reader, TDBXRowBuffer& Buffer);

// Reads a table sent as a parameter, positioned inside the array of its "table" member:
// the fields and columns members, the end of the table object, then the first block.
// Client is the connection's row buffer flag. The reader belongs to the caller.
std::shared_ptr<TDBXJSonTableReader> ReadDBXReader(TDBXJSonStreamReader& Reader,
                                                   TDBXJSonStreamWriter& Writer, bool Client);

}  // namespace tavrin
