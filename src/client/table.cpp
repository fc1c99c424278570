#include "client/table.h"

#include <utility>

#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/json_table_reader.h"
#include "dbxstream/stream_keywords.h"
#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {

// Defaults of the optional values of a table's fields member.
constexpr std::int32_t kDefaultRowHandle = 0;
constexpr std::int32_t kDefaultBcdFormat = kBcdFormatBigDecimal;

constexpr char kTableNotClosed[] = "Expected ']' after the members of a table object";

}  // namespace

TDBXClientTable::TDBXClientTable(TDBXJSonStreamReader& Reader, TDBXJSonStreamWriter& Writer,
                                 std::unique_ptr<TDBXJSonRow> Row, std::int32_t CommandHandle,
                                 bool Updateable, std::vector<TDBXValueType> Columns)
    : FReader(Reader),
      FWriter(Writer),
      FRow(std::move(Row)),
      FCommandHandle(CommandHandle),
      FUpdateable(Updateable),
      FColumns(std::move(Columns)) {
  FRow->RowBuffer().SetColumnCount(ColumnCount());
}

void TDBXClientTable::ReadFirstBlock() {
  FLastBlock = ReadRowBlock(FReader, FRow->RowBuffer());
  FAtBlockStart = true;
  ++FBlocksRead;
}

bool TDBXClientTable::FetchNextBlock() {
  if (FLastBlock) return false;
  FWriter.WriteClientNextObject(RowHandle(), FRowsRead, FCommandHandle);
  FWriter.Flush();
  ReadFirstBlock();
  return true;
}

bool TDBXClientTable::Next() {
  TDBXRowBuffer& Buffer = FRow->RowBuffer();
  for (;;) {
    if (Buffer.StepRow(std::exchange(FAtBlockStart, false))) {
      ++FRowsRead;
      return true;
    }
    if (!FetchNextBlock()) return false;
  }
}

std::unique_ptr<TDBXClientTable> ReadClientTableObject(TDBXJSonStreamReader& Reader,
                                                       TDBXJSonStreamWriter& Writer,
                                                       bool Client) {
  std::int32_t CommandHandle = 0;
  bool Updateable = false;
  std::int32_t RowHandle = kDefaultRowHandle;
  std::int32_t BcdFormat = kDefaultBcdFormat;
  std::vector<TDBXValueType> Columns;
  // Members {"fields":[...]} and {"columns":[...]}, separated by commas.
  do {
    Reader.Next(TDBXTokens::ObjectStart);
    const std::int32_t Member = Reader.ReadStringCode();
    Reader.Next(TDBXTokens::NameSeparator);
    Reader.Next(TDBXTokens::ArrayStart);
    if (Member == TDBXStringCodes::Fields) {
      CommandHandle = Reader.ReadInt();
      Reader.NextValueSeparator();
      Updateable = Reader.ReadBoolean();
      if (Reader.Next() == TDBXTokens::ValueSeparator) {
        RowHandle = Reader.ReadInt();
        if (Reader.Next() == TDBXTokens::ValueSeparator) BcdFormat = Reader.ReadInt();
      }
    } else if (Member == TDBXStringCodes::Columns) {
      const std::int32_t Count = Reader.ReadInt();
      Columns.clear();
      // Nothing is reserved for the claimed count: each column costs the peer bytes.
      for (std::int32_t i = 0; i < Count; ++i) {
        Columns.push_back(ReadColumnDescription(Reader, true));
        Columns.back().SetOrdinal(i);
      }
    }
    Reader.SkipToEndOfObject();
  } while (Reader.Next() == TDBXTokens::ValueSeparator);
  if (Reader.GetToken() != TDBXTokens::ArrayEnd) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, kTableNotClosed);
  }
  Reader.Next(TDBXTokens::ObjectEnd);

  auto Row = MakeTableRow(Reader, Writer, Client, CommandHandle, BcdFormat);
  Row->SetRowHandle(RowHandle);
  return std::make_unique<TDBXClientTable>(Reader, Writer, std::move(Row), CommandHandle,
                                           Updateable, std::move(Columns));
}

}  // namespace tavrin
