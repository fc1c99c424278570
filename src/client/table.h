#pragma once
// TDBXClientTable: a table that a command returned, as a client reads it. The table
// object (header and columns) comes inside the execute reply, the first block of rows
// right after the reply, and every further block in answer to a next request that the
// table sends when its rows run out.
//
// Threading: used only by the thread that owns the connection, between requests of its
// own (reading rows may exchange next and more-blob requests with the server).
// Lifetime: the connection's codecs must outlive the table.

#include <cstdint>
#include <memory>
#include <vector>

#include "dbxstream/json_row.h"
#include "vocabulary/value_type.h"

namespace tavrin {

class TDBXJSonStreamReader;
class TDBXJSonStreamWriter;

class TDBXClientTable {
 public:
  // Row holds no block yet; ReadFirstBlock loads the one that follows the reply.
  TDBXClientTable(TDBXJSonStreamReader& Reader, TDBXJSonStreamWriter& Writer,
                  std::unique_ptr<TDBXJSonRow> Row, std::int32_t CommandHandle,
                  bool Updateable, std::vector<TDBXValueType> Columns);

  TDBXClientTable(const TDBXClientTable&) = delete;
  TDBXClientTable& operator=(const TDBXClientTable&) = delete;

  const std::vector<TDBXValueType>& Columns() const { return FColumns; }
  std::int32_t ColumnCount() const { return static_cast<std::int32_t>(FColumns.size()); }
  std::int32_t CommandHandle() const { return FCommandHandle; }
  std::int32_t RowHandle() const { return FRow->RowHandle(); }
  bool Updateable() const { return FUpdateable; }

  // Reads a row block object ({"data":[signedCount,bytes]}) as the next block; an error
  // object in its place is raised as TDBXError. Called by the connection for the block
  // after the reply; FetchNextBlock for the others.
  void ReadFirstBlock();
  // Sends {"method":"next","params":[rowHandle,rowsRead,commandHandle]} and reads the
  // block of the answer. Returns false when the last block had been read already (no
  // request is sent then). Errors of the server are raised as TDBXError; the connection
  // stays in step.
  bool FetchNextBlock();

  // Moves to the next row, fetching blocks as needed; false after the last row.
  bool Next();
  // The row buffer at the current row: go to a value with GoToField and read it with
  // the buffer's getters (long values continue by more-blob through this connection).
  TDBXRowBuffer& Row() { return FRow->RowBuffer(); }

  // Blocks read so far, the first one included.
  std::int32_t BlocksRead() const { return FBlocksRead; }
  // Rows Next has moved to so far.
  std::int64_t RowsRead() const { return FRowsRead; }
  // True once the block with a count of zero or less has been read.
  bool LastBlockRead() const { return FLastBlock; }

 private:
  TDBXJSonStreamReader& FReader;
  TDBXJSonStreamWriter& FWriter;
  std::unique_ptr<TDBXJSonRow> FRow;
  std::int32_t FCommandHandle;
  bool FUpdateable;
  std::vector<TDBXValueType> FColumns;
  std::int32_t FBlocksRead = 0;
  std::int64_t FRowsRead = 0;
  bool FLastBlock = false;
  bool FAtBlockStart = true;
};

// Reads the value of a table member, positioned after its '[': the fields and columns
// objects through the table object's closing '}'. The table's rows come later
// (ReadFirstBlock). Client is the flag of the connection's row buffers. Raises
// TDBXError for malformed input.
std::unique_ptr<TDBXClientTable> ReadClientTableObject(TDBXJSonStreamReader& Reader,
                                                       TDBXJSonStreamWriter& Writer,
                                                       bool Client);

}  // namespace tavrin
