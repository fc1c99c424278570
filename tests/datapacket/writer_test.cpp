// The writer's statuses: calls out of order or with bad arguments are refused with
// their status and change nothing; the texts and EDSWriter that callers see.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

#include "datapacket/base.h"
#include "datapacket/packet_fixtures.h"
#include "datapacket/packet_status.h"

namespace tavrin {
namespace {

using namespace testing;
namespace S = TDSStatus;
namespace W = TTypeWord;

std::uint16_t Descriptor(TDSWriter& w, std::string_view Name, std::uint32_t TypeWord, std::uint16_t Bits = 0) {
  return w.PutColumnDescriptor(MakeColumnDescriptor(Name, TypeWord, Bits));
}

std::uint16_t Attribute(TDSWriter& w, std::int32_t Area, std::optional<std::string_view> Name,
                        const TAttributeValue& Value) {
  return w.PutAttribute(Area, Name, Value.TypeWord, static_cast<std::uint32_t>(Value.Bytes.size()),
                        Value.Bytes.data());
}

std::uint16_t RowStatus(TDSWriter& w, std::uint8_t Status) { return w.PutValue(TPutValue::Value, 1, &Status); }

// One integer column, metadata complete.
void OneColumn(TDSWriter& w) {
  w.Check(w.BeginPacket(1, 1));
  PutColumn(w, "n", kInt32);
}

// A table column "t" with one integer column "q", not yet closed.
void OpenTable(TDSWriter& w, std::int32_t Descriptors) {
  w.Check(w.BeginPacket(1, Descriptors));
  PutColumn(w, "t", MakeTypeWord(T::Table, 1, W::Composite));
  PutColumn(w, "q", kInt32);
}

TEST(DSWriter, CallsOutOfOrderOrOutOfShapeAreRefused) {
  const std::uint8_t RowsFollow[] = {0xFF, 0xFF, 0xFF, 0xFF};
  const std::uint8_t Three[] = {1, 2, 3};
  struct Case { const char* What; std::function<std::uint16_t(TDSWriter&)> Steps; std::uint16_t Status; };
  const Case Cases[] = {
      {"value before a packet", [](TDSWriter& w) { return w.PutValue(0, 0, nullptr); }, S::NoPacket},
      {"take before a packet", [](TDSWriter& w) { std::vector<std::uint8_t> p; return w.TakePacket(p); }, S::NoPacket},
      {"version 2", [](TDSWriter& w) { return w.BeginPacket(2, 1); }, S::BadPacketVersion},
      {"no descriptors", [](TDSWriter& w) { return w.BeginPacket(1, 0); }, S::BadDescriptorCount},
      {"65536 descriptors", [](TDSWriter& w) { return w.BeginPacket(1, 65536); }, S::BadDescriptorCount},
      {"name without NUL", [](TDSWriter& w) {
         w.Check(w.BeginPacket(1, 1));
         TColumnDescriptorRecord r = MakeColumnDescriptor("", kInt32, 0);
         std::memset(r.data(), 'a', 32);
         return w.PutColumnDescriptor(r);
       }, S::BadColumnName},
      {"empty name", [](TDSWriter& w) { w.Check(w.BeginPacket(1, 1)); return Descriptor(w, "", kInt32); }, S::BadColumnName},
      {"type", [](TDSWriter& w) { w.Check(w.BeginPacket(1, 1)); return Descriptor(w, "n", MakeTypeWord(T::Integer, 3)); },
       S::BadColumnType},
      {"bits", [](TDSWriter& w) { w.Check(w.BeginPacket(1, 1)); return Descriptor(w, "n", kInt32, 8); }, S::BadColumnBits},
      {"one descriptor too many", [](TDSWriter& w) { OneColumn(w); return Descriptor(w, "m", kInt32); },
       S::TooManyDescriptors},
      {"object claims more than remain", [](TDSWriter& w) {
         w.Check(w.BeginPacket(1, 3));
         return Descriptor(w, "o", MakeTypeWord(T::Object, 3, W::Composite));
       }, S::TooManyDescriptors},
      {"value before the columns", [](TDSWriter& w) { w.Check(w.BeginPacket(1, 2)); PutColumn(w, "n", kInt32);
         return RowStatus(w, 0); }, S::DescriptorsMissing},
      {"object without its members", [](TDSWriter& w) {
         w.Check(w.BeginPacket(1, 3));
         PutColumn(w, "o", MakeTypeWord(T::Object, 2, W::Composite));
         PutColumn(w, "a", kInt32);
         return RowStatus(w, 0);
       }, S::ChildrenMissing},
      {"rows of an unclosed table", [](TDSWriter& w) { OpenTable(w, 2); return RowStatus(w, 0); }, S::NestedNotClosed},
      {"column after a full table", [](TDSWriter& w) { OpenTable(w, 3); return Descriptor(w, "n", kInt32); },
       S::NestedNotClosed},
      {"closing the top level", [](TDSWriter& w) {
         OneColumn(w);
         return w.PutAttribute(TAttributeArea::DataSet, std::nullopt, 0, 0, nullptr);
       }, S::NoNestedToClose},
      {"closing a table early", [](TDSWriter& w) {
         w.Check(w.BeginPacket(1, 3));
         PutColumn(w, "t", MakeTypeWord(T::Table, 2, W::Composite));
         PutColumn(w, "q", kInt32);
         return w.PutAttribute(TAttributeArea::DataSet, std::nullopt, 0, 0, nullptr);
       }, S::DescriptorsMissing},
      {"17 levels deep", [](TDSWriter& w) {
         w.Check(w.BeginPacket(1, 18));
         for (int i = 0; i < 16; ++i) PutColumn(w, "o", MakeTypeWord(T::Object, 1, W::Composite));
         return Descriptor(w, "o", MakeTypeWord(T::Object, 1, W::Composite));
       }, S::NestedTooDeep},
      {"area 2", [](TDSWriter& w) { OneColumn(w); return Attribute(w, 2, "X", Int32Attribute(1)); }, S::BadAttributeArea},
      {"column attribute first", [](TDSWriter& w) { w.Check(w.BeginPacket(1, 1));
         return Attribute(w, TAttributeArea::Column, "X", Int32Attribute(1)); }, S::AttributeBeforeColumn},
      {"attribute name empty", [](TDSWriter& w) { OneColumn(w); return Attribute(w, 0, "", Int32Attribute(1)); },
       S::BadAttributeName},
      {"attribute name 256 bytes", [](TDSWriter& w) {
         OneColumn(w);
         return Attribute(w, 0, std::string(256, 'A'), Int32Attribute(1));
       }, S::BadAttributeName},
      {"attribute value", [](TDSWriter& w) { OneColumn(w); return w.PutAttribute(0, "X", kInt32, 2, "ab"); },
       S::BadAttributeValue},
      {"attribute without bytes", [](TDSWriter& w) { OneColumn(w); return w.PutAttribute(0, "X", kInt32, 4, nullptr); },
       S::InvalidArgument},
      {"attribute above 64 KiB", [](TDSWriter& w) {
         OneColumn(w);
         const std::vector<std::uint8_t> Big(65537);
         return w.PutAttribute(0, "X", MakeTypeWord(T::Bytes, 65537 & 0xFFFF), 65537, Big.data());
       }, S::ValueTooLong},
      {"row status 4", [](TDSWriter& w) { OneColumn(w); return RowStatus(w, 4); }, S::BadRowStatus},
      {"null row status", [](TDSWriter& w) { OneColumn(w); return w.PutValue(TPutValue::Null, 0, nullptr); },
       S::BadRowStatus},
      {"modified first", [](TDSWriter& w) { OneColumn(w); return RowStatus(w, 1); }, S::ModifiedWithoutOriginal},
      {"modified after inserted", [](TDSWriter& w) {
         OneColumn(w);
         PutRow(w, TRowStatus::Inserted);
         Put(w, IntegerValue(1, 4));
         return RowStatus(w, 1);
       }, S::ModifiedWithoutOriginal},
      {"unchanged in an inserted row", [](TDSWriter& w) { OneColumn(w); PutRow(w, TRowStatus::Inserted);
         return w.PutValue(TPutValue::Unchanged, 0, nullptr); }, S::UnchangedOutsideModified},
      {"value status 3", [](TDSWriter& w) { OneColumn(w); PutRow(w); return w.PutValue(3, 0, nullptr); },
       S::BadValueStatus},
      {"integer of 3 bytes", [&](TDSWriter& w) { OneColumn(w); PutRow(w); return w.PutValue(0, 3, Three); },
       S::BadValueSize},
      {"value without bytes", [](TDSWriter& w) { OneColumn(w); PutRow(w); return w.PutValue(0, 4, nullptr); },
       S::InvalidArgument},
      {"text on demand", [&](TDSWriter& w) {
         w.Check(w.BeginPacket(1, 1));
         PutColumn(w, "t", kShortText);
         PutRow(w);
         return w.PutValue(0, TPutValue::BlobOnDemandLength, Three);
       }, S::ValueTooLong},
      {"table value", [&](TDSWriter& w) {
         OpenTable(w, 2);
         CloseNested(w);
         PutRow(w);
         return w.PutValue(0, 3, Three);
       }, S::BadTableValue},
      {"end of nested rows outside them", [](TDSWriter& w) { OneColumn(w); return w.EndNestedRows(); }, S::NoNestedRows},
      {"end of nested rows mid-row", [&](TDSWriter& w) {
         OpenTable(w, 2);
         CloseNested(w);
         PutRow(w);
         Put(w, RowsFollow);
         PutRow(w);
         return w.EndNestedRows();
       }, S::RowIncomplete},
      {"take with nested rows open", [&](TDSWriter& w) {
         OpenTable(w, 2);
         CloseNested(w);
         PutRow(w);
         Put(w, RowsFollow);
         std::vector<std::uint8_t> p;
         return w.TakePacket(p);
       }, S::RowIncomplete},
      {"take mid-row", [](TDSWriter& w) { OneColumn(w); PutRow(w); std::vector<std::uint8_t> p; return w.TakePacket(p); },
       S::RowIncomplete},
      {"output mode 4", [](TDSWriter& w) { return w.SetOutputMode(4); }, S::BadOutputMode},
  };
  for (const auto& c : Cases) {
    TDSWriter Writer;
    EXPECT_EQ(c.Steps(Writer), c.Status) << c.What;
  }
}

// A refused call leaves the packet as it was: going on right gives the same bytes.
TEST(DSWriter, RefusedCallsChangeNothing) {
  TDSWriter Writer;
  Writer.Check(Writer.BeginPacket(1, 5));
  EXPECT_EQ(Descriptor(Writer, "produto", MakeTypeWord(T::Integer, 3)), S::BadColumnType);
  EXPECT_EQ(Attribute(Writer, TAttributeArea::Column, "WIDTH", Int32Attribute(60)), S::AttributeBeforeColumn);
  Writer.Check(Descriptor(Writer, "produto", kInt32, TColumnBits::Required));
  PutColumn(Writer, "descricao", kShortText);
  PutAttribute(Writer, TAttributeArea::Column, "WIDTH", Int32Attribute(60));
  EXPECT_EQ(Writer.PutAttribute(0, "WIDTH", kInt32, 2, "ab"), S::BadAttributeValue);
  PutColumn(Writer, "custo", kDouble);
  PutAttribute(Writer, TAttributeArea::Column, "SUBTYPE", TextAttribute("Money"));
  PutColumn(Writer, "venda", kDouble);
  PutAttribute(Writer, TAttributeArea::Column, "SUBTYPE", TextAttribute("Money"));
  PutColumn(Writer, "quantidade", kDouble);
  EXPECT_EQ(RowStatus(Writer, 1), S::ModifiedWithoutOriginal);
  PutRow(Writer);
  Put(Writer, IntegerValue(1, 4));
  PutText(Writer, "Café");
  EXPECT_EQ(Writer.PutValue(0, 4, FloatValue(12.5).Data()), S::BadValueSize);
  EXPECT_EQ(Writer.PutValue(TPutValue::Unchanged, 0, nullptr), S::UnchangedOutsideModified);
  Put(Writer, FloatValue(12.5));
  Put(Writer, FloatValue(18.9));
  Put(Writer, FloatValue(40));
  PutProduct(Writer, 2, "Açúcar", 3.25, 4.99, 120);
  EXPECT_EQ(Take(Writer), ProductPacket());
}

// Taking a packet while dropping its rows gives the packet TakePacket gives, in each
// output mode, large or not, with a dataset attribute put after the rows began or not;
// the writer keeps its columns and no rows.
TEST(DSWriter, TakingAndDroppingTheRowsGivesTheSamePacket) {
  for (const std::int32_t Mode : {TOutputMode::Binary, TOutputMode::XmlUtf8}) {
    for (const std::int32_t Rows : {2, 20000}) {
      for (const bool LateAttribute : {false, true}) {
        SCOPED_TRACE(std::to_string(Mode) + " " + std::to_string(Rows) + " " + std::to_string(LateAttribute));
        TDSWriter Writer, NoRows;
        for (TDSWriter* Each : {&Writer, &NoRows}) {
          Each->Check(Each->SetOutputMode(Mode));
          BeginProductPacket(*Each);
        }
        for (std::int32_t i = 0; i < Rows; ++i) PutProduct(Writer, i, "Caf\u00e9", 1, 2, 3);
        if (LateAttribute) {
          for (TDSWriter* Each : {&Writer, &NoRows}) {
            PutAttribute(*Each, TAttributeArea::DataSet, "LATE", Int32Attribute(7));
          }
        }
        const std::vector<std::uint8_t> Expected = Take(Writer);
        std::vector<std::uint8_t> Taken;
        Writer.Check(Writer.TakePacketAndResetRows(Taken));
        EXPECT_EQ(Taken, Expected);
        EXPECT_EQ(Take(Writer), Take(NoRows));
      }
    }
  }
  TDSWriter Unbegun;
  std::vector<std::uint8_t> None;
  EXPECT_EQ(Unbegun.TakePacketAndResetRows(None), S::NoPacket);
}

TEST(DSWriter, StatusTextsAndEDSWriter) {
  TDSWriter Writer;
  char Buffer[kStatusTextBufferSize];
  EXPECT_EQ(Writer.GetStatusText(S::BadValueSize, Buffer), S::Ok);
  EXPECT_STREQ(Buffer, "Value size does not match its column");
  char Small[6];
  EXPECT_EQ(Writer.GetStatusText(S::BadValueSize, Small), S::Ok);
  EXPECT_STREQ(Small, "Value");
  EXPECT_EQ(Writer.GetStatusText(S::BadValueSize, std::span<char>()), S::InvalidArgument);
  EXPECT_EQ(DSStatusText(999), "Unknown data packet status 999");

  // Every status up to the last has a text of its own, plain ASCII.
  std::set<std::string> Texts;
  for (std::uint16_t s = 0; s <= S::MetadataTooLarge; ++s) {
    const std::string Text = DSStatusText(s);
    EXPECT_EQ(Text.find("Unknown"), std::string::npos) << s;
    for (const char c : Text) EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << s;
    EXPECT_TRUE(Texts.insert(Text).second) << s;
  }

  EXPECT_NO_THROW(Writer.Check(S::Ok));
  try {
    Writer.Check(Writer.BeginPacket(2, 1));
    ADD_FAILURE() << "no EDSWriter";
  } catch (const EDSWriter& e) {
    EXPECT_EQ(e.ErrorCode(), S::BadPacketVersion);
    EXPECT_STREQ(e.what(), "Packet version must be 1 or 3");
  }
}

}  // namespace
}  // namespace tavrin
