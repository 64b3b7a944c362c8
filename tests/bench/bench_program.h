// The program over the simulated machine and the in-memory windows, started and idle, with one
// adapter holding n addresses: what every benchmark measures on.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "program/application.h"
#include "bench/bench_adapter.h"
#include "platform/headless/headless_window_system.h"
#include "platform/sim/machine.h"

namespace corvane::bench {

struct Program {
  explicit Program(size_t addresses) {
    machine.AddAdapter(AdapterWithAddresses(addresses));
    app = std::make_unique<program::Application>(services);
    app->Start();
    machine.WaitForThreads();
  }
  ~Program() { machine.WaitForThreads(); }

  sim::Machine machine;
  headless::HeadlessWindowSystem windows;
  platform::Services services{machine.ipHelper(), machine.router(),  machine.registry(), machine.automation(),
                              machine.sockets(),  machine.clipboard(), machine.internet(), windows,
                              machine.kernel()};
  std::unique_ptr<program::Application> app;
};

}  // namespace corvane::bench
