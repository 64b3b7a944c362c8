// The simulated component object library: its initialisation count, the instrumentation
// service's two adapter classes with the configuration methods, and the network connection manager.
#include "platform/sim/automation_sim.h"

namespace corvane::sim {

using platform::HResult;
using platform::WmiObject;
using platform::WmiValue;

namespace {

uint32_t WmiIndex(const SimAdapter& a) {
  return a.wmiIndex >= 0 ? static_cast<uint32_t>(a.wmiIndex) : a.index;
}

std::string MacText(const std::vector<uint8_t>& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < 8; ++i) {
    char part[4];
    std::snprintf(part, sizeof part, "%02X", bytes[i]);
    if (i > 0) out += ':';
    out += part;
  }
  return out;
}

WmiValue TextOrNull(const std::string& text) {
  return text.empty() ? WmiValue::Null() : WmiValue::FromText(text);
}
WmiValue ArrayOrNull(std::vector<std::string> items) {
  return items.empty() ? WmiValue::Null() : WmiValue::FromArray(std::move(items));
}

}  // namespace

const std::vector<std::string>& ClassProperties(const std::string& canonicalClass) {
  static const std::vector<std::string> adapter = {"AdapterType",
                                                   "Description",
                                                   "DeviceID",
                                                   "GUID",
                                                   "Index",
                                                   "InterfaceIndex",
                                                   "MACAddress",
                                                   "Name",
                                                   "NetConnectionID",
                                                   "NetConnectionStatus",
                                                   "NetEnabled",
                                                   "PhysicalAdapter",
                                                   "Speed"};
  static const std::vector<std::string> configuration = {
      "DefaultIPGateway", "Description", "DHCPEnabled", "DHCPServer", "DNSServerSearchOrder", "Index",
      "InterfaceIndex",   "IPAddress",   "IPEnabled",   "IPSubnet",   "MACAddress",           "SettingID"};
  return canonicalClass == kAdapterClass ? adapter : configuration;
}

WmiObject AdapterObject(const SimAdapter& a) {
  WmiObject o;
  const bool named = !a.connectionName.empty();
  o["AdapterType"] = (a.type == 6 || a.type == 71) ? WmiValue::FromText("Ethernet 802.3") : WmiValue::Null();
  o["Description"] = WmiValue::FromText(a.description);
  o["DeviceID"] = WmiValue::FromText(std::to_string(WmiIndex(a)));
  o["GUID"] = TextOrNull(a.guid);
  o["Index"] = WmiValue::FromInteger(WmiIndex(a));
  o["InterfaceIndex"] = WmiValue::FromInteger(a.index);
  o["MACAddress"] = TextOrNull(MacText(a.physicalAddress));
  o["Name"] = WmiValue::FromText(a.description);
  o["NetConnectionID"] =
      named ? WmiValue::FromText(WideToCodePage(a.connectionName, platform::kCodePageGbk)) : WmiValue::Null();
  o["NetConnectionStatus"] = named ? WmiValue::FromInteger(a.netConnectionStatus) : WmiValue::Null();
  o["NetEnabled"] = WmiValue::FromBoolean(a.netConnectionStatus == 2);
  o["PhysicalAdapter"] = WmiValue::FromBoolean(!a.physicalAddress.empty());
  o["Speed"] = WmiValue::FromText(std::to_string(a.speed));
  return o;
}

WmiObject ConfigurationObject(const SimAdapter& a) {
  WmiObject o;
  std::vector<std::string> addresses;
  std::vector<std::string> masks;
  UsableAddresses(a, &addresses, &masks);
  std::vector<std::string> gateways;
  for (const auto& g : a.gateways)
    if (!g.address.empty()) gateways.push_back(g.address);
  o["DefaultIPGateway"] = a.ipEnabled ? ArrayOrNull(gateways) : WmiValue::Null();
  o["Description"] = WmiValue::FromText(a.description);
  o["DHCPEnabled"] = WmiValue::FromBoolean(a.dhcpEnabled != 0);
  o["DHCPServer"] = (a.dhcpEnabled != 0 && !a.dhcpServers.empty())
                        ? WmiValue::FromText(a.dhcpServers[0].address)
                        : WmiValue::Null();
  o["DNSServerSearchOrder"] = a.ipEnabled ? ArrayOrNull(a.dnsServers) : WmiValue::Null();
  o["Index"] = WmiValue::FromInteger(WmiIndex(a));
  o["InterfaceIndex"] = WmiValue::FromInteger(a.index);
  o["IPAddress"] = a.ipEnabled ? ArrayOrNull(addresses) : WmiValue::Null();
  o["IPEnabled"] = WmiValue::FromBoolean(a.ipEnabled);
  o["IPSubnet"] = a.ipEnabled ? ArrayOrNull(masks) : WmiValue::Null();
  o["MACAddress"] = TextOrNull(MacText(a.physicalAddress));
  o["SettingID"] = TextOrNull(a.guid);
  return o;
}

