#include "resolver/sql_resolver.h"

#include "resolver/delta_values.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/error_codes.h"

namespace tavrin {

namespace {

namespace R = TResolverErrors;

constexpr char kLineEnd[] = "\r\n";
constexpr char kAnd[] = " and";
// Fields of this native size or more are not compared in where clauses.
constexpr std::int32_t kMaxWhereSize = 8192;

[[noreturn]] void Fail(const char* Message) { throw TDBXError(TDBXErrorCodes::ProviderFailure, Message); }

void CheckTable(const TUpdateTree& Tree) {
  if (Tree.SQLInfo().QuotedTable.empty()) Fail(R::kNoTable);
}

bool IsTextField(TFieldType Type) {
  return Type == TFieldType::ftString || Type == TFieldType::ftWideString;
}

bool HasNewValue(const TPacketValue& Value) {
  return Value.State == TValueState::Value || Value.State == TValueState::Null;
}

// Whether the update or insert writes Field (its new value aside).
bool IsWritten(const TUpdateTree::TDeltaField& Field) {
  return (Field.Flags & TProviderFlag::pfInUpdate) != 0 && (Field.Flags & TProviderFlag::pfHidden) == 0 &&
         !Field.NotWritten && !Field.Field.ReadOnly && Field.Field.DataType != TFieldType::ftAutoInc;
}

void DropLastComma(TSQLStatement& Statement) {
  std::string& Last = Statement.Lines.back();
  if (!Last.empty() && Last.back() == ',') Last.pop_back();
}

// The old value of Slot in the current row: the original's for a modified row, the
// row's own otherwise.
const TPacketValue& OldValue(const TDSCursor& Row, std::size_t Slot) { return Row.OldValue(Slot); }

void AddWhere(const TUpdateTree& Tree, const TDSCursor& Row, TSQLStatement& Statement) {
  Statement.Lines.emplace_back("where");
  const std::size_t Before = Statement.Lines.size();
  const TUpdateMode Mode = Tree.Source().UpdateMode;
  const bool Modified = Row.Status() == TRowStatus::Modified;
  for (const auto& Field : Tree.Fields()) {
    if (Field.IsBlob || Field.NotWritten || Field.Field.Size >= kMaxWhereSize) continue;
    const TProviderFlags Flags = Field.Flags;
    const bool InKey = (Flags & TProviderFlag::pfInKey) != 0;
    const bool InWhere = (Flags & TProviderFlag::pfInWhere) != 0;
    bool Qualifies = false;
    switch (Mode) {
      case TUpdateMode::upWhereAll:
        Qualifies = InWhere;
        break;
      case TUpdateMode::upWhereChanged:
        Qualifies = InKey || (InWhere && Modified && HasNewValue(Row.Value(*Field.Column)));
        break;
      case TUpdateMode::upWhereKeyOnly:
        Qualifies = InKey;
        break;
    }
    if (!Qualifies) continue;
    const TPacketValue& Old = OldValue(Row, Field.Column->Slot);
    const std::string Reference = " " + Tree.FieldReference(Field);
    if (Old.State == TValueState::Null ||
        (!Tree.SQLInfo().IsSQLBased && IsTextField(Field.Field.DataType) && Old.State == TValueState::Value &&
         Old.Data.empty())) {
      Statement.Lines.push_back(Reference + " is null" + kAnd);
    } else if (Old.State == TValueState::Value) {
      Statement.Lines.push_back(Reference + " = ?" + kAnd);
      Statement.Params.push_back(BoundValue(*Field.Column, Old));
    }
  }
  if (Statement.Lines.size() == Before) Fail(R::kNoKey);
  std::string& Last = Statement.Lines.back();
  Last.resize(Last.size() - (sizeof kAnd - 1));
}

}  // namespace

std::string TSQLStatement::Text() const {
  std::string Text;
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    if (i > 0) Text += kLineEnd;
    Text += Lines[i];
  }
  return Text;
}

TSQLStatement TSQLResolver::UpdateStatement(const TUpdateTree& Tree, const TDSCursor& Row) {
  TSQLStatement Statement;
  Statement.Lines.push_back("update " + Tree.SQLInfo().QuotedTable + "  set");
  for (const auto& Field : Tree.Fields()) {
    const TPacketValue& New = Row.Value(*Field.Column);
    if (!IsWritten(Field) || !HasNewValue(New)) continue;
    Statement.Lines.push_back(" " + Tree.FieldReference(Field) + " = ?,");
    Statement.Params.push_back(BoundValue(*Field.Column, New));
  }
  if (Statement.Lines.size() == 1) return {};  // nothing changes
  DropLastComma(Statement);
  AddWhere(Tree, Row, Statement);
  return Statement;
}

