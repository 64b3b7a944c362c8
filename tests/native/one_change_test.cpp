// One change at a time, with threads as they are: the headless windows have a window thread of
// their own, the operations wait for the services on workers, and no user action waits here for
// the work of another. Every operation is held at its steps (the moment it was accepted, a
// service call of its worker, its store) while the user tries everything else.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "app_fixture.h"
#include "info/system_menu.h"

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;
namespace aw = app::add_window;
namespace td = app::tcpip_dialog;

// The operation held, what starts it, and the calls it is held at.
struct HeldOperation {
  const char* name;
  Strings heldAt;  // call prefixes; the first CreateThread of the operation is always one
};

void PrintTo(const HeldOperation& operation, std::ostream* out) { *out << operation.name; }

class OneChangeTest : public AppTest, public ::testing::WithParamInterface<HeldOperation> {
 protected:
  void SetUp() override {
    machine.AddAdapter(Ethernet(1, u"其他", {"10.1.0.1"}));
    machine.AddAdapter(Ethernet(4, u"本地连接", {"192.168.1.10", "192.168.1.11"}));
    machine.WriteInterfaceKey(4);
  }

  // Workers started by the window thread, where every operation is accepted.
  int WorkersStartedByTheWindow() {
    int n = 0;
    for (const auto& record : machine.CallRecords())
      n += record.call.rfind("CreateThread", 0) == 0 && record.thread == windows.windowThread() ? 1 : 0;
    return n;
  }

  // Everything else the user might start; what was accepted, by name.
  Strings TryEverythingElse() {
    Strings accepted;
    const int threads = WorkersStartedByTheWindow();
    headless::HeadlessWindow* modal = windows.topModal();
    const int items = Main().ItemCount(mw::kSelector);
    const int current = Main().CurrentItem(mw::kSelector);
    if (items > 1 && Main().ChooseItem(mw::kSelector, current == 0 ? 1 : 0)) accepted.push_back("choice");
    if (Main().Click(mw::kRefreshButton)) accepted.push_back("refresh");
    if (Main().ChooseMenuItem(mw::kMenuAdd)) accepted.push_back("addition");
    if (Main().ChooseMenuItem(mw::kMenuDelete)) accepted.push_back("deletion");
    Main().ClickColumn(mw::kAddressList, 0);
    Main().SetMenuItemEnabled(mw::kMenuProperties, true);
    Main().ChooseMenuItem(mw::kMenuProperties);
    if (windows.topModal() != modal) accepted.push_back("a window");
    if (WorkersStartedByTheWindow() != threads) accepted.push_back("a worker");
    if (!Context().busy.busy()) accepted.push_back("busy state off");
    return accepted;
  }

  // Arms the probes: at the first worker the window thread starts from now (the operation has
  // been accepted, its worker does not run yet) and at every call of `heldAt`, the user tries
  // everything else.
  void Hold(const Strings& heldAt) {
    machine.ClearCalls();
    // Observers of different threads run at the same time: one probe at a time, the others pass.
    machine.SetCallObserver([this, heldAt](const std::string& call) {
      std::string at;
      if (call.rfind("CreateThread", 0) == 0 && windows.OnWindowThread() && !heldAtStart_.exchange(true))
        at = "accepted";
      for (const std::string& prefix : heldAt)
        if (call.rfind(prefix, 0) == 0) at = prefix;
      if (at.empty() || probing_.exchange(true)) return;
      const Strings accepted = TryEverythingElse();
      {
        std::lock_guard lock(mutex_);
        probes_.push_back(at);
        if (!accepted.empty()) refusedNot_.push_back(call + ": " + accepted.front());
      }
      probing_ = false;
    });
  }

  std::atomic<bool> probing_{false};
  std::atomic<bool> heldAtStart_{false};
  std::mutex mutex_;
  Strings probes_;
  Strings refusedNot_;
};

