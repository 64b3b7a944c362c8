// Ending the program while an addition or a deletion runs: a user's close lets it finish, and an
// abrupt end at any service call leaves the stored lists whole.
#include <chrono>
#include <memory>

#include "app_fixture.h"

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;
namespace aw = app::add_window;

// One run of the program on a fresh machine: adapter 4 with two configured addresses, stored in its
// interface key, and another adapter.
// The configured addresses have masks of their own, and the add window gives another.
struct Program {
  explicit Program(bool transactions = true) {
    WaitAfterUserActions(windows, machine);
    machine.SetRegistryTransactionsAvailable(transactions);
    machine.AddAdapter(Ethernet(1, u"其他", {"10.1.0.1"}));
    sim::SimAdapter a = Ethernet(4, u"本地连接", {"192.168.1.10", "192.168.1.11"});
    a.ipAddresses[0].mask = "255.255.0.0";
    a.ipAddresses[1].mask = "255.255.255.128";
    machine.AddAdapter(a);
    machine.WriteInterfaceKey(4);
    app = std::make_unique<program::Application>(services);
    app->Start();
    machine.WaitForThreads();
  }
  ~Program() { machine.WaitForThreads(); }

  headless::HeadlessWindow& Main() { return *windows.mainWindow(); }

  // Opens the add window, types the lines and confirms.
  void Add(const std::string& lines) {
    ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuAdd));
    headless::HeadlessWindow* w = windows.topModal();
    ASSERT_NE(w, nullptr);
    w->Type(aw::kAddresses, lines);
    w->Type(aw::kMask, "255.255.240.0");
    w->Click(aw::kConfirm);
  }
  // Selects the rows of the given addresses and deletes them.
  void Delete(const Strings& addresses) {
    std::vector<int> rows;
    const auto all = Main().Rows(mw::kAddressList);
    for (size_t i = 0; i < all.size(); ++i)
      if (std::find(addresses.begin(), addresses.end(), all[i][1]) != addresses.end()) rows.push_back(static_cast<int>(i));
    ASSERT_EQ(rows.size(), addresses.size());
    Main().SelectRows(mw::kAddressList, rows);
    Main().ChooseMenuItem(mw::kMenuDelete);
  }

  // The stored lists of adapter 4, one entry each, as the hive holds them.
  std::pair<Strings, Strings> Stored() {
    const std::string key =
        "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + Ethernet(4, u"", {}).guid;
    auto entries = [&](const char* value) {
      Strings out = text::Split(machine.LocalMachineValue(key, value).value_or(""), std::string(1, '\0'));
      while (!out.empty() && out.back().empty()) out.pop_back();
      return out;
    };
    return {entries("IPAddress"), entries("SubnetMask")};
  }
  // What adapter 4 has bound, and the masks.
  std::pair<Strings, Strings> Bound() {
    std::pair<Strings, Strings> out;
    for (const auto& a : machine.Adapters())
      if (a.index == 4)
        for (const auto& address : a.ipAddresses)
          if (address.context != 0) {
            out.first.push_back(address.address);
            out.second.push_back(address.mask);
          }
    return out;
  }

  Strings Log() {
    Strings messages;
    for (const std::string& line : text::Split(Main().Text(mw::kLog), "\r\n")) {
      int colon = text::Find(line, "：");
      messages.push_back(colon > 0 ? text::Middle(line, colon + 2) : line);
    }
    return messages;
  }
  bool Logged(const std::string& line) {
    Strings log = Log();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  int CallsOf(const std::string& prefix) {
    int n = 0;
    for (const auto& c : machine.Calls()) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  // Closes the main window as the user does when the `k`-th call from now has been made.
  void CloseAtCall(size_t k) {
    closeAt_ = k;
    machine.SetCallObserver([this](const std::string&) {
      if (closeAt_ == 0 || --closeAt_ != 0) return;
      Main().CloseByUser();
    });
  }

  sim::Machine machine;
  headless::HeadlessWindowSystem windows;
  platform::Services services{machine.ipHelper(), machine.router(),   machine.registry(),
                              machine.automation(), machine.sockets(), machine.clipboard(),
                              machine.internet(),   windows,           machine.kernel()};
  std::unique_ptr<program::Application> app;
  size_t closeAt_ = 0;
};

const std::string kFinishing = "正在退出,当前操作完成并储存后程序将关闭...";

TEST(ProgramEnd, WithNothingRunningClosingEndsTheProcessAtOnce) {
  Program p;
  p.machine.ClearCalls();
  ASSERT_TRUE(p.Main().CloseByUser());
  EXPECT_EQ(p.machine.TerminatedWith(), std::optional<uint32_t>(0));
  EXPECT_EQ(p.machine.Calls(), Strings{"TerminateProcess(0)"});
  EXPECT_TRUE(p.Main().closed());
  EXPECT_FALSE(p.Logged(kFinishing));
}

TEST(ProgramEnd, AClosedAdditionStopsBeforeItsNextAddressThenStoresWhatWasBoundAndEnds) {
  Program p;
  // The close comes while the second address is being bound.
  int binds = 0;
  p.machine.SetCallObserver([&](const std::string& call) {
    if (call.rfind("AddIPAddress(", 0) == 0 && ++binds == 2) p.Main().CloseByUser();
  });
  p.Add("10.6.0.{1-9}");
  p.machine.WaitForThreads();
  EXPECT_EQ(p.CallsOf("AddIPAddress("), 2);
  EXPECT_TRUE(p.Logged(kFinishing));
  EXPECT_TRUE(p.Logged("添加IP完成，添加成功2，添加失败0。"));
  EXPECT_EQ(p.Log().back(), "储存子网掩码成功.");
  EXPECT_EQ(p.Stored().first, (Strings{"192.168.1.10", "192.168.1.11", "10.6.0.1", "10.6.0.2"}));
  EXPECT_EQ(p.Stored(), p.Bound());
  // The process ended after the store, not before.
  const Strings calls = p.machine.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "TerminateProcess(0)");
  EXPECT_EQ(p.machine.TerminatedWith(), std::optional<uint32_t>(0));
  EXPECT_TRUE(p.Main().closed());
}

