// A simulated Windows machine held in memory: adapters with their addresses and NTE contexts,
// a registry hive, instrumentation objects and methods, a script control, ICMP responders, a
// host-name resolver, a clipboard, web pages, a clock and a time zone.
//
// Each service answers like the real one in what the program relies on, result codes included.
// Every service call is recorded (Calls()) and any call can be made to fail with a chosen code
// (FailNext()). The machine is safe to use from several threads.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace corvane::sim {

struct SimAddress {
  std::string address;   // dotted text
  std::string mask;      // dotted text
  uint32_t context = 0;  // NTE context; 0 is listed by the service but never usable
  // Duplicate address detection: an address AddIPAddress added is tentative until `settlesAtMs`
  // (steady clock), then preferred, or duplicate when a host of the segment holds it.
  uint32_t dadState = platform::kIpDadStatePreferred;
  int64_t settlesAtMs = 0;
  bool heldElsewhere = false;
};

struct SimAdapter {
  uint32_t index = 0;
  std::string guid;               // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  std::string description;        // GBK
  std::u16string connectionName;  // as the router administration service answers it; empty: none
  std::vector<uint8_t> physicalAddress;
  uint32_t type = 6;
  uint32_t dhcpEnabled = 0;
  std::vector<SimAddress> ipAddresses;
  std::vector<SimAddress> gateways;
  std::vector<SimAddress> dhcpServers;
  int32_t haveWins = 0;
  std::vector<SimAddress> primaryWins;
  std::vector<SimAddress> secondaryWins;
  int64_t leaseObtained = 0;
  int64_t leaseExpires = 0;
  std::vector<std::string> dnsServers;
  // Live facts.
  int32_t netConnectionStatus = 2;  // Win32_NetworkAdapter.NetConnectionStatus
  // GetAdaptersAddresses OperStatus. Anything but 1 (up) is media disconnected: GetAdaptersInfo
  // then lists the all-zero address with context 0 and no gateway, as the system does for an
  // unplugged cable, while `ipAddresses` and the interface key keep the configuration.
  uint32_t operStatus = 1;
  uint64_t speed = 100000000;       // bits per second
  uint32_t mtu = 1500;
  // Instrumentation facts.
  int32_t wmiIndex = -1;  // Win32_NetworkAdapter(Configuration).Index; -1: the same as `index`
  bool ipEnabled = true;  // Win32_NetworkAdapterConfiguration.IPEnabled
};

// Result codes of the simulated services beyond the ones the program names (winerror.h, wbemcli.h).
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorInvalidData = 13;
inline constexpr uint32_t kErrorDevNotExist = 55;
inline constexpr uint32_t kErrorNotFound = 1168;
inline constexpr int32_t kWbemENotFound = static_cast<int32_t>(0x80041002u);
inline constexpr int32_t kWbemEInvalidClass = static_cast<int32_t>(0x80041010u);
inline constexpr int32_t kWbemEInvalidNamespace = static_cast<int32_t>(0x8004100Eu);
inline constexpr int32_t kCoEClassString = static_cast<int32_t>(0x800401F3u);
inline constexpr int32_t kDispEUnknownName = static_cast<int32_t>(0x80020006u);
inline constexpr int32_t kScriptESyntax = static_cast<int32_t>(0x800A03EAu);       // VBScript 1002
inline constexpr int32_t kScriptEInvalidCall = static_cast<int32_t>(0x800A0005u);  // bad argument / language
// What every call answers once the simulated process has ended: HRESULT_FROM_WIN32 of
// ERROR_PROCESS_ABORTED, a failure both as a Win32 code and as an HRESULT.
inline constexpr uint32_t kProcessEndedCode = 0x8007042Bu;

class Machine {
 public:
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // --- building the machine ---
  SimAdapter& AddAdapter(SimAdapter adapter);
  void RemoveAdapter(uint32_t index);
  // Runs `change` on the adapter under the machine's lock; false when there is no such adapter.
  bool ChangeAdapter(uint32_t index, const std::function<void(SimAdapter&)>& change);
  std::vector<SimAdapter> Adapters() const;
  // The next context AddIPAddress hands out (contexts in use on the machine are skipped).
  void SetNextContext(uint32_t context);
  // Writes the adapter's current configuration into its TCP/IP interface key
  // (HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters\Interfaces\{guid}), as the system keeps it.
  void WriteInterfaceKey(uint32_t index);

