#include "resolver/sql_resolver.h"

#include "resolver/delta_values.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/error_codes.h"

namespace tavrin {

namespace {

namespace R = TResolverErrors;

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
  if (!Statement.Sql.empty() && Statement.Sql.back() == ',') Statement.Sql.pop_back();
}

void DropLastAnd(TSQLStatement& Statement) { Statement.Sql.resize(Statement.Sql.size() - (sizeof kAnd - 1)); }

// The old value of Slot in the current row: the original's for a modified row, the
// row's own otherwise.
const TPacketValue& OldValue(const TDSCursor& Row, std::size_t Slot) { return Row.OldValue(Slot); }

void AddWhere(const TUpdateTree& Tree, const TDSCursor& Row, TSQLStatement& Statement) {
  Statement.Line("where");
  int Compared = 0;
  bool HasKey = false;
  bool KeyCompared = true;  // every key field compared with a value
  const TUpdateMode Mode = Tree.Source().UpdateMode;
  const bool Modified = Row.Status() == TRowStatus::Modified;
  for (const auto& Field : Tree.Fields()) {
    const TProviderFlags Flags = Field.Flags;
    const bool InKey = (Flags & TProviderFlag::pfInKey) != 0;
    if (Field.IsBlob || Field.NotWritten || Field.Field.Size >= kMaxWhereSize) {
      if (InKey) KeyCompared = false;
      continue;
    }
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
    if (InKey) HasKey = true;
    if (!Qualifies) {
      if (InKey) KeyCompared = false;
      continue;
    }
    const TPacketValue& Old = OldValue(Row, Field.Column->Slot);
    if (InKey && Old.State != TValueState::Value) KeyCompared = false;
    if (Old.State == TValueState::Null ||
        (!Tree.SQLInfo().IsSQLBased && IsTextField(Field.Field.DataType) && Old.State == TValueState::Value &&
         Old.Data.empty())) {
      Statement.Line(" ", Tree.FieldReference(Field), " is null", kAnd);
      if (InKey) KeyCompared = false;  // a null key may stand in many records
      ++Compared;
    } else if (Old.State == TValueState::Value) {
      Statement.Line(" ", Tree.FieldReference(Field), " = ?", kAnd);
      Statement.Params.push_back(BoundValue(*Field.Column, Old, Field.Field.DataType));
      ++Compared;
    }
  }
  if (Compared == 0) Fail(R::kNoKey);
  DropLastAnd(Statement);
  Statement.Unique = HasKey && KeyCompared;
}

}  // namespace

TSQLStatement TSQLResolver::UpdateStatement(const TUpdateTree& Tree, const TDSCursor& Row) {
  TSQLStatement Statement;
  Statement.Reserve(Tree.Fields().size());
  Statement.Line("update ", Tree.SQLInfo().QuotedTable, "  set");
  int Written = 0;
  for (const auto& Field : Tree.Fields()) {
    const TPacketValue& New = Row.Value(*Field.Column);
    if (!IsWritten(Field) || !HasNewValue(New)) continue;
    Statement.Line(" ", Tree.FieldReference(Field), " = ?,");
    Statement.Params.push_back(BoundValue(*Field.Column, New, Field.Field.DataType));
    ++Written;
  }
  if (Written == 0) return {};  // nothing changes
  DropLastComma(Statement);
  AddWhere(Tree, Row, Statement);
  return Statement;
}

TSQLStatement TSQLResolver::InsertStatement(const TUpdateTree& Tree, const TDSCursor& Row) {
  TSQLStatement Statement;
  Statement.Line("insert into ", Tree.SQLInfo().QuotedTable);
  std::string Columns = "  (";
  std::string Values = "(";
  for (const auto& Field : Tree.Fields()) {
    const TPacketValue& New = Row.Value(*Field.Column);
    if (!IsWritten(Field) || New.State != TValueState::Value) continue;
    if (Columns.size() > 3) Columns += ", ";
    Columns += Tree.FieldReference(Field);
    Values += "?, ";
    Statement.Params.push_back(BoundValue(*Field.Column, New, Field.Field.DataType));
  }
  if (Values.size() > 1) Values.resize(Values.size() - 2);
  Statement.Line(Columns, ")");
  Statement.Line("values");
  Statement.Line(Values, ")");
  Statement.Unique = true;
  return Statement;
}

TSQLStatement TSQLResolver::DeleteStatement(const TUpdateTree& Tree, const TDSCursor& Row) {
  TSQLStatement Statement;
  Statement.Reserve(Tree.Fields().size());
  Statement.Line("delete from ", Tree.SQLInfo().QuotedTable, " ");
  AddWhere(Tree, Row, Statement);
  return Statement;
}

void TSQLResolver::Execute(const TUpdateTree& Tree, const TSQLStatement& Statement) {
  const bool Mark = !Statement.Unique && Support().InTransaction();
  if (Mark) Support().MarkRow();
  std::int64_t Affected = 0;
  try {
    Affected = Support().ExecuteStatement(Statement.Text(), Statement.Params);
  } catch (...) {
    // A failed statement has undone itself; the savepoint goes with it.
    if (Mark && Support().InTransaction()) Support().EndRow(false);
    throw;
  }
  const bool TooMany = Affected > 1 && (Tree.Source().Options & TProviderOption::poAllowMultiRecordUpdates) == 0;
  if (Mark) Support().EndRow(!TooMany);
  if (TooMany) {
    // Without a savepoint the records changed cannot be undone alone: nothing of the
    // apply may stand then.
    if (!Mark && Support().InTransaction()) throw EResolverAbort(TDBXErrorCodes::ProviderFailure, R::kTooMany);
    Fail(R::kTooMany);
  }
  if (Affected < 1) Fail(R::kNotFound);
}

void TSQLResolver::DoUpdate(TUpdateTree& Tree) {
  CheckTable(Tree);
  const TSQLStatement Statement = UpdateStatement(Tree, Tree.Cursor());
  if (!Statement.Empty()) Execute(Tree, Statement);
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
  Statement.Line("select");
  for (std::size_t i : Fields) Statement.Line(" ", Tree.FieldReference(All[i]), ",");
  DropLastComma(Statement);
  Statement.Line(" from ", Tree.SQLInfo().QuotedTable, " ");
  Statement.Line("where");
  int Compared = 0;
  for (const auto& Field : All) {
    if ((Field.Flags & TProviderFlag::pfInKey) == 0 || Field.NotWritten) continue;
    TPacketValue Key = Row.Value(*Field.Column);
    if (Key.State == TValueState::Unchanged) Key = Row.OldValue(*Field.Column);
    if (Key.State == TValueState::Null) {
      Statement.Line(" ", Tree.FieldReference(Field), " is null", kAnd);
      ++Compared;
    } else if (Key.State == TValueState::Value) {
      Statement.Line(" ", Tree.FieldReference(Field), " = ?", kAnd);
      Statement.Params.push_back(BoundValue(*Field.Column, Key, Field.Field.DataType));
      ++Compared;
    }
  }
  if (Compared == 0) Fail(R::kNoKey);
  DropLastAnd(Statement);
  TStatementRows Rows = Support().SelectRows(Statement.Text(), Statement.Params, 1);
  if (Rows.empty()) Fail(R::kNotFound);
  return std::move(Rows.front());
}

}  // namespace tavrin
