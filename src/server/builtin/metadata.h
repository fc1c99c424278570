#pragma once
// DSMetadata: the built-in server class that answers the metadata generic database
// clients ask for: the registered methods as stored procedures, their parameters, and a
// description of the "database" this server is. The connection's metadata commands
// ("GetDatabase", "GetProcedures", "GetProcedureParameters") run these methods.
//
// One instance per connection that calls it ("Session"); its methods run on that
// connection's thread and only read the registry.

#include <memory>
#include <string>

#include "vocabulary/dbx_reader.h"
#include "server/methods/custom_admin.h"

namespace tavrin {

class DSMetadata : public TDSCustomAdmin {
 public:
  static constexpr char kClassName[] = "DSMetadata";

  // "ProceduresTable": one row per registered method, in registry order, that passes
  // both filters. Name: an empty pattern or "%" passes every method, any other pattern
  // passes the aliases containing it (letter case counts). Type: "PROCEDURE" passes the
  // methods without a result, "FUNCTION" those with one, any other text every method.
  std::shared_ptr<TDBXReader> GetProcedures(const std::u16string& ProcedureNamePattern,
                                            const std::u16string& ProcedureType) const;
  // "ProcedureParameters": for every method whose alias contains the pattern (every
  // method for an empty one; "%" is not special here), a row per parameter and a
  // "ReturnValue" row for the result.
  std::shared_ptr<TDBXReader> GetProcedureParameters(const std::u16string& ProcedureNamePattern) const;
  // The one-row description of this server as a database.
  std::shared_ptr<TDBXReader> GetDatabase() const;
};

}  // namespace tavrin