TEST_P(OneChangeTest, WhileAnOperationRunsEveryOtherIsRefusedAndTheBusyStateEndsAfterItsLastStep) {
  const std::string name = GetParam().name;
  if (name != "start-up") {
    machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.ipAddresses.push_back(Addr("10.7.0.1", "255.255.0.0", 499)); });
    StartApp();
  }
  // Each action is waited for only where this test says so.
  windows.SetUserActionHook(nullptr);
  if (name == "properties OK") {
    ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuProperties));
    machine.WaitForThreads();
    ASSERT_NE(windows.topModal(), nullptr);
    windows.topModal()->Click(td::kAutomatic);
  }
  if (name == "addition") {
    ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuAdd));
    windows.topModal()->Type(aw::kAddresses, "10.6.0.{1-2}");
  }
  Hold(GetParam().heldAt);
  if (name == "start-up") StartApp();
  if (name == "choice") {
    ASSERT_TRUE(Main().ChooseItem(mw::kSelector, 0));
  }
  if (name == "refresh") {
    ASSERT_TRUE(Main().Click(mw::kRefreshButton));
  }
  if (name == "addition") {
    ASSERT_TRUE(windows.topModal()->Click(aw::kConfirm));
  }
  if (name == "deletion") {
    Main().SelectRows(mw::kAddressList, {2});
    ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuDelete));
  }
  if (name == "properties OK") {
    ASSERT_TRUE(windows.topModal()->Click(td::kOk));
  }
  if (name == "sort") {
    ASSERT_TRUE(Main().ClickColumn(mw::kAddressList, 0));
  }
  machine.WaitForThreads();
  machine.SetCallObserver(nullptr);

  // Held at each of its steps, the moment it was accepted first.
  ASSERT_FALSE(probes_.empty());
  EXPECT_EQ(probes_.front(), "accepted");
  for (const std::string& step : GetParam().heldAt)
    EXPECT_NE(std::find(probes_.begin(), probes_.end(), step), probes_.end()) << step;
  EXPECT_EQ(refusedNot_, Strings{});
  EXPECT_FALSE(Context().busy.busy());
  for (const char* control : {mw::kRefreshButton, mw::kSelector}) EXPECT_TRUE(Main().IsEnabled(control));
  for (const char* item : {mw::kMenuAdd, mw::kMenuDelete}) EXPECT_TRUE(Main().IsMenuItemEnabled(item));
  // What the adapter has bound is what its key holds: no store ran beside another change.
  const std::string key =
      "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + Ethernet(4, u"", {}).guid;
  Strings bound;
  for (const auto& a : machine.Adapters()) {
    if (a.index != 4) continue;
    for (const auto& address : a.ipAddresses) bound.push_back(address.address);
  }
  Strings stored = text::Split(machine.LocalMachineValue(key, "IPAddress").value_or(""), std::string(1, '\0'));
  while (!stored.empty() && stored.back().empty()) stored.pop_back();
  if (name == "addition" || name == "deletion") {
    EXPECT_EQ(stored, bound);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachOperation, OneChangeTest,
    ::testing::Values(HeldOperation{"start-up", {"GetAdaptersInfo", "ExecQuery"}},
                      HeldOperation{"choice", {"ExecQuery"}},
                      HeldOperation{"refresh", {"GetAdaptersInfo", "ExecQuery"}},
                      HeldOperation{"addition", {"AddIPAddress", "GetAdaptersInfo", "RegSetValueExA", "CommitTransaction"}},
                      HeldOperation{"deletion", {"DeleteIPAddress", "GetAdaptersInfo", "RegSetValueExA", "CommitTransaction"}},
                      HeldOperation{"properties OK", {"ExecMethod"}}, HeldOperation{"sort", {}}),
    [](const ::testing::TestParamInfo<HeldOperation>& info) {
      std::string name = info.param.name;
      std::replace_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '-'; }, '_');
      return name;
    });

// What the user starts, and whether anything it waits for has a Windows timing.
struct UserAction {
  const char* name;
  std::function<void(AppTest&)> run;
};

void PrintTo(const UserAction& action, std::ostream* out) { *out << action.name; }

class WindowThreadTest : public AppTest, public ::testing::WithParamInterface<UserAction> {};

