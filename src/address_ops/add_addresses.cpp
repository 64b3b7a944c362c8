#include "address_ops/add_addresses.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "address_ops/address_store.h"
#include "app/activity_log.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "app/program_end.h"
#include "app/window_layouts.h"
#include "config/registry_access.h"
#include "common/ipv4.h"
#include "common/text.h"

namespace corvane::address_ops {

namespace aw = app::add_window;

namespace {

constexpr uint32_t kEchoTimeoutMs = 30;
constexpr char kDefaultMask[] = "255.255.255.0";

// A bound as the whole program reads integers; a bound past 32 bits is no bound at all.
bool ReadBound(const std::string& text, int32_t* value) {
  text::IntegerReading r = text::ReadIntegerDetailed(text);
  *value = r.value;
  return !r.saturated;
}

std::string TextUpToNul(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

std::string AddedLine(const std::string& address, uint32_t result) {
  if (result == 0) return "添加IP-地址 " + address + " 成功.";
  return "添加IP-地址 " + address + " 失败,返回代码" + text::Decimal(result) + ".";
}

std::string InUseLine(const std::string& address) { return "添加IP-地址 " + address + " 失败,该ip可能已被占用."; }

// What became of one line of the address box, or of one of its addresses.
struct Outcome {
  enum class Kind { BadRange, BadFormat, InUse, Added, Failed } kind = Kind::Added;
  std::string address;
  uint32_t code = 0;         // AddIPAddress's result
  uint32_t value = 0;        // of an address added: the address in network byte order,
  uint32_t nteContext = 0;   // and its context
  uint32_t removalCode = 0;  // DeleteIPAddress's failure, for a duplicate that could not be taken off
};

}  // namespace

std::vector<std::string> SplitAddressLines(const std::string& text) { return text::Split(text, "\r\n"); }

bool IsRangeLine(const std::string& line) {
  return text::Find(line, "{") > 0 && text::Find(line, "}") > 0 && text::Find(line, "-") > 0;
}

RangeBounds ParseRangeLine(const std::string& line) {
  RangeBounds r;
  const int open = text::Find(line, "{");
  const int dashAfterOpen = text::Find(line, "-", open + 1);
  const int closeAfterOpenDash = dashAfterOpen > 0 ? text::Find(line, "}", dashAfterOpen + 1) : -1;
  const int firstDash = text::Find(line, "-");
  const int closeAfterDash = text::Find(line, "}", firstDash + 1);
  r.prefix = text::Left(line, open - 1);
  std::string firstText =
      dashAfterOpen > 0 ? text::Middle(line, open + 1, dashAfterOpen - open - 1) : text::Middle(line, open + 1);
  std::string lastText = closeAfterDash > 0 ? text::Middle(line, firstDash + 1, closeAfterDash - firstDash - 1)
                                            : text::Middle(line, firstDash + 1);
  bool inRange = ReadBound(firstText, &r.first) && ReadBound(lastText, &r.last);
  // A "}" only before the dash of the braces ("}1.2.3.{1-3") closes nothing.
  const bool closed = closeAfterOpenDash > 0;
  const bool countable = static_cast<int64_t>(r.last) - r.first < kMaxRangeCount;
  r.valid = closed && inRange && r.first > 0 && r.last > 0 && r.first < r.last && countable;
  return r;
}

bool ParseDottedAddress(const std::string& text, uint32_t* address) {
  return ipv4::ParseDottedAddress(text, address);
}

void OpenAddWindow(app::AppContext& context) {
  context.services.windows.OpenModal(app::AddWindowSpec(), context.window,
                                     [&context](platform::Window& window, const platform::Event& event) {
                                       try {
                                         if (event.kind == platform::EventKind::Created) {
                                           InitAddWindow(context, window);
                                         } else if (event.kind == platform::EventKind::Clicked &&
                                                    event.control == aw::kConfirm) {
                                           ConfirmAddWindow(context, window);
                                         }
                                       } catch (...) {
                                       }
                                     });
}

void InitAddWindow(app::AppContext& context, platform::Window& window) {
  const std::string adapterName = context.adapterContext().adapterName;
  const std::string path = InterfaceKeyPath(adapterName);

  uint32_t type = platform::kRegNone;
  config::RegistryAccess registry(context.services.registry);
  std::string dhcpMask = registry.ReadValueBytes(path, "DhcpSubnetMask", &type);
  if (type == platform::kRegSz) {
    window.SetText(aw::kMask, TextUpToNul(dhcpMask));
  } else if (type == platform::kRegExpandSz) {
    window.SetText(aw::kMask, context.services.registry.ExpandEnvironment(TextUpToNul(dhcpMask)));
  } else {
    window.SetText(aw::kMask, "");
  }
  if (!window.Text(aw::kMask).empty()) return;

  window.SetText(aw::kMask, registry.ReadMultiStringText(path, "SubnetMask"));
  if (!window.Text(aw::kMask).empty()) return;

  window.SetText(aw::kMask, kDefaultMask);
}

void ConfirmAddWindow(app::AppContext& context, platform::Window& window) {
  app::AddRangeRequest request;
  request.addresses = window.Text(aw::kAddresses);
  request.mask = window.Text(aw::kMask);
  request.occupancyQuery = window.IsChecked(aw::kOccupancyQuery) ? 1 : 0;
  request.target = app::SelectedTarget(context);
  // The addition is accepted here, on the window thread: from this click on nothing else runs
  // until its store has ended. While another operation runs, the window stays open as it is.
  app::OperationHold operation = context.busy.TryBegin(context);
  if (!operation) return;
  // The change counts from here too, so that a close arriving before the worker runs waits for it.
  if (app::BeginChange(context)) {
    auto work = [&context, request, operation] {
      AddAddressRange(context, request);
      app::EndChange(context);
    };
    if (!context.services.kernel.StartThread(work)) app::EndChange(context);
  }
  window.Close();
}

uint32_t AddOneAddress(app::AppContext& context, const std::string& address, const std::string& mask,
                       uint32_t ifIndex, uint32_t* nteContext) {
  uint32_t addressValue = 0;
  uint32_t maskValue = 0;
  // Only a full dotted address is bound: the short forms the socket library accepts ("10.1.2",
  // "10") would bind an address nobody typed.
  if (!ParseDottedAddress(address, &addressValue) || !ParseDottedAddress(mask, &maskValue))
    return platform::kErrorInvalidParameter;
  uint32_t added = 0;
  uint32_t nteInstance = 0;
  const uint32_t result = context.services.ipHelper.AddIPAddress(addressValue, maskValue, ifIndex, &added, &nteInstance);
  if (nteContext != nullptr) *nteContext = added;
  return result;
}

std::vector<uint32_t> DetectDuplicates(app::AppContext& context, const app::ChangeTarget& target,
                                       const std::vector<uint32_t>& added) {
  const std::unordered_set<uint32_t> asked(added.begin(), added.end());
  std::vector<uint32_t> duplicates;
  for (uint32_t waited = 0;; waited += kDetectionPollMs) {
    std::vector<platform::AdapterAddresses> entries;
    if (context.services.ipHelper.GetAdaptersAddresses(platform::kAfInet, platform::kGaaFlagSkipFriendlyName,
                                                        &entries) != platform::kNoError)
      return {};
    bool tentative = false;
    duplicates.clear();
    for (const platform::AdapterAddresses& entry : entries) {
      const bool adapter = target.adapterName.empty() ? entry.IfIndex == static_cast<uint32_t>(target.index)
                                                      : entry.AdapterName == target.adapterName;
      if (!adapter) continue;
      for (const platform::UnicastAddress& unicast : entry.Unicast) {
        if (asked.count(unicast.Address) == 0) continue;
        if (unicast.DadState == platform::kIpDadStateTentative) tentative = true;
        if (unicast.DadState == platform::kIpDadStateDuplicate) duplicates.push_back(unicast.Address);
      }
    }
    if (!tentative || waited >= kDetectionLimitMs) return duplicates;
    // The end of the process cuts the wait short.
    if (!context.services.kernel.Sleep(kDetectionPollMs)) return duplicates;
  }
}

bool IsAddressInUse(app::AppContext& context, const std::string& address) {
  uint32_t target = 0;
  if (!ParseDottedAddress(address, &target)) {
    std::vector<uint32_t> resolved;
    if (!context.services.sockets.GetHostByName(address, &resolved) || resolved.empty()) return false;
    target = resolved.front();
  }
  return context.services.ipHelper.SendEcho(target, kEchoTimeoutMs);
}

std::vector<bool> QueryOccupancy(app::AppContext& context, const std::vector<std::string>& addresses) {
  // Shared with the echo threads, which may outlive this call by their last bookkeeping.
  struct Batch {
    std::vector<std::string> addresses;
    std::vector<char> answers;
    size_t next = 0;
    size_t finished = 0;
    std::mutex mutex;
    std::condition_variable done;
  };
  auto batch = std::make_shared<Batch>();
  batch->addresses = addresses;
  batch->answers.assign(addresses.size(), 0);
  const size_t count = addresses.size();
  // Each thread takes the next address until none is left; a close leaves the rest unasked.
  auto work = [&context, batch, count] {
    for (;;) {
      size_t i = 0;
      {
        std::lock_guard lock(batch->mutex);
        if (batch->next == count) return;
        i = batch->next++;
      }
      const bool answered = !app::ChangeMustStop(context) && IsAddressInUse(context, batch->addresses[i]);
      std::lock_guard lock(batch->mutex);
      batch->answers[i] = answered ? 1 : 0;
      if (++batch->finished == count) batch->done.notify_all();
    }
  };
  size_t started = 0;
  for (size_t t = 0; t < std::min(count, kEchoesInFlight); ++t)
    if (context.services.kernel.StartThread(work)) ++started;
  if (started == 0) work();  // no thread to be had: one echo after another
  std::unique_lock lock(batch->mutex);
  batch->done.wait(lock, [&] { return batch->finished == count; });
  return std::vector<bool>(batch->answers.begin(), batch->answers.end());
}

namespace {

// One line of the address box as the addition works through it.
struct PlannedLine {
  enum class Kind { Range, BadRange, BadFormat, Single } kind = Kind::Single;
  std::vector<std::string> addresses;  // a range's addresses in ascending order, or the one line
};

}  // namespace

void AddAddressRange(app::AppContext& context, const app::AddRangeRequest& request) {
  // A mask of no ones, or with a gap, would give each address a network that takes over routes
  // far beyond it: nothing is bound with it.
  if (!ipv4::IsUsableMaskText(request.mask)) {
    app::AppendLog(context, "添加IP-地址子网掩码 " + request.mask + " 无效,未添加任何地址！");
    return;
  }
  app::AppendLog(context, "开始添加IP....");
  const bool occupancy = request.occupancyQuery == 1;
  const uint32_t ifIndex = static_cast<uint32_t>(request.target.index);
  int32_t added = 0;
  int32_t failed = 0;

  // The lines expanded first, so that the occupancy query can ask every address at once.
  std::vector<PlannedLine> plan;
  std::vector<std::string> asked;
  for (const std::string& line : SplitAddressLines(request.addresses)) {
    PlannedLine planned;
    if (IsRangeLine(line)) {
      RangeBounds range = ParseRangeLine(line);
      planned.kind = range.valid ? PlannedLine::Kind::Range : PlannedLine::Kind::BadRange;
      if (range.valid)
        for (int64_t n = range.first; n <= range.last; ++n) planned.addresses.push_back(range.prefix + text::Decimal(n));
    } else {
      std::vector<uint32_t> resolved;
      planned.kind = context.services.sockets.GetHostByName(line, &resolved) ? PlannedLine::Kind::Single
                                                                             : PlannedLine::Kind::BadFormat;
      if (planned.kind == PlannedLine::Kind::Single) planned.addresses.push_back(line);
    }
    if (occupancy) asked.insert(asked.end(), planned.addresses.begin(), planned.addresses.end());
    plan.push_back(std::move(planned));
  }
  // The echoes go out together, each with its own wait; the log keeps the order of the lines.
  const std::vector<bool> inUse = occupancy ? QueryOccupancy(context, asked) : std::vector<bool>{};
  size_t answer = 0;

  // What became of each line and address, in order; logged once the segment has answered for the
  // new addresses, so that no address another host holds is ever reported as added.
  std::vector<Outcome> outcomes;
  for (const PlannedLine& line : plan) {
    // A close stops the run before its next address; what was bound is still stored below.
    if (app::ChangeMustStop(context)) break;
    if (line.kind == PlannedLine::Kind::BadRange || line.kind == PlannedLine::Kind::BadFormat) {
      Outcome rejected;
      rejected.kind = line.kind == PlannedLine::Kind::BadRange ? Outcome::Kind::BadRange : Outcome::Kind::BadFormat;
      outcomes.push_back(std::move(rejected));
      continue;
    }
    for (const std::string& address : line.addresses) {
      if (app::ChangeMustStop(context)) break;
      Outcome outcome;
      outcome.kind = Outcome::Kind::InUse;
      outcome.address = address;
      if (!(occupancy && inUse[answer++])) {
        outcome.code = AddOneAddress(context, address, request.mask, ifIndex, &outcome.nteContext);
        outcome.kind = outcome.code == 0 ? Outcome::Kind::Added : Outcome::Kind::Failed;
        if (outcome.code == 0) ParseDottedAddress(address, &outcome.value);  // bound, so dotted
      }
      outcomes.push_back(std::move(outcome));
    }
  }

  // One wait for the whole batch; an address another host holds is taken off again.
  std::vector<uint32_t> bound;
  for (const Outcome& outcome : outcomes)
    if (outcome.kind == Outcome::Kind::Added) bound.push_back(outcome.value);
  std::unordered_set<uint32_t> duplicates;
  if (!bound.empty())
    for (uint32_t value : DetectDuplicates(context, request.target, bound)) duplicates.insert(value);
  std::vector<std::string> lines;
  for (Outcome& outcome : outcomes) {
    if (outcome.kind == Outcome::Kind::Added && duplicates.count(outcome.value) != 0) {
      outcome.kind = Outcome::Kind::InUse;
      const uint32_t removed = context.services.ipHelper.DeleteIPAddress(outcome.nteContext);
      if (removed != 0) outcome.removalCode = removed;
    }
    switch (outcome.kind) {
      case Outcome::Kind::BadRange:
        lines.push_back("添加IP-地址地址范围错误！");
        break;
      case Outcome::Kind::BadFormat:
        lines.push_back("添加IP-地址地址格式输入错误！");
        break;
      case Outcome::Kind::InUse:
        lines.push_back(InUseLine(outcome.address));
        if (outcome.removalCode != 0)
          lines.push_back("删除IP-地址 " + outcome.address + " 失败,返回代码" + text::Decimal(outcome.removalCode) + ".");
        break;
      case Outcome::Kind::Added:
        ++added;
        lines.push_back(AddedLine(outcome.address, 0));
        break;
      case Outcome::Kind::Failed:
        ++failed;
        lines.push_back(AddedLine(outcome.address, outcome.code));
        break;
    }
  }
  app::AppendLogLines(context, lines);

  // The operation holds the busy state until the store has ended: no other change, and no other
  // adapter chosen, in between.
  app::RefreshAdapters(context);
  app::AppendLog(context, "添加IP完成，添加成功" + text::Decimal(added) + "，添加失败" + text::Decimal(failed) + "。");
  StoreAddressList(context, request.target);
}

}  // namespace corvane::address_ops
