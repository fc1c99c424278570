#include "server/requests/table_streamer.h"

#include <algorithm>
#include <exception>
#include <limits>

#include "dbxstream/json_stream_writer.h"
#include "dbxstream/row_value_codec.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_type.h"

namespace tavrin {

namespace {

// What a refusal for a table's memory names.
constexpr char kOpenTableWhat[] = "An open table";

std::int32_t SizeOnWire(std::int64_t Size) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(Size, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

TDBXActiveTableReaderItem& TDBXTableStreamer::GetActiveTableReaderItem(
    TDBXActiveTableReaderList& List, std::int32_t CommandHandle, std::int32_t RowHandle) {
  if (TDBXActiveTableReaderItem* Item = List.Find(RowHandle)) return *Item;
  return List.Add(std::make_unique<TDBXActiveTableReaderItem>(
      RowHandle, MakeTableRow(FReader, FWriter, FClient, CommandHandle, kBcdFormatText)));
}

void TDBXTableStreamer::WriteFirst(std::int32_t CommandHandle, std::int32_t RowHandle,
                                   std::int32_t BcdFormat, TDBXReader& Reader,
                                   TDBXJSonRow& Row) {
  const std::int32_t Count = Reader.ColumnCount();
  FWriter.WriteTableObjectStart(CommandHandle, Reader.Updateable(), RowHandle, BcdFormat, Count);
  for (std::int32_t i = 0; i < Count; ++i) {
    const TDBXValueType& Column = Reader.ValueType(i);
    FWriter.WriteColumnDescription(ToUtf16(Column.Name()), Column.DataType(), Column.SubType(),
                                   Column.Precision(), Column.Scale(), SizeOnWire(Column.Size()),
                                   Column.ValueTypeFlags(), Column.ParameterDirection());
  }
  FWriter.WriteTableObjectEnd();
  Row.SetNeedsNext(false);
}

void TDBXTableStreamer::CopyRow(TDBXReader& Reader, TDBXActiveTableReaderItem& Item) {
  TDBXRowBuffer& Buffer = Item.Row().RowBuffer();
  const std::int32_t Count = Reader.ColumnCount();
  const std::int64_t RowNumber = Item.RowsWritten();
  try {
    for (std::int32_t i = 0; i < Count; ++i) {
      std::shared_ptr<TStream> Rest = WriteRowValue(Buffer, Reader.ValueType(i), Reader.Value(i));
      if (Rest) Item.AddLongValue(RowNumber, i, std::move(Rest));
    }
  } catch (const std::exception& Failure) {
    Buffer.Post();
    std::throw_with_nested(TDBXError(TDBXErrorCodes::RowCopyFailed, Failure.what()));
  }
  Item.CountRow();
}

bool TDBXTableStreamer::WriteNext(std::int32_t /*CommandHandle*/,
                                  TDBXActiveTableReaderItem& Item, bool First) {
  TDBXReader* Reader = Item.Reader();
  if (Reader == nullptr) {
    throw TDBXError(TDBXErrorCodes::NoOpenTable, std::string(TDBXTableErrors::kNoOpenTable) +
                                               std::to_string(Item.RowHandle()));
  }
  TDBXJSonRow& Row = Item.Row();
  TDBXRowBuffer& Buffer = Row.RowBuffer();
  Buffer.SetColumnCount(Reader->ColumnCount());
  Item.ClearLongValues();

  bool RowThere = false;
  if (First) {
    RowThere = Reader->Next();
    if (!RowThere) {
      FWriter.WriteRowStreamDataObject(0, {});
      return true;
    }
  }
  if (FWriter.FreeSpace().size() < static_cast<std::size_t>(kFlushBeforeBlockBytes)) {
    FWriter.Flush();
  }
  Buffer.Post();
  if (Row.NeedsNext()) {
    Row.SetNeedsNext(false);
    RowThere = Reader->Next();
  }
  // Whole rows only: the row that reaches the fill limit may pass it.
  while (RowThere) {
    CopyRow(*Reader, Item);
    if (Buffer.Offset() < Buffer.MinBufSize()) {
      RowThere = Reader->Next();
    } else {
      Row.SetNeedsNext(true);
      break;
    }
  }
  const std::int32_t Size = Buffer.Offset();
  FWriter.WriteRowStreamDataObject(RowThere ? Size : -Size, Buffer.WrittenBytes());
  Buffer.Post();
  return !RowThere;
}

TDBXActiveTableReaderItem& TDBXTableStreamer::WriteTableObject(
    TDBXActiveTableReaderList& List, std::int32_t CommandHandle,
    std::shared_ptr<TDBXReader> Reader) {
  // Counted before the table is kept: past the connection's or the server's memory the
  // reply is refused before this table is open.
  TClientMemoryHold Held;
  Held.Set(Reader->HeldBytes(), kOpenTableWhat);
  const std::int32_t RowHandle = List.AllocateRowHandle();
  TDBXActiveTableReaderItem& Item = GetActiveTableReaderItem(List, CommandHandle, RowHandle);
  TDBXReader& Table = *Reader;
  Item.SetReader(std::move(Reader), std::move(Held));
  WriteFirst(CommandHandle, RowHandle, Item.Row().BcdFormat(), Table, Item.Row());
  return Item;
}

void TDBXTableStreamer::WriteDBXReader(std::int32_t CommandHandle,
                                       TDBXActiveTableReaderItem& Item) {
  TDBXReader* Reader = Item.Reader();
  if (Reader == nullptr) {
    throw TDBXError(TDBXErrorCodes::NoOpenTable, std::string(TDBXTableErrors::kNoOpenTable) +
                                               std::to_string(Item.RowHandle()));
  }
  WriteFirst(CommandHandle, Item.RowHandle(), Item.Row().BcdFormat(), *Reader, Item.Row());
  Item.SetEos(WriteNext(CommandHandle, Item, true));
}

}  // namespace tavrin