namespace {

const WmiValue* FindParam(const WmiObject& params, const char* name) {
  for (const auto& [key, value] : params)
    if (EqualsIgnoreCase(key, name)) return &value;
  return nullptr;
}

std::vector<std::string> ArrayParam(const WmiObject& params, const char* name, bool* present) {
  const WmiValue* v = FindParam(params, name);
  *present = v != nullptr && v->kind != WmiValue::Kind::Null;
  if (!*present) return {};
  if (v->kind == WmiValue::Kind::TextArray) return v->array;
  return {v->AsText()};
}

// The methods' own results (the ReturnValue of the Win32_NetworkAdapterConfiguration methods).
constexpr int64_t kMethodOk = 0;
constexpr int64_t kMethodInvalidMask = 66;
constexpr int64_t kMethodNotSupported = 64;  // SetGateways while the adapter uses DHCP
constexpr int64_t kMethodTooManyGateways = 69;
constexpr int64_t kMethodInvalidGateway = 71;
constexpr int64_t kMethodInvalidInput = 68;
constexpr int64_t kMethodInvalidAddress = 70;
constexpr int64_t kMethodIpNotEnabled = 84;

int64_t EnableStatic(Machine::State& s, SimAdapter& a, const WmiObject& in) {
  bool haveAddresses = false;
  bool haveMasks = false;
  auto addresses = ArrayParam(in, "IPAddress", &haveAddresses);
  auto masks = ArrayParam(in, "SubnetMask", &haveMasks);
  if (addresses.empty() || addresses.size() != masks.size()) return kMethodInvalidInput;
  for (size_t i = 0; i < addresses.size(); ++i) {
    uint32_t h = 0;
    uint32_t m = 0;
    if (!ParseDotted(addresses[i], &h) || h == 0) return kMethodInvalidAddress;
    if (!ParseDotted(masks[i], &m) || m == 0 || !IsContiguousMask(m)) return kMethodInvalidMask;
  }
  a.ipAddresses.clear();
  for (size_t i = 0; i < addresses.size(); ++i) {
    uint32_t h = 0;
    uint32_t m = 0;
    ParseDotted(addresses[i], &h);
    ParseDotted(masks[i], &m);
    a.ipAddresses.push_back(SimAddress{FormatDotted(h), FormatDotted(m), s.FreshContext()});
  }
  a.dhcpEnabled = 0;
  a.dhcpServers.clear();
  a.leaseObtained = 0;
  a.leaseExpires = 0;
  return kMethodOk;
}

int64_t SetGateways(Machine::State& s, SimAdapter& a, const WmiObject& in) {
  bool present = false;
  auto gateways = ArrayParam(in, "DefaultIPGateway", &present);
  if (a.dhcpEnabled != 0) return kMethodNotSupported;
  if (gateways.size() > 5) return kMethodTooManyGateways;
  std::vector<SimAddress> list;
  for (const auto& g : gateways) {
    if (g.empty()) continue;
    uint32_t h = 0;
    if (!ParseDotted(g, &h) || h == 0) return kMethodInvalidGateway;
    list.push_back(SimAddress{FormatDotted(h), "255.255.255.255", 0});
  }
  for (auto& g : list) g.context = s.FreshContext();
  a.gateways = std::move(list);
  return kMethodOk;
}

int64_t SetDnsServers(SimAdapter& a, const WmiObject& in) {
  bool present = false;
  auto servers = ArrayParam(in, "DNSServerSearchOrder", &present);
  std::vector<std::string> list;
  for (const auto& d : servers) {
    if (d.empty()) continue;
    uint32_t h = 0;
    if (!ParseDotted(d, &h) || h == 0) return kMethodInvalidAddress;
    list.push_back(FormatDotted(h));
  }
  a.dnsServers = std::move(list);
  return kMethodOk;
}

}  // namespace

