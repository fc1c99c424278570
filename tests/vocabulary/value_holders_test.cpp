#include "vocabulary/value_holders.h"

#include <gtest/gtest.h>

#include <array>
#include <typeindex>
#include <typeinfo>

#include "vocabulary/dbx_error.h"

namespace tavrin {
namespace {

std::unique_ptr<TDBXWritableValue> HolderFor(std::int32_t DataType, std::int32_t SubType = 0) {
  TDBXValueType Type;
  Type.SetDataType(DataType);
  Type.SetSubType(SubType);
  return CreateValueHolder(Type);
}

std::type_index KindOf(const TDBXWritableValue& Holder) { return std::type_index(typeid(Holder)); }

TEST(ValueHolderFactory, EachCodeGetsItsKindNullAndCarryingTheCode) {
  struct Case { std::int32_t Code; std::type_index Kind; };
  const Case Cases[] = {
      {1, typeid(TDBXAnsiStringValue)},   {2, typeid(TDBXDateValue)},
      {3, typeid(TDBXStreamValue)},       {4, typeid(TDBXBooleanValue)},
      {5, typeid(TDBXInt16Value)},        {6, typeid(TDBXInt32Value)},
      {7, typeid(TDBXDoubleValue)},       {8, typeid(TDBXBcdValue)},
      {9, typeid(TDBXStreamValue)},       {10, typeid(TDBXTimeOfDayValue)},
      {11, typeid(TDBXTimeStampValue)},   {12, typeid(TDBXUInt16Value)},
      {15, typeid(TDBXStreamValue)},      {17, typeid(TDBXCursorValue)},
      {18, typeid(TDBXInt64Value)},       {20, typeid(TDBXStreamValue)},
      {21, typeid(TDBXStreamValue)},      {23, typeid(TDBXReaderValue)},
      {24, typeid(TDBXTimeStampValue)},   {25, typeid(TDBXBcdValue)},
      {26, typeid(TDBXWideStringValue)},  {27, typeid(TDBXSingleValue)},
      {28, typeid(TDBXInt8Value)},        {29, typeid(TDBXUInt8Value)},
      {33, typeid(TDBXStreamValue)},      {34, typeid(TDBXConnectionValue)},
      {35, typeid(TDBXStreamValue)},      {36, typeid(TDBXTimeStampOffsetValue)},
      {37, typeid(TDBXJSONValue)},        {38, typeid(TDBXCallbackValue)},
  };
  for (const auto& c : Cases) {
    const auto Holder = HolderFor(c.Code);
    ASSERT_NE(Holder, nullptr) << c.Code;
    EXPECT_EQ(KindOf(*Holder), c.Kind) << "code " << c.Code;
    EXPECT_EQ(Holder->DataType(), c.Code);
    EXPECT_TRUE(Holder->IsNull()) << c.Code;
  }
}

TEST(ValueHolderFactory, BlobLikeCodesFollowTheSubtype) {
  // Subtype 33 behaves exactly like 22; a subtype meant for other codes changes nothing.
  struct Case { std::int32_t SubType; std::type_index Kind; };
  const Case Cases[] = {
      {0, typeid(TDBXStreamValue)},    {22, typeid(TDBXAnsiMemoValue)},
      {33, typeid(TDBXAnsiMemoValue)}, {32, typeid(TDBXWideMemoValue)},
      {27, typeid(TDBXStreamValue)},   {40, typeid(TDBXStreamValue)},
  };
  for (const std::int32_t Code : {3, 9, 15, 20, 21}) {
    for (const auto& c : Cases) {
      const auto Holder = HolderFor(Code, c.SubType);
      EXPECT_EQ(KindOf(*Holder), c.Kind) << "code " << Code << " subtype " << c.SubType;
      EXPECT_EQ(Holder->DataType(), Code);
    }
  }
  // Text subtypes apply to the BLOB-like codes only.
  EXPECT_EQ(KindOf(*HolderFor(33, 22)), std::type_index(typeid(TDBXStreamValue)));
  EXPECT_EQ(KindOf(*HolderFor(1, 32)), std::type_index(typeid(TDBXAnsiStringValue)));
}

TEST(ValueHolderFactory, CodesWithoutHolderRaiseUnexpectedDataType) {
  for (const std::int32_t Code : {0, 13, 14, 16, 19, 22, 30, 31, 32, 39, -1}) {
    TDBXValueType Type;
    Type.SetDataType(Code);
    try {
      CreateValueHolder(Type, /*FreezeType=*/true);
      ADD_FAILURE() << "code " << Code << " got a holder";
    } catch (const TDBXError& e) {
      EXPECT_EQ(e.ErrorCode(), 3);
      EXPECT_EQ(e.Message(), "Unexpected data type " + std::to_string(Code));
    }
    EXPECT_FALSE(Type.ReadOnlyType()) << "a failed creation must not freeze, code " << Code;
  }
}

TEST(ValueHolderFactory, FreezesTheDescriptorOnlyWhenAsked) {
  TDBXValueType Type;
  Type.SetName("Qtd");
  Type.SetDataType(6);
  CreateValueHolder(Type);
  EXPECT_FALSE(Type.ReadOnlyType());

  CreateValueHolder(Type, /*FreezeType=*/true);
  EXPECT_TRUE(Type.ReadOnlyType());
  EXPECT_THROW(Type.SetDataType(7), TDBXError);
}

// A row's own holder, as a row reading its bytes in place would supply.
class TRowInt32Value : public TDBXInt32Value {
 public:
  std::int32_t GetInt32() const override { return 99; }
};

TEST(ValueHolderFactory, ARowMaySupplyItsHolderFirst) {
  int Asked = 0;
  const TRowValueSupplier Row = [&](const TDBXValueType& Type) -> std::unique_ptr<TDBXWritableValue> {
    ++Asked;
    if (Type.DataType() == 6 || Type.DataType() == 13) return std::make_unique<TRowInt32Value>();
    return nullptr;  // declines: the standard holder follows
  };

  TDBXValueType Int32Type;
  Int32Type.SetDataType(6);
  auto Supplied = CreateValueHolder(Int32Type, /*FreezeType=*/true, Row);
  EXPECT_EQ(dynamic_cast<TDBXInt32Value&>(*Supplied).GetInt32(), 99);
  EXPECT_TRUE(Int32Type.ReadOnlyType());

  // The row comes first even for a code that has no standard holder.
  TDBXValueType UInt32Type;
  UInt32Type.SetDataType(13);
  EXPECT_NO_THROW(CreateValueHolder(UInt32Type, false, Row));

  TDBXValueType BoolType;
  BoolType.SetDataType(4);
  EXPECT_EQ(KindOf(*CreateValueHolder(BoolType, false, Row)), std::type_index(typeid(TDBXBooleanValue)));
  EXPECT_EQ(Asked, 3);
}

TEST(ValueHolderNullState, SetValuesReadBackAndSetNullEmptiesThem) {
  TDBXInt32Value Int32;
  Int32.SetInt32(-7);
  EXPECT_FALSE(Int32.IsNull());
  EXPECT_EQ(Int32.GetInt32(), -7);
  Int32.SetNull();
  EXPECT_TRUE(Int32.IsNull());
  EXPECT_EQ(Int32.GetInt32(), 0);

  TDBXWideStringValue Wide;
  Wide.SetWideString(u"Jo\u00e3o");
  EXPECT_EQ(Wide.GetWideString(), u"Jo\u00e3o");
  Wide.SetNull();
  EXPECT_TRUE(Wide.GetWideString().empty());

  // The empty text and zero are values, not null.
  TDBXAnsiStringValue Ansi;
  Ansi.SetAnsiString("");
  EXPECT_FALSE(Ansi.IsNull());
  TDBXBcdValue Bcd(25);
  Bcd.SetBcd("-12.50");
  EXPECT_EQ(Bcd.GetBcd(), "-12.50");
  EXPECT_EQ(Bcd.DataType(), 25);

  TDBXTimeStampOffsetValue Offset;
  const TSQLTimeStampOffset When{{2013, 3, 15, 10, 30, 0, 5}, -3, 0};
  Offset.SetTimeStampOffset(When);
  EXPECT_EQ(Offset.GetTimeStampOffset(), When);
  Offset.SetNull();
  EXPECT_EQ(Offset.GetTimeStampOffset(), TSQLTimeStampOffset{});
}

TEST(ValueHolderNullState, ObjectHoldersTreatANullPointerAsNullAndReleaseOnSetNull) {
  TDBXStreamValue Stream;
  Stream.SetBytes({1, 2, 3});
  ASSERT_FALSE(Stream.IsNull());
  std::array<std::uint8_t, 8> Buffer{};
  EXPECT_EQ(Stream.GetStream()->Read(Buffer), 3);
  EXPECT_EQ(Buffer[2], 3);
  Stream.SetStream(nullptr);
  EXPECT_TRUE(Stream.IsNull());

  TDBXReaderValue Reader;
  auto Table = std::make_shared<TDBXReader>();
  const std::weak_ptr<TDBXReader> Watch = Table;
  Reader.SetReader(std::move(Table));
  EXPECT_FALSE(Reader.IsNull());
  Reader.SetNull();
  EXPECT_TRUE(Watch.expired()) << "SetNull must let the reader go";
  EXPECT_EQ(Reader.GetReader(), nullptr);
}

TEST(ValueHolderNullState, AJsonNullIsAValueNotANullHolder) {
  TDBXJSONValue Json;
  Json.SetJSONValue(TJSONValue());
  EXPECT_FALSE(Json.IsNull());
  EXPECT_TRUE(Json.GetJSONValue().is_null());
  Json.SetJSONValue(TJSONValue{{"b", 1}, {"a", 2}});
  EXPECT_EQ(Json.GetJSONValue().dump(), R"({"b":1,"a":2})");
  Json.SetNull();
  EXPECT_TRUE(Json.IsNull());
}

}  // namespace
}  // namespace tavrin
