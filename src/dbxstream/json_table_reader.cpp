#include "dbxstream/json_table_reader.h"

#include <algorithm>
#include <string>
#include <utility>

#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/row_value_codec.h"
#include "dbxstream/stream_keywords.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

constexpr std::string_view kInvalidOrdinal = "Invalid column ordinal ";
constexpr std::string_view kBlockTooBig = "Row block of more than the limit refused: ";

// Defaults of the fields member's optional values.
constexpr std::int32_t kDefaultRowHandle = 0;
constexpr std::int32_t kDefaultBcdFormat = kBcdFormatBigDecimal;

// Flags of clients that predate the current flag layout, moved to their current bits.
std::int32_t TranslateOldFlags(std::int32_t Old) {
  namespace F = TDBXValueTypeFlags;
  std::int32_t Flags = F::ReadFromWire;
  if ((Old & 0x01) != 0) Flags |= F::ReadOnly;
  if ((Old & 0x02) != 0) Flags |= F::Searchable;
  if ((Old & 0x08) != 0) Flags |= F::Nullable;
  if ((Old & 0x40) != 0) Flags |= F::AutoIncrement;
  return Flags;
}

}  // namespace

TDBXValueType ReadColumnDescription(TDBXJSonStreamReader& Reader, bool CurrentFlags) {
  TDBXValueType Column;
  Reader.NextValueSeparator();
  Reader.Next(TDBXTokens::ArrayStart);
  Column.SetName(ToUtf8(Reader.ReadString()));
  Reader.NextValueSeparator();
  Column.SetDataType(Reader.ReadInt());
  Reader.NextValueSeparator();
  Column.SetSubType(Reader.ReadInt());
  Reader.NextValueSeparator();
  Column.SetPrecision(Reader.ReadLong());
  Reader.NextValueSeparator();
  Column.SetScale(Reader.ReadInt());
  Reader.NextValueSeparator();
  Column.SetSize(Reader.ReadInt());
  Reader.NextValueSeparator();
  const std::int32_t Flags = Reader.ReadInt();
  Column.SetValueTypeFlags(CurrentFlags ? Flags : TranslateOldFlags(Flags));
  if (Reader.Next() == TDBXTokens::ValueSeparator) {
    Column.SetParameterDirection(Reader.ReadInt());
    Reader.SkipToEndOfArray();
  }
  return Column;
}

TDBXJSonTableReader::TDBXJSonTableReader(TDBXJSonStreamReader& Reader,
                                         TDBXJSonStreamWriter& Writer,
                                         std::unique_ptr<TDBXJSonRow> Row,
                                         std::int32_t CommandHandle, bool Updateable,
                                         std::vector<TDBXValueType> Columns, bool LastBlock)
    : FReader(Reader),
      FWriter(Writer),
      FRow(std::move(Row)),
      FCommandHandle(CommandHandle),
      FUpdateable(Updateable),
      FColumns(std::move(Columns)),
      FValues(FColumns.size()),
      FLoaded(FColumns.size(), false),
      FLastBlock(LastBlock) {
  FRow->RowBuffer().SetColumnCount(ColumnCount());
}

TDBXJSonTableReader::~TDBXJSonTableReader() {
  try {
    Close();
  } catch (...) {
    // The connection is going or broken: the client has no table left to forget.
  }
}

void TDBXJSonTableReader::CheckOrdinal(std::int32_t Ordinal) const {
  if (Ordinal < 0 || Ordinal >= ColumnCount()) {
    throw TDBXError(TDBXErrorCodes::InvalidInput,
                    std::string(kInvalidOrdinal) + std::to_string(Ordinal));
  }
}

const TDBXValueType& TDBXJSonTableReader::ValueType(std::int32_t Ordinal) const {
  CheckOrdinal(Ordinal);
  return FColumns[static_cast<std::size_t>(Ordinal)];
}

bool TDBXJSonTableReader::Next() {
  if (FClosed || FAtEnd) return false;
  TDBXRowBuffer& Buffer = FRow->RowBuffer();
  for (;;) {
    if (Buffer.StepRow(std::exchange(FAtBlockStart, false))) {
      ++FRowsRead;
      std::fill(FLoaded.begin(), FLoaded.end(), false);
      return true;
    }
    if (FLastBlock) {
      FAtEnd = true;
      return false;
    }
    FWriter.WriteServerNextObject(FRow->RowHandle(), FRowsRead, FCommandHandle);
    FWriter.Flush();
    FLastBlock = ReadRowBlock(FReader, Buffer);
    FAtBlockStart = true;
  }
}

