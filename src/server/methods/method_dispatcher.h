#pragma once
// What a connection needs of the method registry and dispatch: whether a method of a
// name exists, and a prepared method of a command that converts the parameter row into
// arguments, calls the method and writes its out values back. The registry implements
// it; the connection handler and its command handlers only call it.
//
// Threading: HasMethod and Prepare may be called from every connection thread at once
// (the registry is read-only once built). A prepared method belongs to one command of
// one connection and only that connection's thread calls it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dbxstream/parameter_descriptions.h"
#include "dbxstream/row_buffer.h"
#include "vocabulary/dbx_reader.h"
#include "server/methods/class_info.h"
#include "vocabulary/stream.h"

namespace tavrin {

class TDSServerConnectionHandler;

// Life cycle texts of a server class (compared exactly).
namespace TDSLifeCycles {
inline constexpr char kServer[] = "Server";
inline constexpr char kSession[] = "Session";
inline constexpr char kInvocation[] = "Invocation";
}  // namespace TDSLifeCycles

// The rest of a long out value that did not fit in the parameter row, kept for the
// client's more-blob requests.
struct TDSPendingLongValue {
  std::int32_t Ordinal = 0;
  std::shared_ptr<TStream> Rest;
};

class IDSPreparedServerMethod {
 public:
  // Releases the instance the method obtained as its class's life cycle says (an
  // "Invocation" instance is destroyed here) and frees the argument cells.
  virtual ~IDSPreparedServerMethod() = default;

  // "Class.Method" as declared, the class name and the method name.
  virtual const std::string& MethodAlias() const = 0;
  virtual const std::string& ClassName() const = 0;
  virtual const std::string& MethodName() const = 0;
  // The class's life cycle text (TDSLifeCycles).
  virtual const std::string& LifeCycle() const = 0;

  // The parameters in ordinal order, the result last as "ReturnParameter" (direction 4)
  // when the method has one. Owned by the prepared method; addresses stay valid while it
  // lives.
  virtual TDBXParameterList& Parameters() = 0;
  // True when literal values were read from the command text at prepare, so the reply
  // must describe the parameters again.
  virtual bool HasLiteralParameters() const = 0;
  // True when a parameter is out, in/out or return.
  virtual bool HasOutOrReturnParameters() const = 0;
  // True when an out, in/out or return parameter is a table (type 23).
  virtual bool HasTableParameters() const = 0;

  // Reads the values of an execute request from Row, positioned at its first value,
  // into the parameters; the previous values are replaced. Raises TDBXError for values
  // of the wrong form.
  virtual void LoadArguments(TDBXRowBuffer& Row) = 0;
  // Converts the parameters into arguments and calls the method. Tables holds the
  // tables the client sent, in order; the method takes what it uses. What the method
  // raises propagates unchanged (the request then gets an error reply).
  virtual void Invoke(std::vector<std::shared_ptr<TDBXReader>>& Tables) = 0;
  // Writes every parameter into Row, which is empty, in ordinal order: the out, in/out
  // and return values, every other parameter as null. Returns the long values that did
  // not fit inline.
  virtual std::vector<TDSPendingLongValue> WriteResults(TDBXRowBuffer& Row) = 0;
  // A reader the method returned outside its parameters, or null.
  virtual std::shared_ptr<TDBXReader> ReturnReader() = 0;

  // "Invocation" life cycle only: destroys the current instance, and obtains a fresh one
  // for the next call. Both do nothing for the other life cycles.
  virtual void ReleaseInstance() = 0;
  virtual void RenewInstance() = 0;

  // Frees the objects made for the calls so far (what the argument cells and the result
  // hold: streams, readers, JSON values ...) now rather than at the next call or the
  // close; the method stays prepared and callable. Returns false when freeing one of
  // them failed (the failure is swallowed, not raised). May run while this very method
  // is being called (the administration method that frees every command's objects is a
  // command itself), so the cells are emptied in place, never destroyed. A server-side
  // command's objects belong to its caller and are left alone.
  virtual bool ClearCallObjects() { return true; }
};

class IDSServerMethodProvider {
 public:
  virtual ~IDSServerMethodProvider() = default;

  // True when a method has this alias ("Class.Method"), ignoring letter case.
  virtual bool HasMethod(std::u16string_view MethodAlias) const = 0;

  // Finds the method a command text names (an alias, possibly followed by a literal
  // parameter list in parentheses), obtains its instance through Connection and builds
  // its parameters. ServerSide is the command's server-side flag. The caller owns the
  // result. Raises TDBXError when no method has the name or the literals do not fit.
  virtual std::unique_ptr<IDSPreparedServerMethod> Prepare(std::u16string_view CommandText,
                                                           TDSServerConnectionHandler& Connection,
                                                           bool ServerSide) = 0;

  // --- Listing, for the built-in administration methods --------------------------------
  // A provider that keeps no registry (a test double) lists nothing.

  // Registered classes and methods in registration order; entries live as long as the
  // provider.
  virtual const std::vector<const TDSClassInfo*>& ClassList() const { return kNoClasses; }
  virtual const std::vector<const TDSMethodInfo*>& MethodList() const { return kNoMethods; }
  // The class or method of a name (a method by alias), ignoring letter case; null when
  // none.
  virtual const TDSClassInfo* FindClass(std::string_view) const { return nullptr; }
  virtual const TDSMethodInfo* FindMethod(std::string_view) const { return nullptr; }

  // The name of the server component the registry serves ("DSServer1" in this product);
  // empty until whoever builds the server names it. Set before the server starts,
  // read-only afterwards.
  const std::string& ServerName() const { return FServerName; }
  void SetServerName(std::string Name) { FServerName = std::move(Name); }

 private:
  static inline const std::vector<const TDSClassInfo*> kNoClasses;
  static inline const std::vector<const TDSMethodInfo*> kNoMethods;

  std::string FServerName;
};

}  // namespace tavrin
