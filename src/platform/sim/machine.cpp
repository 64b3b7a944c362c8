// The simulated machine: building it, observing it, recording and failure injection.
#include <algorithm>
#include <chrono>
#include "platform/sim/machine.h"

#include "platform/sim/sim_state.h"

namespace corvane::sim {

namespace {

constexpr char kInterfacesPath[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

std::string MultiString(const std::vector<std::string>& entries) {
  std::string data;
  for (const auto& e : entries) {
    data += e;
    data += '\0';
  }
  data += '\0';
  if (entries.empty()) data += '\0';
  return data;
}

// The timings of UseWindowsTimings, by operation (the names SetLatency takes): what each call takes
// on a Windows machine, measured where a public measurement was found (its source given),
// otherwise estimated.
// - A query of the management service: 150 ms, between two measurements: a filtered
//   Win32_NetworkAdapter query took 299 ms ("PowerShell Performance for Network Adapter
//   Enumeration", risual, 2014), a Win32_OperatingSystem query repeated 100 times 26.6 ms on
//   average ("Using Group Policy WMI filters", deploywindows.info, 2016).
// - The first connection to the service in a process starts its provider host: 1,200 ms, an
//   estimate below the 1.5 s measured for the first run of wmic against 0.15 s for later runs
//   (reactphp/dns pull request 94, 2018). Later connections: 40 ms, an estimate.
// - A method call that only reads: as a query, 150 ms. The methods that reconfigure the adapter
//   (the stack takes the new address or gateway, the DNS client its servers) are estimates, as no
//   measurement was found: EnableStatic and EnableDHCP 1,000 ms, SetGateways and
//   SetDNSServerSearchOrder 300 ms.
// - A statement the script control runs costs the calls it makes (its connection, queries and
//   methods, as above) and nothing of its own; creating the control, which loads the script
//   engine's libraries: 30 ms, an estimate; evaluating an expression: 2 ms, an estimate.
// - An echo to a silent address waits its whole timeout, as IcmpSendEcho is documented to do.
// - AddIPAddress and DeleteIPAddress: 20 ms each, an estimate (the stack adds the address and
//   its routes).
// - GetAdaptersInfo and GetAdaptersAddresses: 5 ms each, an estimate (the lists are gathered from
//   the network stack's drivers).
// - gethostbyname: 1 ms, an estimate: the machine's own name is answered from its own addresses,
//   without the network (KB172218); any other name may wait for DNS or NetBIOS for seconds.
// - Duplicate address detection of a new IPv4 address: 3,000 ms tentative. Documented: "For IPv4,
//   the duplicate address detection process typically takes about three seconds"
//   (CreateUnicastIpAddressEntry, Microsoft's IP helper reference), three probes by default
//   (MIB_IPINTERFACE_ROW.DadTransmits).
constexpr std::pair<const char*, uint32_t> kTimings[] = {
    {"ExecQuery", 150}, {"ExecMethod", 150}, {"ConnectServer", 40},
    {"ExecMethod:EnableStatic", 1000}, {"ExecMethod:EnableDHCP", 1000}, {"ExecMethod:SetGateways", 300},
    {"ExecMethod:SetDNSServerSearchOrder", 300}, {"CoCreateInstance(ScriptControl)", 30},
    {"ScriptControl.Eval", 2}, {"AddIPAddress", 20}, {"DeleteIPAddress", 20}, {"GetAdaptersInfo", 5},
    {"GetAdaptersAddresses", 5}, {"gethostbyname", 1}, {"DuplicateAddressDetection", 3000}};

// What the recorded calls of the timed operations begin with.
constexpr const char* kTimedCallTexts[] = {
    "ExecQuery(",      "ExecMethod(",           "IWbemLocator::ConnectServer(", "CoCreateInstance(MSScriptControl",
    "ScriptControl.ExecuteStatement(", "ScriptControl.Eval(", "AddIPAddress(", "DeleteIPAddress(",
    "IcmpSendEcho(",   "GetAdaptersInfo(",      "GetAdaptersAddresses(",        "gethostbyname(",
};

std::string Dword(uint32_t v) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return data;
}

}  // namespace

Machine::State::State() {
  // The clock markers of a Chinese system, converted rather than written as narrow literals so
  // that they are GBK whatever the compiler's execution character set.
  clock.twentyFourHour = true;
  clock.am = WideToCodePage(u"上午", platform::kCodePageGbk);
  clock.pm = WideToCodePage(u"下午", platform::kCodePageGbk);
  const char* const rootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE",
                                   "HKEY_USERS",        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG"};
  for (int i = 0; i < 6; ++i) roots[i].name = rootNames[i];
  ipHelper = std::make_unique<IpHelperSim>(*this);
  router = std::make_unique<RouterAdminSim>(*this);
  registry = std::make_unique<RegistrySim>(*this);
  automation = std::make_unique<AutomationSim>(*this);
  sockets = std::make_unique<SocketsSim>(*this);
  clipboardService = std::make_unique<ClipboardSim>(*this);
  internet = std::make_unique<InternetSim>(*this);
  kernel = std::make_unique<KernelSim>(*this);
}

Machine::State::~State() = default;

std::optional<uint32_t> Machine::State::TakeFailure(const std::string& operation) {
  if (ended) return kProcessEndedCode;
  auto it = failures.find(operation);
  if (it == failures.end() || it->second.empty()) return std::nullopt;
  uint32_t code = it->second.front();
  it->second.pop_front();
  if (it->second.empty()) failures.erase(it);
  return code;
}

void Machine::State::End() {
  {
    std::lock_guard lock(endMutex);
    ended = true;
  }
  endSignal.notify_all();
}

uint32_t Machine::State::TakeLatency(const std::string& operation) {
  auto it = latencies.find(operation);
  if (it == latencies.end()) return 0;
  auto first = firstLatencies.find(operation);
  if (first == firstLatencies.end()) return it->second;
  const uint32_t milliseconds = first->second;
  firstLatencies.erase(first);
  return milliseconds;
}

std::string Machine::State::MethodLatencyName(const std::string& method) const {
  std::lock_guard lock(mutex);
  const std::string own = "ExecMethod:" + method;
  return latencies.count(own) != 0 ? own : std::string("ExecMethod");
}

void Machine::State::Delay(const std::string& operation) {
  uint32_t milliseconds = 0;
  {
    std::lock_guard lock(mutex);
    if (latencies.count(operation) == 0) return;
    milliseconds = TakeLatency(operation);
    int& now = waiting[operation];
    peakWaiting[operation] = std::max(peakWaiting[operation], ++now);
  }
  WaitUnlessEnded(milliseconds);
  std::lock_guard lock(mutex);
  --waiting[operation];
}

bool Machine::State::WaitUnlessEnded(uint32_t milliseconds) {
  std::unique_lock lock(endMutex);
  return !endSignal.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return ended.load(); });
}

