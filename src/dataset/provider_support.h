#pragma once
// IProviderSupport: what a dataset provider asks of the dataset it serves beyond its
// fields and records: its key fields and indexes (packets tell clients the order and the
// keys), its constraints, its parameters, a command text a client may send, running its
// command, and the end of a provider's request. A dataset that offers none of these
// answers with the defaults here: no keys, no indexes, no constraints, no parameters,
// and an EDatabaseError for a command text, parameters or a command to run.
//
// The provider's parameters travel packed in variants (provider_params.h of the
// provider); TProviderParam is one of them.
//
// Threading: used by the thread that uses the dataset.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dataset/field.h"
#include "vocabulary/variant.h"

namespace tavrin {

// What a parameter is for. The values travel in packed parameters.
enum class TParamType : std::uint8_t { ptUnknown = 0, ptInput = 1, ptOutput = 2, ptInputOutput = 3, ptResult = 4 };

struct TProviderParam {
  std::string Name;
  TDSVariant Value;
  TFieldType DataType = TFieldType::ftUnknown;
  TParamType ParamType = TParamType::ptUnknown;
  std::int32_t Size = 0;
  std::int32_t Precision = 0;
  std::int32_t NumericScale = 0;
  friend bool operator==(const TProviderParam&, const TProviderParam&) = default;
};

// An index of the dataset, by field names.
struct TIndexDefinition {
  std::vector<std::string> Fields;
  std::vector<std::string> CaseInsensitiveFields;  // among Fields
  std::vector<std::string> DescendingFields;       // among Fields
  bool CaseInsensitive = false;  // the whole index
  bool Descending = false;       // the whole index
  bool Unique = false;
  bool DefaultOrder = false;     // the index the records are in
};

// A rule the dataset's records must keep, as expressions of the client-side expression
// language, with the message shown when one is broken.
struct TRecordConstraint {
  std::string ImportedConstraint;
  std::string CustomConstraint;
  std::string ErrorMessage;
};

namespace TProviderSupportErrors {
inline constexpr char kNoCommandText[] = "The dataset takes no command text";
inline constexpr char kNoParams[] = "The dataset takes no parameters";
inline constexpr char kNoCommand[] = "The dataset has no command to execute";
}  // namespace TProviderSupportErrors

class IProviderSupport {
 public:
  IProviderSupport() = default;
  IProviderSupport(const IProviderSupport&) = delete;
  IProviderSupport& operator=(const IProviderSupport&) = delete;
  virtual ~IProviderSupport() = default;

  // The names of the key fields joined by ";"; empty when the dataset names none.
  virtual std::string KeyFields() const { return {}; }
  virtual std::vector<TIndexDefinition> Indexes() const { return {}; }
  virtual std::vector<TRecordConstraint> RecordConstraints() const { return {}; }

  // The dataset's parameters in order; empty when it has none.
  virtual std::vector<TProviderParam> Params() const { return {}; }
  // Takes new parameter values. The default raises EDatabaseError kNoParams for a list
  // that is not empty.
  virtual void SetParams(const std::vector<TProviderParam>& Params);
  // Replaces the dataset's command. The default raises EDatabaseError kNoCommandText.
  virtual void SetCommandText(const std::string& Text);
  // Runs the dataset's command without opening it. The default raises EDatabaseError
  // kNoCommand.
  virtual void Execute();

  // Forgets what the dataset kept for the provider's reading (the provider then closes it
  // or moves to its first record). The default keeps nothing.
  virtual void Reset() {}
  // Called when a request ends with the dataset left open for the next request: whatever
  // the dataset still holds of the database (a statement, a read) is to be given up, the
  // rest of its records kept in memory. The default holds nothing of a database.
  virtual void EndRequest() {}
};

// Values bound to a statement's "?" parameters, in order.
using TStatementValues = std::vector<TFieldValue>;
// Rows a statement returned, one value per column.
using TStatementRows = std::vector<std::vector<TFieldValue>>;

// The fields a dataset's changes are written to, as it would open, with its one table
// and that table's key fields (names joined by ";").
struct TUpdateTarget {
  std::vector<TFieldDefinition> Fields;
  std::string TableName;
  std::string KeyFields;
};

// IProviderSupportNG: what a resolver asks of a dataset that writes a client's changes
// back to its database with statements of the resolver's own making. Every value reaches
// the database as a bound parameter; the statement text holds only names the resolver
// took from the dataset's own fields and table.
//
// A transaction is the calling thread's: started, used and ended within one request.
class IProviderSupportNG : public IProviderSupport {
 public:
  virtual bool InTransaction() const = 0;
  // Begins a write transaction, taking the database's write lock now. Raises
  // EDatabaseError when the lock stays taken past the engine's wait, or the dataset's
  // connection still has a read open.
  virtual void StartTransaction() = 0;
  // Commit: the changes are on disk when this returns (a power cut afterwards keeps
  // them). Otherwise they are rolled back. Nothing happens without a transaction.
  virtual void EndTransaction(bool Commit) = 0;
  // A point inside the transaction that one row's statements can be undone to, without
  // the rest: MarkRow before the row, then EndRow(true) to keep them or EndRow(false) to
  // undo them.
  virtual void MarkRow() = 0;
  virtual void EndRow(bool Keep) = 0;
  // Runs a statement that changes rows, with Values bound to its "?" parameters in
  // order; returns the rows it changed.
  virtual std::int64_t ExecuteStatement(const std::string& Sql, const TStatementValues& Values) = 0;
  // Runs a select with Values bound; returns at most MaxRows of its rows.
  virtual TStatementRows SelectRows(const std::string& Sql, const TStatementValues& Values,
                                    std::size_t MaxRows) = 0;
  // The one table the dataset's columns come from; empty when none or several.
  virtual std::string TableName() const = 0;
  // The fields, table and keys of the dataset without opening it (a closed dataset would
  // have to read rows to open); nullopt when it cannot tell, and the provider then opens
  // it to see.
  virtual std::optional<TUpdateTarget> DescribeUpdateTarget() { return std::nullopt; }
  // The character names are quoted with in statements.
  virtual std::string QuoteChar() const { return "\""; }
  // True for an engine of SQL statements: column lists name columns without their
  // table, and an empty text is a value (compared with "= ?"), not a null.
  virtual bool IsSQLBased() const { return true; }
};

}  // namespace tavrin
