// Adding a whole range; filling, storing and splitting long address lists, on the simulated
// machine. The list benchmarks run at n = 1000, 4000 and 16000 (BM_Store/4000 and so on).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "address_ops/add_addresses.h"
#include "address_ops/address_store.h"
#include "app/program_end.h"
#include "address_ops/delete_addresses.h"
#include "app/window_layouts.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "program/application.h"
#include "platform/headless/headless_window_system.h"
#include "platform/sim/machine.h"
#include "bench/bench_program.h"

namespace {

using namespace corvane;

using bench::Program;

// Adds 192.168.7.1 .. 192.168.7.254 to an adapter holding `existing` addresses, refreshes and
// stores, as the worker does.
void AddRange(benchmark::State& state, size_t existing) {
  for (auto _ : state) {
    state.PauseTiming();
    Program program(existing);
    app::AddRangeRequest request;
    request.addresses = "192.168.7.{1-254}";
    request.mask = "255.255.255.0";
    request.target = app::SelectedTarget(program.app->context());
    state.ResumeTiming();
    address_ops::AddAddressRange(program.app->context(), request);
    state.PauseTiming();
    program.machine.WaitForThreads();
    state.ResumeTiming();
  }
}

void BM_AddRange1To254(benchmark::State& state) {
  AddRange(state, 0);
  state.SetItemsProcessed(state.iterations() * 254);
}
BENCHMARK(BM_AddRange1To254)->Unit(benchmark::kMillisecond);

// The sizes of the linear-cost benchmarks: each step is four times the one before, so that
// t(4n)/t(n) near 4 shows a cost linear in n.
void Sizes(benchmark::internal::Benchmark* b) {
  for (int64_t n : {1000, 4000, 16000}) b->Arg(n);
}

// Fills the address list from the published snapshot: n addresses of the selected adapter.
void BM_Fill(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  Program program(n);
  app::AppContext& context = program.app->context();
  auto snapshot = context.snapshot.Load();
  const app::ShownKinds shown = app::ReadShownKinds(context);
  for (auto _ : state)
    context.window->ReplaceRows(app::main_window::kAddressList,
                                app::AddressListRows(*snapshot, context.selectedAdapterIndex, shown));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Fill)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// Stores n addresses and masks in the adapter's interface key.
void BM_Store(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  Program program(n);
  app::AppContext& context = program.app->context();
  const app::ChangeTarget target = app::SelectedTarget(context);
  for (auto _ : state) address_ops::StoreAddressList(context, target);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Store)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// Splits a list of n pasted lines (addresses and ranges) into the add window's lines.
void BM_SplitPasted(benchmark::State& state) {
  std::string pasted;
  for (int64_t i = 0; i < state.range(0); ++i)
    pasted += (i % 8 == 0 ? "10." + std::to_string(i % 256) + ".0.{1-254}" : "10.0." + std::to_string(i % 256) + "." +
                                                                               std::to_string(i / 256 % 256)) +
              "\r\n";
  for (auto _ : state) {
    std::vector<std::string> lines = address_ops::SplitAddressLines(pasted);
    benchmark::DoNotOptimize(lines.data());
    if (lines.size() != static_cast<size_t>(state.range(0))) state.SkipWithError("wrong line count");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SplitPasted)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// What every refresh costs: enumerate the adapters, fill the list and build the report, with n
// addresses on the selected adapter.
void BM_Refresh(benchmark::State& state) {
  Program program(static_cast<size_t>(state.range(0)));
  app::AppContext& context = program.app->context();
  for (auto _ : state) app::RefreshAdapters(context);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Refresh)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// Deleting every row of the list: n DeleteIPAddress calls with their log lines (the configured
// addresses refuse, so the list stays the same from one run to the next), the refresh and the store.
void BM_DeleteAll(benchmark::State& state) {
  Program program(static_cast<size_t>(state.range(0)));
  app::AppContext& context = program.app->context();
  auto& list = *program.windows.mainWindow();
  std::vector<int> all(static_cast<size_t>(state.range(0)));
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  for (auto _ : state) {
    state.PauseTiming();
    list.SelectRows(app::main_window::kAddressList, all);
    state.ResumeTiming();
    address_ops::DeleteSelectedAddresses(context);
    program.machine.WaitForThreads();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DeleteAll)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// Adding a range of 254 to an adapter that already holds n addresses: the refresh and the store
// that follow the addition grow with n.
void BM_AddRangeTo(benchmark::State& state) {
  AddRange(state, static_cast<size_t>(state.range(0)));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddRangeTo)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