SimAdapter* Machine::State::FindAdapter(uint32_t index) {
  for (auto& a : adapters)
    if (a.index == index) return &a;
  return nullptr;
}

bool Machine::State::ContextInUse(uint32_t context) const {
  for (const auto& a : adapters) {
    for (const auto* list : {&a.ipAddresses, &a.gateways, &a.dhcpServers, &a.primaryWins, &a.secondaryWins})
      for (const auto& address : *list)
        if (address.context == context) return true;
  }
  return false;
}

bool Machine::State::AddressBound(uint32_t hostOrder) {
  SettleAddresses();
  for (const auto& a : adapters) {
    if (!MediaConnected(a)) continue;
    for (const auto& address : a.ipAddresses) {
      uint32_t h = 0;
      if (address.context != 0 && address.dadState == platform::kIpDadStatePreferred &&
          ParseDotted(address.address, &h) && h == hostOrder)
        return true;
    }
  }
  return false;
}

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Machine::State::SettleAddresses() {
  const int64_t now = SteadyMilliseconds();
  for (auto& a : adapters)
    for (auto& address : a.ipAddresses)
      if (address.dadState == platform::kIpDadStateTentative && now >= address.settlesAtMs)
        address.dadState = address.heldElsewhere ? platform::kIpDadStateDuplicate : platform::kIpDadStatePreferred;
}