TEST(ProgramEnd, AClosedDeletionStopsBeforeItsNextAddressThenStoresWhatIsLeftAndEnds) {
  Program p;
  p.Add("10.6.0.{1-3}");
  p.machine.WaitForThreads();
  // The close arrives while the first address is being unbound.
  bool closed = false;
  p.machine.SetCallObserver([&](const std::string& call) {
    if (closed || call.rfind("DeleteIPAddress(", 0) != 0) return;
    closed = true;
    p.Main().CloseByUser();
  });
  p.Delete({"10.6.0.1", "10.6.0.2", "10.6.0.3"});
  p.machine.WaitForThreads();
  p.machine.SetCallObserver(nullptr);
  EXPECT_EQ(p.CallsOf("DeleteIPAddress("), 1);
  EXPECT_TRUE(p.Logged("删除选中项目完成,共计选中3条,符合启用条件1条,其中成功1 失败0."));
  EXPECT_EQ(p.Stored().first, (Strings{"192.168.1.10", "192.168.1.11", "10.6.0.2", "10.6.0.3"}));
  EXPECT_EQ(p.Stored(), p.Bound());
  EXPECT_EQ(p.machine.TerminatedWith(), std::optional<uint32_t>(0));
}

TEST(ProgramEnd, AServiceCallThatHangsIsNotWaitedForPastTheCloseTimeout) {
  Program p;
  p.app->context().closeTimeout = std::chrono::milliseconds(100);
  bool closed = false;
  p.machine.SetCallObserver([&](const std::string& call) {
    if (closed || call.rfind("AddIPAddress(", 0) != 0) return;
    closed = true;
    // The store after the close hangs.
    p.machine.SetLatency("RegSetValueExA", 60000);
    p.Main().CloseByUser();
  });
  const auto start = std::chrono::steady_clock::now();
  p.Add("10.6.0.{1-9}");
  p.machine.WaitForThreads();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(p.machine.TerminatedWith(), std::optional<uint32_t>(0));
  // The hanging write never happened: the stored lists are the old ones, whole.
  EXPECT_EQ(p.Stored().first, (Strings{"192.168.1.10", "192.168.1.11"}));
  EXPECT_EQ(p.Stored().second.size(), 2u);
}

// Without registry transactions the store writes its two values one after the other: a close whose
// wait runs out between them does not end the process before the second one is written.
TEST(ProgramEnd, WithoutTransactionsTheCloseNeverEndsTheProcessBetweenTheTwoWrites) {
  Program p(false);
  p.app->context().closeTimeout = std::chrono::milliseconds(1);
  bool closed = false;
  p.machine.SetCallObserver([&](const std::string& call) {
    if (closed || call.rfind("RegSetValueExA", 0) != 0) return;
    closed = true;
    // The first value is written; the second takes its time.
    p.machine.SetLatency("RegSetValueExA", 300);
    p.Main().CloseByUser();
  });
  p.Add("10.6.0.{1-3}");
  p.machine.WaitForThreads();
  ASSERT_TRUE(closed);
  EXPECT_EQ(p.machine.TerminatedWith(), std::optional<uint32_t>(0));
  EXPECT_EQ(p.Stored(), p.Bound());
  EXPECT_EQ(p.Stored().first.size(), 5u);
}

// Runs `change` once to count its calls, then once more for every call, ended there by `end`.
// `check` learns the call after which the store has ended (the last call that writes the registry
// or commits a transaction in the first run).
void AtEveryCall(bool transactions, const std::function<void(Program&)>& prepare,
                 const std::function<void(Program&)>& change, const std::function<void(Program&, size_t)>& end,
                 const std::function<void(Program&, size_t, size_t)>& check) {
  size_t calls = 0;
  size_t storeEnd = 0;
  {
    Program p(transactions);
    prepare(p);
    p.machine.ClearCalls();
    change(p);
    p.machine.WaitForThreads();
    const Strings made = p.machine.Calls();
    calls = made.size();
    for (size_t i = 0; i < made.size(); ++i)
      for (const char* write : {"RegSetValueExA", "RegDeleteValueA", "CommitTransaction"})
        if (made[i].rfind(write, 0) == 0) storeEnd = i + 1;
  }
  ASSERT_GT(calls, 10u);
  ASSERT_GT(storeEnd, 0u);
  for (size_t k = 1; k <= calls; ++k) {
    Program p(transactions);
    prepare(p);
    end(p, k);
    change(p);
    p.machine.WaitForThreads();
    check(p, k, storeEnd);
    if (::testing::Test::HasFailure()) return;
  }
}

