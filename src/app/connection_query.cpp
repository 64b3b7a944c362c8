#include "app/connection_query.h"

#include <vector>

#include "common/text.h"

namespace corvane::app {

namespace {

constexpr char kNamespace[] = "root\\cimv2";

// Brackets one piece of automation work with the library's initialisation on this thread.
class AutomationScope {
 public:
  explicit AutomationScope(platform::Automation& automation) : automation_(automation) {
    initialized_ = platform::Succeeded(automation_.Initialize());
  }
  ~AutomationScope() {
    if (initialized_) automation_.Uninitialize();
  }
  AutomationScope(const AutomationScope&) = delete;
  AutomationScope& operator=(const AutomationScope&) = delete;

 private:
  platform::Automation& automation_;
  bool initialized_ = false;
};

// Connection-manager names are compared lower-cased and trimmed at both ends. Spaces inside a
// name are part of it: "本地连接2" and "本地连接 2" are two connections.
std::string Normalized(const std::string& name) { return text::Trim(text::ToLowerAscii(name)); }

}  // namespace

std::string EscapeWqlString(const std::string& text) {
  std::string escaped = text::ReplaceAll(text, "\\", "\\\\");
  return text::ReplaceAll(escaped, "'", "\\'");
}

int32_t ConnectionQuery::ConnectionStatus(const std::string& name) {
  AutomationScope scope(automation_);
  std::vector<platform::WmiObject> rows;
  std::string wql = "Select * From Win32_NetworkAdapter WHERE NetConnectionID='" + EscapeWqlString(name) + "'";
  if (platform::Succeeded(automation_.ExecQuery(kNamespace, wql, &rows))) {
    for (const auto& row : rows) {
      auto it = row.find("NetConnectionStatus");
      if (it == row.end() || it->second.kind == platform::WmiValue::Kind::Null) continue;
      return text::ReadInteger(it->second.AsText());
    }
  }

  std::vector<platform::NetConnection> connections;
  if (!platform::Succeeded(automation_.EnumConnections(&connections))) return -1;
  const std::string wanted = Normalized(name);
  for (const auto& connection : connections) {
    if (Normalized(connection.name) == wanted) return connection.status;
  }
  return -1;
}

uint32_t ConnectionQuery::FindAdapterAddresses(const std::string& name, platform::AdapterAddresses* found,
                                               bool* matched) {
  *matched = false;
  std::vector<platform::AdapterAddresses> entries;
  const uint32_t result =
      ipHelper_.GetAdaptersAddresses(platform::kAfUnspec, platform::kGaaFlagIncludePrefix, &entries);
  if (result == platform::kErrorNoData) return platform::kNoError;  // no adapter: nothing matches
  if (result != platform::kNoError) return result;
  const std::u16string wide = kernel_.MultiByteToWide(name, platform::kCodePageGbk);
  for (auto& entry : entries) {
    if (entry.FriendlyName == wide) {
      *found = std::move(entry);
      *matched = true;
      break;
    }
  }
  return platform::kNoError;
}

uint32_t ConnectionQuery::MediaState(const std::string& name, uint32_t* result) {
  platform::AdapterAddresses entry;
  bool matched = false;
  const uint32_t code = FindAdapterAddresses(name, &entry, &matched);
  if (result != nullptr) *result = code;
  return matched ? entry.OperStatus : 0;
}

std::string ConnectionQuery::QueryAdapterProperty(const std::string& property, const std::string& name,
                                                  bool* found) {
  *found = false;
  AutomationScope scope(automation_);
  std::vector<platform::WmiObject> rows;
  std::string wql =
      "Select " + property + " From Win32_NetworkAdapter WHERE NetConnectionID='" + EscapeWqlString(name) + "'";
  if (!platform::Succeeded(automation_.ExecQuery(kNamespace, wql, &rows))) return {};
  for (const auto& row : rows) {
    auto it = row.find(property);
    if (it == row.end() || it->second.kind == platform::WmiValue::Kind::Null) continue;
    *found = true;
    return it->second.AsText();
  }
  return {};
}

int64_t ConnectionQuery::LinkSpeed(const std::string& name) {
  bool found = false;
  std::string speed = QueryAdapterProperty("Speed", name, &found);
  // The service reports a 64-bit count as decimal text; links of 10 Gbit/s and more exceed 32 bits.
  int64_t value = 0;
  for (char c : speed) {
    if (c < '0' || c > '9') break;
    if (value > (INT64_MAX - 9) / 10) break;
    value = value * 10 + (c - '0');
  }
  return value;
}

int64_t ConnectionQuery::LinkMtu(const std::string& name) {
  std::string guid;
  platform::AdapterAddresses entry;
  bool matched = false;
  FindAdapterAddresses(name, &entry, &matched);
  if (matched) {
    guid = entry.AdapterName;
  } else {
    bool found = false;
    guid = QueryAdapterProperty("GUID", name, &found);
  }
  uint32_t index = 0;
  std::u16string deviceName =
      u"\\DEVICE\\TCPIP_" + kernel_.MultiByteToWide(guid, platform::kCodePageGbk);
  if (ipHelper_.GetAdapterIndex(deviceName, &index) != platform::kNoError) return -1;
  platform::IfRow row;
  if (ipHelper_.GetIfEntry(index, &row) != platform::kNoError) return -1;
  return row.Mtu;
}

}  // namespace corvane::app
