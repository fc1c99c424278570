// The packet writer over a dataset: the column descriptor and attributes of each field
// type, the bytes of descriptors and attribute values, every field type our engine
// produces written and read back, the XML form whole, record limits, and the refusals.

#include "provider/data_packet_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "datapacket/base.h"
#include "datapacket/column_descriptor.h"
#include "datapacket/cursor.h"
#include "datapacket/packet_values.h"
#include "provider/memory_data_set.h"
#include "support/error_of.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

using namespace testing;
using FT = TFieldType;
namespace G = TGetRecordOption;
using Texts = std::vector<std::string>;

std::string HexWord(std::uint32_t Word) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%08X", static_cast<unsigned>(Word));
  return Text;
}

// "NAME/TYPEWORD=value", the value in its readable form.
std::string AttributeLine(const TPacketAttribute& Attribute) {
  std::string Value;
  if (const auto Text = AttributeText(Attribute)) Value = *Text;
  else if (const auto List = AttributeIntegers(Attribute)) {
    for (std::size_t i = 0; i < List->size(); ++i) Value += (i > 0 ? "," : "") + std::to_string((*List)[i]);
  } else if (const auto Whole = AttributeInteger(Attribute)) Value = std::to_string(*Whole);
  else if (const auto Flag = AttributeBoolean(Attribute)) Value = *Flag ? "true" : "false";
  else if (const auto Number = AttributeFloat(Attribute)) Value = ValueText(MakeTypeWord(TPacketType::Float, 8), std::vector<std::uint8_t>(Attribute.Value)).value_or("?");
  else if (const auto Money = AttributeCurrency(Attribute)) Value = std::to_string(*Money);
  return Attribute.Name + "/" + HexWord(Attribute.TypeWord) + "=" + Value;
}

Texts AttributeLines(const std::vector<TPacketAttribute>& Attributes) {
  Texts Lines;
  for (const auto& Attribute : Attributes) Lines.push_back(AttributeLine(Attribute));
  return Lines;
}

std::vector<std::uint8_t> PacketBytes(const TDSVariant& Packet) { return std::get<std::vector<std::uint8_t>>(Packet.Value); }

// Writes a packet of DataSet (opened first) with at most Limit rows.
TDSVariant Write(TDataPacketWriter& Writer, TFieldsDataSet& DataSet, std::int32_t& Limit,
                 const IProviderSupport& Support = IProviderSupport()) {
  DataSet.Open();
  return Writer.MakeDataPacket(DataSet, Support, Limit);
}

