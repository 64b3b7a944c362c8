#include "config/static_configuration.h"

#include "common/ipv4.h"
#include "common/text.h"
#include "config/management.h"
#include "config/script_host.h"

namespace corvane::config {

const char kSetIpTemplate[] =
    "Private Sub SetIP()\r\n"
    "strIPAddress = Array(\"IP地址\") \r\n"
    "strSubnetMask = Array(\"子网掩码\") \r\n"
    "strGateway = Array(\"网关\") \r\n"
    "arrDNSServers = Array(\"DNS服务器\",\"备用DNS\")\r\n"
    "\r\n"
    "strComputer = \".\"\r\n"
    "Set objWMIService = GetObject(\"winmgmts:\\\\\" & strComputer & \"\\root\\cimv2\")\r\n"
    "Set colNetAdapters = objWMIService.ExecQuery (\"Select * from Win32_NetworkAdapterConfiguration where "
    "IPEnabled=TRUE\")\r\n"
    "For Each objNetAdapter in colNetAdapters\r\n"
    "  if objnetadapter.Index=索引 then\r\n"
    "\tstrGatewayMetric = Array(1)\r\n"
    "\terrEnable = objNetAdapter.EnableStatic(strIPAddress, strSubnetMask)\r\n"
    "\terrGateways = objNetAdapter.SetGateways(strGateway, strGatewaymetric)\r\n"
    "\terrDNS = objNetAdapter.SetDNSServerSearchOrder(arrDNSServers)\r\n"
    "  end if\r\n"
    "Next\r\n"
    "End Sub";

const char kSetIpResultDeclarations[] = "Dim errEnable, errGateways, errDNS\r\n";

std::string FillSetIpValues(const std::string& address, const std::string& mask, const std::string& gateway,
                            const std::string& preferredDns, const std::string& alternateDns) {
  std::string text = text::ReplaceAll(kSetIpTemplate, "IP地址", address);
  text = text::ReplaceAll(text, "子网掩码", mask);
  text = text::ReplaceAll(text, "网关", gateway);
  text = text::ReplaceAll(text, "DNS服务器", preferredDns);
  return text::ReplaceAll(text, "备用DNS", alternateDns);
}

std::string FillSetIpIndex(const std::string& procedure, int32_t index) {
  return text::ReplaceAll(procedure, "索引", text::Decimal(index));
}

bool IsScriptValue(const std::string& value) {
  if (value.empty()) return true;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= value.size() || value[i] != '.') return false;
      ++i;
    }
    int number = 0;
    size_t digits = 0;
    while (i < value.size() && value[i] >= '0' && value[i] <= '9' && digits < 3) {
      number = number * 10 + (value[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || number > 255) return false;
  }
  return i == value.size();
}

namespace {

bool IsAdapterAddress(const std::string& text) {
  uint32_t value = 0;
  return ipv4::ParseDottedAddress(text, &value) && ipv4::IsUnicastAddress(value);
}

}  // namespace

std::string RefusedStaticFields(const std::string& address, const std::string& mask, const std::string& gateway,
                                const std::string& preferredDns, const std::string& alternateDns) {
  std::string fields;
  auto refuse = [&](const char* field) { fields += (fields.empty() ? "" : "和") + std::string(field); };
  if (!IsAdapterAddress(address)) refuse("IP地址");
  if (!ipv4::IsUsableMaskText(mask)) refuse("子网掩码");
  if (!gateway.empty() && !IsAdapterAddress(gateway)) refuse("默认网关");
  if (!preferredDns.empty() && !IsAdapterAddress(preferredDns)) refuse("首选DNS服务器");
  if (!alternateDns.empty() && !IsAdapterAddress(alternateDns)) refuse("备用DNS服务器");
  return fields;
}

std::string RefusedValuesLogLine(const std::string& name, const std::string& fields) {
  return name + " 修改为静态IP失败！" + fields + "无效,未做任何修改.";
}

namespace {

std::string ResultText(ScriptHost& host, const char* variable) {
  platform::WmiValue value;
  if (!platform::Succeeded(host.Eval(variable, &value))) return {};
  return value.AsText();
}

bool IsDone(const std::string& result) { return result == "0" || result == "1"; }

}  // namespace

