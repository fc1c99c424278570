#pragma once
// Times a subject against a baseline in alternating short batches. Both see the same
// machine at the same moment, and each is taken at its fastest batch: the cost of the
// work itself, without what a busy neighbour on a shared host adds at random.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <limits>
#include <vector>

namespace tavrin::bench {

inline constexpr int kBatchOps = 64;  // operations per timed batch

template <class Op>
double TimeBatch(Op& Operation, int Ops = kBatchOps) {
  const auto Start = std::chrono::steady_clock::now();
  for (int i = 0; i < Ops; ++i) Operation();
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - Start).count();
}

// One benchmark iteration is one batch of each; the ratio of the fastest subject batch to
// the fastest baseline batch goes to the counter Name ("x_memcpy" and the like).
template <class Subject, class Baseline>
void RunInterleaved(benchmark::State& State, const char* Name, Subject&& DoSubject,
                    Baseline&& DoBaseline) {
  double FastestBaseline = std::numeric_limits<double>::infinity();
  double FastestSubject = std::numeric_limits<double>::infinity();
  for (auto _ : State) {
    FastestBaseline = std::min(FastestBaseline, TimeBatch(DoBaseline));
    FastestSubject = std::min(FastestSubject, TimeBatch(DoSubject));
  }
  State.counters[Name] = FastestSubject / FastestBaseline;
  State.counters["ns"] = FastestSubject / kBatchOps;
  State.counters["baseline_ns"] = FastestBaseline / kBatchOps;
}

// The same for several operations: one benchmark iteration is one batch of each, in
// the order given. Returns each one's fastest batch in nanoseconds per operation, in
// that order; the caller turns them into its counters. Operations that take
// milliseconds each go in smaller batches (BatchOps).
inline std::vector<double> FastestInterleaved(benchmark::State& State,
                                              const std::vector<std::function<void()>>& Operations,
                                              int BatchOps = kBatchOps) {
  std::vector<double> Fastest(Operations.size(), std::numeric_limits<double>::infinity());
  for (auto _ : State) {
    for (std::size_t i = 0; i < Operations.size(); ++i) {
      Fastest[i] = std::min(Fastest[i], TimeBatch(Operations[i], BatchOps));
    }
  }
  for (double& Batch : Fastest) Batch /= BatchOps;
  return Fastest;
}

}  // namespace tavrin::bench
