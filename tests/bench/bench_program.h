// The program over the simulated machine and the in-memory windows, started and idle, with one
// adapter holding n addresses: what every benchmark measures on.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "app/application.h"
#include "platform/headless/headless_window_system.h"
#include "platform/sim/machine.h"

namespace corvane::bench {

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

}  // namespace corvane::bench
