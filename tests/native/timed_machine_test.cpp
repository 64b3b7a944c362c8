// The program on the demo machine with Windows' timings does and logs what it does without them.
#include <chrono>
#include <memory>

#include "program/application.h"
#include "app/window_layouts.h"
#include "common/text.h"
#include "platform/headless/headless_window_system.h"
#include "platform/sim/machine.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;
namespace mw = app::main_window;
namespace aw = app::add_window;
namespace td = app::tcpip_dialog;

// Start-up, another adapter and back, an addition with the occupancy query, a deletion of two of
// its addresses and the switch to DHCP: the log's messages and what the machine ends with.
Strings RunScenario(bool timed) {
  std::unique_ptr<sim::Machine> machine = sim::MakeDemoMachine();
  machine->UseWindowsTimings(timed);
  headless::HeadlessWindowSystem windows;
  // Each action is waited for, as a user waits until the window is no longer busy.
  windows.SetUserActionHook([&machine] { machine->WaitForThreads(); });
  platform::Services services{machine->ipHelper(),  machine->router(),   machine->registry(),
                              machine->automation(), machine->sockets(), machine->clipboard(),
                              machine->internet(),   windows,            machine->kernel()};
  program::Application program(services);
  program.Start();
  machine->WaitForThreads();
  headless::HeadlessWindow& main = *windows.mainWindow();
  EXPECT_TRUE(main.ChooseItem(mw::kSelector, 1));
  EXPECT_TRUE(main.ChooseItem(mw::kSelector, 2));
  EXPECT_TRUE(main.ChooseMenuItem(mw::kMenuAdd));
  windows.topModal()->Type(aw::kAddresses, "192.168.1.{19-22}");
  windows.topModal()->Click(aw::kOccupancyQuery);
  windows.topModal()->Click(aw::kConfirm);
  machine->WaitForThreads();
  main.SelectRows(mw::kAddressList, {4, 5});
  EXPECT_TRUE(main.ChooseMenuItem(mw::kMenuDelete));
  EXPECT_TRUE(main.ChooseMenuItem(mw::kMenuProperties));
  windows.topModal()->Click(td::kAutomatic);
  windows.topModal()->Click(td::kOk);
  machine->WaitForThreads();

  Strings out;
  for (const std::string& line : text::Split(main.Text(mw::kLog), "\r\n")) {
    const int colon = text::Find(line, "：");
    out.push_back(colon > 0 ? text::Middle(line, colon + 2) : line);
  }
  for (const auto& a : machine->Adapters()) {
    out.push_back("adapter " + std::to_string(a.index) + " dhcp " + std::to_string(a.dhcpEnabled));
    for (const auto& address : a.ipAddresses) out.push_back(address.address + "/" + address.mask);
  }
  out.push_back(machine->LocalMachineValue("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"
                                           "{6A2E9F14-0D3C-4B8A-B57E-81F2C3D4A5B6}",
                                           "IPAddress")
                    .value_or("none"));
  return out;
}

TEST(TimedMachine, TheProgramLogsAndLeavesTheSameWithWindowsTimingsAsWithout) {
  const Strings untimed = RunScenario(false);
  // The scenario did what it says: an address answered, two were deleted, DHCP is on.
  EXPECT_NE(std::find(untimed.begin(), untimed.end(), "添加IP-地址 192.168.1.20 失败,该ip可能已被占用."), untimed.end());
  // 192.168.1.21 is held by a host that drops echoes: the duplicate address detection finds it.
  EXPECT_NE(std::find(untimed.begin(), untimed.end(), "添加IP-地址 192.168.1.21 失败,该ip可能已被占用."), untimed.end());
  EXPECT_NE(std::find(untimed.begin(), untimed.end(), "本地连接 修改为自动获取IP成功."), untimed.end());
  EXPECT_NE(std::find(untimed.begin(), untimed.end(), "adapter 11 dhcp 1"), untimed.end());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunScenario(true), untimed);
  // The timings took effect: the management service's first connection alone takes 1.2 s.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1200));
}

}  // namespace
}  // namespace corvane::testing