using Lists = std::pair<Strings, Strings>;  // addresses, and their masks

// An abrupt end (the process killed, the power gone) at any call: the stored lists are the old ones
// or the complete new ones, masks included, and the new ones once the store has ended. Without
// registry transactions the two values are written one after the other: between the writes the
// key holds the new addresses with the old masks, and nothing else.
void ExpectWholeLists(Program& p, size_t k, size_t storeEnd, bool transactions, const Lists& before,
                      const Lists& after) {
  const Lists stored = p.Stored();
  if (k >= storeEnd) {
    EXPECT_EQ(stored, after) << "ended after call " << k << ", the store's last being " << storeEnd;
  } else if (transactions) {
    EXPECT_TRUE(stored == before || stored == after) << "ended after call " << k;
  } else {
    const Lists between{after.first, before.second};
    EXPECT_TRUE(stored == before || stored == after || stored == between) << "ended after call " << k;
  }
}

class AbruptEnd : public ::testing::TestWithParam<bool> {};

TEST_P(AbruptEnd, AnAdditionEndedAtAnyCallLeavesTheOldOrTheNewListsWhole) {
  const bool transactions = GetParam();
  const Lists before{{"192.168.1.10", "192.168.1.11"}, {"255.255.0.0", "255.255.255.128"}};
  const Lists after{{"192.168.1.10", "192.168.1.11", "10.6.0.1", "10.6.0.2", "10.6.0.3"},
                    {"255.255.0.0", "255.255.255.128", "255.255.240.0", "255.255.240.0", "255.255.240.0"}};
  AtEveryCall(transactions, [](Program&) {}, [](Program& p) { p.Add("10.6.0.{1-3}"); },
              [](Program& p, size_t k) { p.machine.EndProcessAfterCalls(k); },
              [&](Program& p, size_t k, size_t storeEnd) {
                ExpectWholeLists(p, k, storeEnd, transactions, before, after);
              });
}

TEST_P(AbruptEnd, ADeletionEndedAtAnyCallLeavesTheOldOrTheNewListsWhole) {
  const bool transactions = GetParam();
  const Lists before{{"192.168.1.10", "192.168.1.11", "10.6.0.1", "10.6.0.2", "10.6.0.3"},
                     {"255.255.0.0", "255.255.255.128", "255.255.240.0", "255.255.240.0", "255.255.240.0"}};
  const Lists after{{"192.168.1.10", "192.168.1.11", "10.6.0.2"}, {"255.255.0.0", "255.255.255.128", "255.255.240.0"}};
  auto prepare = [](Program& p) {
    p.Add("10.6.0.{1-3}");
    p.machine.WaitForThreads();
  };
  AtEveryCall(transactions, prepare, [](Program& p) { p.Delete({"10.6.0.1", "10.6.0.3"}); },
              [](Program& p, size_t k) { p.machine.EndProcessAfterCalls(k); },
              [&](Program& p, size_t k, size_t storeEnd) {
                ExpectWholeLists(p, k, storeEnd, transactions, before, after);
              });
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutRegistryTransactions, AbruptEnd, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Transacted") : std::string("OneValueAfterTheOther");
                         });

// A user's close at any call: the change finishes its store, and the stored lists are what the
// adapter has bound when the process ends.
TEST(ProgramEnd, AnAdditionClosedAtAnyCallStoresExactlyWhatIsBound) {
  AtEveryCall(true, [](Program&) {}, [](Program& p) { p.Add("10.6.0.{1-3}"); },
              [](Program& p, size_t k) { p.CloseAtCall(k); },
              [](Program& p, size_t k, size_t) {
                EXPECT_EQ(p.Stored(), p.Bound()) << "closed at call " << k;
                EXPECT_EQ(p.machine.TerminatedWith(), std::optional<uint32_t>(0)) << "closed at call " << k;
              });
}

TEST(ProgramEnd, ADeletionClosedAtAnyCallStoresExactlyWhatIsBound) {
  auto prepare = [](Program& p) {
    p.Add("10.6.0.{1-3}");
    p.machine.WaitForThreads();
  };
  AtEveryCall(true, prepare, [](Program& p) { p.Delete({"10.6.0.1", "10.6.0.3"}); },
              [](Program& p, size_t k) { p.CloseAtCall(k); },
              [](Program& p, size_t k, size_t) {
                EXPECT_EQ(p.Stored(), p.Bound()) << "closed at call " << k;
                EXPECT_EQ(p.machine.TerminatedWith(), std::optional<uint32_t>(0)) << "closed at call " << k;
              });
}

}  // namespace
}  // namespace corvane::testing
