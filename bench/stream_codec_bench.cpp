// The stream codecs against plain memory copies of the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbxstream/dbx_channel.h"
#include "dbxstream/dbx_context.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"

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

void BM_Memcpy30K(benchmark::State& State) {
  std::vector<std::uint8_t> From(kRawBlockBytes, 0x5A);
  std::vector<std::uint8_t> To(kBufferSize);
  for (auto _ : State) {
    std::memcpy(To.data(), From.data(), From.size());
    benchmark::DoNotOptimize(To.data());
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * static_cast<std::int64_t>(kRawBlockBytes));
}
BENCHMARK(BM_Memcpy30K);

void BM_WriteRawBlock30K(benchmark::State& State) {
  std::vector<std::uint8_t> From(kRawBlockBytes, 0x5A);
  TSinkChannel Channel;
  TDBXJSonStreamWriter Writer(Channel, kBufferSize);
  Writer.Open();
  for (auto _ : State) {
    Writer.WriteDataBytes(From);
    Writer.Flush();
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * static_cast<std::int64_t>(kRawBlockBytes));
}
BENCHMARK(BM_WriteRawBlock30K);

std::u16string AsciiText() {
  std::u16string Text(kStringUnits, u'a');
  for (std::size_t i = 0; i < Text.size(); ++i) Text[i] = static_cast<char16_t>(u'a' + i % 26);
  return Text;
}

void BM_MemcpyString1K(benchmark::State& State) {
  const std::u16string From = AsciiText();
  std::u16string To(From.size(), u' ');
  for (auto _ : State) {
    std::memcpy(To.data(), From.data(), From.size() * sizeof(char16_t));
    benchmark::DoNotOptimize(To.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyString1K);

void BM_WriteReadString1K(benchmark::State& State) {
  const std::u16string Text = AsciiText();
  TLoopChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamWriter Writer(Channel, kBufferSize);
  TDBXJSonStreamReader Reader(Channel, Context, kBufferSize);
  Writer.Open();
  Reader.Open();
  for (auto _ : State) {
    Writer.WriteString(Text);
    Writer.Flush();
    const std::u16string& Back = Reader.ReadString();
    benchmark::DoNotOptimize(Back.data());
    if (Back.size() != Text.size()) State.SkipWithError("string did not come back whole");
  }
}
BENCHMARK(BM_WriteReadString1K);

}  // namespace
}  // namespace tavrin