// The window thread never waits for a service that takes time on Windows (the management service,
// the script control, binding, unbinding, echoes, the resolver) nor for the desktop's shell.
TEST_P(WindowThreadTest, NoCallThatTakesTimeOnWindowsRunsOnTheWindowThread) {
  machine.AddAdapter(Ethernet(1, u"其他", {"10.1.0.1"}));
  machine.AddAdapter(Ethernet(4, u"本地连接", {"192.168.1.10", "192.168.1.11"}));
  machine.WriteInterfaceKey(4);
  machine.AddEchoResponder("10.6.0.2");
  const std::string name = GetParam().name;
  if (name != "start-up") StartApp();
  machine.ClearCalls();
  GetParam().run(*this);
  machine.WaitForThreads();
  int timed = 0;
  for (const auto& record : machine.CallRecords()) {
    if (!sim::Machine::HasWindowsTiming(record.call)) continue;
    ++timed;
    EXPECT_NE(record.thread, windows.windowThread()) << record.call;
  }
  for (const auto& thread : windows.shellThreads()) EXPECT_NE(thread, windows.windowThread()) << "the desktop's shell";
  // The action did reach what it waits for.
  EXPECT_GT(timed + static_cast<int>(windows.shellThreads().size()), 0);
}

void AddThroughTheWindow(AppTest& t, const std::string& lines, bool occupancy) {
  auto& windows = *t.windows.mainWindow();
  ASSERT_TRUE(windows.ChooseMenuItem(mw::kMenuAdd));
  headless::HeadlessWindow* add = t.windows.topModal();
  ASSERT_NE(add, nullptr);
  add->Type(aw::kAddresses, lines);
  if (occupancy) add->Click(aw::kOccupancyQuery);
  add->Click(aw::kConfirm);
}

void ConfirmProperties(AppTest& t, bool dhcp) {
  ASSERT_TRUE(t.windows.mainWindow()->ChooseMenuItem(mw::kMenuProperties));
  t.machine.WaitForThreads();
  headless::HeadlessWindow* dialog = t.windows.topModal();
  ASSERT_NE(dialog, nullptr);
  if (dhcp) dialog->Click(td::kAutomatic);
  dialog->Click(td::kOk);
}

INSTANTIATE_TEST_SUITE_P(
    EachUserAction, WindowThreadTest,
    ::testing::Values(
        UserAction{"start-up", [](AppTest& t) { t.StartApp(); }},
        UserAction{"choice", [](AppTest& t) { t.windows.mainWindow()->ChooseItem(mw::kSelector, 0); }},
        UserAction{"refresh", [](AppTest& t) { t.windows.mainWindow()->Click(mw::kRefreshButton); }},
        UserAction{"addition", [](AppTest& t) { AddThroughTheWindow(t, "10.6.0.{1-3}", false); }},
        UserAction{"addition with the occupancy query", [](AppTest& t) { AddThroughTheWindow(t, "10.6.0.{1-3}", true); }},
        UserAction{"deletion",
                   [](AppTest& t) {
                     t.windows.mainWindow()->SelectRows(mw::kAddressList, {0, 1});
                     t.windows.mainWindow()->ChooseMenuItem(mw::kMenuDelete);
                   }},
        UserAction{"properties start-up", [](AppTest& t) { t.windows.mainWindow()->ChooseMenuItem(mw::kMenuProperties); }},
        UserAction{"properties OK to DHCP", [](AppTest& t) { ConfirmProperties(t, true); }},
        UserAction{"properties OK to static", [](AppTest& t) { ConfirmProperties(t, false); }},
        UserAction{"copy all", [](AppTest& t) { t.windows.mainWindow()->ChooseMenuItem(mw::kMenuCopyAll); }},
        UserAction{"issue link", [](AppTest& t) { t.windows.mainWindow()->PressMouse(mw::kIssueLink); }},
        UserAction{"community link", [](AppTest& t) { t.windows.mainWindow()->PressMouse(mw::kCommunityLink); }},
        UserAction{"author item", [](AppTest& t) { t.windows.mainWindow()->ChooseSystemCommand(info::kAuthorItemId); }}),
    [](const ::testing::TestParamInfo<UserAction>& info) {
      std::string name = info.param.name;
      std::replace_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '-'; }, '_');
      return name;
    });

}  // namespace
}  // namespace corvane::testing
