#pragma once
// TParams: an ordered list of named values, each a TDBXParameter with its own holder.
// Server methods exchange it as a table argument or result ("TParams"): it travels as a
// table of one row whose columns are the parameters.
//
// TParamsReader is that one-row table over a list.
// Threading: a list and its readers belong to one connection's thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vocabulary/dbx_reader.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_type.h"

namespace tavrin {

class TParams {
 public:
  static constexpr std::string_view ClassName = "TParams";

  TParams() = default;
  TParams(const TParams&) = delete;
  TParams& operator=(const TParams&) = delete;

  // Appends a parameter with a new, null holder for DataType (and SubType, for the
  // BLOB-like codes); returns it. Raises TDBXError code 3 for a code without a holder.
  TDBXParameter& Add(std::string Name, std::int32_t DataType,
                     std::int32_t SubType = TDBXSubDataTypes::NoSubType);

  std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
  // Parameter Index; raises TDBXError (code 2) outside the list.
  TDBXParameter& operator[](std::int32_t Index);
  const TDBXParameter& operator[](std::int32_t Index) const;
  // The parameter named Name, ignoring ASCII letter case; null when none.
  TDBXParameter* FindParam(std::string_view Name);

  // As TDataSet::HasOwner: a reader over an owned list does not keep it for itself.
  bool HasOwner() const { return FHasOwner; }
  void SetHasOwner(bool Value) { FHasOwner = Value; }

  // A list with one parameter per column of Reader (name and types), holding the
  // values of the reader's next row (nulls when it has none).
  static std::shared_ptr<TParams> FromReader(TDBXReader& Reader);

 private:
  std::vector<std::unique_ptr<TDBXParameter>> FItems;
  bool FHasOwner = false;
};

// One row: the values of the list's parameters, one column each.
class TParamsReader : public TDBXReader {
 public:
  explicit TParamsReader(std::shared_ptr<TParams> Params) : FParams(std::move(Params)) {}

  std::int32_t ColumnCount() const override { return FParams->Count(); }
  const TDBXValueType& ValueType(std::int32_t Ordinal) const override;
  bool Next() override;
  const TDBXValue& Value(std::int32_t Ordinal) override;
  void Close() override { FRowRead = true; }

  const std::shared_ptr<TParams>& Params() const { return FParams; }

 private:
  std::shared_ptr<TParams> FParams;
  bool FOnRow = false;
  bool FRowRead = false;
};

// Copies the value of From into To, a holder of the same kind (a null as a null).
// Raises TDBXError code 3 when the kinds differ.
void CopyValue(const TDBXValue& From, TDBXWritableValue& To);

}  // namespace tavrin