uint32_t Machine::State::FreshContext() {
  while (nextContext == 0 || ContextInUse(nextContext)) ++nextContext;
  // A context handed out anew belongs to its new address alone; whoever asked for it records
  // whether AddIPAddress created that address.
  addedContexts.erase(nextContext);
  return nextContext++;
}

RegNode* Machine::State::CreatePath(RegNode* parent, std::string_view path) {
  RegNode* node = parent;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (!part.empty()) {
      auto& child = node->children[FoldCase(part)];
      if (!child) {
        child = std::make_unique<RegNode>();
        child->name = std::string(part);
      }
      node = child.get();
    }
    start = end + 1;
  }
  return node;
}

void Machine::State::SetRegValue(platform::RegKey root, std::string_view path, const std::string& name,
                                 uint32_t type, const std::string& data) {
  RegNode* node = CreatePath(&roots[root - platform::kHkeyClassesRoot], path);
  RegValue& v = node->values[FoldCase(name)];
  if (v.name.empty()) v.name = name;
  v.type = type;
  v.data = data;
}

void UsableAddresses(const SimAdapter& adapter, std::vector<std::string>* addresses, std::vector<std::string>* masks) {
  for (const auto& address : adapter.ipAddresses) {
    if (address.context == 0 || address.dadState == platform::kIpDadStateDuplicate) continue;
    addresses->push_back(address.address);
    masks->push_back(address.mask);
  }
}

void Machine::State::WriteInterfaceKey(const SimAdapter& a) {
  const std::string path = kInterfacesPath + a.guid;
  auto set = [&](const std::string& name, uint32_t type, const std::string& data) {
    SetRegValue(platform::kHkeyLocalMachine, path, name, type, data);
  };
  std::vector<std::string> addresses;
  std::vector<std::string> masks;
  UsableAddresses(a, &addresses, &masks);
  std::vector<std::string> gateways;
  for (const auto& g : a.gateways) gateways.push_back(g.address);
  std::string nameServers;
  for (const auto& d : a.dnsServers) nameServers += (nameServers.empty() ? "" : ",") + d;

  set("EnableDHCP", platform::kRegDword, Dword(a.dhcpEnabled != 0 ? 1 : 0));
  if (a.dhcpEnabled != 0) {
    set("IPAddress", platform::kRegMultiSz, MultiString({"0.0.0.0"}));
    set("SubnetMask", platform::kRegMultiSz, MultiString({"0.0.0.0"}));
    set("DefaultGateway", platform::kRegMultiSz, MultiString({}));
    set("DhcpIPAddress", platform::kRegSz, (addresses.empty() ? "0.0.0.0" : addresses.front()) + '\0');
    set("DhcpSubnetMask", platform::kRegSz, (masks.empty() ? "255.0.0.0" : masks.front()) + '\0');
    set("DhcpDefaultGateway", platform::kRegMultiSz, MultiString(gateways));
    if (!a.dhcpServers.empty()) set("DhcpServer", platform::kRegSz, a.dhcpServers.front().address + '\0');
    set("DhcpNameServer", platform::kRegSz, nameServers + '\0');
    set("LeaseObtainedTime", platform::kRegDword, Dword(static_cast<uint32_t>(a.leaseObtained)));
    set("LeaseTerminatesTime", platform::kRegDword, Dword(static_cast<uint32_t>(a.leaseExpires)));
  } else {
    set("IPAddress", platform::kRegMultiSz, MultiString(addresses));
    set("SubnetMask", platform::kRegMultiSz, MultiString(masks));
    set("DefaultGateway", platform::kRegMultiSz, MultiString(gateways));
    set("NameServer", platform::kRegSz, nameServers + '\0');
  }
}

void ObservedMutex::unlock() {
  if (--depth_ > 0) {
    mutex_.unlock();
    return;
  }
  std::vector<std::function<void()>> notices;
  notices.swap(notices_);
  mutex_.unlock();
  for (auto& notice : notices) {
    try {
      notice();
    } catch (...) {
      // An observer's failure is the test's to report; the machine goes on.
    }
  }
}

// --- Machine ---

Machine::Machine() : state_(std::make_unique<State>()) {}

Machine::~Machine() {
  WaitForThreads();
}

