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
#include <string>
#include <vector>

#include "platform/platform.h"

namespace corvane::sim {

struct SimAddress {
  std::string address;   // dotted text
  std::string mask;      // dotted text
  uint32_t context = 0;  // NTE context; 0 is listed by the service but never usable
};

struct SimAdapter {
  uint32_t index = 0;
  std::string guid;                // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  std::string description;         // GBK
  std::u16string connectionName;   // as the router administration service answers it; empty: none
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
  uint32_t operStatus = 1;          // GetAdaptersAddresses OperStatus
  uint64_t speed = 100000000;       // bits per second
  uint32_t mtu = 1500;
};

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
  // The next context AddIPAddress hands out.
  void SetNextContext(uint32_t context);

  // Resolver and ICMP.
  void SetHostName(const std::string& name);
  void AddHost(const std::string& name, std::vector<std::string> addresses);
  void AddEchoResponder(const std::string& address);

  // Clock: local time, the zone's offset from UTC in minutes, the user's clock settings.
  void SetLocalNow(const platform::DateTime& now);
  void SetUtcOffsetMinutes(int minutes);
  void SetClock(const platform::ClockSettings& clock);

  // Web pages served by the Internet functions; `online` answers the connectivity probe.
  void SetPage(const std::string& url, const std::string& bytes);
  void SetOnline(bool online);

  // Router administration unavailable (no handle, empty names) or instrumentation unavailable.
  void SetRouterAdminAvailable(bool available);
  void SetInstrumentationAvailable(bool available);
  void SetConnectionManagerAvailable(bool available);
  void SetScriptControlAvailable(bool available);

  // --- recording and failure injection ---
  // The calls made so far, one text each, e.g. "GetAdaptersInfo(null) -> 111".
  std::vector<std::string> Calls() const;
  void ClearCalls();
  // The next call of `operation` (its platform name, e.g. "AddIPAddress", "RegSetValueExA",
  // "GetPerAdapterInfo") answers `code` without doing anything.
  void FailNext(const std::string& operation, uint32_t code);

  // Threads started through the kernel service: wait until all have ended.
  void WaitForThreads();

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
