// Writer to reader: every kind of value, deltas with their original rows, composite
// columns and nested tables, blobs left on the server, and pages after ResetRows.

#include <gtest/gtest.h>

#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/packet_fixtures.h"

namespace tavrin {
namespace {

using namespace testing;
namespace W = TTypeWord;

std::vector<std::uint8_t> Bytes(std::span<const std::uint8_t> Span) { return {Span.begin(), Span.end()}; }
std::vector<std::uint8_t> Bytes(std::string_view Text) { return {Text.begin(), Text.end()}; }

TEST(PacketRoundTrip, EveryKindOfValue) {
  struct Case {
    const char* Name;
    std::uint32_t TypeWord;
    std::vector<std::uint8_t> Value;
    std::optional<std::string> Text;  // ValueText
  };
  const Case Cases[] = {
      {"texto", kShortText, Bytes("Pão de queijo – ½ kg"), "Pão de queijo – ½ kg"},
      {"vazio", kShortText, {}, ""},
      {"largo", MakeTypeWord(T::WideText, 2, W::Varying), WideTextValue("Ação 😀"), "Ação 😀"},
      {"i8", MakeTypeWord(T::Integer, 1), Bytes(IntegerValue(-128, 1).Bytes()), "-128"},
      {"i16", MakeTypeWord(T::Integer, 2), Bytes(IntegerValue(-32768, 2).Bytes()), "-32768"},
      {"i32", kInt32, Bytes(IntegerValue(2147483647, 4).Bytes()), "2147483647"},
      {"i64", MakeTypeWord(T::Integer, 8), Bytes(IntegerValue(INT64_MIN, 8).Bytes()), "-9223372036854775808"},
      {"u8", MakeTypeWord(T::Unsigned, 1), Bytes(IntegerValue(255, 1).Bytes()), "255"},
      {"u32", MakeTypeWord(T::Unsigned, 4), Bytes(IntegerValue(4294967295, 4).Bytes()), "4294967295"},
      {"f64", kDouble, Bytes(FloatValue(0.1).Bytes()), "0.1"},
      {"f64big", kDouble, Bytes(FloatValue(-1e300).Bytes()), "-1e+300"},
      {"f32", MakeTypeWord(T::Single, 4), Bytes(SingleValue(1.5f).Bytes()), "1.5"},
      {"preco", kDouble, Bytes(FloatValue(19.99).Bytes()), "19.99"},
      {"bcd", MakeTypeWord(T::Bcd, 10), Bytes(BcdValue("-1234.5600", 10)->Bytes()), "-1234.5600"},
      {"fmtbcd", MakeTypeWord(T::FmtBcd, 18), Bytes(BcdValue("000.0001", 18)->Bytes()), "0.0001"},
      {"sim", MakeTypeWord(T::Boolean, 2), Bytes(BooleanValue(true).Bytes()), "true"},
      {"nao", MakeTypeWord(T::Boolean, 2), Bytes(BooleanValue(false).Bytes()), "false"},
      {"data", MakeTypeWord(T::Date, 4), Bytes(DateValue(2024, 2, 29).Bytes()), "2024-02-29"},
      {"antes", MakeTypeWord(T::Date, 4), Bytes(DateValue(1969, 12, 31).Bytes()), "1969-12-31"},
      {"hora", MakeTypeWord(T::Time, 4), Bytes(TimeValue(23, 59, 59, 999).Bytes()), "23:59:59.999"},
      {"momento", MakeTypeWord(T::DateTime, 8), Bytes(DateTimeValue({1899, 12, 30, 12, 0, 0, 250}).Bytes()),
       "1899-12-30T12:00:00.250"},
      {"carimbo", MakeTypeWord(T::TimeStamp, 16), Bytes(TimeStampValue({2026, 12, 9, 23, 37, 6, 999}).Bytes()),
       "2026-12-09T23:37:06.999"},
      {"fuso", MakeTypeWord(T::TimeStampOffset, 20),
       Bytes(TimeStampOffsetValue({2024, 1, 2, 3, 4, 5, 0}, -3, -30).Bytes()), "2024-01-02T03:04:05-03:30"},
      {"foto", kBlob, {0x00, 0xFF, 0x10}, std::nullopt},
      {"fixos", MakeTypeWord(T::Bytes, 3), {0xDE, 0xAD, 0x01}, std::nullopt},
  };
  TDSWriter Writer;
  Writer.Check(Writer.BeginPacket(1, static_cast<std::int32_t>(std::size(Cases))));
  for (const auto& c : Cases) PutColumn(Writer, c.Name, c.TypeWord);
  PutRow(Writer);
  for (const auto& c : Cases) Put(Writer, c.Value);
  PutRow(Writer);
  for (std::size_t i = 0; i < std::size(Cases); ++i) PutNull(Writer);

  const TDSBase Base(Take(Writer));
  ASSERT_EQ(Base.Level().Columns.size(), std::size(Cases));
  TDSCursor Cursor(Base);
  ASSERT_EQ(Cursor.RecordCount(), 2u);
  for (const auto& c : Cases) {
    const TPacketColumn* Column = Base.Level().FindColumn(c.Name);
    ASSERT_NE(Column, nullptr) << c.Name;
    EXPECT_EQ(Column->TypeWord, c.TypeWord) << c.Name;
    const TPacketValue& v = Cursor.Value(*Column);
    EXPECT_EQ(v.State, TValueState::Value) << c.Name;
    EXPECT_EQ(Bytes(v.Data), c.Value) << c.Name;
    EXPECT_EQ(ValueText(Column->TypeWord, v.Data), c.Text) << c.Name;
  }
  // The typed reads see the same values.
  EXPECT_EQ(ReadInteger(kInt32, Cursor.Value(*Base.Level().FindColumn("i32")).Data), 2147483647);
  EXPECT_EQ(ReadFloat(kDouble, Cursor.Value(*Base.Level().FindColumn("preco")).Data), 19.99);
  EXPECT_EQ(ReadCalendar(MakeTypeWord(T::Date, 4), Cursor.Value(*Base.Level().FindColumn("data")).Data),
            (TSQLTimeStamp{2024, 2, 29, 0, 0, 0, 0}));
  Cursor.Next();
  for (const auto& v : Cursor.Values()) EXPECT_EQ(v.State, TValueState::Null);
  Cursor.Next();
  EXPECT_TRUE(Cursor.Eof());
  EXPECT_THROW(Cursor.Status(), std::out_of_range);
}

// Wide text is read four plain ASCII units at a time: runs of every length around that
// step, with accents, astral characters and unpaired surrogates before, inside and after.
TEST(PacketRoundTrip, WideTextReadsBackAroundEveryAsciiRun) {
  const std::uint32_t Wide = MakeTypeWord(T::WideText, 2, W::Varying);
  for (std::size_t Run = 0; Run <= 9; ++Run) {
    const std::string Ascii = std::string("abcdefghi").substr(0, Run);
    for (const std::string& Text : {Ascii, "é" + Ascii, Ascii + "é", Ascii + "ção" + Ascii, "😀" + Ascii + "😀",
                                    Ascii + "\x7f€" + Ascii}) {
      EXPECT_EQ(ReadText(Wide, WideTextValue(Text)), Text) << Text;
    }
    // A lone surrogate anywhere refuses the whole text rather than changing it.
    for (const std::uint16_t Lone : {std::uint16_t{0xD800}, std::uint16_t{0xDC00}}) {
      std::vector<std::uint8_t> Units = WideTextValue(Ascii);
      for (const std::size_t At : {std::size_t{0}, Units.size() / 4 * 2, Units.size()}) {
        std::vector<std::uint8_t> Bad = Units;
        const std::uint8_t Unit[] = {static_cast<std::uint8_t>(Lone), static_cast<std::uint8_t>(Lone >> 8)};
        Bad.insert(Bad.begin() + static_cast<std::ptrdiff_t>(At), std::begin(Unit), std::end(Unit));
        EXPECT_EQ(ReadText(Wide, Bad), std::nullopt) << Run << " " << At;
      }
    }
  }
}

TEST(PacketRoundTrip, DeltaPairsEachModifiedRowWithItsOriginal) {
  TDSWriter Writer;
  BeginProductPacket(Writer);
  PutProduct(Writer, 1, "Café", 12.5, 18.9, 40);   // the original of the next row
  PutRow(Writer, TRowStatus::Modified);
  PutUnchanged(Writer);
  PutText(Writer, "Café especial");
  PutUnchanged(Writer);
  Put(Writer, FloatValue(21));
  PutNull(Writer);                                   // quantity set to null
  PutRow(Writer, TRowStatus::Inserted);
  Put(Writer, IntegerValue(3, 4));
  PutText(Writer, "Sal");
  Put(Writer, FloatValue(1));
  Put(Writer, FloatValue(2));
  PutNull(Writer);
  PutRow(Writer, TRowStatus::Deleted);
  Put(Writer, IntegerValue(2, 4));
  PutText(Writer, "Açúcar");
  Put(Writer, FloatValue(3.25));
  Put(Writer, FloatValue(4.99));
  Put(Writer, FloatValue(120));
  PutProduct(Writer, 4, "Óleo", 5, 7, 10);           // unmodified, no modified row after it

  const TDSBase Base(Take(Writer));
  const TPacketLevel& Level = Base.Level();
  const auto& Code = *Level.FindColumn("PRODUTO");
  const auto& Description = *Level.FindColumn("descricao");
  const auto& Quantity = *Level.FindColumn("quantidade");
  TDSCursor Cursor(Base);
  ASSERT_EQ(Cursor.RecordCount(), 5u);
  EXPECT_EQ(Cursor.Status(), TRowStatus::Unmodified);
  EXPECT_TRUE(Cursor.IsOriginal());

  Cursor.Next();
  EXPECT_EQ(Cursor.Status(), TRowStatus::Modified);
  EXPECT_FALSE(Cursor.IsOriginal());
  EXPECT_EQ(Cursor.Value(Code).State, TValueState::Unchanged);
  EXPECT_EQ(ReadInteger(Code.TypeWord, Cursor.OldValue(Code).Data), 1);
  EXPECT_EQ(ReadText(Description.TypeWord, Cursor.Value(Description).Data), "Café especial");
  EXPECT_EQ(ReadText(Description.TypeWord, Cursor.OldValue(Description).Data), "Café");
  EXPECT_EQ(Cursor.Value(Quantity).State, TValueState::Null);
  EXPECT_EQ(ReadFloat(Quantity.TypeWord, Cursor.OldValue(Quantity).Data), 40);

  Cursor.Next();
  EXPECT_EQ(Cursor.Status(), TRowStatus::Inserted);
  EXPECT_EQ(ReadText(Description.TypeWord, Cursor.Value(Description).Data), "Sal");
  Cursor.Next();
  EXPECT_EQ(Cursor.Status(), TRowStatus::Deleted);
  EXPECT_EQ(ReadText(Description.TypeWord, Cursor.OldValue(Description).Data), "Açúcar");
  Cursor.Next();
  EXPECT_FALSE(Cursor.IsOriginal());
  Cursor.MoveTo(2);  // back to the modified row: its original comes along again
  EXPECT_EQ(ReadText(Description.TypeWord, Cursor.OldValue(Description).Data), "Café");
}

// id, endereco {rua, numero}, telefones [2 x text], itens (table: sku, qtd).
void BeginCompositePacket(TDSWriter& Writer) {
  Writer.Check(Writer.BeginPacket(1, 9));
  PutColumn(Writer, "id", kInt32);
  PutColumn(Writer, "endereco", MakeTypeWord(T::Object, 2, W::Composite));
  PutColumn(Writer, "rua", kShortText);
  PutColumn(Writer, "numero", kInt32);
  PutAttribute(Writer, TAttributeArea::Column, "MINVALUE", Int32Attribute(1));
  PutColumn(Writer, "telefones", MakeTypeWord(T::ArrayOf, 2, W::Composite | W::Array));
  PutColumn(Writer, "telefone", kShortText);
  PutColumn(Writer, "itens", MakeTypeWord(T::Table, 2, W::Composite | W::EmbeddedTable));
  PutColumn(Writer, "sku", kShortText);
  PutColumn(Writer, "qtd", kInt32);
  PutAttribute(Writer, TAttributeArea::DataSet, "LCID", Int32Attribute(1046));
  CloseNested(Writer);
  PutAttribute(Writer, TAttributeArea::DataSet, "MD_SEMANTICS", Int32Attribute(3), true);
}

TEST(PacketRoundTrip, ObjectsArraysAndNestedTables) {
  TDSWriter Writer;
  BeginCompositePacket(Writer);
  const std::uint8_t RowsFollow[] = {0xFF, 0xFF, 0xFF, 0xFF};
  const std::uint8_t OnDemand[] = {0x00, 0x00, 0x00, 0x80};
  PutRow(Writer);
  Put(Writer, IntegerValue(7, 4));
  Writer.Check(Writer.PutValue(TPutValue::Value, 0, nullptr));  // endereco
  PutText(Writer, "Rua A");
  Put(Writer, IntegerValue(10, 4));
  Writer.Check(Writer.PutValue(TPutValue::Value, 0, nullptr));  // telefones
  PutText(Writer, "111");
  PutText(Writer, "222");
  Put(Writer, RowsFollow);
  for (const int Quantity : {5, 6}) {
    PutRow(Writer);
    PutText(Writer, "SKU" + std::to_string(Quantity));
    Put(Writer, IntegerValue(Quantity, 4));
  }
  Writer.Check(Writer.EndNestedRows());
  PutRow(Writer);
  Put(Writer, IntegerValue(8, 4));
  for (int i = 0; i < 6; ++i) PutNull(Writer);  // endereco and members, telefones and elements
  Put(Writer, OnDemand);

  const TDSBase Base(Take(Writer));
  const TPacketLevel& Level = Base.Level();
  EXPECT_EQ(Base.DescriptorCount(), 9u);
  ASSERT_EQ(Level.Columns.size(), 4u);
  ASSERT_EQ(Level.Slots.size(), 8u);  // id, endereco, rua, numero, telefones, 2 x telefone, itens
  const TPacketColumn& Address = Level.Columns[1];
  const TPacketColumn& Phones = Level.Columns[2];
  const TPacketColumn& Items = Level.Columns[3];
  EXPECT_EQ(AttributeInteger(*Address.Children[1].FindAttribute("MINVALUE")), 1);
  EXPECT_EQ(AttributeInteger(*Items.Nested->FindAttribute("LCID")), 1046);
  EXPECT_TRUE(Level.FindAttribute("MD_SEMANTICS")->InDelta());

  TDSCursor Cursor(Base);
  EXPECT_EQ(ReadText(kShortText, Cursor.Value(Address.Children[0]).Data), "Rua A");
  EXPECT_EQ(ReadText(kShortText, Cursor.Value(Phones.Children[0].Slot + 1).Data), "222");
  TDSCursor Nested = Cursor.Nested(Items, Cursor.Value(Items));
  ASSERT_EQ(Nested.RecordCount(), 2u);
  Nested.Next();
  EXPECT_EQ(ReadText(kShortText, Nested.Value(Items.Nested->Columns[0]).Data), "SKU6");
  EXPECT_EQ(ReadInteger(kInt32, Nested.Value(Items.Nested->Columns[1]).Data), 6);

  Cursor.Next();
  EXPECT_EQ(Cursor.Value(Address).State, TValueState::Null);
  EXPECT_EQ(Cursor.Value(Items).State, TValueState::OnDemand);
  EXPECT_EQ(Cursor.Nested(Items, Cursor.Value(Items)).RecordCount(), 0u);
  EXPECT_THROW(Cursor.Nested(Address, Cursor.Value(Address)), std::invalid_argument);
}

TEST(PacketRoundTrip, BlobLeftOnTheServerKeepsItsSize) {
  TDSWriter Writer;
  Writer.Check(Writer.BeginPacket(3, 1));
  PutColumn(Writer, "foto", kBlob);
  PutRow(Writer);
  const auto Size = IntegerValue(5000, 4);
  Writer.Check(Writer.PutValue(TPutValue::Value, TPutValue::BlobOnDemandLength, Size.Data()));
  const TDSBase Base(Take(Writer));
  EXPECT_EQ(Base.PacketVersion(), 3);
  const TDSCursor Cursor(Base);
  EXPECT_EQ(Cursor.Value(0).State, TValueState::OnDemand);
  EXPECT_EQ(Cursor.Value(0).BlobSize, 5000u);
}

// As the provider pages: the metadata once, then each page after ResetRows.
TEST(PacketRoundTrip, PagesKeepTheMetadataAfterResetRows) {
  TDSWriter Writer;
  BeginProductPacket(Writer);
  const auto MetadataOnly = Take(Writer);
  EXPECT_EQ(TDSBase(MetadataOnly).RecordCount(), 0u);

  Writer.Check(Writer.ResetRows());
  PutProduct(Writer, 1, "Café", 12.5, 18.9, 40);
  PutProduct(Writer, 2, "Açúcar", 3.25, 4.99, 120);
  const auto FirstPage = Take(Writer);
  EXPECT_EQ(FirstPage, ProductPacket());
  EXPECT_EQ(Take(Writer), FirstPage);  // taking does not consume

  Writer.Check(Writer.ResetRows());
  PutProduct(Writer, 3, "Sal", 1, 2, 3);
  const TDSBase Second(Take(Writer));
  TDSCursor Cursor(Second);
  ASSERT_EQ(Cursor.RecordCount(), 1u);
  EXPECT_EQ(ReadInteger(kInt32, Cursor.Value(0).Data), 3);
}

TEST(PacketRoundTrip, LongColumnNameTravelsWholeInFieldName) {
  const std::string Long = "quantidade_minima_de_reposicao_do_estoque";  // 41 bytes
  TDSWriter Writer;
  Writer.Check(Writer.BeginPacket(1, 1));
  PutColumn(Writer, Long, kDouble);
  PutAttribute(Writer, TAttributeArea::Column, "FIELDNAME", TextAttribute(Long), true);
  const TDSBase Base(Take(Writer));
  const TPacketColumn& Column = Base.Level().Columns[0];
  EXPECT_EQ(Column.Name, Long.substr(0, 31));
  EXPECT_EQ(Column.FieldName(), Long);
  EXPECT_EQ(Base.Level().FindColumn("QUANTIDADE_MINIMA_DE_REPOSICAO_DO_ESTOQUE"), &Column);
}

}  // namespace
}  // namespace tavrin
