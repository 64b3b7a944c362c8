// A running program on a simulated machine with headless windows, for the tests of the logic.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "program/application.h"
#include "app/window_layouts.h"
#include "common/text.h"
#include "platform/headless/headless_window_system.h"
#include "platform/sim/machine.h"

namespace corvane::testing {

namespace mw = app::main_window;

inline sim::SimAddress Addr(const std::string& address, const std::string& mask, uint32_t context) {
  return sim::SimAddress{address, mask, context};
}

// A connected Ethernet adapter with the given addresses (contexts numbered from index * 100 + 1).
inline sim::SimAdapter Ethernet(uint32_t index, std::u16string name, std::vector<std::string> addresses) {
  sim::SimAdapter a;
  a.index = index;
  char guid[64];
  std::snprintf(guid, sizeof guid, "{0000%04X-1111-2222-3333-444455556666}", index);
  a.guid = guid;
  a.description = "Simulated Ethernet Adapter #" + std::to_string(index);
  a.connectionName = std::move(name);
  a.physicalAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, static_cast<uint8_t>(index)};
  a.type = 6;
  uint32_t context = index * 100 + 1;
  for (const auto& address : addresses) a.ipAddresses.push_back(Addr(address, "255.255.255.0", context++));
  if (a.ipAddresses.empty()) a.ipAddresses.push_back(Addr("0.0.0.0", "0.0.0.0", 0));
  return a;
}

// `count` distinct addresses 10.a.b.c, counting up from 10.0.0.0.
inline std::vector<std::string> ManyAddresses(int count) {
  std::vector<std::string> addresses;
  for (int i = 0; i < count; ++i)
    addresses.push_back("10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                        std::to_string(i % 256));
  return addresses;
}

// Lets every user action of the headless windows wait for the work it started, as a user waits
// until the window is no longer busy (an action from a machine thread, such as a test's hook during
// an operation, does not wait).
inline void WaitAfterUserActions(headless::HeadlessWindowSystem& windows, sim::Machine& machine) {
  windows.SetUserActionHook([&machine] {
    if (!sim::Machine::InsideMachine()) machine.WaitForThreads();
  });
}

class AppTest : public ::testing::Test {
 public:
  AppTest() { WaitAfterUserActions(windows, machine); }
  void TearDown() override {
    machine.WaitForThreads();
    if (windows.mainWindow() != nullptr) {
      EXPECT_EQ(windows.mainWindow()->unknownNames(), std::vector<std::string>{});
    }
  }

  // Starts the program and waits for the first enumeration to end.
  void StartApp() {
    app = std::make_unique<program::Application>(services);
    app->Start();
    machine.WaitForThreads();
  }

  headless::HeadlessWindow& Main() { return *windows.mainWindow(); }
  // An operation of the test's own, accepted as the program accepts one: on the window thread.
  app::OperationHold HoldBusy() {
    return windows.Marshal([&] { return Context().busy.TryBegin(Context()); });
  }
  app::AppContext& Context() { return app->context(); }

  // The log's messages without their time stamps.
  std::vector<std::string> Log() {
    std::vector<std::string> messages;
    for (const std::string& line : text::Split(Main().Text(mw::kLog), "\r\n")) {
      int colon = text::Find(line, "：");
      messages.push_back(colon > 0 ? text::Middle(line, colon + 2) : line);
    }
    return messages;
  }
  // The messages logged after the first `skip` ones.
  std::vector<std::string> LogAfter(size_t skip) {
    auto all = Log();
    return std::vector<std::string>(all.begin() + static_cast<long>(std::min(skip, all.size())), all.end());
  }

  std::vector<std::vector<std::string>> ListRows() { return Main().Rows(mw::kAddressList); }

  sim::Machine machine;
  headless::HeadlessWindowSystem windows;
  platform::Services services{machine.ipHelper(), machine.router(),    machine.registry(),
                              machine.automation(), machine.sockets(),  machine.clipboard(),
                              machine.internet(),   windows,            machine.kernel()};
  std::unique_ptr<program::Application> app;
};

}  // namespace corvane::testing