HResult AutomationSim::Initialize() {
  std::lock_guard lock(s_.mutex);
  HResult hr = platform::kSOk;
  if (auto f = s_.TakeFailure("CoInitialize")) {
    hr = static_cast<HResult>(*f);
  } else {
    int& count = s_.comInitializations[std::this_thread::get_id()];
    hr = count > 0 ? platform::kSFalse : platform::kSOk;
    ++count;
  }
  s_.Record("CoInitialize() -> " + HrText(hr));
  return hr;
}

void AutomationSim::Uninitialize() {
  std::lock_guard lock(s_.mutex);
  auto it = s_.comInitializations.find(std::this_thread::get_id());
  if (it != s_.comInitializations.end() && --it->second <= 0) s_.comInitializations.erase(it);
  s_.Record("CoUninitialize()");
}

namespace {

bool ThreadInitialized(const Machine::State& s) {
  auto it = s.comInitializations.find(std::this_thread::get_id());
  return it != s.comInitializations.end() && it->second > 0;
}

class WmiEnumeratorSim final : public platform::WmiEnumerator {
 public:
  WmiEnumeratorSim(Machine::State& s, std::vector<WmiObject> rows) : s_(s), rows_(std::move(rows)) {}
  HResult Next(WmiObject* object) override {
    std::lock_guard lock(s_.mutex);
    HResult hr = platform::kSOk;
    if (object != nullptr) object->clear();
    if (auto f = s_.TakeFailure("IEnumWbemClassObject::Next")) {
      hr = static_cast<HResult>(*f);
    } else if (next_ >= rows_.size()) {
      hr = platform::kWbemSFalse;
    } else if (object != nullptr) {
      *object = rows_[next_++];
    }
    s_.Record("IEnumWbemClassObject::Next -> " + HrText(hr));
    return hr;
  }

 private:
  Machine::State& s_;
  std::vector<WmiObject> rows_;
  size_t next_ = 0;
};

class WmiServicesSim final : public platform::WmiServices {
 public:
  WmiServicesSim(Machine::State& s, AutomationSim& automation, std::string nameSpace)
      : s_(s), automation_(automation), nameSpace_(std::move(nameSpace)) {}
  HResult SetProxyBlanket() override {
    std::lock_guard lock(s_.mutex);
    HResult hr = platform::kSOk;
    if (auto f = s_.TakeFailure("CoSetProxyBlanket")) hr = static_cast<HResult>(*f);
    s_.Record("CoSetProxyBlanket(10, 0, 3, 3) -> " + HrText(hr));
    return hr;
  }
  HResult ExecQuery(const std::string& wql, std::unique_ptr<platform::WmiEnumerator>* results) override {
    s_.Delay("ExecQuery");
    std::lock_guard lock(s_.mutex);
    if (results != nullptr) results->reset();
    std::vector<WmiObject> rows;
    HResult hr = automation_.RunQuery(nameSpace_, wql, &rows);
    if (platform::Succeeded(hr) && results != nullptr)
      *results = std::make_unique<WmiEnumeratorSim>(s_, std::move(rows));
    return hr;
  }
  HResult ExecMethod(const std::string& objectPath, const std::string& method, const WmiObject* inParams,
                     WmiObject* outParams) override {
    s_.Delay(s_.MethodLatencyName(method));
    static const WmiObject kNone;
    return automation_.RunMethod(nameSpace_, objectPath, method, inParams != nullptr ? *inParams : kNone,
                                  outParams);
  }

 private:
  Machine::State& s_;
  AutomationSim& automation_;
  std::string nameSpace_;
};

class WmiLocatorSim final : public platform::WmiLocator {
 public:
  WmiLocatorSim(Machine::State& s, AutomationSim& automation) : s_(s), automation_(automation) {}
  HResult ConnectServer(const std::string& nameSpace, std::unique_ptr<platform::WmiServices>* services) override {
    s_.Delay("ConnectServer");
    std::lock_guard lock(s_.mutex);
    auto finish = [&](HResult hr) {
      s_.Record("IWbemLocator::ConnectServer(" + nameSpace + ") -> " + HrText(hr));
      return hr;
    };
    if (services != nullptr) services->reset();
    if (auto f = s_.TakeFailure("ConnectServer")) return finish(static_cast<HResult>(*f));
    if (!EqualsIgnoreCase(nameSpace, "root\\cimv2")) return finish(kWbemEInvalidNamespace);
    if (services == nullptr) return finish(platform::kEFail);
    *services = std::make_unique<WmiServicesSim>(s_, automation_, nameSpace);
    return finish(platform::kSOk);
  }