TEST(PacketWriterColumns, EachFieldTypeGetsItsTypeWordBitsAndAttributes) {
  const auto With = [](TFieldDefinition Definition, auto Change) {
    Change(Definition);
    return Definition;
  };
  const std::string LongName = "descri\u00e7\u00e3o_completa_do_produto_vendido";  // 40 UTF-8 bytes
  const struct {
    TFieldDefinition Field;
    const char* TypeWord;
    std::uint16_t Bits;
    Texts Attributes;
  } Cases[] = {
      {With(FieldOf("codigo", FT::ftInteger), [](auto& F) { F.Required = true; F.Origin = "tabest1.codigo"; }),
       "00010004", 4, {"ORIGIN/80490002=tabest1.codigo"}},
      {FieldOf("produto", FT::ftWideString, 60), "004A0001", 0, {"WIDTH/00010004=120"}},
      {FieldOf(LongName, FT::ftWideString, 255), "004A0002", 0, {"FIELDNAME/80490002=" + LongName, "WIDTH/00010004=510"}},
      {FieldOf("s254", FT::ftString, 254), "00490001", 0, {"WIDTH/00010004=254"}},
      {FieldOf("s255", FT::ftFixedChar, 255), "00490002", 0, {"WIDTH/00010004=255", "SUBTYPE/00490002=FixedChar"}},
      {FieldOf("sigla", FT::ftFixedWideChar, 2), "004A0001", 0, {"WIDTH/00010004=4", "SUBTYPE/00490002=FixedChar"}},
      {FieldOf("chave", FT::ftGuid, 38), "00490001", 0, {"WIDTH/00010004=38", "SUBTYPE/00490002=Guid"}},
      {FieldOf("precocusto", FT::ftCurrency), "00040008", 0, {"SUBTYPE/00490002=Money"}},
      {FieldOf("quantidade", FT::ftFloat), "00040008", 0, {}},
      {FieldOf("nota", FT::ftFMTBcd, 2, 10), "00120008", 0, {"WIDTH/00010004=10", "DECIMALS/00010004=2"}},
      {FieldOf("impreciso", FT::ftBCD, 0, 0), "00050012", 0, {"WIDTH/00010004=32"}},
      {FieldOf("treze", FT::ftFMTBcd, 0, 13), "00120009", 0, {"WIDTH/00010004=13"}},
      {FieldOf("obs", FT::ftWideMemo), "004B0004", 0, {"SUBTYPE/00490002=WideText"}},
      {FieldOf("texto", FT::ftMemo, 100), "004B0004", 0, {"WIDTH/00010004=100", "SUBTYPE/00490002=Text"}},
      {With(FieldOf("foto", FT::ftBlob), [](auto& F) { F.ReadOnly = true; }), "004B0004", 2, {"SUBTYPE/00490002=Binary"}},
      {FieldOf("hash", FT::ftVarBytes, 300), "004B0002", 0, {"WIDTH/00010004=300", "SUBTYPE/00490002=Binary"}},
      {FieldOf("fixo", FT::ftBytes, 16), "000B0010", 0, {}},
      {With(FieldOf("ativo", FT::ftBoolean), [](auto& F) { F.ProviderFlags = 7; }), "00030002", 0,
       {"PROVFLAGS/80010004=7"}},
      {With(FieldOf("oculto", FT::ftSmallint), [](auto& F) { F.ProviderFlags = TProviderFlag::pfHidden; }),
       "00010002", 3, {"PROVFLAGS/80010004=8"}},
      {With(FieldOf("calc", FT::ftLargeint), [](auto& F) { F.FieldKind = TFieldKind::fkCalculated; }), "00010008", 2,
       {"SERVER_CALC/80030002=true"}},
      {With(FieldOf("numero", FT::ftAutoInc), [](auto& F) { F.Required = true; }), "00010004", 0,
       {"SUBTYPE/00490002=Autoinc"}},
      {FieldOf("pequeno", FT::ftShortint), "00010001", 0, {}},
      {FieldOf("octeto", FT::ftByte), "00020001", 0, {}},
      {FieldOf("palavra", FT::ftWord), "00020002", 0, {}},
      {FieldOf("longa", FT::ftLongWord), "00020004", 0, {}},
      {FieldOf("simples", FT::ftSingle), "001B0004", 0, {}},
      {FieldOf("dia", FT::ftDate), "00060004", 0, {}},
      {FieldOf("hora", FT::ftTime), "00070004", 0, {}},
      {FieldOf("quando", FT::ftDateTime), "00080008", 0, {}},
      {FieldOf("marca", FT::ftTimeStamp), "00110010", 0, {}},
      {With(FieldOf("faixa", FT::ftInteger), [](auto& F) { F.MinValue = 1; F.MaxValue = 99; }), "00010004", 0,
       {"MINVALUE/00010004=1", "MAXVALUE/00010004=99"}},
      {With(FieldOf("teto", FT::ftCurrency), [](auto& F) { F.MaxValue = 1000.5; }), "00040008", 0,
       {"MINVALUE/00040008=0", "MAXVALUE/00040008=1000.5", "SUBTYPE/00490002=Money"}},
      {With(FieldOf("limite", FT::ftFMTBcd, 2, 8), [](auto& F) { F.MinValue = -2.5; }), "00120006", 0,
       {"WIDTH/00010004=8", "DECIMALS/00010004=2", "MINVALUE/00050008=-25000", "MAXVALUE/00050008=0"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Field.Name);
    TMemoryDataSet DataSet({Case.Field}, {});
    TDataPacketWriter Writer;
    Writer.SetPacketOptions(G::grMetaData);
    std::int32_t Limit = 0;
    const TDSBase Base(PacketBytes(Write(Writer, DataSet, Limit)));
    ASSERT_EQ(Base.Level().Columns.size(), 1u);
    const TPacketColumn& Column = Base.Level().Columns[0];
    EXPECT_EQ(HexWord(Column.TypeWord), Case.TypeWord);
    EXPECT_EQ(Column.AttributeBits, Case.Bits);
    EXPECT_EQ(AttributeLines(Column.Attributes), Case.Attributes);
    EXPECT_EQ(Column.FieldName(), Case.Field.Name);
    EXPECT_TRUE(Base.Level().Attributes.empty());
  }
}

TEST(PacketWriterColumns, DescriptorRecordsHoldTheCutNameTheTypeWordAndTheBits) {
  TFieldDefinition Code = FieldOf("codigo", FT::ftInteger);
  Code.Required = true;
  TMemoryDataSet DataSet({Code, FieldOf(std::string(40, 'n'), FT::ftWideString, 60)}, {});
  TDataPacketWriter Writer;
  std::int32_t Limit = 0;
  Writer.SetPacketOptions(G::grMetaData);
  Write(Writer, DataSet, Limit);
  const auto Record = [&](std::size_t i) {
    const TPutFieldInfo& Info = Writer.PutFieldInfo()[i];
    const TColumnDescriptorRecord Bytes = MakeColumnDescriptor(Info.FieldName, Info.TypeWord, ColumnBits(*Info.Field));
    return HexText(Bytes);
  };
  // The name NUL-filled to 32 bytes, the type word, the bits (required).
  EXPECT_EQ(Record(0), "636F6469676F" + std::string(52, '0') + "04000100" + "0400");
  // A 40-byte name cut to 31 bytes and its NUL.
  std::string Cut;
  for (int i = 0; i < 31; ++i) Cut += "6E";
  EXPECT_EQ(Record(1), Cut + "00" + "01004A00" + "0000");
}

TEST(PacketWriterAttributes, EachVariantKindHasItsTypeWordAndBytes) {
  const struct {
    TDSVariant Value;
    bool InDelta;
    const char* TypeWord;
    const char* Bytes;
  } Cases[] = {
      {std::int16_t{-2}, false, "00010002", "FEFF"},
      {std::int32_t{7}, true, "80010004", "07000000"},
      {std::uint8_t{200}, false, "00010001", "C8"},
      {1.5f, false, "00040004", "0000C03F"},
      {-2.0, false, "00040008", "00000000000000C0"},
      {TDSDateTime{2.5}, false, "00040008", "0000000000000440"},
      {TDSCurrency{-12345}, false, "00050008", "C7CFFFFFFFFFFFFF"},
      {true, false, "00030002", "FFFF"},
      {false, true, "80030002", "0000"},
      {std::u16string(u"Money"), false, "00490002", "06004D6F6E657900"},
      {std::u16string(u"\u00e7"), false, "00490002", "0300C3A700"},
      {TDSVariant::Array(TVarType::varInteger, {std::int32_t{1}, std::int32_t{-1}}), false, "00820004",
       "0200000001000000FFFFFFFF"},
      {TDSVariant::Array(TVarType::varSmallint, {std::int16_t{3}}), false, "00820002", "010000000300"},
      {std::vector<std::uint8_t>{9, 8}, false, "00820001", "020000000908"},
      {TDSVariant::Array(TVarType::varDouble, {0.5}), false, "008B0008", "01000000000000000000E03F"},
      {TDSVariant::Array(TVarType::varBoolean, {true, false}), true, "808B0002", "02000000FFFF0000"},
      {TDSVariant::Array(TVarType::varCurrency, {}), false, "008B0008", "00000000"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Bytes);
    const TAttributeValue Encoded = EncodeAttribute(Case.Value, Case.InDelta);
    EXPECT_EQ(HexWord(Encoded.TypeWord), Case.TypeWord);
    EXPECT_EQ(HexText(Encoded.Bytes), Case.Bytes);
  }
  // The longest text the value buffer holds, and one byte more.
  EXPECT_EQ(EncodeAttribute(std::u16string(8189, u'a'), false).Bytes.size(), 8192u);
  TVariantArray Grid;
  Grid.ElementType = TVarType::varInteger;
  Grid.Bounds = {{0, 0}, {0, 0}};
  Grid.Elements = {std::int32_t{1}};
  const TDSVariant Refused[] = {TDSVariant(),
                                TDSVariant::Null(),
                                std::u16string(8190, u'a'),
                                std::uint16_t{1},
                                TVariantError{1},
                                TDSVariant(Grid),
                                TDSVariant::Array(TVarType::varOleStr, {std::u16string(u"x")}),
                                TDSVariant::Array(TVarType::varVariant, {std::int32_t{1}})};
  for (const TDSVariant& Value : Refused) {
    SCOPED_TRACE(Value.VarType());
    try {
      EncodeAttribute(Value, false);
      ADD_FAILURE() << "accepted";
    } catch (const EDSWriter& Error) {
      EXPECT_STREQ(Error.what(), "Value cannot be stored in an optional parameter");
      EXPECT_EQ(Error.ErrorCode(), 0);
    }
  }
}

// One column per field type the engine produces, each with a value, then all null, then
// the empty forms (an empty blob goes as null, empty text stays a value).
TEST(PacketWriterRows, EveryEngineFieldTypeReadsBackAsWritten) {
  const std::vector<TFieldDefinition> Fields = {
      FieldOf("ativo", FT::ftBoolean),       FieldOf("pequeno", FT::ftShortint),
      FieldOf("medio", FT::ftSmallint),      FieldOf("codigo", FT::ftInteger),
      FieldOf("numero", FT::ftAutoInc),      FieldOf("grande", FT::ftLargeint),
      FieldOf("quantidade", FT::ftFloat),    FieldOf("preco", FT::ftCurrency),
      FieldOf("nota", FT::ftFMTBcd, 2, 10),  FieldOf("produto", FT::ftWideString, 60),
      FieldOf("uf", FT::ftFixedWideChar, 2), FieldOf("obs", FT::ftWideMemo),
      FieldOf("foto", FT::ftBlob),           FieldOf("hash", FT::ftVarBytes, 10),
      FieldOf("dia", FT::ftDate),            FieldOf("hora", FT::ftTime),
      FieldOf("quando", FT::ftDateTime),     FieldOf("marca", FT::ftTimeStamp),
      FieldOf("chave", FT::ftGuid, 38),
  };
  const std::string Description = "A\u00e7\u00facar \u2013 caf\u00e9 \u65e5\u672c \U0001F600";
  // The values as the engine holds them: numbers, text (dates too) and bytes.
  std::vector<std::vector<TFieldValue>> Rows = {
      {std::int64_t{1}, std::int64_t{-5}, std::int64_t{-32768}, std::int64_t{2147483647}, std::int64_t{7},
       std::int64_t{-9007199254740993}, 0.1, 12.34, 1234.5, Description, std::string("SP"),
       std::string("linha 1\nlinha \u00e7"), TFieldBytes{0, 1, 2, 255}, TFieldBytes{9, 8}, std::string("2024-02-29"),
       std::string("13:45:07.250"), std::string("2024-02-29 13:45:07.250"), std::string("1969-12-31T23:59:59"),
       std::string("{0F8FAD5B-D9CB-469F-A165-70867728950E}")},
      std::vector<TFieldValue>(Fields.size()),
  };
  Rows.push_back(Rows[1]);
  Rows[2][9] = std::string();   // empty text
  Rows[2][12] = TFieldBytes{};  // empty blob
  TMemoryDataSet DataSet(Fields, Rows);
  TDataPacketWriter Writer;
  std::int32_t Limit = -1;
  const TDSBase Base(PacketBytes(Write(Writer, DataSet, Limit)));
  EXPECT_EQ(Limit, 3);
  ASSERT_EQ(Base.RecordCount(), 3u);
  TDSCursor Cursor(Base);
  const auto Shown = [&](std::size_t i) {
    const TPacketValue& Value = Cursor.Value(i);
    if (Value.State == TValueState::Null) return std::string("null");
    const std::uint32_t Word = Base.Level().Columns[i].TypeWord;
    return ValueText(Word, Value.Data).value_or(HexText(Value.Data));
  };
  const Texts Expected = {"true",  "-5",   "-32768", "2147483647", "7",  "-9007199254740993",
                          "0.1",   "12.34", "1234.50", Description, "SP", HexText(WideTextValue("linha 1\nlinha \u00e7")),
                          "000102FF", "0908", "2024-02-29", "13:45:07.250", "2024-02-29T13:45:07.250",
                          "1969-12-31T23:59:59", "{0F8FAD5B-D9CB-469F-A165-70867728950E}"};
  for (std::size_t i = 0; i < Fields.size(); ++i) EXPECT_EQ(Shown(i), Expected[i]) << Fields[i].Name;
  Cursor.Next();
  for (std::size_t i = 0; i < Fields.size(); ++i) EXPECT_EQ(Shown(i), "null") << Fields[i].Name;
  Cursor.Next();
  EXPECT_EQ(Cursor.Value(9).State, TValueState::Value);
  EXPECT_TRUE(Cursor.Value(9).Data.empty());
  EXPECT_EQ(Cursor.Value(12).State, TValueState::Null);
}

TEST(PacketWriterRows, BlobsOnDemandStayOnTheServerWithTheirSize) {
  TMemoryDataSet DataSet({FieldOf("foto", FT::ftBlob)}, {{TFieldBytes(300, 7)}, {TFieldValue()}});
  TDataPacketWriter Writer;
  Writer.SetOptions(TProviderOption::poFetchBlobsOnDemand);
  std::int32_t Limit = -1;
  const TDSBase Base(PacketBytes(Write(Writer, DataSet, Limit)));
  EXPECT_EQ(Base.PacketVersion(), 3);
  TDSCursor Cursor(Base);
  EXPECT_EQ(Cursor.Value(0).State, TValueState::OnDemand);
  EXPECT_EQ(Cursor.Value(0).BlobSize, 300u);
  Cursor.Next();
  EXPECT_EQ(Cursor.Value(0).BlobSize, 0u);
}

// Two products in the XML form a client may ask for, whole.
TEST(PacketWriterRows, TheXmlFormOfASmallPacket) {
  TFieldDefinition Code = FieldOf("codigo", FT::ftInteger);
  Code.Required = true;
  TMemoryDataSet DataSet({Code, FieldOf("produto", FT::ftWideString, 20), FieldOf("precovenda", FT::ftCurrency)},
                         {{std::int64_t{1}, std::string("Caf\u00e9 & ch\u00e1"), 18.9},
                          {std::int64_t{2}, std::string("<A\u00e7\u00facar>"), TFieldValue()}});
  TDataPacketWriter Writer;
  std::int32_t Limit = -1;
  Write(Writer, DataSet, Limit);  // a binary packet first: the writer is kept for the next
  DataSet.First();
  Writer.SetPacketOptions(G::grXMLUTF8);
  Limit = -1;
  const std::vector<std::uint8_t> Xml = PacketBytes(Writer.MakeDataPacket(DataSet, IProviderSupport(), Limit));
  EXPECT_EQ(std::string(Xml.begin(), Xml.end()), R"(<?xml version="1.0" encoding="UTF-8"?>
<packet layout="1" version="1">
  <columns>
    <column name="codigo" type="integer" size="4" required="yes"/>
    <column name="produto" type="widetext" varying="yes">
      <attribute name="WIDTH" type="integer">40</attribute>
    </column>
    <column name="precovenda" type="float" size="8">
      <attribute name="SUBTYPE" type="text">Money</attribute>
    </column>
  </columns>
  <rows count="2">
    <row status="unmodified">
      <value column="codigo">1</value>
      <value column="produto">Café &amp; chá</value>
      <value column="precovenda">18.9</value>
    </row>
    <row status="unmodified">
      <value column="codigo">2</value>
      <value column="produto">&lt;Açúcar&gt;</value>
      <null column="precovenda"/>
    </row>
  </rows>
</packet>
)");
}

TEST(PacketWriterRows, ALimitStopsOnTheLastRowWrittenAndMetadataTakesNoRows) {
  std::vector<std::vector<TFieldValue>> Rows;
  for (std::int64_t i = 1; i <= 12; ++i) Rows.push_back({i});
  TMemoryDataSet DataSet({FieldOf("n", FT::ftInteger)}, Rows);
  TDataPacketWriter Writer;
  const auto Numbers = [](const TDSVariant& Packet) {
    const TDSBase Base(PacketBytes(Packet));
    Texts Values;
    for (TDSCursor Cursor(Base); !Cursor.Eof(); Cursor.Next()) {
      Values.push_back(*ValueText(Base.Level().Columns[0].TypeWord, Cursor.Value(0).Data));
    }
    return Values;
  };
  std::int32_t Limit = 5;
  EXPECT_EQ(Numbers(Write(Writer, DataSet, Limit)), (Texts{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(Limit, 5);
  EXPECT_EQ(DataSet.RecNo(), 5u);
  EXPECT_FALSE(DataSet.Eof());
  Limit = -1;
  EXPECT_EQ(Numbers(Writer.MakeDataPacket(DataSet, IProviderSupport(), Limit)),
            (Texts{"5", "6", "7", "8", "9", "10", "11", "12"}));
  EXPECT_EQ(Limit, 8);
  EXPECT_TRUE(DataSet.Eof());

  DataSet.First();
  Writer.SetPacketOptions(G::grMetaData);
  Limit = 0;
  const TDSVariant Meta = Writer.MakeDataPacket(DataSet, IProviderSupport(), Limit);
  EXPECT_EQ(Limit, 0);
  EXPECT_TRUE(Numbers(Meta).empty());
  EXPECT_EQ(TDSBase(PacketBytes(Meta)).Level().Columns.size(), 1u);
}

TEST(PacketWriterRows, TheColumnListFollowsTheDataSetsFieldObjects) {
  TMemoryDataSet First({FieldOf("n", FT::ftInteger)}, {{std::int64_t{1}}});
  TDataPacketWriter Writer;
  std::int32_t Limit = -1;
  Write(Writer, First, Limit);
  // Closed and opened again the dataset has new field objects: the entries follow them.
  First.Close();
  Limit = -1;
  const TDSBase Again(PacketBytes(Write(Writer, First, Limit)));
  EXPECT_EQ(Again.RecordCount(), 1u);
  EXPECT_EQ(Writer.PutFieldInfo()[0].Field, &First.Fields(0));
  // Other fields make a new list.
  TMemoryDataSet Second({FieldOf("a", FT::ftWideString, 5), FieldOf("b", FT::ftBoolean)},
                        {{std::string("x"), std::int64_t{0}}});
  Limit = -1;
  const TDSBase Other(PacketBytes(Write(Writer, Second, Limit)));
  ASSERT_EQ(Other.Level().Columns.size(), 2u);
  EXPECT_EQ(Other.Level().Columns[1].Name, "b");
}

TEST(PacketWriterRefusals, FieldsAndExpressionsThisServerCannotWrite) {
  const auto Refusal = [](const std::vector<TFieldDefinition>& Fields, bool Constraints) -> std::string {
    TMemoryDataSet DataSet(Fields, {});
    TDataPacketWriter Writer;
    Writer.SetConstraints(Constraints);
    std::int32_t Limit = -1;
    try {
      Write(Writer, DataSet, Limit);
    } catch (const EDSWriter& Error) {
      EXPECT_EQ(Error.ErrorCode(), 0);
      return Error.what();
    }
    return "written";
  };
  TFieldDefinition Checked = FieldOf("preco", FT::ftFloat);
  Checked.CustomConstraint = "preco > 0";
  TFieldDefinition Imported = FieldOf("preco", FT::ftFloat);
  Imported.ImportedConstraint = "preco < 10";
  TFieldDefinition Defaulted = FieldOf("qtd", FT::ftInteger);
  Defaulted.DefaultExpression = "1";
  EXPECT_EQ(Refusal({FieldOf("endereco", FT::ftADT)}, true),
            "Field 'endereco' is of type ftADT, which this server does not put into packets");
  EXPECT_EQ(Refusal({FieldOf("itens", FT::ftDataSet)}, true),
            "Field 'itens' is of type ftDataSet, which this server does not put into packets");
  EXPECT_EQ(Refusal({FieldOf("x", FT::ftExtended)}, true), "Field 'x' is of an unknown type");
  EXPECT_EQ(Refusal({FieldOf("v", FT::ftVariant)}, true), "Field 'v' is of an unknown type");
  EXPECT_EQ(Refusal({Checked}, true), "preco: Preparation of field constraint failed with error "
                                      "\"expressions are not compiled by this server: preco > 0\"");
  EXPECT_EQ(Refusal({Imported}, true), "preco: Preparation of field constraint failed with error "
                                       "\"expressions are not compiled by this server: preco < 10\"");
  EXPECT_EQ(Refusal({Defaulted}, true), "qtd: Preparation of default expression failed with error "
                                        "\"expressions are not compiled by this server: 1\"");
  // Without constraints the expressions are not looked at; constraints on with none there
  // (as for the product list) write nothing.
  EXPECT_EQ(Refusal({Checked, Defaulted}, false), "written");
  EXPECT_EQ(Refusal({FieldOf("preco", FT::ftFloat)}, true), "written");

  class TRecordRules : public IProviderSupport {
   public:
    std::vector<TRecordConstraint> RecordConstraints() const override { return {{"", "a < b", "a before b"}}; }
  } Rules;
  TMemoryDataSet DataSet({FieldOf("a", FT::ftInteger)}, {});
  TDataPacketWriter Writer;
  std::int32_t Limit = -1;
  try {
    Write(Writer, DataSet, Limit, Rules);
    ADD_FAILURE() << "written";
  } catch (const EDSWriter& Error) {
    EXPECT_STREQ(Error.what(),
                 "Preparation of record constraint failed with error \"expressions are not compiled by this server: "
                 "a < b\"");
  }
}

TEST(PacketWriterRefusals, ValuesThatDoNotFitTheirColumnRaiseTheDatasetsError) {
  const struct {
    TFieldDefinition Field;
    TFieldValue Value;
    const char* Message;
  } Cases[] = {
      {FieldOf("n", FT::ftSmallint), std::int64_t{70000}, "'70000' is out of range for field 'n'"},
      {FieldOf("b", FT::ftByte), std::int64_t{-1}, "'-1' is out of range for field 'b'"},
      {FieldOf("d", FT::ftFMTBcd, 2, 4), 123.456, "'123.46' is out of range for field 'd'"},
      {FieldOf("d", FT::ftFMTBcd, 2, 4), std::string("12,5"), "'12,5' is not a valid floating-point value for field 'd'"},
      {FieldOf("d", FT::ftFMTBcd, 2, 4), std::string("1e9"), "'1000000000.00' is out of range for field 'd'"},
      {FieldOf("q", FT::ftInteger), std::string("abc"), "'abc' is not a valid integer value for field 'q'"},
      {FieldOf("dia", FT::ftDate), std::string("29/02/2024"),
       "'29/02/2024' is not a valid date and time value for field 'dia'"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Message);
    TMemoryDataSet DataSet({Case.Field}, {{Case.Value}});
    TDataPacketWriter Writer;
    std::int32_t Limit = -1;
    EXPECT_EQ(ErrorOf([&] { Write(Writer, DataSet, Limit); }).Message(), Case.Message);
    // The next packet starts clean.
    DataSet.Close();
    TMemoryDataSet Good({Case.Field}, {{TFieldValue()}});
    Limit = -1;
    EXPECT_EQ(TDSBase(PacketBytes(Write(Writer, Good, Limit))).RecordCount(), 1u);
  }
}

// The provider options and what the dataset reports, as dataset attributes.
TEST(PacketWriterAttributes, DataSetAttributesFollowTheOptionsKeysAndIndexes) {
  class TIndexed : public IProviderSupport {
   public:
    std::string KeyFields() const override { return Keys; }
    std::vector<TIndexDefinition> Indexes() const override { return List; }
    std::string Keys;
    std::vector<TIndexDefinition> List;
  };
  TIndexDefinition ByName;
  ByName.Fields = {"produto"};
  ByName.CaseInsensitive = true;
  ByName.Descending = true;
  ByName.DefaultOrder = true;
  TIndexDefinition Unique;
  Unique.Fields = {"codigo", "PRODUTO", "sumido"};
  Unique.DescendingFields = {"produto"};
  Unique.Unique = true;
  const struct {
    const char* Name;
    TProviderOptions Options;
    std::string Keys;
    std::vector<TIndexDefinition> Indexes;
    Texts Attributes;
  } Cases[] = {
      {"defaults", TProviderOption::Default, "", {}, {}},
      {"flags",
       TProviderOption::poReadOnly | TProviderOption::poDisableEdits | TProviderOption::poDisableInserts |
           TProviderOption::poDisableDeletes | TProviderOption::poNoReset | TProviderOption::poCascadeDeletes |
           TProviderOption::poCascadeUpdates,
       "", {},
       {"READONLY/00030002=true", "DISABLE_EDITS/00030002=true", "DISABLE_INSERTS/00030002=true",
        "DISABLE_DELETES/00030002=true", "NO_RESET_CALL/00030002=true", "MD_SEMANTICS/80010004=3"}},
      // Key fields without an index: their column numbers in 16 bits.
      {"keys", TProviderOption::Default, "codigo;sumido", {}, {"PRIMARY_KEY/00820002=1,-1"}},
      {"indexes", TProviderOption::Default, "codigo;produto", {ByName, Unique},
       {"DEFAULT_ORDER/00820004=49154", "PRIMARY_KEY/00820004=1,32770,-1", "UNIQUE_KEY/00820004=1,32770,-1"}},
      {"server order", TProviderOption::poRetainServerOrder, "", {ByName}, {}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TIndexed Support;
    Support.Keys = Case.Keys;
    Support.List = Case.Indexes;
    TMemoryDataSet DataSet({FieldOf("codigo", FT::ftInteger), FieldOf("produto", FT::ftWideString, 60)}, {});
    TDataPacketWriter Writer;
    Writer.SetOptions(Case.Options);
    std::int32_t Limit = -1;
    const TDSBase Base(PacketBytes(Write(Writer, DataSet, Limit, Support)));
    EXPECT_EQ(AttributeLines(Base.Level().Attributes), Case.Attributes);
  }
  // Custom attributes come last, each as given.
  TMemoryDataSet DataSet({FieldOf("codigo", FT::ftInteger)}, {});
  TDataPacketWriter Writer;
  Writer.SetOnGetParams([](std::vector<TDataSetAttribute>& Attributes) {
    Attributes.push_back({"LOJA", std::u16string(u"Centro"), true});
    Attributes.push_back({"VERSAO", std::int16_t{2}, false});
  });
  std::int32_t Limit = -1;
  const TDSBase Base(PacketBytes(Write(Writer, DataSet, Limit)));
  EXPECT_EQ(AttributeLines(Base.Level().Attributes), (Texts{"LOJA/80490002=Centro", "VERSAO/00010002=2"}));
}

}  // namespace
}  // namespace tavrin
