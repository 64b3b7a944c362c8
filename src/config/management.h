// The management instrumentation service: a connection to root\cimv2, the adapter index of a
// connection name, and switching an adapter to DHCP.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace corvane::config {

// The steps of the management operations that can fail, so that a log line names the one that did.
enum class ManagementStep {
  None,     // nothing failed
  Connect,  // the library's initialisation, the locator, ConnectServer or the proxy blanket
  Query,    // ExecQuery, or reading its results
  Method,   // ExecMethod
};

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

  // Where the last ConnectManagementService stopped (None when it succeeded), and the result code
  // of that step.
  ManagementStep failedStep() const { return failedStep_; }
  platform::HResult failure() const { return failure_; }

  std::unique_ptr<platform::WmiLocator> locator;
  std::unique_ptr<platform::WmiServices> service;
  std::unique_ptr<platform::WmiEnumerator> results;

 private:
  friend bool ConnectManagementService(const std::string& query, ManagementConnection* connection);
  platform::Automation& automation_;
  bool initialized_ = false;
  ManagementStep failedStep_ = ManagementStep::None;
  platform::HResult failure_ = platform::kSOk;
};

// Sets the process's security (a setting made earlier stands), initialises the library on this
// thread, creates the locator, connects to root\cimv2, sets the proxy blanket and, for a
// non-empty query, runs it. True when every step succeeded; on failure the connection holds
// nothing, names the step that failed with its code, and the thread's initialisation count is
// where it was.
bool ConnectManagementService(const std::string& query, ManagementConnection* connection);

// How the lookup of an adapter's index went.
struct IndexLookup {
  bool found = false;  // an object answered with its Index
  // The step that failed and its code. None: the query ran, and `found` tells whether it matched.
  ManagementStep failedStep = ManagementStep::None;
  platform::HResult hr = platform::kSOk;
};

// The Index of the Win32_NetworkAdapter whose NetConnectionID is `name` (escaped as a WQL
// string, so that no name can select another adapter); 0 when none answered. The window
// processes pending events between objects.
int32_t FindAdapterIndexByConnectionName(platform::Automation& automation,
                                         const std::string& name, IndexLookup* lookup);

// The cause of a failed management step for a log line, with the step's code:
// "连接WMI服务失败,返回代码N.", "查询网卡索引失败,返回代码N." or, for the method, "返回代码N.".
std::string ManagementFailureText(ManagementStep step, platform::HResult hr);

// How switching to DHCP went.
struct DhcpOutcome {
  bool found = false;  // the adapter index was found
  // The connection, the index lookup or ExecMethod, when one of them failed.
  ManagementStep failedStep = ManagementStep::None;
  platform::HResult hr = platform::kSOk;  // of the step that failed, else of ExecMethod
  bool haveReturnValue = false;
  int64_t returnValue = 0;  // EnableDHCP's own ReturnValue
};

// Calls EnableDHCP on the adapter with that connection name and reads its ReturnValue: 1 when
// the call succeeded and the method answered 0 (done) or 1 (done, restart required), else 0.
// An adapter that cannot be found is left alone (0).
int EnableDhcpOnConnection(platform::Automation& automation,
                           const std::string& name, DhcpOutcome* outcome = nullptr);

// The log line of a DHCP switch: the connection name, then success, or failure with its cause:
// the method's ReturnValue, the failed step with its HRESULT, "未找到该网卡." when the lookup ran
// and matched nothing, or an answer of ExecMethod without a ReturnValue with ExecMethod's HRESULT.
std::string DhcpLogLine(const std::string& name, int result, const DhcpOutcome& outcome);

}  // namespace corvane::config
