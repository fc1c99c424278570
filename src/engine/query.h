#pragma once
// TQuery: a dataset over one SQL statement run against a data folder's database.
// Set DatabaseName (the folder) and the statement's lines, bind the ":name"
// parameters, then Open: the statement runs and the query stands on the first row,
// walked with First/Next/Prior/Last, read through Fields(i) (TField). Close ends it.
//
// Rows are read from the database as Next reaches them, and the ones behind are not
// kept: a caller reading forward holds one row at a time. RecordCount and Last read
// the rest of the rows at once and keep them; going back past what is kept (First or
// Prior after Next moved on) runs the statement again from the start. Until its last
// row is read, an open query holds a read of the database file (statement_runner.h):
// close it, or read it to its end, before waiting on anything.
//
// Events: BeforeOpen runs first thing in Open (it may still set the database name and
// the statement); AfterOpen once the rows are there; BeforeClose and AfterClose around
// Close. When opening fails, the error propagates, AfterOpen does not run and the query
// stays closed. Destroying an open query runs no event.
//
// Threading: a query belongs to one thread at a time; its session may be shared.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/fields_data_set.h"
#include "engine/database_session.h"
#include "engine/query_params.h"
#include "engine/statement_runner.h"

namespace tavrin {

using TDataSetNotifyEvent = std::function<void(TDataSet& DataSet)>;

class TQuery;

// The statement's lines. Changing them closes the query first (with its close events)
// and then empties the parameter list: bind the values by name once the statement is
// complete. The names SQLite finds in the statement become the list when it first runs
// (query_params.h).
class TQuerySQL {
 public:
  void Clear();
  void Add(std::string Line);
  std::int32_t Count() const { return static_cast<std::int32_t>(FLines.size()); }
  const std::vector<std::string>& Lines() const { return FLines; }
  // The statement: the lines in order, joined by line feeds.
  std::string Text() const;

 private:
  friend class TQuery;
  explicit TQuerySQL(TQuery& Owner) : FOwner(Owner) {}

  TQuery& FOwner;
  std::vector<std::string> FLines;
};

class TQuery : public TFieldsDataSet {
 public:
  static constexpr char kOpenDatabase[] = "Cannot perform this operation on an open database";

  // A closed query without database name or statement, on the process's session.
  TQuery();
  // The same, on another session (tests).
  explicit TQuery(TSession& DatabaseSession);
  ~TQuery() override;

  // The component name ("qryEst1"), for whoever lists or logs the query.
  const std::string& Name() const { return FName; }
  void SetName(std::string Value) { FName = std::move(Value); }
  TSession& DatabaseSession() const { return FSession; }

  // The data folder. Setting a different folder on an open query raises EDatabaseError
  // "Cannot perform this operation on an open database"; setting the same is harmless.
  const std::string& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(std::string Folder);

  TQuerySQL& SQL() { return FSQL; }
  const TQuerySQL& SQL() const { return FSQL; }

  // The names bound so far until the statement first runs, then the statement's own.
  TQueryParams& Params() { return FParams; }
  // Raises EDatabaseError "Parameter not found: <Name>" for a name not in the statement:
  // here once the statement has run, else when it runs.
  TQueryParam& ParamByName(std::string_view Name) { return FParams.ParamByName(Name); }
  // Makes Params the statement's own list before it runs, by having SQLite prepare it
  // (a provider tells its client which parameters a statement takes before running it).
  // Nothing happens when the list is known or the statement is blank. Raises
  // EDatabaseError as Open does.
  void DescribeParams();

  void SetBeforeOpen(TDataSetNotifyEvent Handler) { FBeforeOpen = std::move(Handler); }
  void SetAfterOpen(TDataSetNotifyEvent Handler) { FAfterOpen = std::move(Handler); }
  void SetBeforeClose(TDataSetNotifyEvent Handler) { FBeforeClose = std::move(Handler); }
  void SetAfterClose(TDataSetNotifyEvent Handler) { FAfterClose = std::move(Handler); }

  // What the statement's result would be, without running it (statement_runner.h): a
  // closed query runs BeforeOpen first, as Open does, since that is where the statement
  // may be set; an open one describes its fields. Raises EDatabaseError as Open does.
  TStatementDescription Describe();

  // Runs the statement, which must return rows, and stands on the first record. Nothing
  // happens on an open query. Raises EDatabaseError (statement_runner.h lists the
  // texts).
  void Open() override;
  // Drops the rows and the fields. Nothing happens on a closed query.
  void Close() override;
  bool Active() const override { return FActive; }

  // Runs a statement that changes rows (insert, update, delete, ...) without opening the
  // query; RowsAffected tells how many it changed. Raises EDatabaseError as Open does.
  void ExecSQL();
  std::int64_t RowsAffected() const { return FRowsAffected; }

  // --- The open result ---------------------------------------------------------------
  // Rows in the result (reads every row not read yet); 0 when closed.
  std::int32_t RecordCount() const;
  bool IsEmpty() const { return !FHasRows; }
  // The current record's number from 1; 0 when there is none.
  std::int32_t RecNo() const { return FHasRows ? FRecord + 1 : 0; }
  // On the first record, with Bof set (and Eof set only when there is no record).
  void First() override;
  // To the next record; from the last one, Eof is set and the last stays current.
  void Next() override;
  // To the previous record; from the first one, Bof is set and the first stays current.
  void Prior();
  // On the last record, Eof clear (set only when there is no record).
  void Last();
  bool Eof() const override { return FEof; }
  bool Bof() const { return FBof; }
  const TFieldValue* CurrentRow() const override;

  // The one table the result's columns read, and its primary key columns among them
  // (names joined by ";"); empty when the columns read no table or several.
  const std::string& TableName() const { return FTableName; }
  const std::string& KeyFields() const { return FKeyFields; }

 protected:
  const TFieldValue& CurrentValue(std::int32_t Index) const override;

 private:
  friend class TQuerySQL;
  void SQLChanging() { Close(); }
  void SQLChanged();
  void Drop();
  // Reads the next row of the statement into Row; false when none is left.
  bool FetchRow(std::vector<TFieldValue>& Row) const;
  // Reads and keeps every row not read yet.
  void ReadToEnd() const;
  std::int32_t KeptRows() const;
  // Runs the statement again and stands on record Record (or the last there is now).
  void ReadAgainTo(std::int32_t Record);

  TSession& FSession;
  std::string FName;
  std::string FDatabaseName;
  TQuerySQL FSQL{*this};
  TQueryParams FParams;
  TDataSetNotifyEvent FBeforeOpen, FAfterOpen, FBeforeClose, FAfterClose;

  bool FActive = false;
  bool FHasRows = false;
  // The rows read and kept, from record FFirstKept on, FieldCount() values each; the
  // statement reads the rest. Reading ahead (RecordCount) changes neither the result
  // nor the current record, hence mutable.
  mutable std::unique_ptr<TStatementCursor> FCursor;
  mutable std::vector<TFieldValue> FValues;
  mutable bool FAllRead = true;
  std::int32_t FFirstKept = 0;
  std::int32_t FRecord = 0;          // the current record, from 0
  bool FEof = true;
  bool FBof = true;
  std::int64_t FRowsAffected = 0;
  std::string FTableName;
  std::string FKeyFields;
};

}  // namespace tavrin