TSQLStatement TSQLResolver::InsertStatement(const TUpdateTree& Tree, const TDSCursor& Row) {
  TSQLStatement Statement;
  Statement.Lines.push_back("insert into " + Tree.SQLInfo().QuotedTable);
  std::string Columns = "  (";
  std::string Values = "(";
  for (const auto& Field : Tree.Fields()) {
    const TPacketValue& New = Row.Value(*Field.Column);
    if (!IsWritten(Field) || New.State != TValueState::Value) continue;
    if (Columns.size() > 3) Columns += ", ";
    Columns += Tree.FieldReference(Field);
    Values += "?, ";
    Statement.Params.push_back(BoundValue(*Field.Column, New));
  }
  if (Values.size() > 1) Values.resize(Values.size() - 2);
  Statement.Lines.push_back(Columns + ")");
  Statement.Lines.emplace_back("values");
  Statement.Lines.push_back(Values + ")");
  return Statement;
}

TSQLStatement TSQLResolver::DeleteStatement(const TUpdateTree& Tree, const TDSCursor& Row) {
  TSQLStatement Statement;
  Statement.Lines.push_back("delete from " + Tree.SQLInfo().QuotedTable + " ");
  AddWhere(Tree, Row, Statement);
  return Statement;
}

void TSQLResolver::Execute(const TUpdateTree& Tree, const TSQLStatement& Statement) {
  const std::int64_t Affected = Support().ExecuteStatement(Statement.Text(), Statement.Params);
  if (Affected > 1 && (Tree.Source().Options & TProviderOption::poAllowMultiRecordUpdates) == 0) Fail(R::kTooMany);
  if (Affected < 1) Fail(R::kNotFound);
}

void TSQLResolver::DoUpdate(TUpdateTree& Tree) {
  CheckTable(Tree);
  const TSQLStatement Statement = UpdateStatement(Tree, Tree.Cursor());
  if (!Statement.Lines.empty()) Execute(Tree, Statement);
}

void TSQLResolver::DoInsert(TUpdateTree& Tree) {
  CheckTable(Tree);
  Execute(Tree, InsertStatement(Tree, Tree.Cursor()));
}

void TSQLResolver::DoDelete(TUpdateTree& Tree) {
  CheckTable(Tree);
  Execute(Tree, DeleteStatement(Tree, Tree.Cursor()));
}

std::vector<TFieldValue> TSQLResolver::FetchRow(TUpdateTree& Tree, const std::vector<std::size_t>& Fields) {
  CheckTable(Tree);
  const auto& All = Tree.Fields();
  const TDSCursor& Row = Tree.Cursor();
  TSQLStatement Statement;
  Statement.Lines.emplace_back("select");
  for (std::size_t i : Fields) Statement.Lines.push_back(" " + Tree.FieldReference(All[i]) + ",");
  DropLastComma(Statement);
  Statement.Lines.push_back(" from " + Tree.SQLInfo().QuotedTable + " ");
  Statement.Lines.emplace_back("where");
  const std::size_t Before = Statement.Lines.size();
  for (const auto& Field : All) {
    if ((Field.Flags & TProviderFlag::pfInKey) == 0 || Field.NotWritten) continue;
    TPacketValue Key = Row.Value(*Field.Column);
    if (Key.State == TValueState::Unchanged) Key = Row.OldValue(*Field.Column);
    if (Key.State == TValueState::Null) {
      Statement.Lines.push_back(" " + Tree.FieldReference(Field) + " is null" + kAnd);
    } else if (Key.State == TValueState::Value) {
      Statement.Lines.push_back(" " + Tree.FieldReference(Field) + " = ?" + kAnd);
      Statement.Params.push_back(BoundValue(*Field.Column, Key));
    }
  }
  if (Statement.Lines.size() == Before) Fail(R::kNoKey);
  std::string& Last = Statement.Lines.back();
  Last.resize(Last.size() - (sizeof kAnd - 1));
  TStatementRows Rows = Support().SelectRows(Statement.Text(), Statement.Params, 1);
  if (Rows.empty()) Fail(R::kNotFound);
  return std::move(Rows.front());
}

}  // namespace tavrin