SimAdapter& Machine::AddAdapter(SimAdapter adapter) {
  std::lock_guard lock(state_->mutex);
  state_->adapters.push_back(std::move(adapter));
  return state_->adapters.back();
}

void Machine::RemoveAdapter(uint32_t index) {
  std::lock_guard lock(state_->mutex);
  auto& list = state_->adapters;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->index == index) {
      list.erase(it);
      return;
    }
  }
}

bool Machine::ChangeAdapter(uint32_t index, const std::function<void(SimAdapter&)>& change) {
  std::lock_guard lock(state_->mutex);
  SimAdapter* a = state_->FindAdapter(index);
  if (a == nullptr) return false;
  change(*a);
  return true;
}

std::vector<SimAdapter> Machine::Adapters() const {
  std::lock_guard lock(state_->mutex);
  state_->SettleAddresses();
  return state_->adapters;
}

void Machine::SetNextContext(uint32_t context) {
  std::lock_guard lock(state_->mutex);
  state_->nextContext = context;
}

void Machine::WriteInterfaceKey(uint32_t index) {
  std::lock_guard lock(state_->mutex);
  if (const SimAdapter* a = state_->FindAdapter(index)) state_->WriteInterfaceKey(*a);
}

void Machine::SetHostName(const std::string& name) {
  std::lock_guard lock(state_->mutex);
  state_->hostName = name;
}

void Machine::AddHost(const std::string& name, std::vector<std::string> addresses) {
  std::lock_guard lock(state_->mutex);
  state_->hosts.emplace_back(name, std::move(addresses));
}

void Machine::AddEchoResponder(const std::string& address) {
  std::lock_guard lock(state_->mutex);
  uint32_t h = 0;
  if (ParseDotted(address, &h)) state_->echoResponders.insert(h);
}

void Machine::AddNeighbour(uint32_t index, const std::string& address, bool answersEcho) {
  std::lock_guard lock(state_->mutex);
  uint32_t h = 0;
  if (!ParseDotted(address, &h)) return;
  state_->neighbours[index].insert(h);
  if (answersEcho) state_->echoResponders.insert(h);
}

void Machine::SetLocalNow(const platform::DateTime& now) {
  std::lock_guard lock(state_->mutex);
  state_->localNow = now;
}

void Machine::SetUtcOffsetMinutes(int minutes) {
  std::lock_guard lock(state_->mutex);
  state_->utcOffsetMinutes = minutes;
}

void Machine::SetClock(const platform::ClockSettings& clock) {
  std::lock_guard lock(state_->mutex);
  state_->clock = clock;
}

void Machine::SetSystemDepPolicy(int policy) {
  std::lock_guard lock(state_->mutex);
  state_->systemDepPolicy = policy;
}

void Machine::SetPage(const std::string& url, const std::string& bytes, size_t chunk) {
  std::lock_guard lock(state_->mutex);
  state_->pages[url] = State::Page{bytes, chunk};
}

void Machine::SetOnline(bool online) {
  std::lock_guard lock(state_->mutex);
  state_->online = online;
}

void Machine::SetRouterAdminAvailable(bool available) {
  std::lock_guard lock(state_->mutex);
  state_->routerAdminAvailable = available;
}

void Machine::SetInstrumentationAvailable(bool available) {
  std::lock_guard lock(state_->mutex);
  state_->instrumentationAvailable = available;
}

void Machine::SetConnectionManagerAvailable(bool available) {
  std::lock_guard lock(state_->mutex);
  state_->connectionManagerAvailable = available;
}

void Machine::SetScriptControlAvailable(bool available) {
  std::lock_guard lock(state_->mutex);
  state_->scriptControlAvailable = available;
}

void Machine::SetRegistryTransactionsAvailable(bool available) {
  std::lock_guard lock(state_->mutex);
  state_->registryTransactionsAvailable = available;
}

std::vector<std::string> Machine::Calls() const {
  std::lock_guard lock(state_->mutex);
  return state_->calls;
}

std::vector<Machine::CallRecord> Machine::CallRecords() const {
  std::lock_guard lock(state_->mutex);
  std::vector<CallRecord> records;
  records.reserve(state_->calls.size());
  for (size_t i = 0; i < state_->calls.size(); ++i) records.push_back(CallRecord{state_->calls[i], state_->callThreads[i]});
  return records;
}

