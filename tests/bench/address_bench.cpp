// Adding a whole range and filling and storing a long address list, on the simulated machine.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "address_ops/add_addresses.h"
#include "address_ops/address_store.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "app/application.h"
#include "platform/headless/headless_window_system.h"
#include "platform/sim/machine.h"

namespace {

using namespace corvane;

struct Program {
  explicit Program(size_t addresses) {
    sim::SimAdapter a;
    a.index = 4;
    a.guid = "{00000004-1111-2222-3333-444455556666}";
    a.description = "Bench adapter";
    a.connectionName = u"Bench";
    a.physicalAddress = {0, 1, 2, 3, 4, 5};
    for (size_t i = 0; i < addresses; ++i) {
      std::string address = "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." +
                            std::to_string(i % 256);
      a.ipAddresses.push_back(sim::SimAddress{address, "255.0.0.0", static_cast<uint32_t>(1000 + i)});
    }
    if (a.ipAddresses.empty()) a.ipAddresses.push_back(sim::SimAddress{"0.0.0.0", "0.0.0.0", 0});
    machine.AddAdapter(a);
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

// Adds 192.168.7.1 .. 192.168.7.254 to an adapter, refreshes and stores, as the worker does.
void BM_AddRange1To254(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Program program(0);
    app::AddRangeRequest request;
    request.addresses = "192.168.7.{1-254}";
    request.mask = "255.255.255.0";
    state.ResumeTiming();
    address_ops::AddAddressRange(program.app->context(), request);
    state.PauseTiming();
    program.machine.WaitForThreads();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 254);
}
BENCHMARK(BM_AddRange1To254)->Unit(benchmark::kMillisecond);

// Fills the address list with 10,000 addresses and stores them.
void BM_FillAndStore10000(benchmark::State& state) {
  Program program(10000);
  app::AppContext& context = program.app->context();
  for (auto _ : state) {
    app::ShowSelectedAdapter(context);
    address_ops::StoreAddressList(context);
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_FillAndStore10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