 private:
  Machine::State& s_;
  AutomationSim& automation_;
};

}  // namespace

HResult AutomationSim::InitializeSecurity() {
  std::lock_guard lock(s_.mutex);
  HResult hr = platform::kSOk;
  if (auto f = s_.TakeFailure("CoInitializeSecurity"))
    hr = static_cast<HResult>(*f);
  else if (s_.comSecurityInitialized)
    hr = platform::kRpcETooLate;
  else if (!ThreadInitialized(s_))
    hr = platform::kCoENotInitialized;
  else
    s_.comSecurityInitialized = true;
  s_.Record("CoInitializeSecurity(-1, 0, 3, EOAC_NONE) -> " + HrText(hr));
  return hr;
}

HResult AutomationSim::CreateLocator(std::unique_ptr<platform::WmiLocator>* locator) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("CoCreateInstance(WbemLocator) -> " + HrText(hr));
    return hr;
  };
  if (locator != nullptr) locator->reset();
  if (auto f = s_.TakeFailure("CoCreateInstance(WbemLocator)")) return finish(static_cast<HResult>(*f));
  if (!ThreadInitialized(s_)) return finish(platform::kCoENotInitialized);
  if (!s_.instrumentationAvailable) return finish(platform::kClassNotRegistered);
  if (locator == nullptr) return finish(platform::kEFail);
  *locator = std::make_unique<WmiLocatorSim>(s_, *this);
  return finish(platform::kSOk);
}

HResult AutomationSim::ExecQuery(const std::string& nameSpace, const std::string& wql,
                                 std::vector<WmiObject>* rows) {
  s_.Delay("ConnectServer");
  s_.Delay("ExecQuery");
  return RunQuery(nameSpace, wql, rows);
}

HResult AutomationSim::RunQuery(const std::string& nameSpace, const std::string& wql, std::vector<WmiObject>* rows) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("ExecQuery(" + nameSpace + ", " + wql + ") -> " + HrText(hr));
    return hr;
  };
  if (rows != nullptr) rows->clear();
  if (auto f = s_.TakeFailure("ExecQuery")) return finish(static_cast<HResult>(*f));
  if (!s_.instrumentationAvailable) return finish(platform::kClassNotRegistered);
  if (!EqualsIgnoreCase(nameSpace, "root\\cimv2")) return finish(kWbemEInvalidNamespace);
  if (rows == nullptr) return finish(platform::kEFail);
  Query q;
  HResult hr = ParseQuery(wql, &q);
  if (!platform::Succeeded(hr)) return finish(hr);
  for (const auto& a : s_.adapters) {
    WmiObject o = q.className == kAdapterClass ? AdapterObject(a) : ConfigurationObject(a);
    bool match = true;
    for (const auto& c : q.conditions) match = match && Matches(o, c);
    if (!match) continue;
    if (q.properties.empty()) {
      rows->push_back(std::move(o));
    } else {
      WmiObject selected;
      for (const auto& p : q.properties) selected[p] = o[p];
      rows->push_back(std::move(selected));
    }
  }
  return finish(platform::kSOk);
}

HResult AutomationSim::ExecMethod(const std::string& nameSpace, const std::string& objectPath,
                                  const std::string& method, const WmiObject& inParams,
                                  WmiObject* outParams) {
  s_.Delay("ConnectServer");
  s_.Delay(s_.MethodLatencyName(method));
  return RunMethod(nameSpace, objectPath, method, inParams, outParams);
}

