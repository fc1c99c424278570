#pragma once
// A dataset of fields and rows given by the test, walked as a query is: open on the first
// record, Eof set by Next past the last one, the last record staying current. It counts
// its openings and closings and can be told to fail reading a given record.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dataset/database_error.h"
#include "dataset/fields_data_set.h"

namespace tavrin::testing {

class TMemoryDataSet : public TFieldsDataSet {
 public:
  TMemoryDataSet(std::vector<TFieldDefinition> Fields, std::vector<std::vector<TFieldValue>> Rows)
      : FDefinitions(std::move(Fields)), FRows(std::move(Rows)) {}

  void Open() override {
    if (FActive) return;
    if (FailOpen) throw EDatabaseError("Table not found: tabest1");
    for (const TFieldDefinition& Definition : FDefinitions) AddField(Definition);
    FActive = true;
    ++Opens;
    First();
  }
  void Close() override {
    if (!FActive) return;
    FActive = false;
    ClearFields();
    ++Closes;
  }
  bool Active() const override { return FActive; }
  void First() override {
    FRecord = 0;
    FEof = FRows.empty();
  }
  void Next() override {
    if (FRecord + 1 < FRows.size()) {
      ++FRecord;
    } else {
      FEof = true;
    }
  }
  bool Eof() const override { return !FActive || FEof; }

  // The current record's number from 1.
  std::size_t RecNo() const { return FRecord + 1; }

  int Opens = 0;
  int Closes = 0;
  bool FailOpen = false;
  // Reading any value of this record (from 1) raises; 0 for none.
  std::size_t FailAtRecord = 0;

 protected:
  const TFieldValue& CurrentValue(std::int32_t Index) const override {
    static const TFieldValue kNull;
    if (!FActive || FRows.empty()) return kNull;
    if (FailAtRecord == FRecord + 1) throw EDatabaseError("disk I/O error");
    return FRows[FRecord][static_cast<std::size_t>(Index)];
  }

 private:
  std::vector<TFieldDefinition> FDefinitions;
  std::vector<std::vector<TFieldValue>> FRows;
  bool FActive = false;
  std::size_t FRecord = 0;
  bool FEof = true;
};

inline TFieldDefinition FieldOf(std::string Name, TFieldType Type, std::int32_t Size = 0, std::int32_t Precision = 0) {
  TFieldDefinition Definition;
  Definition.Name = std::move(Name);
  Definition.DataType = Type;
  Definition.Size = Size;
  Definition.Precision = Precision;
  return Definition;
}

}  // namespace tavrin::testing
