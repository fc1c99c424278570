// Packing and unpacking rows of integers, the commonest parameter and column values,
// against a plain loop that stores the same values in an array and reads them back.

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "dbxstream/row_buffer.h"
#include "interleaved_ratio.h"

namespace tavrin {
namespace {

constexpr std::array<std::int32_t, 10> kRow{0, 1, -1, 255, 256, -70000, 1 << 20,
                                            2147483647, -2147483647 - 1, 42};

void BM_PackUnpackInt32Row(benchmark::State& State) {
  TDBXRowBuffer Row;
  Row.MinBufferSize(30720);
  Row.SetColumnCount(static_cast<std::int32_t>(kRow.size()));
  std::array<std::int32_t, kRow.size()> Values = kRow;
  std::array<std::int32_t, kRow.size()> Stored{};
  std::int64_t Sum = 0;
  bench::RunInterleaved(
      State, "x_plain_loop",
      [&] {
        benchmark::DoNotOptimize(Values.data());
        Row.Post();
        for (const std::int32_t v : Values) Row.WriteInt32(v);
        Row.ReadSize(Row.Offset());
        for (std::size_t i = 0; i < Values.size(); ++i) Sum += Row.ReadInt32();
      },
      [&] {
        benchmark::DoNotOptimize(Values.data());
        for (std::size_t i = 0; i < Values.size(); ++i) Stored[i] = Values[i];
        benchmark::ClobberMemory();
        for (std::size_t i = 0; i < Values.size(); ++i) Sum += Stored[i];
      });
  benchmark::DoNotOptimize(Sum);
  // Each value packed once and unpacked once, at the fastest batch's pace (the
  // benchmark's own time also holds the plain loop's batches).
  State.counters["values_per_second"] = static_cast<double>(kRow.size()) * 1e9 / State.counters["ns"];
}
BENCHMARK(BM_PackUnpackInt32Row);

}  // namespace
}  // namespace tavrin
