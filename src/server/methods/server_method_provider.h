#pragma once
// TDSServerMethodProvider: the server's registry of callable methods. Open builds it
// from the built-in classes and the registered server classes; a command names a method
// by its alias (class name, ".", method name, in any letter case), and Prepare turns
// that into a TDSServerMethod with its parameters and the instance to run on. The
// registry also keeps the instances of the classes whose life cycle is "Server".
//
// Threading: Open and Close run while no connection is served. In between the registry
// is read-only and HasMethod, Prepare and the listings may be called from every
// connection thread at once; the "Server" instance table has its own lock.
// Lifetime: the registry must outlive every connection that uses it; the declarations
// and TDSServerClass components it was given must outlive the registry.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/methods/class_info.h"
#include "server/methods/instance_provider.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/server_class.h"

namespace tavrin {

class TDSServerMethod;
class TDBXSqlScanner;

namespace TDSRegistryErrors {
inline constexpr char kNoClass[] = "OnGetClass event not set or it did not provide a class reference";
inline constexpr char kDuplicateClass[] = "%s class has already been added to the server class list";
inline constexpr char kDuplicateMethod[] = "%s method has already been added to the server method list";
inline constexpr char kMethodNotFound[] = "%s method not found in the server method list";
}  // namespace TDSRegistryErrors

// The instance a call runs on: borrowed from an instance table, or (LifeCycle
// "Invocation") made for the command alone and owned by the caller.
struct TDSObtainedInstance {
  TDSServerObject* Instance = nullptr;
  std::unique_ptr<TDSServerObject> Owned;
};

class TDSServerMethodProvider : public IDSServerMethodProvider {
 public:
  // The unit the built-in classes are registered under.
  static constexpr char kBuiltInUnitName[] = "DSCommonServer";

  // BuiltInClasses are registered first, in order (normally DSAdmin, then DSMetadata),
  // with LifeCycle "Session". Raises std::invalid_argument for a null entry.
  explicit TDSServerMethodProvider(std::vector<const TDSClassDeclaration*> BuiltInClasses = {});
  // Closes the registry.
  ~TDSServerMethodProvider() override;

  TDSServerMethodProvider(const TDSServerMethodProvider&) = delete;
  TDSServerMethodProvider& operator=(const TDSServerMethodProvider&) = delete;

  // Attaches a server class component; Open registers them in the order attached. Only
  // while the registry is closed.
  void AddServerClass(const TDSServerClass& ServerClass);

  // Builds the registry: the built-in classes, then each component's class. Raises
  // TDBXError code 29 when a component supplies no class, 102 for a class registered
  // twice and 103 for a method alias registered twice; the registry then stays closed
  // and empty. Opening an open registry does nothing.
  void Open();
  // Destroys the "Server" instances (newest first) and empties the registry. A failing
  // destroy hook is raised once the registry is empty.
  void Close();
  bool IsOpen() const { return FOpen; }

  // --- IDSServerMethodProvider ---------------------------------------------------------
  bool HasMethod(std::u16string_view MethodAlias) const override;
  // Finds the method (TDBXError code 105 when none has the name), obtains its instance,
  // fires the prepare events, builds its parameters and reads the literal parameters
  // that follow the name in parentheses (code 8 when there are more than parameters).
  std::unique_ptr<IDSPreparedServerMethod> Prepare(std::u16string_view CommandText,
                                                   TDSServerConnectionHandler& Connection,
                                                   bool ServerSide) override;
  const std::vector<const TDSClassInfo*>& ClassList() const override { return FClassList; }
  const std::vector<const TDSMethodInfo*>& MethodList() const override { return FMethodList; }
  const TDSClassInfo* FindClass(std::string_view ClassName) const override;
  const TDSMethodInfo* FindMethod(std::string_view MethodAlias) const override;

  // The instance for a call of a method of Class made on Connection, by the class's
  // life cycle: "Server" (or empty) from the registry's table, "Session" from the
  // connection's, "Invocation" a new one for the caller. A built-in class's instance is
  // handed the connection. Raises TDBXError code 0 "Unknown LifeCycle:  <text>" for any
  // other text, and what creating the instance raises.
  TDSObtainedInstance GetServerMethodInstance(TDSServerConnectionHandler& Connection, const TDSClassInfo& Class);

  // Instances of "Server" classes alive now.
  std::size_t ServerInstanceCount() const;

 private:
  struct TFound {
    const TDSMethodInfo* Method = nullptr;
    // The name was read with the tokenizer and ended at "(": literals follow.
    bool LiteralsFollow = false;
  };

  void Build();
  void RegisterClass(std::unique_ptr<TDSClassInfo> Class);
  void RegisterMethod(const TDSClassInfo& Class, const TDSMethodDeclaration& Method, bool OfWrappedClass);
  const TDSMethodInfo* Lookup(std::string_view Name) const;
  TFound FindForCommand(std::u16string_view CommandText, TDBXSqlScanner& Scanner) const;
  static void ReadLiterals(TDBXSqlScanner& Scanner, TDSServerMethod& Method);
  void DestroyServerInstance(const TDSClassInfo& Class, std::unique_ptr<TDSServerObject> Instance);

  std::vector<const TDSClassDeclaration*> FBuiltInClasses;
  std::vector<const TDSServerClass*> FServerClasses;
  bool FOpen = false;
  std::vector<std::unique_ptr<TDSClassInfo>> FClasses;    // owned, registration order
  std::vector<std::unique_ptr<TDSMethodInfo>> FMethods;   // owned, registration order
  std::map<std::string, const TDSClassInfo*, std::less<>> FClassTable;   // by upper-case name
  std::map<std::string, const TDSMethodInfo*, std::less<>> FMethodTable; // by search name
  std::size_t FLongestSearchName = 0;  // bytes
  std::vector<const TDSClassInfo*> FClassList;
  std::vector<const TDSMethodInfo*> FMethodList;
  // The destroy event argument of the "Server" instances, used while the table clears.
  TDSDestroyInstanceEventObject FDestroyInstanceEventObject;
  std::unique_ptr<TDSHashtableInstanceProvider> FServerInstanceProvider;
};

}  // namespace tavrin
