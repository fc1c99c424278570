#pragma once
// The registry's entries: one TDSClassInfo per registered server class and one
// TDSMethodInfo per callable method. The registry builds them when the server starts
// and owns them; the listing methods and the dispatcher only read them.
//
// Threading: read-only once the server runs.

#include <string>

#include "server/methods/class_declaration.h"

namespace tavrin {

class TDSServerClass;

struct TDSClassInfo {
  std::string PackageName;  // always empty here
  std::string ClassName;    // the wrapped class's name for an adapted class
  std::string UnitName;
  std::string RoleName;
  std::string LifeCycle;    // "Server", "Session" or "Invocation", as stored
  bool AdminClass = false;  // DSAdmin and DSMetadata
  // The registered class: the adapter for an adapted class.
  const TDSClassDeclaration* Declaration = nullptr;
  // The class the adapter wraps, or null.
  const TDSClassDeclaration* WrappedDeclaration = nullptr;
  // The registration component, or null for the built-in classes.
  const TDSServerClass* ServerClass = nullptr;
};

struct TDSMethodInfo {
  std::string MethodAlias;  // class name, ".", method name, as declared
  std::string MethodName;
  std::string RoleName;
  std::string SearchName;   // the alias in upper case; the registry's key
  const TDSClassInfo* ClassInfo = nullptr;
  const TDSMethodDeclaration* Declaration = nullptr;
  // True when the method belongs to the class an adapter wraps (it then runs on the
  // wrapped object), false for the class's own or the adapter's own methods.
  bool OfWrappedClass = false;
};

}  // namespace tavrin
