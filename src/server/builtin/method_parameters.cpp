#include "server/builtin/method_parameters.h"

#include <utility>

#include "vocabulary/declared_type.h"

namespace tavrin {
namespace {

TDSParameterDescription Describe(std::string Name, const TDeclaredType& Type,
                                 const TDeclaredTypeMapping& Mapping) {
  return {std::move(Name), Mapping.DataType, Mapping.Direction, Mapping.ValueParameter,
          DescribedTypeName(Type)};
}

}  // namespace

std::string DescribedTypeName(const TDeclaredType& Type) {
  if (Type.IsClass) return Type.ClassName.empty() ? Type.TypeName : Type.ClassName;
  return NormalizeDeclaredTypeName(Type.TypeName);
}

std::vector<TDSParameterDescription> DescribeParameters(const TDSMethodDeclaration& Method) {
  std::vector<TDSParameterDescription> Result;
  Result.reserve(Method.Parameters.size() + 1);
  for (const TDSParameterDeclaration& Parameter : Method.Parameters) {
    Result.push_back(Describe(Parameter.Name, Parameter.Type,
                              MapDeclaredParameterType(Parameter.Type, TTypeMappingMode::Tolerant)));
  }
  if (Method.Result) {
    Result.push_back(Describe({}, *Method.Result, MapDeclaredResultType(*Method.Result, TTypeMappingMode::Tolerant)));
  }
  return Result;
}

}  // namespace tavrin
