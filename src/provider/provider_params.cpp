#include "provider/provider_params.h"

#include <algorithm>
#include <string>

#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

constexpr std::size_t kPackedParamValues = 7;
constexpr auto kLastFieldType = static_cast<std::int64_t>(TFieldType::ftSingle);
constexpr auto kLastParamType = static_cast<std::int64_t>(TParamType::ptResult);

[[noreturn]] void RaiseNotPacked(const char* What) {
  throw TDBXError(TDBXErrorCodes::InvalidInput, std::string(TProviderParamErrors::kNotPacked) + What);
}

// The elements of a one-dimensional array of variants.
const std::vector<TDSVariant>& ElementsOf(const TDSVariant& Value, const char* What) {
  const auto* Array = std::get_if<TVariantArray>(&Value.Value);
  if (Array == nullptr || Array->Bounds.size() != 1 || Array->ElementType != TVarType::varVariant) RaiseNotPacked(What);
  return Array->Elements;
}

// Any whole number of the integer kinds.
std::int64_t WholeOf(const TDSVariant& Value, const char* What) {
  return std::visit(
      [What](const auto& X) -> std::int64_t {
        using T = std::decay_t<decltype(X)>;
        if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
          return static_cast<std::int64_t>(X);
        } else {
          RaiseNotPacked(What);
        }
      },
      Value.Value);
}

std::int32_t Int32Of(const TDSVariant& Value, const char* What) {
  const std::int64_t Whole = WholeOf(Value, What);
  if (Whole < INT32_MIN || Whole > INT32_MAX) RaiseNotPacked(What);
  return static_cast<std::int32_t>(Whole);
}

}  // namespace

TDSVariant PackProviderParams(const std::vector<TProviderParam>& Params, std::initializer_list<TParamType> Types) {
  std::vector<TDSVariant> Packed;
  for (const TProviderParam& Param : Params) {
    if (std::find(Types.begin(), Types.end(), Param.ParamType) == Types.end()) continue;
    Packed.push_back(TDSVariant::Array(
        TVarType::varVariant,
        {ToUtf16(Param.Name), Param.Value, static_cast<std::int32_t>(Param.DataType),
         static_cast<std::int32_t>(Param.ParamType), Param.Size, Param.Precision, Param.NumericScale}));
  }
  if (Packed.empty()) return TDSVariant::Null();
  return TDSVariant::Array(TVarType::varVariant, std::move(Packed));
}

std::vector<TProviderParam> UnpackProviderParams(const TDSVariant& Source) {
  std::vector<TProviderParam> Params;
  if (Source.IsNull() || Source.IsEmpty()) return Params;
  for (const TDSVariant& Packed : ElementsOf(Source, "not an array of parameters")) {
    const std::vector<TDSVariant>& Parts = ElementsOf(Packed, "a parameter that is not an array");
    if (Parts.size() != kPackedParamValues) RaiseNotPacked("a parameter without its seven values");
    const auto* Name = std::get_if<std::u16string>(&Parts[0].Value);
    if (Name == nullptr) RaiseNotPacked("a parameter name that is not text");
    TProviderParam Param;
    Param.Name = ToUtf8(*Name);
    Param.Value = Parts[1];
    const std::int64_t DataType = WholeOf(Parts[2], "a data type that is not a number");
    const std::int64_t ParamType = WholeOf(Parts[3], "a parameter type that is not a number");
    if (DataType < 0 || DataType > kLastFieldType) RaiseNotPacked("an unknown data type");
    if (ParamType < 0 || ParamType > kLastParamType) RaiseNotPacked("an unknown parameter type");
    Param.DataType = static_cast<TFieldType>(DataType);
    Param.ParamType = static_cast<TParamType>(ParamType);
    Param.Size = Int32Of(Parts[4], "a size that is not a 32-bit number");
    Param.Precision = Int32Of(Parts[5], "a precision that is not a 32-bit number");
    Param.NumericScale = Int32Of(Parts[6], "a scale that is not a 32-bit number");
    Params.push_back(std::move(Param));
  }
  return Params;
}

}  // namespace tavrin