StaticOutcome ApplyStaticConfiguration(platform::Automation& automation,
                                       const std::string& name, const std::string& address, const std::string& mask,
                                       const std::string& gateway, const std::string& preferredDns,
                                       const std::string& alternateDns) {
  StaticOutcome outcome;
  if (!RefusedStaticFields(address, mask, gateway, preferredDns, alternateDns).empty()) {
    outcome.kind = StaticOutcome::Kind::Refused;
    return outcome;
  }
  for (const std::string* value : {&address, &mask, &gateway, &preferredDns, &alternateDns}) {
    if (!IsScriptValue(*value)) {
      outcome.kind = StaticOutcome::Kind::Refused;
      return outcome;
    }
  }
  ScriptHost host(automation);
  if (!host.ready()) {
    outcome.kind = StaticOutcome::Kind::NoScriptHost;
    outcome.hr = host.creationResult();
    return outcome;
  }
  std::string procedure = FillSetIpValues(address, mask, gateway, preferredDns, alternateDns);
  IndexLookup lookup;
  const int32_t index = FindAdapterIndexByConnectionName(automation, name, &lookup);
  if (lookup.failedStep != ManagementStep::None) {
    outcome.kind = StaticOutcome::Kind::LookupFailed;
    outcome.failedStep = lookup.failedStep;
    outcome.hr = lookup.hr;
    return outcome;
  }
  if (!lookup.found) {
    outcome.kind = StaticOutcome::Kind::NotFound;
    return outcome;
  }
  procedure = FillSetIpIndex(procedure, index);

  const bool initialized = platform::Succeeded(automation.Initialize());
  host.Language("VBScript");
  platform::HResult hr = host.AddCode(kSetIpResultDeclarations);
  if (platform::Succeeded(hr)) hr = host.AddCode(procedure);
  if (platform::Succeeded(hr)) hr = host.ExecuteStatement("SetIP");
  if (!platform::Succeeded(hr)) {
    outcome.kind = StaticOutcome::Kind::ScriptError;
    outcome.hr = hr;
    outcome.error = host.Error();  // before the host lets it go
  } else {
    outcome.enableResult = ResultText(host, "errEnable");
    outcome.gatewaysResult = ResultText(host, "errGateways");
    outcome.dnsResult = ResultText(host, "errDNS");
    if (outcome.enableResult.empty() && outcome.gatewaysResult.empty() && outcome.dnsResult.empty())
      outcome.kind = StaticOutcome::Kind::NotApplied;
    else if (IsDone(outcome.enableResult) && IsDone(outcome.gatewaysResult) && IsDone(outcome.dnsResult))
      outcome.kind = StaticOutcome::Kind::Done;
    else
      outcome.kind = StaticOutcome::Kind::Rejected;
  }
  if (initialized) automation.Uninitialize();
  host.Discard();
  return outcome;
}

std::string StaticLogLine(const std::string& name, const StaticOutcome& outcome) {
  const std::string failed = name + " 修改为静态IP失败！";
  switch (outcome.kind) {
    case StaticOutcome::Kind::Done:
      return name + " 修改为静态IP成功.";
    case StaticOutcome::Kind::Refused:
      return failed + "地址无效.";
    case StaticOutcome::Kind::NoScriptHost:
      return failed + "返回代码" + text::Decimal(static_cast<int32_t>(outcome.hr)) + ".";
    case StaticOutcome::Kind::LookupFailed:
      return failed + ManagementFailureText(outcome.failedStep, outcome.hr);
    case StaticOutcome::Kind::NotFound:
      return failed + "未找到该网卡.";
    case StaticOutcome::Kind::NotApplied:
      return failed + "该网卡未启用TCP/IP,未做任何修改.";
    case StaticOutcome::Kind::ScriptError:
      return failed + "脚本错误" +
             text::Decimal(outcome.error.number != 0 ? outcome.error.number : static_cast<int32_t>(outcome.hr)) +
             (outcome.error.line > 0 ? ",行" + text::Decimal(outcome.error.line) : std::string()) + ".";
    case StaticOutcome::Kind::Rejected:
      return failed + "返回代码" + outcome.enableResult + "," + outcome.gatewaysResult + "," + outcome.dnsResult + ".";
  }
  return failed;
}

}  // namespace corvane::config
