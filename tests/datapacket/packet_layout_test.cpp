// The bytes of our packet layout: the header, column descriptors, attribute values and
// value lengths, pinned against the worked example of docs/data-packet.md.

#include <gtest/gtest.h>

#include <algorithm>

#include "datapacket/column_descriptor.h"
#include "datapacket/base.h"
#include "datapacket/packet_fixtures.h"
#include "datapacket/packet_status.h"
#include "datapacket/type_word.h"
#include "dbxstream/row_hex_bytes.h"

namespace tavrin {
namespace {

using testing::Hex;
using testing::ToHex;

// docs/data-packet.md, "A worked example", part by part.
constexpr char kProductPacket[] =
    "54 56 50 4B 01 00 01 00 05 00 00 00 97 00 00 00 02 00 00 00"      // header
    "05 00"                                                            // 5 columns
    "07 70 72 6F 64 75 74 6F  04 00 01 00  04 00  00 00"              // produto
    "09 64 65 73 63 72 69 63 61 6F  01 00 49 00  00 00  01 00"        // descricao
    "  05 57 49 44 54 48  04 00 01 00  04 00 00 00  3C 00 00 00"      //   WIDTH 60
    "05 63 75 73 74 6F  08 00 04 00  00 00  01 00"                    // custo
    "  07 53 55 42 54 59 50 45  02 00 49 00  08 00 00 00  06 00 4D 6F 6E 65 79 00"
    "05 76 65 6E 64 61  08 00 04 00  00 00  01 00"                    // venda
    "  07 53 55 42 54 59 50 45  02 00 49 00  08 00 00 00  06 00 4D 6F 6E 65 79 00"
    "0A 71 75 61 6E 74 69 64 61 64 65  08 00 04 00  00 00  00 00"     // quantidade
    "00 00"                                                            // no dataset attributes
    "00  00 01 00 00 00  00 05 43 61 66 C3 A9"                         // row 1: 1, "Café"
    "  00 00 00 00 00 00 00 29 40  00 66 66 66 66 66 E6 32 40  00 00 00 00 00 00 00 44 40"
    "00  00 02 00 00 00  00 08 41 C3 A7 C3 BA 63 61 72"                // row 2: 2, "Açúcar"
    "  00 00 00 00 00 00 00 0A 40  00 F6 28 5C 8F C2 F5 13 40  00 00 00 00 00 00 00 5E 40";

TEST(PacketLayout, TwoRowProductPacketIsTheDocumentedBytes) {
  const auto Packet = testing::ProductPacket();
  EXPECT_EQ(ToHex(Packet), ToHex(Hex(kProductPacket)));
  const TDSBase Base(Packet);
  EXPECT_EQ(Base.RecordCount(), 2u);
  EXPECT_EQ(Base.DescriptorCount(), 5u);
}

TEST(PacketLayout, ColumnDescriptorRecord) {
  const auto Record = MakeColumnDescriptor("produto", MakeTypeWord(TPacketType::Integer, 4), TColumnBits::Required);
  EXPECT_EQ(ToHex(Record), ToHex(Hex("70 72 6F 64 75 74 6F 00 00 00 00 00 00 00 00 00"
                                     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                     "04 00 01 00  04 00")));

  struct Case { std::string Name; std::string Kept; };
  const Case Cases[] = {
      {std::string(31, 'a'), std::string(31, 'a')},
      {std::string(40, 'b'), std::string(31, 'b')},
      // "ç" takes bytes 31 and 32: cutting at 31 would split it, so it goes whole.
      {std::string(30, 'c') + "ção", std::string(30, 'c')},
  };
  for (const auto& c : Cases) {
    const auto Parts = ReadColumnDescriptor(MakeColumnDescriptor(c.Name, 0x00010004, 0));
    EXPECT_EQ(Parts.Name, c.Kept) << c.Name;
    EXPECT_EQ(Parts.TypeWord, 0x00010004u);
  }
  TColumnDescriptorRecord NoTerminator;
  NoTerminator.fill('x');
  EXPECT_EQ(ReadColumnDescriptor(NoTerminator).Name, "");
}

TEST(PacketLayout, AttributeValueForms) {
  struct Case { TAttributeValue Value; std::uint32_t TypeWord; std::string Bytes; };
  const std::int32_t Order[] = {1, 0x4002};
  const Case Cases[] = {
      {TextAttribute("Money"), 0x00490002, "06 00 4D 6F 6E 65 79 00"},
      {TextAttribute(""), 0x00490002, "01 00 00"},
      {Int32Attribute(-2), 0x00010004, "FE FF FF FF"},
      {BooleanAttribute(true), 0x00030002, "FF FF"},
      {BooleanAttribute(false), 0x00030002, "00 00"},
      {Int32ArrayAttribute(Order), 0x00810004, "02 00 00 00  01 00 00 00  02 40 00 00"},
  };
  for (const auto& c : Cases) {
    EXPECT_EQ(c.Value.TypeWord, c.TypeWord) << c.Bytes;
    EXPECT_EQ(ToHex(c.Value.Bytes), ToHex(Hex(c.Bytes)));
    EXPECT_EQ(CheckAttributeValue(c.Value.TypeWord, c.Value.Bytes), TDSStatus::Ok) << c.Bytes;
  }
  EXPECT_EQ(AttributeText({"SUBTYPE", Cases[0].TypeWord, Cases[0].Value.Bytes}), "Money");
  EXPECT_EQ(AttributeInteger({"WIDTH", Cases[2].TypeWord, Cases[2].Value.Bytes}), -2);
  EXPECT_EQ(AttributeBoolean({"READONLY", Cases[3].TypeWord, Cases[3].Value.Bytes}), true);
  EXPECT_EQ(AttributeIntegers({"DEFAULT_ORDER", Cases[5].TypeWord, Cases[5].Value.Bytes}),
            (std::vector<std::int64_t>{1, 0x4002}));
  // A reader of one kind does not read another.
  EXPECT_EQ(AttributeInteger({"SUBTYPE", Cases[0].TypeWord, Cases[0].Value.Bytes}), std::nullopt);
  EXPECT_THROW(TextAttribute(std::string(0xFFFF, 'a')), std::length_error);
}

TEST(PacketLayout, AttributeValuesMustMatchTheirTypeWord) {
  struct Case { std::uint32_t TypeWord; std::string Bytes; std::uint16_t Status; };
  const Case Cases[] = {
      {0x00490002, "06 00 4D 6F 6E 65 79", TDSStatus::BadAttributeValue},     // prefix claims one more
      {0x00490002, "05 00 4D 6F 6E 65 79", TDSStatus::BadAttributeValue},     // no terminating NUL
      {0x00490002, "00 00", TDSStatus::BadAttributeValue},                    // text without even the NUL
      {0x00490003, "01 00 00 00", TDSStatus::BadAttributeType},               // prefix width 3
      {0x004B0004, "05 00 00 00 01 02 03 04 05", TDSStatus::Ok},              // a 32-bit prefix
      {0x00810004, "02 00 00 00 01 00 00 00", TDSStatus::BadAttributeValue},  // two counted, one there
      {0x00810004, "FF FF FF FF", TDSStatus::BadAttributeValue},
      {0x00010004, "01 00", TDSStatus::BadAttributeValue},
      {0x80010004, "01 00 00 00", TDSStatus::Ok},                             // carried into deltas
      {0x01010004, "01 00 00 00", TDSStatus::BadAttributeType},               // a column's flag
      {0x000F0004, "01 00 00 00", TDSStatus::BadAttributeType},               // no such base type
  };
  for (const auto& c : Cases) EXPECT_EQ(CheckAttributeValue(c.TypeWord, Hex(c.Bytes)), c.Status) << c.Bytes;
}

TEST(PacketLayout, ColumnTypeWords) {
  namespace W = TTypeWord;
  namespace T = TPacketType;
  const std::uint32_t Valid[] = {
      MakeTypeWord(T::Integer, 1), MakeTypeWord(T::Integer, 8), MakeTypeWord(T::Unsigned, 4),
      MakeTypeWord(T::Boolean, 2), MakeTypeWord(T::Float, 8), MakeTypeWord(T::Bcd, 18),
      MakeTypeWord(T::Date, 4), MakeTypeWord(T::DateTime, 8), MakeTypeWord(T::TimeStamp, 16),
      MakeTypeWord(T::TimeStampOffset, 20), MakeTypeWord(T::Single, 4), MakeTypeWord(T::Bytes, 16),
      MakeTypeWord(T::Text, 1, W::Varying), MakeTypeWord(T::WideText, 2, W::Varying),
      MakeTypeWord(T::Bytes, 4, W::Varying), MakeTypeWord(T::Object, 2, W::Composite),
      MakeTypeWord(T::ArrayOf, 3, W::Composite | W::Array),
      MakeTypeWord(T::Table, 4, W::Composite | W::EmbeddedTable), MakeTypeWord(T::Table, 4, W::Composite),
  };
  for (const auto Word : Valid) EXPECT_EQ(CheckColumnType(Word), TDSStatus::Ok) << std::hex << Word;
  const std::uint32_t Invalid[] = {
      MakeTypeWord(T::Integer, 3), MakeTypeWord(T::Float, 10), MakeTypeWord(T::Date, 8),
      MakeTypeWord(T::Integer, 4, W::Varying), MakeTypeWord(T::Text, 3, W::Varying),
      MakeTypeWord(T::Object, 0, W::Composite), MakeTypeWord(T::Object, 2),
      MakeTypeWord(T::ArrayOf, 3, W::Composite), MakeTypeWord(T::Integer, 4, W::Array),
      MakeTypeWord(T::Text, 4, W::Composite | W::Varying), MakeTypeWord(15, 4),
      MakeTypeWord(T::Integer, 4, W::InDelta), MakeTypeWord(T::Integer, 4, 0x08000000),
  };
  for (const auto Word : Invalid) EXPECT_EQ(CheckColumnType(Word), TDSStatus::BadColumnType) << std::hex << Word;
}

// A varying value's length is 7 bits to a byte, least significant first.
TEST(PacketLayout, VaryingLengthTakesOneByteBelow128) {
  struct Case { std::size_t Length; std::string Prefix; };
  const Case Cases[] = {{0, "00 00"}, {127, "00 7F"}, {128, "00 80 01"}, {300, "00 AC 02"}, {70000, "00 F0 A2 04"}};
  // A blob column and a text column (whose values the writer appends by a shorter way).
  for (const std::uint32_t TypeWord : {testing::kBlob, testing::kShortText}) {
    for (const auto& c : Cases) {
      TDSWriter Writer;
      Writer.Check(Writer.BeginPacket(1, 1));
      testing::PutColumn(Writer, "t", TypeWord);
      const auto Before = testing::Take(Writer).size();
      testing::PutRow(Writer);
      testing::Put(Writer, std::vector<std::uint8_t>(c.Length, 0x41));
      const auto Packet = testing::Take(Writer);
      ASSERT_EQ(Packet.size(), Before + 1 + Hex(c.Prefix).size() + c.Length);
      const std::span<const std::uint8_t> Row(Packet.data() + Before + 1, Hex(c.Prefix).size());
      EXPECT_EQ(ToHex(Row), ToHex(Hex(c.Prefix))) << c.Length;
      EXPECT_EQ(std::count(Packet.end() - static_cast<std::ptrdiff_t>(c.Length), Packet.end(), 0x41),
                static_cast<std::ptrdiff_t>(c.Length));
    }
  }
}

}  // namespace
}  // namespace tavrin
