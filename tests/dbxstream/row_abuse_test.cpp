// Bad row bytes from a peer: every case raises a TDBXError naming the fault, reads
// nothing outside the block, allocates nothing for a size it was told, and leaves the
// buffer usable for the next request.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <functional>

#include "dbxstream/context.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/json_table_reader.h"
#include "dbxstream/memory_channel.h"
#include "dbxstream/row_buffer.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"
#include "row_hex_bytes.h"
#include "support/error_of.h"

// The largest single allocation made while the watch is on: every plain new of this test
// program comes through here (array and nothrow forms end here too).
namespace {
std::atomic<bool> AllocationWatchOn{false};
std::atomic<std::size_t> LargestWatchedAllocation{0};
}  // namespace

void* operator new(std::size_t Size) {
  if (AllocationWatchOn.load()) {
    std::size_t Seen = LargestWatchedAllocation.load();
    while (Size > Seen && !LargestWatchedAllocation.compare_exchange_weak(Seen, Size)) {
    }
  }
  if (void* Memory = std::malloc(Size == 0 ? 1 : Size)) return Memory;
  throw std::bad_alloc();
}
// Kept out of line: inlined next to a new-expression, the compiler would take the free
// for a mismatch with the operator new it sees.
[[gnu::noinline]] void operator delete(void* Memory) noexcept { std::free(Memory); }
[[gnu::noinline]] void operator delete(void* Memory, std::size_t) noexcept { std::free(Memory); }

