#pragma once
// TDSServerMethod: one prepared server method of one command. It carries the method's
// parameters (the metadata a prepare reply describes and the values an execute sends),
// the instance the method runs on, and the argument cells of its calls; at every execute
// it loads the client's values, converts them into arguments, calls the method's entry
// point, converts the out values and the result back and writes them into the reply
// row.
//
// Made by the registry (TDSServerMethodProvider::Prepare), owned by the command.
// Threading: used only by the thread of the command's connection.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/methods/class_info.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/method_values.h"

namespace tavrin {

class TDSServerMethodProvider;

namespace TDSServerMethodErrors {
inline constexpr char kInvalidOrdinal[] = "Invalid Ordinal:  ";  // two blanks; the ordinal follows
inline constexpr char kMissingTable[] = "No table was sent for parameter ";
inline constexpr char kNoEntryPoint[] = " has no entry point";
}  // namespace TDSServerMethodErrors

class TDSServerMethod : public IDSPreparedServerMethod {
 public:
  // Method must belong to Registry; both and Connection must outlive the method.
  TDSServerMethod(TDSServerMethodProvider& Registry, const TDSMethodInfo& Method,
                  TDSServerConnectionHandler& Connection, bool ServerSide);
  // Destroys an "Invocation" instance it still holds (a failing destroy hook is not
  // raised from here) and frees the argument cells.
  ~TDSServerMethod() override;

  // --- Preparing, in this order (the registry's Prepare) -------------------------------
  // Obtains the instance by the class's life cycle. Raises TDBXError code 0 "Unknown
  // LifeCycle:  <text>" and whatever creating the instance raises.
  void ObtainInstance();
  // Fires the class's OnPrepare, then the server's. What they raise propagates.
  void FirePrepareEvents();
  // One parameter per declared parameter, then "ReturnParameter" for a function.
  void BuildParameters();
  // Gives the declared parameter Ordinal (0-based, the result excluded) a literal value
  // from the command text, converted as vocabulary/value_text.h reads text, and marks it
  // literal. Raises TDBXError code 8 "Invalid Ordinal:  <Ordinal>" past the declared
  // parameters and code 2 "Invalid literal value for parameter <Name>" for a text the
  // holder cannot take.
  void SetLiteral(std::size_t Ordinal, const std::u16string& Text);

  // --- IDSPreparedServerMethod -------------------------------------------------------
  const std::string& MethodAlias() const override { return FMethod.MethodAlias; }
  const std::string& ClassName() const override { return FMethod.ClassInfo->ClassName; }
  const std::string& MethodName() const override { return FMethod.MethodName; }
  const std::string& LifeCycle() const override { return FLifeCycle; }
  TDBXParameterList& Parameters() override { return FParameters; }
  bool HasLiteralParameters() const override { return FHasLiterals; }
  bool HasOutOrReturnParameters() const override { return FHasOutOrReturnParameters; }
  bool HasTableParameters() const override { return FHasTableParameters; }
  // Reads one value per parameter in order, as far as the row goes (the client puts a
  // null in every out and result slot); literal parameters keep their literal value.
  void LoadArguments(TDBXRowBuffer& Row) override;
  // Out parameters and the result start null; table parameters the client marked as
  // sent take the sent tables in order; then the method runs and its out values and
  // result are read back. The input parameters end null (the reply carries nothing for
  // them) and every sent table is closed, also when the method raised, which
  // propagates unchanged.
  void Invoke(std::vector<std::shared_ptr<TDBXReader>>& Tables) override;
  // Every parameter in order: out, in/out and result values, a table as its row handle
  // in the reply (1, 2, ... in parameter order), every other slot null.
  std::vector<TDSPendingLongValue> WriteResults(TDBXRowBuffer& Row) override;
  std::shared_ptr<TDBXReader> ReturnReader() override { return nullptr; }
  void ReleaseInstance() override;
  void RenewInstance() override;
  // Empties the cells in place and drops the out and result values of the last call
  // (the reply carried them; an open table keeps its own reader). A server-side
  // command's objects are its caller's and stay. Never fails.
  bool ClearCallObjects() override;

  // The object the method runs on (the adapter's module for a method of an adapted
  // class), and the one the life cycle handed out (the adapter itself then). Null while
  // an "Invocation" instance is released.
  TDSServerObject* MethodInstance() const { return FMethodInstance; }
  TDSServerObject* AdapterInstance() const { return FAdapterInstance; }
  const TDSMethodInfo& MethodInfo() const { return FMethod; }
  TDSMethodValues& MethodValues() { return FMethodValues; }

 private:
  void ApplyLiterals();
  void TakeTables(std::vector<std::shared_ptr<TDBXReader>>& Tables);
  void FinishCall(std::vector<std::shared_ptr<TDBXReader>>& Tables);

  TDSServerMethodProvider& FRegistry;
  const TDSMethodInfo& FMethod;
  TDSServerConnectionHandler& FServerConnection;
  const std::string FLifeCycle;
  TDSMethodValues FMethodValues;
  // The instance of an "Invocation" class, owned; null for the shared life cycles.
  std::unique_ptr<TDSServerObject> FOwnedInstance;
  TDSServerObject* FAdapterInstance = nullptr;
  TDSServerObject* FMethodInstance = nullptr;
  TDBXParameterList FParameters;
  std::vector<TDBXParameter*> FDbxParameters;  // without the result
  TDBXParameter* FReturnParameter = nullptr;
  // Literal texts by declared ordinal, applied again before every call.
  std::vector<std::optional<std::u16string>> FLiterals;
  bool FHasLiterals = false;
  bool FHasOutOrReturnParameters = false;
  bool FHasTableParameters = false;
};

}  // namespace tavrin
