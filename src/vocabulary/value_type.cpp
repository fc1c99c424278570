#include "vocabulary/value_type.h"

#include <string>
#include <string_view>

#include "vocabulary/dbx_error.h"
#include "vocabulary/value_holders.h"

namespace tavrin {
namespace {

constexpr std::string_view kTypeCannotBeModified = " type cannot be modified";

}  // namespace

void TDBXValueType::CheckNotFrozen() const {
  if (ReadOnlyType()) {
    throw TDBXError(TDBXErrorCodes::ReadOnlyType, FName + std::string(kTypeCannotBeModified));
  }
}

void TDBXValueType::SetDataType(std::int32_t Value) {
  CheckNotFrozen();
  FDataType = Value;
}

void TDBXValueType::SetValueTypeFlags(std::int32_t Value) {
  CheckNotFrozen();
  FValueTypeFlags = Value;
}

void TDBXValueType::SetFlag(std::int32_t Mask, bool Value) {
  SetValueTypeFlags(Value ? (FValueTypeFlags | Mask) : (FValueTypeFlags & ~Mask));
}

TDBXParameter::TDBXParameter() { SetParameterDirection(TDBXParameterDirections::InParameter); }
TDBXParameter::TDBXParameter(TDBXParameter&&) noexcept = default;
TDBXParameter& TDBXParameter::operator=(TDBXParameter&&) noexcept = default;
TDBXParameter::~TDBXParameter() = default;

void TDBXParameter::SetValue(std::unique_ptr<TDBXWritableValue> Value) { FValue = std::move(Value); }

}  // namespace tavrin
