// The inside of the simulated machine: its state, one lock over all of it, and the service
// objects that answer through it. Only the sim's own sources include this header.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/sim/machine.h"

namespace corvane::sim {

// --- text helpers shared by the services ---

// ASCII letters folded to small letters; other bytes untouched.
std::string FoldCase(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Strict dotted-decimal IPv4 text ("a.b.c.d", decimal parts 0-255, no leading zeros beyond one
// digit, nothing else) to a host-order value.
bool ParseDotted(std::string_view text, uint32_t* hostOrder);
std::string FormatDotted(uint32_t hostOrder);
// Network byte order (as inet_addr returns it) to and from host order.
uint32_t NetworkToHost(uint32_t network);
uint32_t HostToNetwork(uint32_t host);
// inet_addr: every form the Windows function accepts; INADDR_NONE (network order) otherwise.
uint32_t InetAddrNetworkOrder(std::string_view text);
// True for a mask of contiguous leading ones (host order), 0 and 0xFFFFFFFF included.
bool IsContiguousMask(uint32_t hostOrder);

// Code-page conversion (936 or 65001; 1, the OEM code page, is taken as 936). Characters without
// a counterpart become '?'.
std::string WideToCodePage(std::u16string_view text, uint32_t codePage);
std::u16string CodePageToWide(std::string_view text, uint32_t codePage);
// A wide text for a call record: ASCII kept, everything else as '?'.
std::string WideForRecord(std::u16string_view text);

// --- registry ---

struct RegValue {
  std::string name;  // as first written
  uint32_t type = 0;
  std::string data;
};

struct RegNode {
  std::string name;                                          // as created
  std::map<std::string, std::unique_ptr<RegNode>> children;  // key: folded name
  std::map<std::string, RegValue> values;                    // key: folded name
};

// A registry transaction: the keys created and the values set or deleted through its keys, held
// apart from the hive until the commit applies them all at once.
struct RegStagedKey {
  int root = 0;                                           // index into State::roots
  std::vector<std::string> path;                          // below the root, as created
  std::map<std::string, std::optional<RegValue>> values;  // key: folded name; empty: deleted
};
struct RegTransactionSim {
  bool committed = false;
  std::map<std::string, RegStagedKey> keys;  // key: the root's index and the folded path
};
// A key opened through a transaction: it names its place, which may exist only in the transaction.
struct RegTransactedKey {
  platform::RegTransaction transaction = 0;
  int root = 0;
  std::vector<std::string> path;
};

// --- script control ---

struct ScriptProcedure {
  std::string name;
  std::string body;
  bool vbscript = false;
  int firstLine = 0;  // VBScript: the line of the added code the body starts on
};

class IpHelperSim;
class RouterAdminSim;
class RegistrySim;
class AutomationSim;
class SocketsSim;
class ClipboardSim;
class InternetSim;
class KernelSim;

// How deep this thread is in call observers (see Machine::InsideMachine).
extern thread_local int t_observerDepth;

// The machine's lock: recursive, and the call observer's notices that a thread queues while it
// holds the lock run on that thread once it has let go of the lock entirely. An observer thus
// never holds the machine's lock, and may wait for other threads (such as a window thread that is
// itself about to call the machine).
class ObservedMutex {
 public:
  void lock() {
    mutex_.lock();
    ++depth_;
  }
  bool try_lock() {
    if (!mutex_.try_lock()) return false;
    ++depth_;
    return true;
  }
  void unlock();
  // With the lock held: runs `notice` on this thread after its outermost unlock.
  void AfterUnlock(std::function<void()> notice) { notices_.push_back(std::move(notice)); }

 private:
  std::recursive_mutex mutex_;
  int depth_ = 0;                              // the owning thread's depth
  std::vector<std::function<void()>> notices_;  // the owning thread's, taken at its last unlock
};

struct Machine::State {
  State();
  ~State();

  // One lock for everything below. Recursive, so that a service may call another one (the
  // script control runs instrumentation calls) and ChangeAdapter callbacks may read the machine.
  mutable ObservedMutex mutex;

  std::vector<SimAdapter> adapters;
  uint32_t nextContext = 0x10;
  // Contexts of the addresses AddIPAddress created in this run: the only ones DeleteIPAddress removes.
  std::set<uint32_t> addedContexts;
  uint32_t nextInstance = 1;

  std::string hostName = "CORVANE-DEMO";
  std::vector<std::pair<std::string, std::vector<std::string>>> hosts;
  std::set<uint32_t> echoResponders;  // host order
  std::map<uint32_t, std::set<uint32_t>> neighbours;  // adapter index -> addresses other hosts hold

  platform::DateTime localNow{2026, 12, 8, 9, 5, 7};
  int utcOffsetMinutes = 480;
  platform::ClockSettings clock;
  int systemDepPolicy = 2;
  std::optional<uint32_t> processDepPolicy;
  std::optional<uint32_t> terminatedWith;

  struct Page {
    std::string bytes;
    size_t chunk = 0;  // the most one read hands out; 0: as much as asked for
  };
  std::map<std::string, Page> pages;
  bool online = true;

  bool routerAdminAvailable = true;
  bool instrumentationAvailable = true;
  bool connectionManagerAvailable = true;
  bool scriptControlAvailable = true;

  std::optional<std::string> clipboard;

  RegNode roots[6];  // HKEY_CLASSES_ROOT .. HKEY_CURRENT_CONFIG
  std::map<platform::RegKey, RegNode*> openKeys;
  platform::RegKey nextKeyHandle = 0x1000;
  // Registry transactions, and the keys opened through them (handles from nextKeyHandle).
  bool registryTransactionsAvailable = true;
  std::map<platform::RegTransaction, RegTransactionSim> transactions;
  std::map<platform::RegKey, RegTransactedKey> transactedKeys;
  platform::RegTransaction nextTransactionHandle = 0x7000;

  uintptr_t nextRouterHandle = 0x5000;
  std::set<uintptr_t> routerHandles;

  std::map<std::thread::id, int> comInitializations;
  bool comSecurityInitialized = false;

  std::vector<std::string> calls;
  std::vector<std::thread::id> callThreads;  // the thread of each of `calls`
  std::function<void(const std::string&)> callObserver;
  std::map<std::string, std::deque<uint32_t>> failures;

  // The end of the simulated process (TerminateOwnProcess, or EndProcessAfterCalls running out):
  // from then on no call of any thread has an effect or is recorded. Set with the lock held; read
  // without it by calls waiting out their latency.
  std::atomic<bool> ended{false};
  size_t endAfterCalls = 0;  // 0: no end planned
  std::map<std::string, uint32_t> latencies;  // operation -> milliseconds
  std::map<std::string, uint32_t> firstLatencies;  // the first call's, where it differs
  bool windowsTimings = false;  // echoes to silent addresses wait their timeout
  std::map<std::string, int> waiting;         // calls in their latency now, by operation
  std::map<std::string, int> peakWaiting;     // the most there ever were
  std::mutex endMutex;
  std::condition_variable endSignal;

  // Threads of the kernel service; their own lock so that waiting never blocks the services.
  std::mutex threadMutex;
  std::condition_variable threadsDone;
  int runningThreads = 0;

  std::unique_ptr<IpHelperSim> ipHelper;
  std::unique_ptr<RouterAdminSim> router;
  std::unique_ptr<RegistrySim> registry;
  std::unique_ptr<AutomationSim> automation;
  std::unique_ptr<SocketsSim> sockets;
  std::unique_ptr<ClipboardSim> clipboardService;
  std::unique_ptr<InternetSim> internet;
  std::unique_ptr<KernelSim> kernel;

  // --- used with the lock held ---
  // The observer sees the call on the calling thread once the call has let go of the machine's
  // lock (see ObservedMutex), before the call returns.
  void Record(std::string call) {
    if (ended) return;
    calls.push_back(call);
    callThreads.push_back(std::this_thread::get_id());
    if (endAfterCalls > 0 && --endAfterCalls == 0) End();
    // A copy: the observer may call the machine, which records further calls.
    if (callObserver) {
      mutex.AfterUnlock([observer = callObserver, call = std::move(call)] {
        ++t_observerDepth;
        observer(call);
        --t_observerDepth;
      });
    }
  }
  // Takes the next injected failure of `operation`, if any. After the end of the process every
  // operation fails with kProcessEndedCode and does nothing.
  std::optional<uint32_t> TakeFailure(const std::string& operation);
  void End();
  // Waits out the latency set for `operation`, or until the process ends. Called before the lock
  // is taken, so that a slow call holds up only its own thread.
  void Delay(const std::string& operation);
  // The latency of `operation` (its first call's where that differs, which it uses up), without
  // waiting; with the lock held.
  uint32_t TakeLatency(const std::string& operation);
  // What a configuration method takes: its own latency ("ExecMethod:EnableStatic"), else the
  // method call's. Takes the lock.
  std::string MethodLatencyName(const std::string& method) const;
  // Waits `milliseconds`, or until the process ends; false when it has ended. Without the lock.
  bool WaitUnlessEnded(uint32_t milliseconds);
  SimAdapter* FindAdapter(uint32_t index);
  // Contexts in use on any adapter's address lists.
  bool ContextInUse(uint32_t context) const;
  // True when an adapter holds the address (host order) with a usable context, past its duplicate
  // address detection.
  bool AddressBound(uint32_t hostOrder);
  // Ends the duplicate address detection of every address whose time has come.
  void SettleAddresses();
  uint32_t FreshContext();
  void WriteInterfaceKey(const SimAdapter& adapter);
  // Registry helpers for building: create the key path below a root, set a value.
  RegNode* CreatePath(RegNode* parent, std::string_view path);
  void SetRegValue(platform::RegKey root, std::string_view path, const std::string& name, uint32_t type,
                   const std::string& data);
};

// --- the service objects ---

class IpHelperSim final : public platform::IpHelper {
 public:
  explicit IpHelperSim(Machine::State& s) : s_(s) {}
  uint32_t GetAdaptersInfo(void* buffer, uint32_t* size) override;
  uint32_t GetInterfaceInfo(void* buffer, uint32_t* size) override;
  uint32_t GetPerAdapterInfo(uint32_t ifIndex, void* buffer, uint32_t* size) override;
  uint32_t GetAdaptersAddresses(uint32_t family, uint32_t flags,
                                std::vector<platform::AdapterAddresses>* out) override;
  uint32_t GetAdapterIndex(const std::u16string& adapterName, uint32_t* ifIndex) override;
  uint32_t GetIfEntry(uint32_t ifIndex, platform::IfRow* row) override;
  uint32_t AddIPAddress(uint32_t address, uint32_t mask, uint32_t ifIndex, uint32_t* nteContext,
                        uint32_t* nteInstance) override;
  uint32_t DeleteIPAddress(uint32_t nteContext) override;
  bool SendEcho(uint32_t address, uint32_t timeoutMs) override;

 private:
  Machine::State& s_;
};

class RouterAdminSim final : public platform::RouterAdmin {
 public:
  explicit RouterAdminSim(Machine::State& s) : s_(s) {}
  uint32_t ConfigServerConnect(uintptr_t* handle) override;
  uint32_t ConfigGetFriendlyName(uintptr_t handle, const char16_t* interfaceName, char16_t* buffer,
                                 uint32_t bufferBytes) override;

 private:
  Machine::State& s_;
};

class RegistrySim final : public platform::Registry {
 public:
  explicit RegistrySim(Machine::State& s) : s_(s) {}
  int32_t CreateKey(platform::RegKey parent, const std::string& subkey, platform::RegKey* result) override;
  int32_t OpenKey(platform::RegKey parent, const std::string& subkey, platform::RegKey* result) override;
  int32_t QueryValue(platform::RegKey key, const std::string& valueName, uint32_t* type, uint8_t* data,
                     uint32_t* size) override;
  int32_t SetValue(platform::RegKey key, const std::string& valueName, uint32_t type, const uint8_t* data,
                   uint32_t size) override;
  int32_t DeleteValue(platform::RegKey key, const std::string& valueName) override;
  int32_t CloseKey(platform::RegKey key) override;
  int32_t CreateTransaction(platform::RegTransaction* transaction) override;
  int32_t CreateKeyTransacted(platform::RegKey parent, const std::string& subkey,
                              platform::RegTransaction transaction, platform::RegKey* result) override;
  int32_t CommitTransaction(platform::RegTransaction transaction) override;
  void CloseTransaction(platform::RegTransaction transaction) override;
  std::string ExpandEnvironment(const std::string& text) override;

 private:
  // `transaction` 0: the plain key functions (a transacted parent makes the key transacted too).
  int32_t OpenOrCreate(const char* operation, platform::RegKey parent, const std::string& subkey, bool create,
                       platform::RegTransaction transaction, platform::RegKey* result);
  Machine::State& s_;
};

class AutomationSim final : public platform::Automation {
 public:
  explicit AutomationSim(Machine::State& s) : s_(s) {}
  platform::HResult Initialize() override;
  void Uninitialize() override;
  platform::HResult InitializeSecurity() override;
  platform::HResult CreateLocator(std::unique_ptr<platform::WmiLocator>* locator) override;
  platform::HResult ExecQuery(const std::string& nameSpace, const std::string& wql,
                              std::vector<platform::WmiObject>* rows) override;
  platform::HResult ExecMethod(const std::string& nameSpace, const std::string& objectPath,
                               const std::string& method, const platform::WmiObject& inParams,
                               platform::WmiObject* outParams) override;
  platform::HResult EnumConnections(std::vector<platform::NetConnection>* connections) override;
  platform::HResult CreateScriptControl(const std::string& progId,
                                        std::unique_ptr<platform::ScriptControl>* control) override;

  // The query and the method call themselves, for the objects that already hold a connection
  // (a services object, a running script): ExecQuery and ExecMethod above connect first, as the
  // service's one-call helpers do, and take the time of the connection and the call.
  platform::HResult RunQuery(const std::string& nameSpace, const std::string& wql, std::vector<platform::WmiObject>* rows);
  platform::HResult RunMethod(const std::string& nameSpace, const std::string& objectPath, const std::string& method,
                         const platform::WmiObject& inParams, platform::WmiObject* outParams);

 private:
  Machine::State& s_;
};

class SocketsSim final : public platform::Sockets {
 public:
  explicit SocketsSim(Machine::State& s) : s_(s) {}
  uint32_t InetAddr(const std::string& text) override;
  bool GetHostName(std::string* name) override;
  bool GetHostByName(const std::string& name, std::vector<uint32_t>* addresses) override;

 private:
  Machine::State& s_;
};

class ClipboardSim final : public platform::Clipboard {
 public:
  explicit ClipboardSim(Machine::State& s) : s_(s) {}
  bool SetText(const std::string& text) override;
  bool GetText(std::string* text) override;

 private:
  Machine::State& s_;
};

class InternetSim final : public platform::Internet {
 public:
  explicit InternetSim(Machine::State& s) : s_(s) {}
  bool CheckConnection(const std::string& url) override;
  std::unique_ptr<platform::InternetRequest> OpenUrl(const std::string& agent, const std::string& url) override;

 private:
  Machine::State& s_;
};

class KernelSim final : public platform::Kernel {
 public:
  explicit KernelSim(Machine::State& s) : s_(s) {}
  platform::DateTime LocalNow() override;
  bool UnixToLocal(int64_t unixSeconds, platform::DateTime* local) override;
  platform::ClockSettings Clock() override;
  bool StartThread(std::function<void()> body) override;
  bool Sleep(uint32_t milliseconds) override;
  int GetSystemDepPolicy() override;
  bool SetProcessDepPolicy(uint32_t flags) override;
  void TerminateOwnProcess(uint32_t exitCode) override;
  std::string WideToMultiByte(std::u16string_view text, uint32_t codePage) override;
  std::u16string MultiByteToWide(std::string_view text, uint32_t codePage) override;

 private:
  Machine::State& s_;
};

// Civil date and time of a count of seconds since 1970-01-01 00:00 (no zone). False outside the
// years 1601..30827 (what SYSTEMTIME holds).
bool CivilFromSeconds(int64_t seconds, platform::DateTime* out);
// The script engine's default date text of a time value (milliseconds since 1970 UTC) in a zone
// `offsetMinutes` east of UTC, e.g. "Thu Jan 1 08:00:00 UTC+0800 1970".
std::string ScriptDateText(int64_t milliseconds, int offsetMinutes);

// False while the adapter's cable is unplugged: its configured addresses are not bound then.
inline bool MediaConnected(const SimAdapter& adapter) { return adapter.operStatus == platform::kIfOperStatusUp; }

// Milliseconds of the steady clock, for the duplicate address detection.
int64_t SteadyMilliseconds();

// The usable addresses of an adapter (nonzero context, not a duplicate) and their masks, in list
// order.
void UsableAddresses(const SimAdapter& adapter, std::vector<std::string>* addresses, std::vector<std::string>* masks);

}  // namespace corvane::sim
