#pragma once
// TFieldsDataSet: a dataset that keeps its columns as TField objects. It answers the
// TDataSet model (field descriptors and values for table readers) from those fields,
// so what a provider reads through TField and what travels as a table agree.
// Derived datasets (a query, say) create the fields when they open and say which record
// is current.
//
// Threading: a dataset and its fields belong to one thread at a time.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dataset/data_set.h"
#include "dataset/field.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_type.h"

namespace tavrin {

// The table data type, subtype, precision and scale that a field of Type travels as
// in a table (text as UTF-16, memos as 16-bit memo text, unsigned 32-bit and 64-bit
// integers as 64-bit, money and decimals as BCD, dates, times and timestamps as such,
// bytes as a byte stream); data type 0 for the types a table cannot carry (objects,
// arrays, cursors and the like).
TDBXValueType FieldValueType(const TField& Field);

class TFieldsDataSet : public TDataSet {
 public:
  static constexpr char kFieldNotFound[] = "Field not found: ";

  // Opens the dataset (a query runs its statement and creates its fields); nothing
  // happens when it is open already. A provider opens a closed dataset this way before
  // reading it, and closes it again (Close) when it opened it.
  virtual void Open() = 0;
  virtual bool Active() const = 0;

  std::int32_t FieldCount() const override { return static_cast<std::int32_t>(FFields.size()); }
  // Raise TDBXError code 2 for an index outside the fields.
  const TDBXValueType& FieldDef(std::int32_t Index) const override;
  // The current record's value of field Index, converted to the field's table data type
  // (see FieldValueType); null with no current record. Raises EDatabaseError when the
  // value cannot be converted, TDBXError code 3 for a type a table cannot carry.
  const TDBXValue& FieldValue(std::int32_t Index) override;

  // The current record's values, one per field in field order, when the dataset keeps
  // them side by side: a reader of every field of many records takes each record's
  // values at once rather than field by field. Null when it does not keep them so, or
  // with no current record. Valid until the next move or close.
  virtual const TFieldValue* CurrentRow() const { return nullptr; }

  // Field Index, owned by the dataset, valid until the fields are cleared (a query
  // clears them when it closes). Raises TDBXError code 2 outside the fields.
  TField& Fields(std::int32_t Index) const;
  // The field named Name, ignoring ASCII letter case; null when none.
  TField* FindFieldObject(std::string_view Name) const;
  // As FindFieldObject; raises EDatabaseError "Field not found: <Name>" when none.
  TField& FieldByName(std::string_view Name) const;

 protected:
  // Appends a field; its index is the field count before the call.
  TField& AddField(TFieldDefinition Definition);
  // Frees every field.
  void ClearFields();

  // The value of field Index in the current record, or a null value when there is no
  // current record. Index is always within the fields. The reference stays valid until
  // the next move or close.
  virtual const TFieldValue& CurrentValue(std::int32_t Index) const = 0;

 private:
  friend class TField;

  struct TFieldEntry {
    std::unique_ptr<TField> Field;
    TDBXValueType ValueType;
    std::unique_ptr<TDBXWritableValue> Holder;  // made at the first FieldValue
  };
  std::vector<TFieldEntry> FFields;
};

}  // namespace tavrin