  // Resolver and ICMP.
  void SetHostName(const std::string& name);
  void AddHost(const std::string& name, std::vector<std::string> addresses);
  void AddEchoResponder(const std::string& address);
  // Another host on the segment of adapter `index` holds `address`: it answers the ARP probes of
  // duplicate address detection, and echoes only when `answersEcho` (a firewall that drops inbound
  // echo requests, as Windows' does by default, answers none).
  void AddNeighbour(uint32_t index, const std::string& address, bool answersEcho);

  // Clock: local time, the zone's offset from UTC in minutes, the user's clock settings.
  void SetLocalNow(const platform::DateTime& now);
  void SetUtcOffsetMinutes(int minutes);
  void SetClock(const platform::ClockSettings& clock);
  // GetSystemDEPPolicy's answer (kDepPolicyUnavailable: the function is missing).
  void SetSystemDepPolicy(int policy);

  // Web pages served by the Internet functions, from memory. A page is read in pieces of at most
  // `chunk` bytes (a server that sends it in small packets; 0: as much as the reader asks for).
  // Offline, the connectivity probe and every open fail; an unknown address fails to open.
  void SetPage(const std::string& url, const std::string& bytes, size_t chunk = 0);
  void SetOnline(bool online);

  // Router administration unavailable (no handle, empty names) or instrumentation unavailable.
  void SetRouterAdminAvailable(bool available);
  void SetInstrumentationAvailable(bool available);
  void SetConnectionManagerAvailable(bool available);
  void SetScriptControlAvailable(bool available);
  // A system without registry transactions: CreateTransaction and RegCreateKeyTransactedA answer
  // 127 (ERROR_PROC_NOT_FOUND).
  void SetRegistryTransactionsAvailable(bool available);

  // --- recording and failure injection ---
  // The calls made so far, one text each, e.g. "GetAdaptersInfo(null) -> 111".
  std::vector<std::string> Calls() const;
  // The same calls, each with the thread that made it.
  struct CallRecord {
    std::string call;
    std::thread::id thread;
  };
  std::vector<CallRecord> CallRecords() const;
  void ClearCalls();
  // True for a recorded call of an operation that takes time on Windows (see UseWindowsTimings):
  // what a window thread must never wait for.
  static bool HasWindowsTiming(const std::string& call);
  // The next call of `operation` (its platform name, e.g. "AddIPAddress", "RegSetValueExA",
  // "GetPerAdapterInfo") answers `code` without doing anything. Calls to several FailNext for one
  // operation queue up. The names: GetAdaptersInfo, GetInterfaceInfo, GetPerAdapterInfo,
  // GetAdaptersAddresses, GetAdapterIndex, GetIfEntry, AddIPAddress, DeleteIPAddress, IcmpSendEcho,
  // MprConfigServerConnect, MprConfigGetFriendlyName, RegCreateKeyA, RegOpenKeyA, RegQueryValueExA,
  // RegSetValueExA, RegDeleteValueA, RegCloseKey, CreateTransaction, RegCreateKeyTransactedA,
  // CommitTransaction, CloseHandle (of a transaction, which then stays open and is never applied),
  // CoInitialize, CoInitializeSecurity, ExecQuery, ExecMethod,
  // EnumConnections, CoCreateInstance(WbemLocator), ConnectServer, CoSetProxyBlanket,
  // IEnumWbemClassObject::Next, CoCreateInstance (the script control), ScriptControl.Language,
  // ScriptControl.AddCode, ScriptControl.ExecuteStatement, ScriptControl.Run, ScriptControl.Eval,
  // inet_addr (answers `code` as the address),
  // gethostname, gethostbyname, OpenClipboard, EmptyClipboard, SetClipboardData, GetClipboardData,
  // InternetCheckConnectionA, InternetOpenA, InternetOpenUrlA, InternetReadFile, CreateThread, GetSystemDEPPolicy
  // (answers `code` as the policy), SetProcessDEPPolicy, TerminateProcess. Calls answering a truth
  // value answer false. The clock, Sleep and the code-page conversions are neither recorded nor
  // failed.
  void FailNext(const std::string& operation, uint32_t code);
  // Runs `observer` with each call's text as it is recorded: on the calling thread, after the call
  // has done its work and let go of the machine's lock, before it returns. A test sees from there
  // what the program shows while it calls the service, and may act as a user would at that moment
  // (wait for the window thread included); calls the program makes from the observer are recorded
  // and observed too (an observer guards against its own re-entry). Null removes it.
  void SetCallObserver(std::function<void(const std::string&)> observer);

