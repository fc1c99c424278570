#pragma once
// DSAdmin: the built-in server class that lets a client discover the server: its
// platform, its registered classes and methods with their parameters (as tables and as
// JSON), the server's name. Methods that would change the registry, open a database
// connection of the client's choosing or use callback channels are listed but refuse
// every call: any client could otherwise remove methods every other client relies on,
// and this server configures neither database connections nor callback channels.
//
// One instance per connection that calls it ("Session"); its methods run on that
// connection's thread and only read the registry.

#include <cstdint>
#include <memory>
#include <string>

#include "vocabulary/dbx_reader.h"
#include "server/methods/custom_admin.h"
#include "vocabulary/json_text.h"

namespace tavrin {

class TDBXConnection;

namespace TDSAdminErrors {
inline constexpr char kRegistryFixed[] = "Changing the server method list is not allowed";
inline constexpr char kNoDatabaseConnection[] = "No database connection is configured under the name ";
}  // namespace TDSAdminErrors

class DSAdmin : public TDSCustomAdmin {
 public:
  static constexpr char kClassName[] = "DSAdmin";
  static constexpr char16_t kPlatformName[] = u"win32";

  std::u16string GetPlatformName() const { return kPlatformName; }
  // Frees the objects made for the calls of every open command of the connection, this
  // one's included. True unless freeing one of them failed.
  bool ClearResources();

  // Packages, and the classes and methods of the program-wide class registry: this
  // server keeps no such registry, so the tables come back empty (of the right shape).
  std::shared_ptr<TDBXReader> FindPackages() const;
  std::shared_ptr<TDBXReader> FindClasses(const std::u16string& PackageName,
                                          const std::u16string& ClassPattern) const;
  std::shared_ptr<TDBXReader> FindMethods(const std::u16string& PackageName,
                                          const std::u16string& ClassPattern,
                                          const std::u16string& MethodPattern) const;

  // "ClassTable": one row per registered class, in registration order.
  std::shared_ptr<TDBXReader> GetServerClasses() const;
  // The registered class names, in registration order.
  TJSONValue ListClasses() const;
  // {ClassName as written: {"LifeCycle": ..., "methods": ListMethods(ClassName)}}, or
  // {ClassName: null} for a class not registered (letter case ignored).
  TJSONValue DescribeClass(const std::u16string& ClassName) const;
  // The aliases of the class's methods in registry order (letter case of ClassName
  // ignored); every alias for an empty ClassName.
  TJSONValue ListMethods(const std::u16string& ClassName) const;
  // {ServerMethodName: {Parameter: {"direction": ..., "type": ...}, ..., "Result": ...}},
  // or {ServerMethodName: null} for an unknown method.
  TJSONValue DescribeMethod(const std::u16string& ServerMethodName) const;
  // "MethodTable": one row per registered method, in registry order.
  std::shared_ptr<TDBXReader> GetServerMethods() const;
  // "MethodParametersTable": per method, a row per parameter and one row for the result
  // (or for "no result").
  std::shared_ptr<TDBXReader> GetServerMethodParameters() const;

  // No database connection is configured here: raises TDBXError code 30.
  std::shared_ptr<TDBXConnection> GetConnection(const std::u16string& NewConName);
  // "ConnectionTable" without rows.
  std::shared_ptr<TDBXReader> GetDatabaseConnectionProperties() const;
};

}  // namespace tavrin
