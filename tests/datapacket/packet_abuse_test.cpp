// Packets from a client that are cut short or corrupt: each is refused with a TDBXError
// naming the fault and its byte, before anything is read out of bounds or reserved for
// a size the bytes cannot back.

#include <gtest/gtest.h>

#include <functional>

#include "datapacket/base.h"
#include "datapacket/packet_fixtures.h"
#include "vocabulary/dbx_error.h"

namespace tavrin {
namespace {

using namespace testing;
using TBytes = std::vector<std::uint8_t>;

// A table column "t" holding one integer column "q", with one nested row.
TBytes NestedPacket() {
  TDSWriter Writer;
  Writer.Check(Writer.BeginPacket(1, 2));
  PutColumn(Writer, "t", MakeTypeWord(T::Table, 1, TTypeWord::Composite | TTypeWord::EmbeddedTable));
  PutColumn(Writer, "q", kInt32);
  CloseNested(Writer);
  PutRow(Writer);
  const std::uint8_t RowsFollow[] = {0xFF, 0xFF, 0xFF, 0xFF};
  Put(Writer, RowsFollow);
  PutRow(Writer);
  Put(Writer, IntegerValue(9, 4));
  Writer.Check(Writer.EndNestedRows());
  return Take(Writer);
}

// Objects inside objects, Depth of them, around one integer column.
TBytes DeepPacket(int Depth) {
  TBytes Packet = {'T', 'V', 'P', 'K', 1, 0, 1, 0};
  AppendLE(Packet, static_cast<std::uint32_t>(Depth + 1), 4);
  const std::size_t LengthAt = Packet.size();
  AppendLE(Packet, 0, 4);
  AppendLE(Packet, 0, 4);  // no rows
  AppendLE(Packet, 1, 2);
  for (int i = 0; i <= Depth; ++i) {
    Packet.insert(Packet.end(), {1, 'o'});
    AppendLE(Packet, i < Depth ? MakeTypeWord(T::Object, 1, TTypeWord::Composite) : kInt32, 4);
    AppendLE(Packet, 0, 2);
    AppendLE(Packet, 0, 2);
  }
  AppendLE(Packet, 0, 2);
  StoreLE(Packet.data() + LengthAt, Packet.size() - 20, 4);
  return Packet;
}

void ExpectRefused(const TBytes& Packet, const std::string& Message, const std::string& Context) {
  try {
    TDSBase Base(Packet);
    ADD_FAILURE() << Context << ": accepted, expected " << Message;
  } catch (const TDBXError& e) {
    EXPECT_EQ(e.ErrorCode(), TDBXErrorCodes::InvalidInput) << Context;
    EXPECT_EQ(std::string(e.what()), "Data packet refused at byte " + Message) << Context;
  }
}

TEST(PacketAbuse, EveryCutShortPacketIsRefused) {
  for (const TBytes& Whole : {ProductPacket(), NestedPacket()}) {
    for (std::size_t Size = 0; Size < Whole.size(); ++Size) {
      const TBytes Cut(Whole.begin(), Whole.begin() + static_cast<std::ptrdiff_t>(Size));
      EXPECT_THROW(TDSBase{Cut}, TDBXError) << "cut to " << Size << " bytes";
    }
    EXPECT_NO_THROW(TDSBase{Whole});
  }
}

TEST(PacketAbuse, CorruptPacketsAreRefusedWithTheirFault) {
  using TChange = std::function<void(TBytes&)>;
  const auto Set = [](std::size_t At, TBytes Bytes) -> TChange {
    return [=](TBytes& p) { std::copy(Bytes.begin(), Bytes.end(), p.begin() + static_cast<std::ptrdiff_t>(At)); };
  };
  const auto Insert = [](std::size_t At, TBytes Bytes) -> TChange {
    return [=](TBytes& p) { p.insert(p.begin() + static_cast<std::ptrdiff_t>(At), Bytes.begin(), Bytes.end()); };
  };
  struct Case { const char* What; std::function<TBytes()> Make; TChange Change; std::string Message; };
  // Offsets into the product packet (packet_layout_test.cpp): produto's descriptor at 22,
  // WIDTH's at 56, the rows from 171, the second row at 211.
  const std::function<TBytes()> Product = [] { return ProductPacket(); };
  const Case Cases[] = {
      {"magic", Product, Set(0, {'X'}), "0: not a data packet"},
      {"layout", Product, Set(4, {2}), "4: unsupported layout version 2"},
      {"reserved", Product, Set(5, {1}), "5: reserved header byte is not 0"},
      {"version", Product, Set(6, {2}), "6: Packet version must be 1 or 3"},
      {"descriptors", Product, Set(8, {6}), "8: the header's descriptor count does not match the columns"},
      {"no descriptors", Product, Set(8, {0}), "8: Column descriptor count must be between 1 and 65535"},
      {"huge metadata", Product, Set(12, {0xFF, 0xFF, 0xFF, 0xFF}),
       "12: Column descriptors and attributes take more than 4 MiB"},
      {"metadata short", Product, Set(12, {0x96}), "169: the packet ends inside a value or record"},
      {"metadata long", Product, Set(12, {0x98}), "171: the metadata section does not end where the header says"},
      {"huge row count", Product, Set(16, {0xFF, 0xFF, 0xFF, 0xFF}), "171: the row count does not match the rows"},
      {"a row missing", Product, Set(16, {3}), "254: the row count does not match the rows"},
      {"a row too many", Product, Set(16, {1}), "211: bytes after the last row"},
      {"column name empty", Product, Set(22, {0}), "22: a column name must take 1 to 31 bytes"},
      {"column name long", Product, Set(22, {32}), "22: a column name must take 1 to 31 bytes"},
      {"column type", Product, Set(30, {3}), "30: Column type word is not valid"},
      {"column bits", Product, Set(34, {8}), "34: Column attribute bits other than hidden, read-only and required"},
      {"attribute type", Product, Set(62, {2}), "62: Attribute value does not match its type word"},
      {"attribute length", Product, Set(66, {0xFF, 0xFF, 0xFF, 0x7F}), "66: Value too long"},
      {"row status", Product, Set(171, {9}),
       "171: Row status must be one byte: 0 unmodified, 1 modified, 2 inserted or 3 deleted"},
      {"modified first", Product, Set(171, {1}), "171: A modified row must directly follow its original, unmodified row"},
      {"unchanged", Product, Set(172, {2}), "172: An unchanged value is allowed only in a modified row"},
      {"integer on demand", Product, Set(172, {3}), "172: only blobs and nested tables can be left on demand"},
      {"marker", Product, Set(172, {7}), "172: unknown value marker"},
      {"text past the end", Product, Set(178, {0x80}), "180: the packet ends inside a value or record"},
      {"length in two forms", Product, [&](TBytes& p) { p[178] = 0x85; Insert(179, {0x00})(p); },
       "178: malformed value length"},
      {"length above 64 MiB", Product, Insert(178, {0xFF, 0xFF, 0xFF, 0xFF}), "178: value longer than 64 MiB"},
      {"nested bytes left over", NestedPacket, Set(50, {0}), "58: nested rows do not end where their length says"},
      {"nested row missing", NestedPacket, Set(50, {2}), "64: the row count does not match the rows"},
      {"nested too deep", [] { return DeepPacket(17); }, {}, "192: Columns nest more than 16 levels deep"},
  };
  for (const auto& c : Cases) {
    TBytes Packet = c.Make();
    if (c.Change) c.Change(Packet);
    ExpectRefused(Packet, c.Message, c.What);
  }
  EXPECT_NO_THROW(TDSBase{DeepPacket(16)});
}

}  // namespace
}  // namespace tavrin
