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
  platform::Automation& automation = connection->automation_;
  // The process's security is set once; a later call answers RPC_E_TOO_LATE and the setting made
  // first stands. The connection's own initialisation follows and is released with it.
  automation.InitializeSecurity();
  if (!platform::Succeeded(automation.Initialize())) return false;
  connection->initialized_ = true;
  bool ok = platform::Succeeded(automation.CreateLocator(&connection->locator)) && connection->locator &&
            platform::Succeeded(connection->locator->ConnectServer(kNamespace, &connection->service)) &&
            connection->service && platform::Succeeded(connection->service->SetProxyBlanket());
  if (ok && !query.empty())
    ok = platform::Succeeded(connection->service->ExecQuery(query, &connection->results)) && connection->results;
  if (!ok) connection->Release();
  return ok;
}

int32_t FindAdapterIndexByConnectionName(platform::Automation& automation, platform::WindowSystem& windows,
                                         const std::string& name, bool* found) {
  *found = false;
  ManagementConnection connection(automation);
  const std::string query =
      "Select Index From Win32_NetworkAdapter WHERE NetConnectionID='" + app::EscapeWqlString(name) + "'";
  if (!ConnectManagementService(query, &connection)) return 0;
  for (;;) {
    platform::WmiObject object;
    if (connection.results->Next(&object) != platform::kSOk) break;
    auto index = object.find("Index");
    if (index != object.end() && index->second.kind == platform::WmiValue::Kind::Integer) {
      *found = true;
      return static_cast<int32_t>(index->second.integer);
    }
    windows.ProcessPendingEvents();
  }
  return 0;
}

int EnableDhcpOnConnection(platform::Automation& automation, platform::WindowSystem& windows,
                           const std::string& name, DhcpOutcome* outcome) {
  DhcpOutcome local;
  DhcpOutcome& o = outcome != nullptr ? *outcome : local;
  o = DhcpOutcome{};
  ManagementConnection connection(automation);
  if (!ConnectManagementService("", &connection)) {
    o.hr = platform::kEFail;
    return 0;
  }
  const int32_t index = FindAdapterIndexByConnectionName(automation, windows, name, &o.found);
  if (!o.found) return 0;
  const std::string path = "Win32_NetworkAdapterConfiguration.Index=" + text::Decimal(index);
  platform::WmiObject out;
  o.hr = connection.service->ExecMethod(path, "EnableDHCP", nullptr, &out);
  if (!platform::Succeeded(o.hr)) return 0;
  auto value = out.find("ReturnValue");
  if (value == out.end() || value->second.kind != platform::WmiValue::Kind::Integer) return 0;
  o.haveReturnValue = true;
  o.returnValue = value->second.integer;
  return o.returnValue == 0 || o.returnValue == 1 ? 1 : 0;
}

std::string DhcpLogLine(const std::string& name, int result, const DhcpOutcome& outcome) {
  if (result == 1) return name + " 修改为自动获取IP成功.";
  std::string line = name + " 修改为自动获取IP失败！";
  if (outcome.haveReturnValue)
    line += "返回代码" + text::Decimal(outcome.returnValue) + ".";
  else if (!platform::Succeeded(outcome.hr))
    line += "返回代码" + text::Decimal(static_cast<int32_t>(outcome.hr)) + ".";
  else if (!outcome.found)
    line += "未找到该网卡.";
  return line;
}

}  // namespace corvane::config