void Machine::ClearCalls() {
  std::lock_guard lock(state_->mutex);
  state_->calls.clear();
  state_->callThreads.clear();
}

void Machine::FailNext(const std::string& operation, uint32_t code) {
  std::lock_guard lock(state_->mutex);
  state_->failures[operation].push_back(code);
}

void Machine::SetCallObserver(std::function<void(const std::string&)> observer) {
  std::lock_guard lock(state_->mutex);
  state_->callObserver = std::move(observer);
}

void Machine::EndProcessAfterCalls(size_t calls) {
  std::lock_guard lock(state_->mutex);
  state_->endAfterCalls = calls;
}

bool Machine::ProcessEnded() const { return state_->ended; }

void Machine::UseWindowsTimings(bool on) {
  std::lock_guard lock(state_->mutex);
  state_->windowsTimings = on;
  for (const auto& [operation, milliseconds] : kTimings) {
    if (on)
      state_->latencies[operation] = milliseconds;
    else
      state_->latencies.erase(operation);
  }
  if (on)
    state_->firstLatencies["ConnectServer"] = 1200;
  else
    state_->firstLatencies.clear();
}

int Machine::PeakConcurrentCalls(const std::string& operation) const {
  std::lock_guard lock(state_->mutex);
  auto it = state_->peakWaiting.find(operation);
  return it == state_->peakWaiting.end() ? 0 : it->second;
}

bool Machine::HasWindowsTiming(const std::string& call) {
  for (const char* text : kTimedCallTexts)
    if (call.rfind(text, 0) == 0) return true;
  return false;
}

void Machine::SetLatency(const std::string& operation, uint32_t milliseconds) {
  std::lock_guard lock(state_->mutex);
  if (milliseconds == 0)
    state_->latencies.erase(operation);
  else
    state_->latencies[operation] = milliseconds;
}

void Machine::WaitForThreads() {
  std::unique_lock lock(state_->threadMutex);
  state_->threadsDone.wait(lock, [&] { return state_->runningThreads == 0; });
}

std::optional<std::string> Machine::LocalMachineValue(const std::string& key, const std::string& valueName) const {
  std::lock_guard lock(state_->mutex);
  const RegNode* node = &state_->roots[platform::kHkeyLocalMachine - platform::kHkeyClassesRoot];
  size_t start = 0;
  while (node != nullptr && start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string::npos) end = key.size();
    if (end > start) {
      auto it = node->children.find(FoldCase(key.substr(start, end - start)));
      node = it == node->children.end() ? nullptr : it->second.get();
    }
    start = end + 1;
  }
  if (node == nullptr) return std::nullopt;
  auto it = node->values.find(FoldCase(valueName));
  if (it == node->values.end()) return std::nullopt;
  return it->second.data;
}

std::optional<uint32_t> Machine::TerminatedWith() const {
  std::lock_guard lock(state_->mutex);
  return state_->terminatedWith;
}

std::optional<uint32_t> Machine::ProcessDepPolicy() const {
  std::lock_guard lock(state_->mutex);
  return state_->processDepPolicy;
}

std::optional<std::string> Machine::ClipboardText() const {
  std::lock_guard lock(state_->mutex);
  return state_->clipboard;
}

int Machine::AutomationInitializations() const {
  std::lock_guard lock(state_->mutex);
  auto it = state_->comInitializations.find(std::this_thread::get_id());
  return it == state_->comInitializations.end() ? 0 : it->second;
}

platform::IpHelper& Machine::ipHelper() {
  return *state_->ipHelper;
}
platform::RouterAdmin& Machine::router() {
  return *state_->router;
}
platform::Registry& Machine::registry() {
  return *state_->registry;
}
platform::Automation& Machine::automation() {
  return *state_->automation;
}
platform::Sockets& Machine::sockets() {
  return *state_->sockets;
}
platform::Clipboard& Machine::clipboard() {
  return *state_->clipboardService;
}
platform::Internet& Machine::internet() {
  return *state_->internet;
}
platform::Kernel& Machine::kernel() {
  return *state_->kernel;
}

}  // namespace corvane::sim