HResult AutomationSim::RunMethod(const std::string& nameSpace, const std::string& objectPath, const std::string& method,
                            const WmiObject& inParams, WmiObject* outParams) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("ExecMethod(" + objectPath + ", " + method + ") -> " + HrText(hr));
    return hr;
  };
  if (outParams != nullptr) outParams->clear();
  if (auto f = s_.TakeFailure("ExecMethod")) return finish(static_cast<HResult>(*f));
  if (!s_.instrumentationAvailable) return finish(platform::kClassNotRegistered);
  if (!EqualsIgnoreCase(nameSpace, "root\\cimv2")) return finish(kWbemEInvalidNamespace);

  // Class.Index=n (the value may stand in double quotes).
  const size_t dot = objectPath.find('.');
  if (dot == std::string::npos) return finish(platform::kWbemEInvalidObjectPath);
  const std::string className = objectPath.substr(0, dot);
  const std::string keys = objectPath.substr(dot + 1);
  const size_t eq = keys.find('=');
  if (eq == std::string::npos || !EqualsIgnoreCase(Trimmed(keys.substr(0, eq)), "Index"))
    return finish(platform::kWbemEInvalidObjectPath);
  std::string value = Trimmed(keys.substr(eq + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  int64_t index = 0;
  if (value.empty() || value[0] == '-' || !ParseInteger(value, &index))
    return finish(platform::kWbemEInvalidObjectPath);
  if (EqualsIgnoreCase(className, kAdapterClass)) return finish(platform::kWbemEInvalidMethod);
  if (!EqualsIgnoreCase(className, kConfigurationClass)) return finish(kWbemEInvalidClass);

  SimAdapter* a = nullptr;
  for (auto& candidate : s_.adapters)
    if (WmiIndex(candidate) == index) a = &candidate;
  if (a == nullptr) return finish(kWbemENotFound);

  int64_t result = kMethodOk;
  if (EqualsIgnoreCase(method, "EnableDHCP")) {
    if (!a->ipEnabled)
      result = kMethodIpNotEnabled;
    else
      a->dhcpEnabled = 1;
  } else if (EqualsIgnoreCase(method, "EnableStatic")) {
    result = a->ipEnabled ? EnableStatic(s_, *a, inParams) : kMethodIpNotEnabled;
  } else if (EqualsIgnoreCase(method, "SetGateways")) {
    result = a->ipEnabled ? SetGateways(s_, *a, inParams) : kMethodIpNotEnabled;
  } else if (EqualsIgnoreCase(method, "SetDNSServerSearchOrder")) {
    result = a->ipEnabled ? SetDnsServers(*a, inParams) : kMethodIpNotEnabled;
  } else {
    return finish(platform::kWbemEInvalidMethod);
  }
  if (result == kMethodOk) s_.WriteInterfaceKey(*a);
  if (outParams != nullptr) (*outParams)["ReturnValue"] = WmiValue::FromInteger(result);
  return finish(platform::kSOk);
}

HResult AutomationSim::EnumConnections(std::vector<platform::NetConnection>* connections) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("EnumConnections() -> " + HrText(hr));
    return hr;
  };
  if (connections != nullptr) connections->clear();
  if (auto f = s_.TakeFailure("EnumConnections")) return finish(static_cast<HResult>(*f));
  if (!s_.connectionManagerAvailable) return finish(platform::kClassNotRegistered);
  if (connections == nullptr) return finish(platform::kEFail);
  for (const auto& a : s_.adapters) {
    if (a.connectionName.empty()) continue;
    connections->push_back(platform::NetConnection{WideToCodePage(a.connectionName, platform::kCodePageGbk),
                                                   a.netConnectionStatus});
  }
  return finish(platform::kSOk);
}

HResult AutomationSim::CreateScriptControl(const std::string& progId,
                                           std::unique_ptr<platform::ScriptControl>* control) {
  s_.Delay("CoCreateInstance(ScriptControl)");
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("CoCreateInstance(" + progId + ") -> " + HrText(hr));
    return hr;
  };
  if (control != nullptr) control->reset();
  if (auto f = s_.TakeFailure("CoCreateInstance")) return finish(static_cast<HResult>(*f));
  if (!EqualsIgnoreCase(progId, "MSScriptControl.ScriptControl.1") &&
      !EqualsIgnoreCase(progId, "ScriptControl") &&
      !EqualsIgnoreCase(progId, "MSScriptControl.ScriptControl"))
    return finish(kCoEClassString);
  if (!s_.scriptControlAvailable) return finish(platform::kClassNotRegistered);
  if (control == nullptr) return finish(platform::kEFail);
  *control = MakeScriptControl(s_, *this);
  return finish(platform::kSOk);
}

}  // namespace corvane::sim