const TDBXValue& TDBXJSonTableReader::Value(std::int32_t Ordinal) {
  CheckOrdinal(Ordinal);
  const auto i = static_cast<std::size_t>(Ordinal);
  if (!FValues[i]) FValues[i] = CreateValueHolder(FColumns[i]);
  if (!FLoaded[i]) {
    TDBXRowBuffer& Buffer = FRow->RowBuffer();
    Buffer.GoToField(Ordinal);
    ReadRowValue(Buffer, FColumns[i], *FValues[i]);
    FLoaded[i] = true;
  }
  return *FValues[i];
}

void TDBXJSonTableReader::Close() {
  if (FClosed) return;
  FClosed = true;
  FValues.clear();
  if (FRow->RowHandle() >= 0) FWriter.WriteReaderCloseObject(FRow->RowHandle(), FCommandHandle);
}

bool ReadRowBlock(TDBXJSonStreamReader& Reader, TDBXRowBuffer& Buffer) {
  Reader.Next(TDBXTokens::ObjectStart);
  Reader.Next(TDBXTokens::StringStart);
  const std::int32_t Member = Reader.ReadStringCode();
  bool Last = true;
  if (Member == TDBXStringCodes::Data) {
    Reader.Next(TDBXTokens::NameSeparator);
    Reader.Next(TDBXTokens::ArrayStart);
    const std::int64_t Count = Reader.ReadInt();
    Last = Count < 1;
    const std::int64_t Size = Last ? -Count : Count;
    if (Size > limits::kMaxDataBlockBytes) {
      throw TDBXMidValueRefusal(TDBXErrorCodes::LimitExceeded, std::string(kBlockTooBig) + std::to_string(Size));
    }
    const auto Bytes = static_cast<std::int32_t>(Size);
    Buffer.ReadSize(0);
    if (Bytes != 0) {
      Reader.NextValueSeparator();
      Buffer.ReadBlock(Reader, Bytes);
    }
    Buffer.ReadSize(Bytes);
  } else if (Member == TDBXStringCodes::Error) {
    Reader.Next(TDBXTokens::NameSeparator);
    Reader.ReadErrorBody();
  }
  Reader.SkipToEndOfObject();
  return Last;
}

std::shared_ptr<TDBXJSonTableReader> ReadDBXReader(TDBXJSonStreamReader& Reader,
                                                   TDBXJSonStreamWriter& Writer, bool Client) {
  std::int32_t CommandHandle = 0;
  bool Updateable = false;
  std::int32_t RowHandle = kDefaultRowHandle;
  std::int32_t BcdFormat = kDefaultBcdFormat;
  bool CurrentFlags = false;
  std::vector<TDBXValueType> Columns;
  for (;;) {
    const std::int32_t Member = Reader.ReadStringCode();
    if (Member == TDBXStringCodes::Fields) {
      Reader.Next(TDBXTokens::NameSeparator);
      Reader.Next(TDBXTokens::ArrayStart);
      CommandHandle = Reader.ReadInt();
      Reader.NextValueSeparator();
      Updateable = Reader.ReadBoolean();
      if (Reader.Next() == TDBXTokens::ValueSeparator) {
        RowHandle = Reader.ReadInt();
        if (Reader.Next() == TDBXTokens::ValueSeparator) {
          BcdFormat = Reader.ReadInt();
          if (Reader.Next() == TDBXTokens::ValueSeparator) CurrentFlags = Reader.ReadBoolean();
        }
      }
    } else if (Member == TDBXStringCodes::Columns) {
      Reader.Next(TDBXTokens::NameSeparator);
      Reader.Next(TDBXTokens::ArrayStart);
      const std::int32_t Count = Reader.ReadInt();
      Columns.clear();
      // Nothing is reserved for the claimed count: each column costs the client bytes.
      for (std::int32_t i = 0; i < Count; ++i) Columns.push_back(ReadColumnDescription(Reader, CurrentFlags));
    }
    Reader.SkipToEndOfObject();
    if (Reader.Next() != TDBXTokens::ValueSeparator) break;
  }
  if (Reader.GetToken() != TDBXTokens::ObjectEnd) Reader.SkipToEndOfObject();

  auto Row = MakeTableRow(Reader, Writer, Client, CommandHandle, BcdFormat);
  Row->SetRowHandle(RowHandle);
  Row->RowBuffer().SetColumnCount(static_cast<std::int32_t>(Columns.size()));
  const bool Last = ReadRowBlock(Reader, Row->RowBuffer());
  return std::make_shared<TDBXJSonTableReader>(Reader, Writer, std::move(Row), CommandHandle,
                                               Updateable, std::move(Columns), Last);
}

}  // namespace tavrin
