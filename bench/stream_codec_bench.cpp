// The stream codecs against plain memory copies of the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbxstream/channel.h"
#include "dbxstream/context.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "interleaved_ratio.h"

namespace tavrin {
namespace {

constexpr std::int32_t kBufferSize = 32768;  // the server's default codec buffer
constexpr std::size_t kRawBlockBytes = 30 * 1024;
constexpr std::size_t kStringUnits = 1024;

// Hands the last write to the next read, the way a socket would: one copy, into the
// reader's buffer. The written bytes stay valid because the writer is idle meanwhile.
class TLoopChannel : public TDbxChannel {
 public:
  std::int32_t Read(std::span<std::uint8_t> Buffer) override {
    const std::size_t n = std::min(Buffer.size(), FLast.size());
    std::memcpy(Buffer.data(), FLast.data(), n);
    return static_cast<std::int32_t>(n);
  }
  void Write(std::span<const std::uint8_t> Bytes) override { FLast = Bytes; }
  bool ConnectionLost() const override { return false; }
  const TDBXChannelInfo& ChannelInfo() const override { return FInfo; }

 private:
  std::span<const std::uint8_t> FLast;
  TDBXChannelInfo FInfo;
};

// Discards writes; a codec's cost without the copy into a channel.
class TSinkChannel : public TLoopChannel {
 public:
  void Write(std::span<const std::uint8_t> Bytes) override { benchmark::DoNotOptimize(Bytes.data()); }
};

std::u16string AsciiText() {
  std::u16string Text(kStringUnits, u'a');
  for (std::size_t i = 0; i < Text.size(); ++i) Text[i] = static_cast<char16_t>(u'a' + i % 26);
  return Text;
}

// Writing a 30 KB raw data block (and handing the buffer to the channel) against a
// memcpy of the same bytes.
void BM_WriteRawBlock30K(benchmark::State& State) {
  std::vector<std::uint8_t> From(kRawBlockBytes, 0x5A);
  std::vector<std::uint8_t> To(kBufferSize);
  TSinkChannel Channel;
  TDBXJSonStreamWriter Writer(Channel, kBufferSize);
  Writer.Open();
  bench::RunInterleaved(
      State, "x_memcpy",
      [&] {
        Writer.WriteDataBytes(From);
        Writer.Flush();
        benchmark::ClobberMemory();
      },
      [&] {
        std::memcpy(To.data(), From.data(), From.size());
        benchmark::DoNotOptimize(To.data());
        benchmark::ClobberMemory();
      });
}
BENCHMARK(BM_WriteRawBlock30K);

// Writing a 1 KB ASCII string token and reading it back against a memcpy of the
// string (its 16-bit code units).
void BM_WriteReadString1K(benchmark::State& State) {
  const std::u16string Text = AsciiText();
  std::u16string Copy(Text.size(), u' ');
  TLoopChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamWriter Writer(Channel, kBufferSize);
  TDBXJSonStreamReader Reader(Channel, Context, kBufferSize);
  Writer.Open();
  Reader.Open();
  bench::RunInterleaved(
      State, "x_memcpy",
      [&] {
        Writer.WriteString(Text);
        Writer.Flush();
        const std::u16string& Back = Reader.ReadString();
        benchmark::DoNotOptimize(Back.data());
        if (Back.size() != Text.size()) State.SkipWithError("string did not come back whole");
      },
      [&] {
        std::memcpy(Copy.data(), Text.data(), Text.size() * sizeof(char16_t));
        benchmark::DoNotOptimize(Copy.data());
        benchmark::ClobberMemory();
      });
}
BENCHMARK(BM_WriteReadString1K);

}  // namespace
}  // namespace tavrin
