// Appending to an IndexList, per element: the command collects every
// polygon of a region this way, so the cost per append must not grow with
// the list. Runs against the stand-in host with call recording off; the
// host's own cost per block (filling uncleared blocks, bookkeeping) is
// included, as it would be in a real run.
//
// This file also holds the benchmark binary's main; other benchmark files
// only register benchmarks.
#include <benchmark/benchmark.h>
#include <stdint.h>

#include "geometry/index_list.h"
#include "host/host.h"
#include "hostsim/hostsim.h"

namespace {

void IndexListAppend(benchmark::State& state) {
  hostsim::Reset();
  hostsim::SetRecording(false);
  HostTablePointer = hostsim::Table();

  const int32_t n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    IndexList list = MakeIndexList(4);
    for (int32_t i = 0; i < n; ++i) list.Append(i);
    benchmark::DoNotOptimize(list.data);
    benchmark::ClobberMemory();
    if (list.count != n) state.SkipWithError("an append failed");
    list.Clear();
  }

  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
  // Seconds per element (shown with an SI prefix, e.g. "2.5n" for 2.5 ns).
  state.counters["time_per_element"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                  benchmark::Counter::kInvert);

  HostTablePointer = nullptr;
  hostsim::Reset();
}

// One million appends, and a thousand for comparison. The list's own work
// per append is constant; at a million the large host blocks no longer fit
// the caches and their fresh pages dominate the time per element.
BENCHMARK(IndexListAppend)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
