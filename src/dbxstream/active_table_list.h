#pragma once
// The open tables of one command: each table written in a reply stays here, under the
// row handle that names it on the wire, until the client closed it, the command runs
// again or closes. Next and more-blob requests find their table here.
//
// Threading: a list belongs to one command of one connection; only that connection's
// thread touches it.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dbxstream/json_row.h"
#include "dbxstream/parameter_descriptions.h"
#include "vocabulary/client_memory.h"
#include "vocabulary/dbx_reader.h"
#include "vocabulary/stream.h"

namespace tavrin {

// Texts of the errors about row handles (code NoOpenTable). A request naming a table that is not
// open, or asking for rows after the last block, is refused before any reader is
// touched.
namespace TDBXTableErrors {
inline constexpr char kNoOpenTable[] = "No open table for row handle ";
inline constexpr char kNoFurtherRows[] = "No further rows for row handle ";
inline constexpr char kNoLongValue[] = "No long value pending at row ";
}  // namespace TDBXTableErrors

class TDBXActiveTableReaderItem {
 public:
  // A table: its row object (owned) and, once written, its reader.
  TDBXActiveTableReaderItem(std::int32_t RowHandle, std::unique_ptr<TDBXJSonRow> Row);
  // A command's parameter row, registered so that more-blob requests for long out
  // values find it; the row and the list are borrowed and must outlive the item.
  TDBXActiveTableReaderItem(std::int32_t RowHandle, TDBXJSonRow& ParameterRow,
                            const TDBXParameterList* Parameters);
  ~TDBXActiveTableReaderItem();

  TDBXActiveTableReaderItem(const TDBXActiveTableReaderItem&) = delete;
  TDBXActiveTableReaderItem& operator=(const TDBXActiveTableReaderItem&) = delete;

  std::int32_t RowHandle() const { return FStreamerRowHandle; }
  TDBXJSonRow& Row() { return *FStreamerRow; }
  TDBXReader* Reader() const { return FReader.get(); }
  // Gives the item its reader, with the charge of what the reader holds (kept until the
  // reader closes), and clears the end flag.
  void SetReader(std::shared_ptr<TDBXReader> Reader, TClientMemoryHold Held = {});

  bool Eos() const { return FEos; }
  void SetEos(bool Value) { FEos = Value; }
  // Rows written in the blocks so far: the row number of the next row written.
  std::int64_t RowsWritten() const { return FRowsWritten; }
  void CountRow() { ++FRowsWritten; }

  bool IsParameterRow() const { return FIsParameterRow; }
  const TDBXParameterList* ParameterList() const { return FParameterList; }
  // Per-parameter end flags of a parameter row's long values.
  std::vector<bool>& EosParams() { return FEosParams; }

  // Long values of the last block that did not fit inline, by row number and ordinal.
  // Keeping only the last block's bounds what the item holds.
  void ClearLongValues() { FLongValues.clear(); }
  void AddLongValue(std::int64_t Row, std::int32_t Ordinal, std::shared_ptr<TStream> Rest);
  // The rest of the long value at Row and Ordinal; raises TDBXError (TDBXTableErrors)
  // when none is pending. The item keeps ownership; DropLongValue frees it.
  TStream& LongValue(std::int64_t Row, std::int32_t Ordinal);
  void DropLongValue(std::int64_t Row, std::int32_t Ordinal);

  // Closes the reader, swallowing nothing: errors of the reader propagate.
  void CloseReader();

 private:
  std::int32_t FStreamerRowHandle;
  std::unique_ptr<TDBXJSonRow> FOwnedRow;
  TDBXJSonRow* FStreamerRow;
  std::shared_ptr<TDBXReader> FReader;
  TClientMemoryHold FReaderHeld;
  bool FEos = false;
  std::int64_t FRowsWritten = 0;
  bool FIsParameterRow = false;
  const TDBXParameterList* FParameterList = nullptr;
  std::vector<bool> FEosParams;
  std::map<std::pair<std::int64_t, std::int32_t>, std::shared_ptr<TStream>> FLongValues;
};

class TDBXActiveTableReaderList {
 public:
  TDBXActiveTableReaderList() = default;
  TDBXActiveTableReaderList(const TDBXActiveTableReaderList&) = delete;
  TDBXActiveTableReaderList& operator=(const TDBXActiveTableReaderList&) = delete;

  // The next row handle of the command: 1, 2, 3, ... in the order tables are written.
  std::int32_t AllocateRowHandle() { return ++FLastRowHandle; }

  // The item under RowHandle, or null.
  TDBXActiveTableReaderItem* Find(std::int32_t RowHandle);
  // The item under RowHandle; raises TDBXError (TDBXTableErrors) when there is none.
  TDBXActiveTableReaderItem& Get(std::int32_t RowHandle);
  // Adds an item, replacing (and freeing) one under the same handle; returns it.
  TDBXActiveTableReaderItem& Add(std::unique_ptr<TDBXActiveTableReaderItem> Item);
  // Frees the table under RowHandle (a client's reader close). Parameter rows stay.
  // Raises TDBXError (TDBXTableErrors) when nothing is open under that handle.
  void Close(std::int32_t RowHandle);
  // Frees every table, keeps the parameter rows with their end flags cleared, and
  // starts the row handles again at 1. Done when the command is executed again.
  void CloseAll();

  bool Empty() const { return FItems.empty(); }
  // True while a table has blocks the client has not fetched.
  bool HasUnreadTable() const;
  // The tables open, parameter rows not counted.
  std::size_t TableCount() const;

 private:
  std::vector<std::unique_ptr<TDBXActiveTableReaderItem>> FItems;  // oldest first
  std::int32_t FLastRowHandle = 0;
};

}  // namespace tavrin
