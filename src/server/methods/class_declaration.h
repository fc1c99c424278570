#pragma once
// How a C++ server class makes itself callable: a declaration per class listing its
// published methods in declaration order (the class's own first, then each ancestor's),
// each with its parameters' names and declared types, its result type, and an entry
// point that runs the method on an instance with the call's argument cells. The
// registry reads these declarations when the server starts; nothing here changes
// afterwards.
//
// Threading: declarations are read-only once the server runs and may be read from any
// thread. Entry points run on the calling connection's thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vocabulary/declared_type.h"
#include "server/methods/method_call.h"

namespace tavrin {

class TDSServerConnectionHandler;

// The base of every object a server method runs on.
class TDSServerObject {
 public:
  TDSServerObject() = default;
  TDSServerObject(const TDSServerObject&) = delete;
  TDSServerObject& operator=(const TDSServerObject&) = delete;
  virtual ~TDSServerObject() = default;
};

struct TDSParameterDeclaration {
  std::string Name;
  TDeclaredType Type;  // its IsVar / IsOut / IsConst say how the parameter is passed
};

struct TDSMethodDeclaration {
  std::string Name;
  std::vector<TDSParameterDeclaration> Parameters;
  // None for a procedure.
  std::optional<TDeclaredType> Result;
  bool IsConstructor = false;
  bool IsDestructor = false;
  // Runs the method on Instance (an object of the declaring class, or of a class that
  // descends from it) with one cell per parameter; sets Call.Result() for a function.
  // What it raises reaches the client as an error reply.
  std::function<void(TDSServerObject& Instance, TDSMethodCall& Call)> Invoke;
};

struct TDSClassDeclaration {
  std::string ClassName;        // without unit qualification
  std::string UnitName;
  std::string ParentClassName;  // for "descends from" tests; empty for a root class
  // Published methods in declaration order, own first, then the ancestors'.
  std::vector<TDSMethodDeclaration> Methods;
  // Makes a new instance with no owner. What it raises fails the prepare that asked.
  std::function<std::unique_ptr<TDSServerObject>()> Create;
};

}  // namespace tavrin
