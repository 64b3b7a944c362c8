// Sorting the address list by a numeric and by a text column, n and 4n rows: the ratio
// t(4n)/t(n) stays near 4 (n log n), since the keys are read in one call and compared directly.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "address_ops/sort_addresses.h"
#include "app/app_context.h"
#include "app/application.h"
#include "app/window_layouts.h"
#include "platform/headless/headless_window_system.h"
#include "platform/sim/machine.h"

namespace {

using namespace corvane;

struct Program {
  Program() {
    app = std::make_unique<app::Application>(services);
    app->Start();
    machine.WaitForThreads();
  }
  ~Program() { machine.WaitForThreads(); }

  sim::Machine machine;
  headless::HeadlessWindowSystem windows;
  platform::Services services{machine.ipHelper(), machine.router(),  machine.registry(), machine.automation(),
                              machine.sockets(),  machine.clipboard(), machine.internet(), windows,
                              machine.kernel()};
  std::unique_ptr<app::Application> app;
};

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
  Program program;
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

void BM_SortByContext(benchmark::State& state) { SortBy(state, 3, address_ops::SortKeyKind::Integer); }
void BM_SortByMask(benchmark::State& state) { SortBy(state, 2, address_ops::SortKeyKind::Text); }
BENCHMARK(BM_SortByContext)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByMask)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
