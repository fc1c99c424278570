#pragma once
// The value type descriptor of a parameter or column, and the parameter that adds a
// value holder to it. Descriptors belong to one connection's thread; nothing here locks.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "vocabulary/data_types.h"

namespace tavrin {

class TDBXWritableValue;

// Name, type codes, sizes, flags and direction of one value. Copyable.
// Once the read-only-type bit (0x20) is set, changing the data type, the flags or the
// nullability raises TDBXError code 9 "<Name> type cannot be modified"; the other
// properties stay writable.
class TDBXValueType {
 public:
  TDBXValueType() = default;
  TDBXValueType(const TDBXValueType&) = default;
  TDBXValueType(TDBXValueType&&) = default;
  TDBXValueType& operator=(const TDBXValueType&) = default;
  TDBXValueType& operator=(TDBXValueType&&) = default;
  virtual ~TDBXValueType() = default;

  const std::string& Name() const { return FName; }
  void SetName(std::string Value) { FName = std::move(Value); }
  const std::string& DisplayName() const { return FDisplayName; }
  void SetDisplayName(std::string Value) { FDisplayName = std::move(Value); }
  std::int32_t Ordinal() const { return FOrdinal; }
  void SetOrdinal(std::int32_t Value) { FOrdinal = Value; }

  std::int32_t DataType() const { return FDataType; }
  void SetDataType(std::int32_t Value);  // raises code 9 when frozen
  std::int32_t SubType() const { return FSubType; }
  void SetSubType(std::int32_t Value) { FSubType = Value; }
  std::int64_t Precision() const { return FPrecision; }
  void SetPrecision(std::int64_t Value) { FPrecision = Value; }
  std::int32_t Scale() const { return FScale; }
  void SetScale(std::int32_t Value) { FScale = Value; }
  std::int32_t ChildPosition() const { return FChildPosition; }
  void SetChildPosition(std::int32_t Value) { FChildPosition = Value; }
  std::int64_t Size() const { return FSize; }
  void SetSize(std::int64_t Value) { FSize = Value; }
  std::int32_t ParameterDirection() const { return FParameterDirection; }
  void SetParameterDirection(std::int32_t Value) { FParameterDirection = Value; }

  std::int32_t ValueTypeFlags() const { return FValueTypeFlags; }
  void SetValueTypeFlags(std::int32_t Value);  // raises code 9 when frozen

  // One boolean per flag bit; each setter goes through SetValueTypeFlags, so a frozen
  // descriptor refuses them all.
  bool Nullable() const { return HasFlag(TDBXValueTypeFlags::Nullable); }
  void SetNullable(bool Value) { SetFlag(TDBXValueTypeFlags::Nullable, Value); }
  bool ReadOnly() const { return HasFlag(TDBXValueTypeFlags::ReadOnly); }
  void SetReadOnly(bool Value) { SetFlag(TDBXValueTypeFlags::ReadOnly, Value); }
  bool Searchable() const { return HasFlag(TDBXValueTypeFlags::Searchable); }
  void SetSearchable(bool Value) { SetFlag(TDBXValueTypeFlags::Searchable, Value); }
  bool AutoIncrement() const { return HasFlag(TDBXValueTypeFlags::AutoIncrement); }
  void SetAutoIncrement(bool Value) { SetFlag(TDBXValueTypeFlags::AutoIncrement, Value); }
  bool Hidden() const { return HasFlag(TDBXValueTypeFlags::Hidden); }
  void SetHidden(bool Value) { SetFlag(TDBXValueTypeFlags::Hidden, Value); }
  bool ValueParameter() const { return HasFlag(TDBXValueTypeFlags::ValueParameter); }
  void SetValueParameter(bool Value) { SetFlag(TDBXValueTypeFlags::ValueParameter, Value); }
  bool Literal() const { return HasFlag(TDBXValueTypeFlags::Literal); }
  void SetLiteral(bool Value) { SetFlag(TDBXValueTypeFlags::Literal, Value); }

  // True once the descriptor is frozen.
  bool ReadOnlyType() const { return HasFlag(TDBXValueTypeFlags::ReadOnlyType); }
  // Sets the read-only-type bit. Never raises; freezing twice is harmless. There is no
  // way back: a frozen descriptor stays frozen (a copy of it is frozen too).
  void FreezeType() { FValueTypeFlags |= TDBXValueTypeFlags::ReadOnlyType; }

 private:
  bool HasFlag(std::int32_t Mask) const { return (FValueTypeFlags & Mask) != 0; }
  void SetFlag(std::int32_t Mask, bool Value);
  void CheckNotFrozen() const;

  std::string FName;
  std::string FDisplayName;
  std::int32_t FOrdinal = 0;
  std::int32_t FDataType = TDBXDataTypes::UnknownType;
  std::int32_t FSubType = TDBXSubDataTypes::NoSubType;
  std::int64_t FPrecision = 0;
  std::int32_t FScale = 0;
  std::int32_t FChildPosition = 0;
  std::int64_t FSize = 0;
  std::int32_t FValueTypeFlags = 0;
  std::int32_t FParameterDirection = TDBXParameterDirections::Unknown;
};

// A descriptor that owns a value holder and may name the object type a method declared
// for a table parameter ("TDataSet", "TParams" or empty). Starts with direction 1 (in)
// and no holder. Move-only, since it owns its holder.
class TDBXParameter : public TDBXValueType {
 public:
  TDBXParameter();
  TDBXParameter(TDBXParameter&&) noexcept;
  TDBXParameter& operator=(TDBXParameter&&) noexcept;
  ~TDBXParameter() override;

  const std::string& TypeName() const { return FTypeName; }
  void SetTypeName(std::string Value) { FTypeName = std::move(Value); }

  // The holder, or null while none was set. The parameter keeps ownership.
  TDBXWritableValue* Value() { return FValue.get(); }
  const TDBXWritableValue* Value() const { return FValue.get(); }
  // Replaces (and frees) the current holder; null removes it.
  void SetValue(std::unique_ptr<TDBXWritableValue> Value);

 private:
  std::string FTypeName;
  std::unique_ptr<TDBXWritableValue> FValue;
};

}  // namespace tavrin
