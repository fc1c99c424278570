#pragma once
// TDSMemoryTable: a small table built in memory and handed to a client as a table
// reader (data type 23). The built-in administration methods answer with these: the
// columns are fixed when the table is made, rows are appended and filled one at a time,
// and the reader then walks them once, front to back.
//
// Only the column descriptions (name, data type, subtype, precision, scale, size, flags,
// direction) travel over the wire; the table name and the display names stay on the
// server side.
//
// Threading: a table belongs to the connection thread that built it or reads it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vocabulary/dbx_reader.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_type.h"

namespace tavrin {

// One column of a table layout.
// Sizes the built-in tables give their text and 32-bit integer columns.
inline constexpr std::int64_t kTextColumnSize = 256;
inline constexpr std::int64_t kInt32ColumnSize = 4;

struct TDSColumnLayout {
  std::string_view Name;
  std::int32_t DataType = TDBXDataTypes::UnknownType;
  std::int64_t Size = 0;
  std::string_view DisplayName = {};  // empty: the same as Name
  bool Nullable = false;
  bool Hidden = false;
};

class TDSMemoryTable : public TDBXReader {
 public:
  // A table with no rows and the given columns, in order. Raises TDBXError code 3 for a
  // data type that has no value holder.
  TDSMemoryTable(std::string TableName, std::span<const TDSColumnLayout> Columns);

  const std::string& TableName() const { return FTableName; }
  std::int32_t RowCount() const { return static_cast<std::int32_t>(FRows.size()); }

  // Appends a row whose values are all null; the setters below then fill it.
  void AppendRow();
  // Set column Ordinal of the last appended row. Raise TDBXError code 2 when there is
  // no row or no such column, code 3 when the column holds another kind of value.
  void SetText(std::int32_t Ordinal, std::string_view Utf8);  // data type 26
  void SetInt32(std::int32_t Ordinal, std::int32_t Value);
  void SetInt64(std::int32_t Ordinal, std::int64_t Value);
  void SetBoolean(std::int32_t Ordinal, bool Value);

  // --- TDBXReader ---------------------------------------------------------------------
  std::int32_t ColumnCount() const override { return static_cast<std::int32_t>(FColumns.size()); }
  const TDBXValueType& ValueType(std::int32_t Ordinal) const override;
  bool Next() override;
  // Raises TDBXError code 2 when the reader is not on a row.
  const TDBXValue& Value(std::int32_t Ordinal) override;
  // Frees the rows; Next answers false from then on.
  void Close() override;
  // The rows' holders and their texts.
  std::int64_t HeldBytes() const override;

 private:
  using TRow = std::vector<std::unique_ptr<TDBXWritableValue>>;

  void CheckColumn(std::int32_t Ordinal) const;
  template <typename THolder>
  THolder& LastRowField(std::int32_t Ordinal);

  std::string FTableName;
  std::vector<TDBXValueType> FColumns;
  std::vector<TRow> FRows;
  // Index of the current row: -1 before the first Next, FRows.size() past the last.
  std::ptrdiff_t FCurrent = -1;
};

}  // namespace tavrin
