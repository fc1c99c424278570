#pragma once
// TQueryProviderSupport: what a TQuery answers the dataset provider that serves it,
// through the query's public interface only: its key fields, its ":name" parameters
// (read and bound by name), a new statement as command text, running its statement with
// ExecSQL, and, at the end of a request that leaves it open, reading the rest of its
// rows into memory so that the query holds no statement or read of the database while
// the client decides on its next page.
//
// For a resolver writing changes back: its table, a write transaction on the calling
// thread's connection to the query's database (write_transaction.h: the lock taken at
// the start, the commit durable), statements with "?" values inside it, and selects.
// A statement run outside a transaction runs in one of its own.
//
// Threading: the query's.

#include <memory>
#include <string>
#include <vector>

#include "dataset/provider_support.h"
#include "engine/query.h"
#include "engine/write_transaction.h"

namespace tavrin {

namespace TQueryProviderErrors {
// "Parameter <name>: a value of variant type <hex> cannot be bound"
inline constexpr char kUnbindable[] = ": a value of this kind cannot be bound";
}  // namespace TQueryProviderErrors

class TQueryProviderSupport : public IProviderSupportNG {
 public:
  // Query must outlive the support.
  explicit TQueryProviderSupport(TQuery& Query) : FQuery(Query) {}

  std::string KeyFields() const override { return FQuery.KeyFields(); }
  // Every parameter as an input: a bound text as text, a whole number in the 32-bit
  // range as an integer (beyond it as its decimal text), other numbers as doubles, bytes
  // as a byte array, an unbound or null parameter as null.
  std::vector<TProviderParam> Params() const override;
  // Binds each parameter of Params by name. Raises EDatabaseError for a name the statement
  // lacks ("Parameter not found: <name>") and for a value that cannot be bound (arrays,
  // error codes).
  void SetParams(const std::vector<TProviderParam>& Params) override;
  // The statement becomes Text.
  void SetCommandText(const std::string& Text) override;
  void Execute() override { FQuery.ExecSQL(); }
  void EndRequest() override;

  bool InTransaction() const override;
  void StartTransaction() override;
  void EndTransaction(bool Commit) override;
  void MarkRow() override;
  void EndRow(bool Keep) override;
  std::int64_t ExecuteStatement(const std::string& Sql, const TStatementValues& Values) override;
  TStatementRows SelectRows(const std::string& Sql, const TStatementValues& Values, std::size_t MaxRows) override;
  // The query's table while it is open; empty when closed.
  std::string TableName() const override { return FQuery.TableName(); }
  // The query's description (TQuery::Describe): its statement prepared, not run.
  std::optional<TUpdateTarget> DescribeUpdateTarget() override;

 private:
  TQuery& FQuery;
  std::unique_ptr<TWriteTransaction> FTransaction;
};

}  // namespace tavrin
