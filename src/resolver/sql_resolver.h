#pragma once
// TSQLResolver: applies each row of a delta with one statement of its own making, run by
// the dataset (IProviderSupportNG::ExecuteStatement):
//
//   update "tabest1"  set          insert into "tabest1"        delete from "tabest1" 
//    "preco" = ?                     ("codigo", "preco")         where
//   where                          values                         "codigo" = ?
//    "codigo" = ? and               (?, ?)
//    "produto" is null
//
// (lines joined by CR LF). The names are the dataset's own, quoted; every value is a
// bound parameter. The where clause compares the old values of the fields the update
// mode picks (upWhereAll: pfInWhere; upWhereChanged: pfInKey, or pfInWhere with a new
// value; upWhereKeyOnly: pfInKey); blobs and computed fields never. A null old value is
// "is null"; an empty text is "is null" only for an engine that is not SQL-based. No
// field to compare fails with "Unable to find record.  No key specified". A statement
// that changes no row fails the row with "Record not found or changed by another user";
// one that changes more than one (without poAllowMultiRecordUpdates) with "Update
// affected more than 1 record." and is undone: a statement whose where clause compares
// every key field runs as it is (it can change one record at most; should it change more,
// the whole apply stops and is rolled back), any other under a savepoint of its own
// (IProviderSupportNG::MarkRow) so that it can be undone alone. A modified row that
// changes no written field needs no statement.
//
// Threading: the provider's.

#include <string>
#include <vector>

#include "resolver/custom_resolver.h"

namespace tavrin {

// A statement being built: its text, line by line, and its parameters in the order they
// appear.
struct TSQLStatement {
  std::string Sql;
  TStatementValues Params;
  // It changes one record at most: an insert, or a where clause on every key field.
  bool Unique = false;
  const std::string& Text() const { return Sql; }
  bool Empty() const { return Sql.empty(); }
  // Room for a statement on Fields fields, so that it is built without growing.
  void Reserve(std::size_t Fields) {
    Sql.reserve(kLineRoom * (2 * Fields + 3));
    Params.reserve(2 * Fields);
  }
  static constexpr std::size_t kLineRoom = 32;  // bytes a line usually takes
  // Starts a new line (CR LF before it unless it is the first) holding Parts.
  template <typename... TParts>
  void Line(const TParts&... Parts) {
    if (!Sql.empty()) Sql += "\r\n";
    (Sql += ... += Parts);
  }
};

class TSQLResolver : public TCustomResolver {
 public:
  // The statements for the current row of Tree's cursor (tests and the resolver itself).
  static TSQLStatement UpdateStatement(const TUpdateTree& Tree, const TDSCursor& Row);
  static TSQLStatement InsertStatement(const TUpdateTree& Tree, const TDSCursor& Row);
  static TSQLStatement DeleteStatement(const TUpdateTree& Tree, const TDSCursor& Row);

 protected:
  void DoUpdate(TUpdateTree& Tree) override;
  void DoInsert(TUpdateTree& Tree) override;
  void DoDelete(TUpdateTree& Tree) override;
  std::vector<TFieldValue> FetchRow(TUpdateTree& Tree, const std::vector<std::size_t>& Fields) override;

 private:
  void Execute(const TUpdateTree& Tree, const TSQLStatement& Statement);
};

}  // namespace tavrin
