#include "vocabulary/value_type.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "vocabulary/dbx_error.h"
#include "vocabulary/value_holders.h"

namespace tavrin {
namespace {

struct TFlagProperty {
  const char* Name;
  std::int32_t Mask;
  bool (TDBXValueType::*Get)() const;
  void (TDBXValueType::*Set)(bool);
};

const TFlagProperty kFlagProperties[] = {
    {"Nullable", 0x01, &TDBXValueType::Nullable, &TDBXValueType::SetNullable},
    {"ReadOnly", 0x02, &TDBXValueType::ReadOnly, &TDBXValueType::SetReadOnly},
    {"Searchable", 0x04, &TDBXValueType::Searchable, &TDBXValueType::SetSearchable},
    {"AutoIncrement", 0x08, &TDBXValueType::AutoIncrement, &TDBXValueType::SetAutoIncrement},
    {"Hidden", 0x40, &TDBXValueType::Hidden, &TDBXValueType::SetHidden},
    {"ValueParameter", 0x100, &TDBXValueType::ValueParameter, &TDBXValueType::SetValueParameter},
    {"Literal", 0x200, &TDBXValueType::Literal, &TDBXValueType::SetLiteral},
};

void ExpectReadOnlyTypeError(const std::function<void()>& Action, const std::string& Name) {
  try {
    Action();
    ADD_FAILURE() << "no error raised";
  } catch (const TDBXError& e) {
    EXPECT_EQ(e.ErrorCode(), 9);
    EXPECT_EQ(e.Message(), Name + " type cannot be modified");
  }
}

TEST(ValueTypeDescriptor, StartsEmptyAndAParameterStartsAsIn) {
  const TDBXValueType Column;
  EXPECT_EQ(Column.DataType(), 0);
  EXPECT_EQ(Column.ValueTypeFlags(), 0);
  EXPECT_EQ(Column.ParameterDirection(), 0);

  const TDBXParameter Parameter;
  EXPECT_EQ(Parameter.ParameterDirection(), 1);
  EXPECT_EQ(Parameter.Value(), nullptr);
  EXPECT_TRUE(Parameter.TypeName().empty());
}

TEST(ValueTypeDescriptor, EachFlagPropertyOwnsExactlyItsBit) {
  for (const auto& p : kFlagProperties) {
    TDBXValueType Type;
    (Type.*p.Set)(true);
    EXPECT_EQ(Type.ValueTypeFlags(), p.Mask) << p.Name;
    Type.SetValueTypeFlags(0x3FF & ~0x20);
    (Type.*p.Set)(false);
    EXPECT_EQ(Type.ValueTypeFlags(), (0x3FF & ~0x20) & ~p.Mask) << p.Name;
    EXPECT_FALSE((Type.*p.Get)()) << p.Name;
    Type.SetValueTypeFlags(p.Mask);
    EXPECT_TRUE((Type.*p.Get)()) << p.Name;
  }
}

TEST(ValueTypeFrozen, RefusesTypeFlagsAndNullabilityWithTheName) {
  TDBXValueType Type;
  Type.SetName("Usuario");
  Type.SetDataType(26);
  Type.SetNullable(true);
  Type.FreezeType();
  ASSERT_TRUE(Type.ReadOnlyType());
  const std::int32_t Flags = Type.ValueTypeFlags();

  ExpectReadOnlyTypeError([&] { Type.SetDataType(6); }, "Usuario");
  ExpectReadOnlyTypeError([&] { Type.SetValueTypeFlags(0); }, "Usuario");
  for (const auto& p : kFlagProperties) {
    SCOPED_TRACE(p.Name);
    ExpectReadOnlyTypeError([&] { (Type.*p.Set)(!(Type.*p.Get)()); }, "Usuario");
  }
  EXPECT_EQ(Type.DataType(), 26);
  EXPECT_EQ(Type.ValueTypeFlags(), Flags);

  // Only the type, flags and nullability are frozen.
  Type.SetName("Senha");
  Type.SetSubType(22);
  Type.SetSize(40);
  Type.SetPrecision(40);
  Type.SetParameterDirection(3);
  EXPECT_EQ(Type.SubType(), 22);
  EXPECT_EQ(Type.ParameterDirection(), 3);
  ExpectReadOnlyTypeError([&] { Type.SetDataType(1); }, "Senha");

  // Freezing again is harmless, and a copy is frozen too.
  Type.FreezeType();
  TDBXValueType Copy = Type;
  ExpectReadOnlyTypeError([&] { Copy.SetNullable(false); }, "Senha");
}

TEST(ValueTypeFrozen, SettingTheBitThroughTheFlagsFreezesToo) {
  TDBXValueType Type;
  Type.SetValueTypeFlags(0x20 | 0x01);
  EXPECT_TRUE(Type.ReadOnlyType());
  EXPECT_TRUE(Type.Nullable());
  ExpectReadOnlyTypeError([&] { Type.SetValueTypeFlags(0x01); }, "");
}

TEST(ValueTypeParameter, OwnsItsHolderAcrossMovesAndReplacement) {
  TDBXParameter Parameter;
  Parameter.SetTypeName("TDataSet");
  auto Holder = std::make_unique<TDBXInt32Value>();
  Holder->SetInt32(42);
  Parameter.SetValue(std::move(Holder));

  TDBXParameter Moved = std::move(Parameter);
  ASSERT_NE(Moved.Value(), nullptr);
  EXPECT_EQ(dynamic_cast<TDBXInt32Value&>(*Moved.Value()).GetInt32(), 42);
  EXPECT_EQ(Moved.TypeName(), "TDataSet");
  EXPECT_EQ(Moved.ParameterDirection(), 1);

  Moved.SetValue(std::make_unique<TDBXBooleanValue>());
  EXPECT_EQ(Moved.Value()->DataType(), 4);
  Moved.SetValue(nullptr);
  EXPECT_EQ(Moved.Value(), nullptr);
}

}  // namespace
}  // namespace tavrin
