// Sorting the address list by each column's key, n = 1000, 4000 and 16000 rows: the keys are read
// in one call and compared directly, so the cost is the list's own comparison sort, n log n
// (t(4n)/t(n) = 4 log(4n)/log(n): 4.8 from 1000 to 4000, 4.6 from 4000 to 16000).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "address_ops/sort_addresses.h"
#include "app/app_context.h"
#include "program/application.h"
#include "app/window_layouts.h"
#include "platform/headless/headless_window_system.h"
#include "platform/sim/machine.h"
#include "bench/bench_program.h"

namespace {

using namespace corvane;

using bench::Program;

// Rows in a scrambled order: contexts and masks from a multiplicative sequence.
std::vector<std::vector<std::string>> Rows(int64_t n) {
  std::vector<std::vector<std::string>> rows;
  uint32_t x = 12345;
  for (int64_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    rows.push_back({std::to_string(i + 1), "10.0.0.1", "255.255." + std::to_string(x % 256) + "." + std::to_string(x % 251),
                    std::to_string(x), std::to_string(x % 1000), "4", "IP地址"});
  }
  return rows;
}

void SortBy(benchmark::State& state, int keyColumn, address_ops::SortKeyKind kind) {
  Program program(0);
  app::AppContext& context = program.app->context();
  const auto rows = Rows(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    context.window->ReplaceRows(app::main_window::kAddressList, rows);
    context.sortDirection = 0;  // always ascending from the same order
    state.ResumeTiming();
    address_ops::SortListView(context, app::main_window::kAddressList, keyColumn, kind);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The column plan: the clicked column's key column and kind ("IP地址" sorts by the hidden "Next").
void BM_SortById(benchmark::State& state) { SortBy(state, 0, address_ops::SortKeyKind::Integer); }
void BM_SortByAddress(benchmark::State& state) { SortBy(state, 4, address_ops::SortKeyKind::Integer); }
void BM_SortByMask(benchmark::State& state) { SortBy(state, 2, address_ops::SortKeyKind::Text); }
void BM_SortByContext(benchmark::State& state) { SortBy(state, 3, address_ops::SortKeyKind::Integer); }
void BM_SortByAdapterIndex(benchmark::State& state) { SortBy(state, 5, address_ops::SortKeyKind::Integer); }
void BM_SortByKind(benchmark::State& state) { SortBy(state, 6, address_ops::SortKeyKind::Text); }

void Sizes(benchmark::internal::Benchmark* b) {
  for (int64_t n : {1000, 4000, 16000}) b->Arg(n);
}
BENCHMARK(BM_SortById)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByAddress)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByMask)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByContext)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByAdapterIndex)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByKind)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
