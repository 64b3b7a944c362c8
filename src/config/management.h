// The management instrumentation service: a connection to root\cimv2, the adapter index of a
// connection name, and switching an adapter to DHCP.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace corvane::config {

// What ConnectManagementService hands back: the locator, the service and, when a query was run,
// its results. It also holds the initialisation of the component object library that the
// connection made on this thread; Release (and the destructor) releases the references first,
// then that initialisation.
class ManagementConnection {
 public:
  explicit ManagementConnection(platform::Automation& automation) : automation_(automation) {}
  ~ManagementConnection() { Release(); }
  ManagementConnection(const ManagementConnection&) = delete;
  ManagementConnection& operator=(const ManagementConnection&) = delete;

  void Release();

  std::unique_ptr<platform::WmiLocator> locator;
  std::unique_ptr<platform::WmiServices> service;
  std::unique_ptr<platform::WmiEnumerator> results;

 private:
  friend bool ConnectManagementService(const std::string& query, ManagementConnection* connection);
  platform::Automation& automation_;
  bool initialized_ = false;
};

// Sets the process's security (a setting made earlier stands), initialises the library on this
// thread, creates the locator, connects to root\cimv2, sets the proxy blanket and, for a
// non-empty query, runs it. True when every step succeeded; on failure the connection holds
// nothing and the thread's initialisation count is where it was.
bool ConnectManagementService(const std::string& query, ManagementConnection* connection);

// The Index of the Win32_NetworkAdapter whose NetConnectionID is `name` (escaped as a WQL
// string, so that no name can select another adapter). `*found` tells whether one answered;
// the result is 0 when none did. The window processes pending events between objects.
int32_t FindAdapterIndexByConnectionName(platform::Automation& automation, platform::WindowSystem& windows,
                                         const std::string& name, bool* found);

// How switching to DHCP went.
struct DhcpOutcome {
  bool found = false;                    // the adapter index was found
  platform::HResult hr = platform::kSOk;  // of the connection or of ExecMethod
  bool haveReturnValue = false;
  int64_t returnValue = 0;  // EnableDHCP's own ReturnValue
};

// Calls EnableDHCP on the adapter with that connection name and reads its ReturnValue: 1 when
// the call succeeded and the method answered 0 (done) or 1 (done, restart required), else 0.
// An adapter that cannot be found is left alone (0).
int EnableDhcpOnConnection(platform::Automation& automation, platform::WindowSystem& windows,
                           const std::string& name, DhcpOutcome* outcome = nullptr);

// The log line of a DHCP switch: the connection name, then success, or failure with the code
// (the method's ReturnValue, else the service's HRESULT; nothing when the adapter was not found).
std::string DhcpLogLine(const std::string& name, int result, const DhcpOutcome& outcome);

}  // namespace corvane::config
