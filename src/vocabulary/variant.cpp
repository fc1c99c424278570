#include "vocabulary/variant.h"

#include <type_traits>
#include <utility>

namespace tavrin {

TDSVariant TDSVariant::Array(std::uint32_t ElementType, std::vector<TDSVariant> Elements) {
  TVariantArray Array;
  Array.ElementType = ElementType;
  Array.Bounds.push_back({0, static_cast<std::int32_t>(Elements.size()) - 1});
  Array.Elements = std::move(Elements);
  return TDSVariant(std::move(Array));
}

std::uint32_t ScalarVarType(const TDSVariant::TValue& Value) {
  return std::visit(
      [](const auto& V) -> std::uint32_t {
        using T = std::decay_t<decltype(V)>;
        using namespace TVarType;
        if constexpr (std::is_same_v<T, std::monostate>) return varEmpty;
        else if constexpr (std::is_same_v<T, TVariantNull>) return varNull;
        else if constexpr (std::is_same_v<T, std::int16_t>) return varSmallint;
        else if constexpr (std::is_same_v<T, std::int32_t>) return varInteger;
        else if constexpr (std::is_same_v<T, float>) return varSingle;
        else if constexpr (std::is_same_v<T, double>) return varDouble;
        else if constexpr (std::is_same_v<T, TDSCurrency>) return varCurrency;
        else if constexpr (std::is_same_v<T, TDSDateTime>) return varDate;
        else if constexpr (std::is_same_v<T, std::u16string>) return varOleStr;
        else if constexpr (std::is_same_v<T, TVariantError>) return varError;
        else if constexpr (std::is_same_v<T, bool>) return varBoolean;
        else if constexpr (std::is_same_v<T, std::int8_t>) return varShortInt;
        else if constexpr (std::is_same_v<T, std::uint8_t>) return varByte;
        else if constexpr (std::is_same_v<T, std::uint16_t>) return varWord;
        else if constexpr (std::is_same_v<T, std::uint32_t>) return varLongWord;
        else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) return varByte;
        else return V.ElementType;  // TVariantArray
      },
      Value);
}

std::uint32_t TDSVariant::VarType() const {
  const std::uint32_t Kind = ScalarVarType(Value);
  return IsArray() ? (Kind | TVarType::varArray) : Kind;
}

}  // namespace tavrin
