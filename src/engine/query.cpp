#include "engine/query.h"

#include "dataset/database_error.h"
#include "engine/statement_runner.h"

namespace tavrin {
namespace {

constexpr char kLineSeparator[] = "\n";
const TFieldValue kNoValue;

}  // namespace

void TQuerySQL::Clear() {
  FOwner.SQLChanging();
  FLines.clear();
  FOwner.SQLChanged();
}

void TQuerySQL::Add(std::string Line) {
  FOwner.SQLChanging();
  FLines.push_back(std::move(Line));
  FOwner.SQLChanged();
}

std::string TQuerySQL::Text() const {
  std::string Text;
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    if (i > 0) Text += kLineSeparator;
    Text += FLines[i];
  }
  return Text;
}

TQuery::TQuery() : TQuery(Session()) {}

TQuery::TQuery(TSession& DatabaseSession) : FSession(DatabaseSession) {}

TQuery::~TQuery() = default;

void TQuery::SetDatabaseName(std::string Folder) {
  if (Folder == FDatabaseName) return;
  if (FActive) throw EDatabaseError(kOpenDatabase);
  FDatabaseName = std::move(Folder);
}

void TQuery::SQLChanged() { FParams.Reset(); }

void TQuery::Open() {
  if (FActive) return;
  if (FBeforeOpen) FBeforeOpen(*this);
  TStatementResult Result = RunStatement(FSession, FDatabaseName, FSQL.Text(), FParams, TStatementKind::Select);

  ClearFields();
  for (TFieldDefinition& Column : Result.Columns) AddField(std::move(Column));
  FValues = std::move(Result.Values);
  FRecordCount = Result.RecordCount;
  FTableName = std::move(Result.TableName);
  FKeyFields = std::move(Result.KeyFields);
  FActive = true;
  First();
  if (FAfterOpen) FAfterOpen(*this);
}

void TQuery::Close() {
  if (!FActive) return;
  if (FBeforeClose) FBeforeClose(*this);
  Drop();
  if (FAfterClose) FAfterClose(*this);
}

void TQuery::Drop() {
  FActive = false;
  ClearFields();
  FValues.clear();
  FRecordCount = 0;
  FRecord = 0;
  FEof = FBof = true;
  FTableName.clear();
  FKeyFields.clear();
}

void TQuery::ExecSQL() {
  FRowsAffected = 0;
  FRowsAffected = RunStatement(FSession, FDatabaseName, FSQL.Text(), FParams, TStatementKind::Execute).RowsAffected;
}

void TQuery::First() {
  FRecord = 0;
  FBof = true;
  FEof = FRecordCount == 0;
}

void TQuery::Next() {
  if (FEof) return;
  if (FRecord + 1 < FRecordCount) {
    ++FRecord;
    FBof = false;
  } else {
    FEof = true;
  }
}

void TQuery::Prior() {
  if (FBof) return;
  if (FRecord > 0) {
    --FRecord;
    FEof = false;
  } else {
    FBof = true;
  }
}

void TQuery::Last() {
  FRecord = FRecordCount > 0 ? FRecordCount - 1 : 0;
  FBof = FEof = FRecordCount == 0;
}

const TFieldValue& TQuery::CurrentValue(std::int32_t Index) const {
  if (FRecordCount == 0) return kNoValue;
  const auto Position = static_cast<std::size_t>(FRecord) * static_cast<std::size_t>(FieldCount()) +
                        static_cast<std::size_t>(Index);
  return FValues[Position];
}

}  // namespace tavrin
