#include "engine/query.h"

#include <iterator>
#include <utility>

#include "dataset/database_error.h"
#include "engine/database_messages.h"
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
  auto Cursor = std::make_unique<TStatementCursor>(FSession, FDatabaseName, FSQL.Text(), FParams);
  std::vector<TFieldValue> FirstRow;
  const bool HasRows = Cursor->Next(FirstRow);

  ClearFields();
  for (const TFieldDefinition& Column : Cursor->Columns()) AddField(Column);
  FTableName = Cursor->TableName();
  FKeyFields = Cursor->KeyFields();
  FValues = std::move(FirstRow);
  FFirstKept = 0;
  FHasRows = HasRows;
  FAllRead = !HasRows;
  if (HasRows) FCursor = std::move(Cursor);
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
  FCursor.reset();
  FValues.clear();
  FHasRows = false;
  FAllRead = true;
  FFirstKept = 0;
  FRecord = 0;
  FEof = FBof = true;
  FTableName.clear();
  FKeyFields.clear();
}

void TQuery::DescribeParams() {
  if (FParams.Known() || IsBlankText(FSQL.Text())) return;
  DescribeParameters(FSession, FDatabaseName, FSQL.Text(), FParams);
}

TStatementDescription TQuery::Describe() {
  if (FActive) {
    TStatementDescription Description;
    for (std::int32_t i = 0; i < FieldCount(); ++i) {
      const TField& Field = Fields(i);
      TFieldDefinition Definition;
      Definition.Name = Field.FieldName();
      Definition.DataType = Field.DataType();
      Definition.Size = Field.Size();
      Definition.Precision = Field.Precision();
      Definition.Required = Field.Required();
      Definition.ReadOnly = Field.ReadOnly();
      Definition.ProviderFlags = Field.ProviderFlags();
      Definition.Origin = Field.Origin();
      Definition.FieldKind = Field.FieldKind();
      Description.Columns.push_back(std::move(Definition));
    }
    Description.TableName = FTableName;
    Description.KeyFields = FKeyFields;
    return Description;
  }
  if (FBeforeOpen) FBeforeOpen(*this);
  return DescribeStatement(FSession, FDatabaseName, FSQL.Text());
}

void TQuery::ExecSQL() {
  FRowsAffected = 0;
  FRowsAffected = ExecuteStatement(FSession, FDatabaseName, FSQL.Text(), FParams);
}

bool TQuery::FetchRow(std::vector<TFieldValue>& Row) const {
  if (FAllRead) return false;
  if (FCursor->Next(Row)) return true;
  FAllRead = true;
  // With every row kept there is nothing to read again: the connection may go.
  if (FFirstKept == 0) FCursor.reset();
  return false;
}

std::int32_t TQuery::KeptRows() const {
  const auto Fields = static_cast<std::size_t>(FieldCount());
  return Fields == 0 ? 0 : static_cast<std::int32_t>(FValues.size() / Fields);
}

void TQuery::ReadToEnd() const {
  std::vector<TFieldValue> Row;
  while (FetchRow(Row)) {
    FValues.insert(FValues.end(), std::make_move_iterator(Row.begin()), std::make_move_iterator(Row.end()));
  }
}

std::int32_t TQuery::RecordCount() const {
  if (!FActive) return 0;
  ReadToEnd();
  return FFirstKept + KeptRows();
}

void TQuery::ReadAgainTo(std::int32_t Record) {
  FCursor->Rewind();
  FValues.clear();
  FFirstKept = 0;
  FAllRead = false;
  std::vector<TFieldValue> Row;
  std::int32_t Read = 0;
  while (Read <= Record && FetchRow(Row)) {
    FValues = std::move(Row);
    FFirstKept = Read++;
  }
  FHasRows = Read > 0;
  FRecord = FFirstKept;
}

void TQuery::First() {
  if (FFirstKept > 0) ReadAgainTo(0);
  FRecord = 0;
  FBof = true;
  FEof = !FHasRows;
}

void TQuery::Next() {
  if (FEof) return;
  if (FRecord + 1 < FFirstKept + KeptRows()) {
    ++FRecord;
    FBof = false;
    return;
  }
  // Reading forward: the rows behind are not kept. With one row kept, the next is read
  // over it (a row that is not read leaves it as it is).
  if (FValues.size() == static_cast<std::size_t>(FieldCount())) {
    if (!FetchRow(FValues)) {
      FEof = true;
      return;
    }
  } else {
    std::vector<TFieldValue> Row;
    if (!FetchRow(Row)) {
      FEof = true;
      return;
    }
    FValues = std::move(Row);
  }
  FFirstKept = ++FRecord;
  FBof = false;
}

void TQuery::Prior() {
  if (FBof) return;
  if (FRecord > 0) {
    if (FRecord - 1 >= FFirstKept) {
      --FRecord;
    } else {
      ReadAgainTo(FRecord - 1);
    }
    FEof = false;
  } else {
    FBof = true;
  }
}

void TQuery::Last() {
  ReadToEnd();
  const std::int32_t Count = FFirstKept + KeptRows();
  FRecord = Count > 0 ? Count - 1 : 0;
  FBof = FEof = Count == 0;
}

const TFieldValue* TQuery::CurrentRow() const {
  if (!FHasRows || FieldCount() == 0) return nullptr;
  return &FValues[static_cast<std::size_t>(FRecord - FFirstKept) * static_cast<std::size_t>(FieldCount())];
}

const TFieldValue& TQuery::CurrentValue(std::int32_t Index) const {
  if (!FHasRows) return kNoValue;
  const auto Position = static_cast<std::size_t>(FRecord - FFirstKept) * static_cast<std::size_t>(FieldCount()) +
                        static_cast<std::size_t>(Index);
  return FValues[Position];
}

}  // namespace tavrin
