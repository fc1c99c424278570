#include "server/builtin/memory_table.h"

#include <string>
#include <utility>

#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

constexpr char kNoRow[] = "The table has no current row";
constexpr char kOtherKind[] = "Column holds another kind of value: ";

}  // namespace

TDSMemoryTable::TDSMemoryTable(std::string TableName, std::span<const TDSColumnLayout> Columns)
    : FTableName(std::move(TableName)) {
  FColumns.reserve(Columns.size());
  for (const TDSColumnLayout& Layout : Columns) {
    TDBXValueType& Column = FColumns.emplace_back();
    Column.SetName(std::string(Layout.Name));
    Column.SetDisplayName(std::string(Layout.DisplayName.empty() ? Layout.Name : Layout.DisplayName));
    Column.SetOrdinal(static_cast<std::int32_t>(FColumns.size() - 1));
    Column.SetDataType(Layout.DataType);
    Column.SetSize(Layout.Size);
    Column.SetNullable(Layout.Nullable);
    Column.SetHidden(Layout.Hidden);
    // Fails here, not at the first row, for a type without a holder.
    CreateValueHolder(Column);
  }
}

void TDSMemoryTable::AppendRow() {
  TRow& Row = FRows.emplace_back();
  Row.reserve(FColumns.size());
  for (TDBXValueType& Column : FColumns) Row.push_back(CreateValueHolder(Column));
}

void TDSMemoryTable::CheckColumn(std::int32_t Ordinal) const {
  if (Ordinal < 0 || Ordinal >= ColumnCount()) RaiseNoColumn(Ordinal);
}

template <typename THolder>
THolder& TDSMemoryTable::LastRowField(std::int32_t Ordinal) {
  CheckColumn(Ordinal);
  if (FRows.empty()) throw TDBXError(TDBXErrorCodes::InvalidInput, kNoRow);
  auto* Holder = dynamic_cast<THolder*>(FRows.back()[static_cast<std::size_t>(Ordinal)].get());
  if (Holder == nullptr) {
    throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                    kOtherKind + FColumns[static_cast<std::size_t>(Ordinal)].Name());
  }
  return *Holder;
}

void TDSMemoryTable::SetText(std::int32_t Ordinal, std::string_view Utf8) {
  LastRowField<TDBXWideStringValue>(Ordinal).SetWideString(ToUtf16(Utf8));
}

void TDSMemoryTable::SetInt32(std::int32_t Ordinal, std::int32_t Value) {
  LastRowField<TDBXInt32Value>(Ordinal).SetInt32(Value);
}

void TDSMemoryTable::SetInt64(std::int32_t Ordinal, std::int64_t Value) {
  LastRowField<TDBXInt64Value>(Ordinal).SetInt64(Value);
}

void TDSMemoryTable::SetBoolean(std::int32_t Ordinal, bool Value) {
  LastRowField<TDBXBooleanValue>(Ordinal).SetBoolean(Value);
}

const TDBXValueType& TDSMemoryTable::ValueType(std::int32_t Ordinal) const {
  CheckColumn(Ordinal);
  return FColumns[static_cast<std::size_t>(Ordinal)];
}

bool TDSMemoryTable::Next() {
  const auto Count = static_cast<std::ptrdiff_t>(FRows.size());
  if (FCurrent < Count) ++FCurrent;
  return FCurrent < Count;
}

const TDBXValue& TDSMemoryTable::Value(std::int32_t Ordinal) {
  CheckColumn(Ordinal);
  if (FCurrent < 0 || FCurrent >= static_cast<std::ptrdiff_t>(FRows.size())) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, kNoRow);
  }
  return *FRows[static_cast<std::size_t>(FCurrent)][static_cast<std::size_t>(Ordinal)];
}

std::int64_t TDSMemoryTable::HeldBytes() const {
  // Every cell is counted as the largest holder the tables use, plus its text.
  constexpr auto kCellBytes = static_cast<std::int64_t>(sizeof(TRow::value_type) + sizeof(TDBXWideStringValue));
  std::int64_t Bytes = 0;
  for (const TRow& Row : FRows) {
    Bytes += static_cast<std::int64_t>(sizeof(TRow)) + kCellBytes * static_cast<std::int64_t>(Row.size());
    for (const auto& Cell : Row) {
      if (const auto* Text = dynamic_cast<const TDBXWideStringValue*>(Cell.get())) {
        Bytes += static_cast<std::int64_t>(Text->GetWideString().capacity() * sizeof(char16_t));
      }
    }
  }
  return Bytes;
}

void TDSMemoryTable::Close() {
  FRows.clear();
  FCurrent = 0;
}

}  // namespace tavrin
