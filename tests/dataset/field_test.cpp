// Fields: the typed reads of a value and their conversion failures, and the dataset
// bridge that hands the same values to table readers.
// (Tests src/dsserver/field.* and fields_data_set.*, built with the engine for now.)

#include "dataset/field.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataset/database_error.h"
#include "dataset/fields_data_set.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

using FT = TFieldType;

// One record whose values the test sets.
class TOneRecordDataSet : public TFieldsDataSet {
 public:
  TField& Add(FT Type, TFieldValue Value, std::string Name = "f") {
    FValues.push_back(std::move(Value));
    TFieldDefinition Definition;
    Definition.Name = std::move(Name);
    Definition.DataType = Type;
    Definition.Size = 10;
    Definition.Precision = 15;
    return AddField(std::move(Definition));
  }
  bool HasRecord = true;

  void Open() override {}
  bool Active() const override { return true; }
  void First() override { HasRecord = true; }
  void Next() override { HasRecord = false; }
  bool Eof() const override { return !HasRecord; }

 protected:
  const TFieldValue& CurrentValue(std::int32_t Index) const override {
    return HasRecord ? FValues[static_cast<std::size_t>(Index)] : FNull;
  }

 private:
  std::vector<TFieldValue> FValues;
  TFieldValue FNull;
};

std::string Show(const TSQLTimeStamp& T) {
  char Text[64];
  std::snprintf(Text, sizeof Text, "%04d-%02u-%02u %02u:%02u:%02u.%03u", T.Year, T.Month, T.Day, T.Hour, T.Minute,
                T.Second, T.Fractions);
  return Text;
}

// The read named Read, shown as text, or "error: " and the message.
std::string Read(const TField& Field, std::string_view Read) {
  try {
    if (Read == "AsInteger") return std::to_string(Field.AsInteger());
    if (Read == "AsLargeInt") return std::to_string(Field.AsLargeInt());
    if (Read == "AsBoolean") return Field.AsBoolean() ? "true" : "false";
    if (Read == "AsFloat") return std::to_string(Field.AsFloat());
    if (Read == "AsString") return Field.AsString();
    if (Read == "AsSQLTimeStamp") return Show(Field.AsSQLTimeStamp());
  } catch (const EDatabaseError& e) {
    return std::string("error: ") + e.what();
  }
  return "unknown read";
}