  // The process ends abruptly (as when it is killed, or the power fails) right after the `calls`-th
  // recorded call from now has done its work. From the end on, as after TerminateOwnProcess, no
  // call of any thread has an effect: each fails with kProcessEndedCode (or false), starts no
  // thread and is not recorded, so the machine stays as the process left it.
  void EndProcessAfterCalls(size_t calls);
  bool ProcessEnded() const;
  // Every call of `operation` takes `milliseconds` before it does its work, without holding up
  // other threads' calls; the end of the process cuts the wait short. 0 removes the latency.
  // Operations with a latency: AddIPAddress, DeleteIPAddress, IcmpSendEcho, RegSetValueExA,
  // GetAdaptersInfo, GetAdaptersAddresses, gethostbyname, ConnectServer, ExecQuery, ExecMethod,
  // CoCreateInstance(ScriptControl), ScriptControl.ExecuteStatement, ScriptControl.Eval. The
  // automation's one-call ExecQuery and ExecMethod connect first: each takes a ConnectServer and
  // its own call.
  void SetLatency(const std::string& operation, uint32_t milliseconds);
  // The timings of a real Windows machine where it is slow (the management service, its first
  // use in a process, the script control, echoes to silent addresses, binding and unbinding, the
  // duplicate address detection of a new address, "DuplicateAddressDetection" for SetLatency):
  // the demo runs with them; the tests without, except those that measure responsiveness.
  void UseWindowsTimings(bool on);
  // The most calls of `operation` that were in their latency at the same time.
  int PeakConcurrentCalls(const std::string& operation) const;

  // Threads started through the kernel service: wait until all have ended.
  void WaitForThreads();
  // True on a thread a simulated kernel started (of any machine) and inside a call observer: a
  // test's hook that runs there must not wait for the machine's threads.
  static bool InsideMachine();

  // --- observing the machine ---
  // The exit code of TerminateOwnProcess, if it was called. The process has ended then: see
  // EndProcessAfterCalls.
  std::optional<uint32_t> TerminatedWith() const;
  // The flags of the last SetProcessDepPolicy call, if any.
  std::optional<uint32_t> ProcessDepPolicy() const;
  // A value of the hive as it stands, read without a service call (so also after the end of the
  // process): `key` below HKEY_LOCAL_MACHINE, e.g. "SYSTEM\\CurrentControlSet\\...".
  std::optional<std::string> LocalMachineValue(const std::string& key, const std::string& valueName) const;
  // The clipboard's text, if it holds one.
  std::optional<std::string> ClipboardText() const;
  // Initialisations of the component object library on the calling thread still open.
  int AutomationInitializations() const;

  // --- the services ---
  platform::IpHelper& ipHelper();
  platform::RouterAdmin& router();
  platform::Registry& registry();
  platform::Automation& automation();
  platform::Sockets& sockets();
  platform::Clipboard& clipboard();
  platform::Internet& internet();
  platform::Kernel& kernel();

  struct State;  // shared by the service implementations

 private:
  std::unique_ptr<State> state_;
};

// The machine the demo runs on: a connected Ethernet adapter with several addresses, a gateway
// and two DNS servers; a DHCP adapter with lease times, a DHCP server and WINS servers; a
// disconnected adapter; Chinese connection names; registry keys for each interface.
std::unique_ptr<Machine> MakeDemoMachine();

}  // namespace corvane::sim
