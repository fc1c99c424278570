#pragma once
// The parameters of a registered method as the listing methods show them: name, data
// type code, direction, value-holder flag and the declared type's name, mapped the way
// the dispatcher maps them when it prepares the method.
//
// Threading: reads only the method's declaration, which is read-only once the server
// runs.

#include <cstdint>
#include <string>
#include <vector>

#include "server/methods/class_declaration.h"

namespace tavrin {

struct TDSParameterDescription {
  std::string Name;             // empty for the result
  std::int32_t DataType = 0;
  std::int32_t Direction = 0;   // 1, 2 or 3 for a parameter, 4 for the result
  bool ValueParameter = false;  // declared as a value holder; its direction is then 3
  // The class name for a class type, otherwise the declared name after normalisation
  // ("string" stays "string", "int" becomes "Integer").
  std::string TypeName;
};

// The declared name a description shows for Type.
std::string DescribedTypeName(const TDeclaredType& Type);

// The method's parameters in order, then its result when it has one. A type that does
// not map (the registry leaves such methods out) shows data type 0.
std::vector<TDSParameterDescription> DescribeParameters(const TDSMethodDeclaration& Method);

}  // namespace tavrin