namespace tavrin {
namespace {

using testing::Hex;
using testing::LoadRowBlock;
using TRead = std::function<void(TDBXRowBuffer&)>;


void ExpectError(const std::function<void()>& Call, std::int32_t Code,
                 const std::string& Message, const std::string& Context) {
  try {
    Call();
    ADD_FAILURE() << "no error for " << Context << ", expected: " << Message;
  } catch (const TDBXError& e) {
    EXPECT_EQ(e.ErrorCode(), Code) << Context;
    EXPECT_EQ(std::string(e.what()), Message) << Context;
  }
}

// The buffer still serves after a fault: emptied, written and read again.
void ExpectUsable(TDBXRowBuffer& Buffer) {
  Buffer.Cancel();
  Buffer.WriteString(u"ok");
  Buffer.ReadSize(Buffer.Offset());
  EXPECT_EQ(Buffer.ReadString(), u"ok");
}

TEST(RowAbuse, ValueClaimingMoreBytesThanRemainIsRefused) {
  const TRead Skip = [](auto& b) { b.SkipValue(); };
  const TRead Int = [](auto& b) { b.ReadInt32(); };
  const TRead Text = [](auto& b) { b.ReadString(); };
  const TRead Bytes = [](auto& b) { b.ReadBytes(); };
  const TRead Json = [](auto& b) { b.ReadJSONText(); };
  const TRead Stamp = [](auto& b) { b.ReadTimestamp(); };
  struct Case { std::string Bytes; TRead Read; std::int32_t Offset; };
  const Case Cases[] = {
      {"", Int, 0},                         // nothing at all
      {"61", Int, 0},
      {"61 01  64 00 00", Int, 2},          // the fault is named where it starts
      {"10 00 05 41", Text, 0},
      {"50 FF FF 41", Text, 0},
      {"10 00", Skip, 0},                   // the count itself is cut
      {"40 7F FF FF FF 7B", Json, 0},
      {"40 FF FF FF FF", Skip, 0},          // a count above 2^31 is no negative length
      {"0C 00 00 00 01", Skip, 0},          // the tag is missing
      {"0C 00 00 00 01 7F", Skip, 0},       // the tag claims 31 bytes
      {"08 00 00", Bytes, 0},
      {"00 41 00 00", Text, 0},             // no three-byte terminator
      {"27 62 03 E8 00", Stamp, 0},
  };
  for (const auto& c : Cases) {
    TDBXRowBuffer Buffer;
    LoadRowBlock(Buffer, Hex(c.Bytes));
    if (c.Offset > 0) Buffer.SkipValue();
    ExpectError([&] { c.Read(Buffer); }, 2,
                "Truncated value at offset " + std::to_string(c.Offset), c.Bytes);
    ExpectUsable(Buffer);
  }
}

TEST(RowAbuse, HeaderOfNoKnownFormStopsNavigation) {
  for (int Header : {0x01, 0x03, 0x04, 0x05, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F}) {
    const auto h = static_cast<std::uint8_t>(Header);
    TDBXRowBuffer Buffer;
    Buffer.SetColumnCount(2);
    LoadRowBlock(Buffer, {0x61, 0x01, h, 0x00, 0x00, 0x00, 0x00, 0x00});
    const std::string Context = "header " + std::to_string(h);
    ExpectError([&] { Buffer.NextRow(); }, 0, "Unexpected header", Context);
    ExpectError([&] { Buffer.GoToField(1); Buffer.ReadString(); }, 0, "Unexpected header", Context);
    ExpectUsable(Buffer);
  }
}

TEST(RowAbuse, MalformedFixedSizeValuesAreRefused) {
  struct Case { std::string Bytes; TRead Read; std::string Message; };
  const Case Cases[] = {
      {"69 01 02 03 04 05 06 07 08 09", [](auto& b) { b.ReadInt64(); },
       "Integer value too long at offset 0"},
      {"65 01 02 03 04 05", [](auto& b) { b.ReadSingle(); }, "Single value too long at offset 0"},
      {"69 01 02 03 04 05 06 07 08 09", [](auto& b) { b.ReadDouble(); },
       "Double value too long at offset 0"},
      {"22 65 00", [](auto& b) { b.ReadTimestamp(); }, "Malformed timestamp at offset 0"},
      {"23 C0 00 00", [](auto& b) { b.ReadTimestamp(); }, "Malformed timestamp at offset 0"},
      {"25 60 3B 9A CA 00", [](auto& b) { b.ReadTimestamp(); },  // 10^9 ns is no fraction
       "Malformed timestamp at offset 0"},
  };
  for (const auto& c : Cases) {
    TDBXRowBuffer Buffer;
    LoadRowBlock(Buffer, Hex(c.Bytes));
    ExpectError([&] { c.Read(Buffer); }, 2, c.Message, c.Bytes);
  }
}

TEST(RowAbuse, NavigationOutsideTheRowIsRefused) {
  TDBXRowBuffer Buffer;
  LoadRowBlock(Buffer, Hex("61 01 61 02"));
  // Without a column count no row could ever end.
  ExpectError([&] { Buffer.NextRow(); }, 2, "Row navigation without a column count", "no columns");
  Buffer.SetColumnCount(2);
  ExpectError([&] { Buffer.GoToField(2); }, 2, "Field ordinal 2 out of range", "past the row");
  ExpectError([&] { Buffer.GoToField(-1); }, 2, "Field ordinal -1 out of range", "negative");
  ExpectError([&] { Buffer.ReadSize(5); }, 2, "Invalid read size 5", "beyond the buffer");
  // A row cut short raises instead of reading on.
  Buffer.SetColumnCount(3);
  ExpectError([&] { Buffer.NextRow(); }, 2, "Truncated value at offset 4", "short row");
}

struct TWire {
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader{Channel, Context, 64};
  TDBXJSonStreamWriter Writer{Channel, 256};
};

TEST(RowAbuse, RowBlockSizeIsCheckedBeforeAnyAllocation) {
  for (const std::string Count : {"-1", "67108865", "2147483647"}) {
    TWire w;
    w.Channel.Feed(Count + ",");
    TDBXRowBuffer Buffer;
    Buffer.SetStreams(&w.Reader, &w.Writer);
    ExpectError([&] { Buffer.ReadDataBytes(); }, 2, "Invalid row block size " + Count, Count);
    EXPECT_EQ(Buffer.BufLength(), 0) << Count;
  }
}

// A block is held as its bytes arrive: one that is announced at the cap and never sent
// costs one growth step, and one sent whole spans several steps intact.
TEST(RowAbuse, BlockMemoryFollowsTheBytesThatArrived) {
  using TLoad = std::function<void(TDBXJSonStreamReader&, TDBXRowBuffer&)>;
  const TLoad RowBlock = [](auto&, auto& b) { b.ReadDataBytes(); };
  const TLoad TableBlock = [](auto& r, auto& b) { ReadRowBlock(r, b); };
  struct Case { const char* Name; std::string Prefix; TLoad Load; };
  const Case Cases[] = {{"row block", "", RowBlock}, {"table block", "{\"data\":[", TableBlock}};
  for (const auto& c : Cases) {
    {
      TWire w;
      TDBXRowBuffer Buffer;
      Buffer.SetStreams(&w.Reader, &w.Writer);
      w.Channel.Feed(c.Prefix + std::to_string(limits::kMaxDataBlockBytes) + ",only these bytes");
      EXPECT_NE(ErrorOf([&] { c.Load(w.Reader, Buffer); }).Message(), "") << c.Name;
      EXPECT_LE(Buffer.BufLength(), limits::kBlockGrowBytes) << c.Name;
    }
    TWire w;
    TDBXRowBuffer Buffer;
    Buffer.SetStreams(&w.Reader, &w.Writer);
    const std::int32_t Size = 3 * limits::kBlockGrowBytes + 5;
    std::string Bytes(static_cast<std::size_t>(Size), 'x');
    Bytes.back() = 'z';
    w.Channel.Feed(c.Prefix + std::to_string(Size) + "," + Bytes + "]}");
    c.Load(w.Reader, Buffer);
    ASSERT_EQ(Buffer.ReadSizeBytes(), Size) << c.Name;
    EXPECT_EQ(Buffer.Buffer()[static_cast<std::size_t>(Size - 1)], 'z') << c.Name;
    EXPECT_EQ(Buffer.MinBufSize(), Size) << c.Name;
  }
}

TEST(RowAbuse, BlobPiecesAreCappedBeforeTheyAreRead) {
  struct Case { std::string Header; std::string Message; };
  const Case Cases[] = {
      {"67108865 ,", "Blob piece of 67108865 bytes exceeds the limit"},
      {"-2147483648,", "Blob piece of 2147483648 bytes exceeds the limit"},
      // A piece of the largest size is fine alone, but not after the inline bytes.
      {"67108864 ,", "Blob value exceeds 67108864 bytes"},
  };
  static_assert(limits::kMaxDataBlockBytes == 67108864 && limits::kMaxBlobBytes == 67108864);
  for (const auto& c : Cases) {
    TWire w;
    TDBXRowBuffer Buffer;
    Buffer.SetStreams(&w.Reader, &w.Writer);
    LoadRowBlock(Buffer, Hex("50 00 02 61 62"));
    w.Channel.Feed("{\"data\":[" + c.Header);
    ExpectError([&] { Buffer.ReadBytes(); }, 2, c.Message, c.Header);
  }
}

TEST(RowAbuse, AnnouncedBlobSizeDrivesNoAllocation) {
  TWire w;
  TDBXRowBuffer Buffer;
  Buffer.SetStreams(&w.Reader, &w.Writer);
  LoadRowBlock(Buffer, Hex("08 FF FF FF FF"));
  w.Channel.Feed("{\"data\":[-2       ,ok]}");
  LargestWatchedAllocation = 0;
  AllocationWatchOn = true;
  auto Blob = Buffer.ReadBlobStreamReader(-1);
  const auto Announced = Blob->Size();
  std::uint8_t Chunk[8];
  const auto First = Blob->Read(Chunk);
  const auto Second = Blob->Read(Chunk);
  AllocationWatchOn = false;
  EXPECT_EQ(Announced, 4294967295);
  EXPECT_EQ(First, 2);
  EXPECT_EQ(Second, 0);
  EXPECT_TRUE(Blob->Eos());
  // What arrived is a few bytes; nothing near the announced 4 GB may be asked for.
  EXPECT_LT(LargestWatchedAllocation.load(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace tavrin
