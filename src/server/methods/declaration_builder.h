#pragma once
// Short ways to write a class declaration by hand: declared types and parameters in the
// spellings server classes use, and BindMethod, which turns a C++ member function into
// the entry point a method declaration needs.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "server/methods/class_declaration.h"
#include "vocabulary/json_text.h"

namespace tavrin {

using TDSInvoke = std::function<void(TDSServerObject& Instance, TDSMethodCall& Call)>;

// Spellings for declaration tables; a file writing one says `using namespace declare;`.
namespace declare {

// A type that is not a class ("string", "Integer", "Boolean" ...), passed by value.
inline TDeclaredType Named(std::string TypeName) { return TDeclaredType::Named(std::move(TypeName)); }
// A class type ("TDBXReader", "TJSONArray" ...), passed by value.
inline TDeclaredType OfClass(std::string ClassName) { return TDeclaredType::OfClass(std::move(ClassName)); }
inline TDeclaredType Const(TDeclaredType Type) {
  Type.IsConst = true;
  return Type;
}
inline TDeclaredType Out(TDeclaredType Type) {
  Type.IsOut = true;
  return Type;
}
inline TDeclaredType Var(TDeclaredType Type) {
  Type.IsVar = true;
  return Type;
}
// A const "string" parameter, the usual text parameter of the built-in classes.
inline TDSParameterDeclaration ConstText(std::string Name) {
  return {std::move(Name), Const(Named("string"))};
}

}  // namespace declare

namespace binding_detail {

template <typename TResult, typename TCallMember>
void CallAndStore(TDSMethodCall& Call, TCallMember&& CallMember) {
  if constexpr (std::is_void_v<TResult>) {
    CallMember();
  } else if constexpr (std::is_same_v<TResult, TJSONValue>) {
    Call.SetResult(std::make_shared<TJSONValue>(CallMember()));
  } else {
    Call.SetResult(CallMember());
  }
}

template <typename TClass, typename TMember, typename TResult, typename... TArgs, std::size_t... I>
TDSInvoke Bind(TMember Member, std::index_sequence<I...>) {
  return [Member](TDSServerObject& Instance, TDSMethodCall& Call) {
    // A wrong instance is a registration fault; bad_cast reports it as a failed call.
    auto& Self = dynamic_cast<TClass&>(Instance);
    CallAndStore<TResult>(Call, [&] {
      return (Self.*Member)(Call.As<std::decay_t<TArgs>>(I)...);
    });
  };
}

}  // namespace binding_detail

// The entry point of Member: the instance is cast to the member's class (a wrong
// instance fails the call with std::bad_cast), each argument is taken from its cell in
// order, and what the member returns goes into the result cell; a JSON value returned by
// value is handed over as a shared JSON value, as data type 37 travels in the cells.
// The member's parameter types, decayed, must be the kinds the dispatcher puts into the
// cells for the declared types (std::u16string for "string", std::int32_t for
// "Integer", ...); TDSMethodCall::As raises code 3 otherwise.

template <typename TClass, typename TResult, typename... TArgs>
TDSInvoke BindMethod(TResult (TClass::*Member)(TArgs...)) {
  return binding_detail::Bind<TClass, decltype(Member), TResult, TArgs...>(
      Member, std::index_sequence_for<TArgs...>{});
}

template <typename TClass, typename TResult, typename... TArgs>
TDSInvoke BindMethod(TResult (TClass::*Member)(TArgs...) const) {
  return binding_detail::Bind<TClass, decltype(Member), TResult, TArgs...>(
      Member, std::index_sequence_for<TArgs...>{});
}

}  // namespace tavrin