TEST(Field, TypedReadsConvertTheValueOrRaiseWithValueAndFieldName) {
  struct TCase {
    TFieldValue Value;
    FT Type;
    const char* ReadName;
    const char* Expected;
  };
  const TCase Cases[] = {
      {std::int64_t{42}, FT::ftInteger, "AsInteger", "42"},
      {2.5, FT::ftFloat, "AsInteger", "3"},
      {-2.5, FT::ftFloat, "AsInteger", "-3"},
      {std::string(" 17 "), FT::ftWideString, "AsInteger", "17"},
      {std::string("abc"), FT::ftWideString, "AsInteger", "error: 'abc' is not a valid integer value for field 'f'"},
      {std::string("12.5"), FT::ftWideString, "AsInteger", "error: '12.5' is not a valid integer value for field 'f'"},
      {std::int64_t{3'000'000'000}, FT::ftLargeint, "AsInteger", "error: '3000000000' is out of range for field 'f'"},
      {std::int64_t{3'000'000'000}, FT::ftLargeint, "AsLargeInt", "3000000000"},
      {1e300, FT::ftFloat, "AsLargeInt", "error: '1e+300' is out of range for field 'f'"},
      {TFieldBytes{1, 2}, FT::ftBlob, "AsInteger", "error: Field 'f' holds bytes, which cannot be read as a number"},
      {TFieldValue(), FT::ftInteger, "AsInteger", "0"},

      {std::int64_t{0}, FT::ftBoolean, "AsBoolean", "false"},
      {std::int64_t{1}, FT::ftBoolean, "AsBoolean", "true"},
      {std::int64_t{2}, FT::ftInteger, "AsBoolean", "true"},
      {std::string("TRUE"), FT::ftWideString, "AsBoolean", "true"},
      {std::string("false"), FT::ftWideString, "AsBoolean", "false"},
      {std::string("0"), FT::ftWideString, "AsBoolean", "false"},
      {std::string("sim"), FT::ftWideString, "AsBoolean", "error: 'sim' is not a valid boolean value for field 'f'"},
      {TFieldBytes{}, FT::ftBlob, "AsBoolean", "error: Field 'f' holds bytes, which cannot be read as a Boolean"},
      {TFieldValue(), FT::ftBoolean, "AsBoolean", "false"},

      {std::int64_t{3}, FT::ftInteger, "AsFloat", "3.000000"},
      {std::string("12.50"), FT::ftWideString, "AsFloat", "12.500000"},
      {std::string("1,5"), FT::ftWideString, "AsFloat", "error: '1,5' is not a valid floating-point value for field 'f'"},
      {TFieldValue(), FT::ftFloat, "AsFloat", "0.000000"},

      {std::int64_t{1}, FT::ftBoolean, "AsString", "True"},
      {std::int64_t{0}, FT::ftBoolean, "AsString", "False"},
      {std::int64_t{-5}, FT::ftInteger, "AsString", "-5"},
      {0.1, FT::ftFloat, "AsString", "0.1"},
      {TFieldBytes{'o', 'k'}, FT::ftBlob, "AsString", "ok"},
      {TFieldValue(), FT::ftWideString, "AsString", ""},

      {std::string("2024-02-29"), FT::ftDate, "AsSQLTimeStamp", "2024-02-29 00:00:00.000"},
      {std::string("2024-02-29 13:45:07.25"), FT::ftDateTime, "AsSQLTimeStamp", "2024-02-29 13:45:07.250"},
      {std::string("2024-02-29T13:45"), FT::ftTimeStamp, "AsSQLTimeStamp", "2024-02-29 13:45:00.000"},
      {std::string("08:30:15.1234"), FT::ftTime, "AsSQLTimeStamp", "0000-00-00 08:30:15.123"},
      {std::string("2024-13-01"), FT::ftDate, "AsSQLTimeStamp",
       "error: '2024-13-01' is not a valid date and time value for field 'f'"},
      {std::string("31/12/2024"), FT::ftDate, "AsSQLTimeStamp",
       "error: '31/12/2024' is not a valid date and time value for field 'f'"},
      {std::int64_t{20240229}, FT::ftDate, "AsSQLTimeStamp",
       "error: '20240229' is not a valid date and time value for field 'f'"},
  };
  for (const TCase& Case : Cases) {
    TOneRecordDataSet DataSet;
    const TField& Field = DataSet.Add(Case.Type, Case.Value);
    SCOPED_TRACE(std::string(Case.ReadName) + " of a " + std::string(FieldTypeName(Case.Type)) + " expecting " +
                 Case.Expected);
    EXPECT_EQ(Read(Field, Case.ReadName), Case.Expected);
  }
}

TEST(Field, TextKeepsEveryCharacterInBothForms) {
  const std::string Text = "joão Çá 緑茶 🎂 Кефир";
  TOneRecordDataSet DataSet;
  const TField& Field = DataSet.Add(FT::ftWideString, Text);
  EXPECT_EQ(Field.AsString(), Text);
  EXPECT_EQ(Field.AsWideString(), u"joão Çá 緑茶 🎂 Кефир");
  EXPECT_EQ(Field.AsBytes(), TFieldBytes(Text.begin(), Text.end()));
}

TEST(Field, WithoutACurrentRecordEveryFieldReadsNull) {
  TOneRecordDataSet DataSet;
  const TField& Field = DataSet.Add(FT::ftInteger, std::int64_t{7});
  EXPECT_FALSE(Field.IsNull());
  DataSet.Next();
  EXPECT_TRUE(Field.IsNull());
  EXPECT_EQ(Field.AsInteger(), 0);
  EXPECT_FALSE(Field.AsBoolean());
}

TEST(FieldsDataSet, FindsFieldsByNameIgnoringCaseAndNumbersThemFromOne) {
  TOneRecordDataSet DataSet;
  DataSet.Add(FT::ftInteger, std::int64_t{1}, "codigo");
  DataSet.Add(FT::ftWideString, std::string("x"), "Produto");
  EXPECT_EQ(DataSet.FieldByName("PRODUTO").FieldNo(), 2);
  EXPECT_EQ(&DataSet.Fields(0), &DataSet.FieldByName("Codigo"));
  EXPECT_EQ(DataSet.FindFieldObject("preco"), nullptr);
  try {
    DataSet.FieldByName("preco");
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field not found: preco");
  }
  EXPECT_THROW(DataSet.Fields(2), TDBXError);
}

TEST(FieldsDataSet, TableReadersSeeEachFieldAsItsTableType) {
  TOneRecordDataSet DataSet;
  DataSet.Add(FT::ftWideString, std::string("Pão"));
  DataSet.Add(FT::ftInteger, std::int64_t{-7});
  DataSet.Add(FT::ftBoolean, std::int64_t{1});
  DataSet.Add(FT::ftCurrency, 12.5);
  DataSet.Add(FT::ftDate, std::string("2024-02-29"));
  DataSet.Add(FT::ftBlob, TFieldBytes{9, 8});
  DataSet.Add(FT::ftWideMemo, TFieldValue());
  DataSet.Add(FT::ftLargeint, std::int64_t{1} << 40);

  const std::int32_t Expected[] = {TDBXDataTypes::WideStringType, TDBXDataTypes::Int32Type,
                                   TDBXDataTypes::BooleanType,    TDBXDataTypes::CurrencyType,
                                   TDBXDataTypes::DateType,       TDBXDataTypes::BinaryBlobType,
                                   TDBXDataTypes::BlobType,       TDBXDataTypes::Int64Type};
  ASSERT_EQ(DataSet.FieldCount(), 8);
  for (std::int32_t i = 0; i < 8; ++i) EXPECT_EQ(DataSet.FieldDef(i).DataType(), Expected[i]) << i;
  EXPECT_EQ(DataSet.FieldDef(6).SubType(), TDBXSubDataTypes::WideMemoSubType);

  EXPECT_EQ(dynamic_cast<const TDBXWideStringValue&>(DataSet.FieldValue(0)).GetWideString(), u"Pão");
  EXPECT_EQ(dynamic_cast<const TDBXInt32Value&>(DataSet.FieldValue(1)).GetInt32(), -7);
  EXPECT_TRUE(dynamic_cast<const TDBXBooleanValue&>(DataSet.FieldValue(2)).GetBoolean());
  EXPECT_EQ(dynamic_cast<const TDBXBcdValue&>(DataSet.FieldValue(3)).GetBcd(), "12.5");
  EXPECT_EQ(dynamic_cast<const TDBXDateValue&>(DataSet.FieldValue(4)).GetDate(), EncodeDbxDate(2024, 2, 29));
  EXPECT_EQ(dynamic_cast<const TDBXStreamValue&>(DataSet.FieldValue(5)).GetStream()->Size(), 2);
  EXPECT_TRUE(DataSet.FieldValue(6).IsNull());
  EXPECT_EQ(dynamic_cast<const TDBXInt64Value&>(DataSet.FieldValue(7)).GetInt64(), std::int64_t{1} << 40);

  // The holders follow the record: without one, every value is null.
  DataSet.Next();
  EXPECT_TRUE(DataSet.FieldValue(1).IsNull());
}

TEST(FieldsDataSet, AValueOutsideItsTableTypeRaises) {
  TOneRecordDataSet DataSet;
  DataSet.Add(FT::ftSmallint, std::int64_t{40000});
  DataSet.Add(FT::ftCurrency, std::string("barato"));
  EXPECT_THROW(DataSet.FieldValue(0), EDatabaseError);
  EXPECT_THROW(DataSet.FieldValue(1), EDatabaseError);
}

}  // namespace
}  // namespace tavrin
