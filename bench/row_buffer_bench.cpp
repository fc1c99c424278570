// Packing and unpacking rows of integers, the commonest parameter and column values.

#include <benchmark/benchmark.h>

#include <array>

#include "dbxstream/row_buffer.h"

namespace tavrin {
namespace {

constexpr std::array<std::int32_t, 10> kRow{0, 1, -1, 255, 256, -70000, 1 << 20,
                                            2147483647, -2147483647 - 1, 42};

void BM_PackUnpackInt32Row(benchmark::State& State) {
  TDBXRowBuffer Row;
  Row.MinBufferSize(30720);
  Row.SetColumnCount(static_cast<std::int32_t>(kRow.size()));
  std::int64_t Sum = 0;
  for (auto _ : State) {
    Row.Post();
    for (const std::int32_t v : kRow) Row.WriteInt32(v);
    Row.ReadSize(Row.Offset());
    for (std::size_t i = 0; i < kRow.size(); ++i) Sum += Row.ReadInt32();
  }
  benchmark::DoNotOptimize(Sum);
  // Each value is packed once and unpacked once.
  State.SetItemsProcessed(State.iterations() * static_cast<std::int64_t>(kRow.size()));
}
BENCHMARK(BM_PackUnpackInt32Row);

}  // namespace
}  // namespace tavrin
