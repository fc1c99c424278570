#pragma once
// TDataSet: a set of records with named, typed fields, walked from the first record
// on. This is the small model that server methods exchange as table arguments and
// results ("TDataSet"); query and provider layers build their datasets on it.
//
// Beside it, the two bridges between datasets and table readers:
//   TReaderDataSet  a read-only dataset over a reader (what a method declared with a
//                   TDataSet parameter receives for a table the client sent);
//   TDataSetReader  a reader over a dataset (what travels back when a method returns
//                   a dataset).
// Threading: a dataset and its readers belong to one connection's thread.

#include <cstdint>
#include <memory>
#include <string_view>

#include "vocabulary/dbx_reader.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_type.h"

namespace tavrin {

class TDataSet {
 public:
  static constexpr std::string_view ClassName = "TDataSet";

  TDataSet() = default;
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;
  virtual ~TDataSet() = default;

  // Fields: count, and the descriptor of field Index (name, data type, sizes), which
  // the dataset owns. Raises TDBXError (code 2) for an index outside the fields.
  virtual std::int32_t FieldCount() const = 0;
  virtual const TDBXValueType& FieldDef(std::int32_t Index) const = 0;
  // The index of the field named Name, ignoring ASCII letter case; -1 when none.
  std::int32_t FindField(std::string_view Name) const;

  // Moves to the first record; Eof() is then true when there is none.
  virtual void First() = 0;
  // Moves to the next record; past the last one Eof() becomes true.
  virtual void Next() = 0;
  virtual bool Eof() const = 0;
  // The value of field Index in the current record, owned by the dataset and valid
  // until the next move. Only while Eof() is false.
  virtual const TDBXValue& FieldValue(std::int32_t Index) = 0;
  // Releases the records; harmless when repeated.
  virtual void Close() {}

  // True when something else (a server object, a module) owns the dataset and decides
  // when it closes; a reader made over such a dataset leaves it open.
  bool HasOwner() const { return FHasOwner; }
  void SetHasOwner(bool Value) { FHasOwner = Value; }

 protected:
  [[noreturn]] static void RaiseNoField(std::int32_t Index);

 private:
  bool FHasOwner = false;
};

// Records of a reader, read forward. It is open from the start, on the first record
// (the reader's first row is read at construction); First only works while it stands
// there (a reader cannot go back) and raises TDBXError code 2 afterwards.
class TReaderDataSet : public TDataSet {
 public:
  static constexpr char kForwardOnly[] = "The dataset over a table reads forward only";

  explicit TReaderDataSet(std::shared_ptr<TDBXReader> Reader);

  std::int32_t FieldCount() const override { return FReader->ColumnCount(); }
  const TDBXValueType& FieldDef(std::int32_t Index) const override { return FReader->ValueType(Index); }
  void First() override;
  void Next() override;
  bool Eof() const override { return FEof; }
  const TDBXValue& FieldValue(std::int32_t Index) override;
  // Closes the reader.
  void Close() override;

 private:
  void Step();

  std::shared_ptr<TDBXReader> FReader;
  std::int64_t FRecord = -1;  // the rows moved past; 0 on the first record
  bool FEof = true;
};

// A reader over a dataset's records from the first on. It keeps the dataset alive;
// closing the reader closes the dataset too unless the dataset has an owner.
class TDataSetReader : public TDBXReader {
 public:
  explicit TDataSetReader(std::shared_ptr<TDataSet> DataSet) : FDataSet(std::move(DataSet)) {}
  ~TDataSetReader() override;

  std::int32_t ColumnCount() const override { return FDataSet->FieldCount(); }
  const TDBXValueType& ValueType(std::int32_t Ordinal) const override { return FDataSet->FieldDef(Ordinal); }
  bool Next() override;
  const TDBXValue& Value(std::int32_t Ordinal) override { return FDataSet->FieldValue(Ordinal); }
  void Close() override;

  const std::shared_ptr<TDataSet>& DataSet() const { return FDataSet; }

 private:
  std::shared_ptr<TDataSet> FDataSet;
  bool FStarted = false;
  bool FClosed = false;
};

}  // namespace tavrin
