#include "config/management.h"

#include "app/connection_query.h"
#include "common/text.h"

namespace corvane::config {

namespace {
constexpr char kNamespace[] = "root\\cimv2";
}

void ManagementConnection::Release() {
  results.reset();
  service.reset();
  locator.reset();
  if (initialized_) {
    initialized_ = false;
    automation_.Uninitialize();
  }
}

bool ConnectManagementService(const std::string& query, ManagementConnection* connection) {
  connection->Release();
  connection->failedStep_ = ManagementStep::None;
  connection->failure_ = platform::kSOk;
  auto fail = [connection](ManagementStep step, platform::HResult hr) {
    connection->Release();
    connection->failedStep_ = step;
    connection->failure_ = hr;
    return false;
  };
  platform::Automation& automation = connection->automation_;
  // The process's security is set once; a later call answers RPC_E_TOO_LATE and the setting made
  // first stands. The connection's own initialisation follows and is released with it.
  automation.InitializeSecurity();
  platform::HResult hr = automation.Initialize();
  if (!platform::Succeeded(hr)) return fail(ManagementStep::Connect, hr);
  connection->initialized_ = true;
  hr = automation.CreateLocator(&connection->locator);
  if (!platform::Succeeded(hr) || !connection->locator) return fail(ManagementStep::Connect, hr);
  hr = connection->locator->ConnectServer(kNamespace, &connection->service);
  if (!platform::Succeeded(hr) || !connection->service) return fail(ManagementStep::Connect, hr);
  hr = connection->service->SetProxyBlanket();
  if (!platform::Succeeded(hr)) return fail(ManagementStep::Connect, hr);
  if (!query.empty()) {
    hr = connection->service->ExecQuery(query, &connection->results);
    if (!platform::Succeeded(hr) || !connection->results) return fail(ManagementStep::Query, hr);
  }
  return true;
}

int32_t FindAdapterIndexByConnectionName(platform::Automation& automation,
                                         const std::string& name, IndexLookup* lookup) {
  *lookup = IndexLookup{};
  ManagementConnection connection(automation);
  const std::string query =
      "Select Index From Win32_NetworkAdapter WHERE NetConnectionID='" + app::EscapeWqlString(name) + "'";
  if (!ConnectManagementService(query, &connection)) {
    lookup->failedStep = connection.failedStep();
    lookup->hr = connection.failure();
    return 0;
  }
  for (;;) {
    platform::WmiObject object;
    const platform::HResult hr = connection.results->Next(&object);
    if (!platform::Succeeded(hr)) {
      lookup->failedStep = ManagementStep::Query;
      lookup->hr = hr;
      return 0;
    }
    if (hr != platform::kSOk) break;  // no more objects
    // Index is the class's key: every object delivered carries it.
    auto index = object.find("Index");
    if (index != object.end() && index->second.kind == platform::WmiValue::Kind::Integer) {
      lookup->found = true;
      return static_cast<int32_t>(index->second.integer);
    }
  }
  return 0;
}

std::string ManagementFailureText(ManagementStep step, platform::HResult hr) {
  const std::string code = "返回代码" + text::Decimal(static_cast<int32_t>(hr)) + ".";
  switch (step) {
    case ManagementStep::Connect:
      return "连接WMI服务失败," + code;
    case ManagementStep::Query:
      return "查询网卡索引失败," + code;
    case ManagementStep::Method:
    case ManagementStep::None:
      break;
  }
  return code;
}

int EnableDhcpOnConnection(platform::Automation& automation,
                           const std::string& name, DhcpOutcome* outcome) {
  DhcpOutcome local;
  DhcpOutcome& o = outcome != nullptr ? *outcome : local;
  o = DhcpOutcome{};
  ManagementConnection connection(automation);
  if (!ConnectManagementService("", &connection)) {
    o.failedStep = connection.failedStep();
    o.hr = connection.failure();
    return 0;
  }
  IndexLookup lookup;
  const int32_t index = FindAdapterIndexByConnectionName(automation, name, &lookup);
  o.found = lookup.found;
  if (lookup.failedStep != ManagementStep::None) {
    o.failedStep = lookup.failedStep;
    o.hr = lookup.hr;
    return 0;
  }
  if (!o.found) return 0;
  const std::string path = "Win32_NetworkAdapterConfiguration.Index=" + text::Decimal(index);
  platform::WmiObject out;
  o.hr = connection.service->ExecMethod(path, "EnableDHCP", nullptr, &out);
  if (!platform::Succeeded(o.hr)) {
    o.failedStep = ManagementStep::Method;
    return 0;
  }
  auto value = out.find("ReturnValue");
  if (value == out.end() || value->second.kind != platform::WmiValue::Kind::Integer) return 0;
  o.haveReturnValue = true;
  o.returnValue = value->second.integer;
  return o.returnValue == 0 || o.returnValue == 1 ? 1 : 0;
}

std::string DhcpLogLine(const std::string& name, int result, const DhcpOutcome& outcome) {
  if (result == 1) return name + " 修改为自动获取IP成功.";
  std::string line = name + " 修改为自动获取IP失败！";
  if (outcome.haveReturnValue) return line + "返回代码" + text::Decimal(outcome.returnValue) + ".";
  if (outcome.failedStep != ManagementStep::None) return line + ManagementFailureText(outcome.failedStep, outcome.hr);
  if (!outcome.found) return line + "未找到该网卡.";
  // The service carried the call out, but its answer holds no result of the method.
  return line + "EnableDHCP未返回ReturnValue,返回代码" + text::Decimal(static_cast<int32_t>(outcome.hr)) + ".";
}

}  // namespace corvane::config
