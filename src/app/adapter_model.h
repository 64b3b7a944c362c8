// What one enumeration of the machine's adapters yields: the adapter table and the five address
// tables, published together as one immutable snapshot.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/assoc_table.h"

namespace corvane::app {

struct AdapterRecord {
  std::string connectionName;
  std::string adapterName;  // GUID text
  std::string description;
  std::string physicalAddress;
  uint32_t adapterType = 0;
  uint32_t dhcpEnabled = 0;
  uint32_t ipCount = 0;
  uint32_t gatewayCount = 0;
  uint32_t dhcpServerCount = 0;
  int32_t haveWins = 0;
  uint32_t primaryWinsCount = 0;
  uint32_t secondaryWinsCount = 0;
  int64_t leaseObtained = 0;
  int64_t leaseExpires = 0;
  std::string preferredDns;
  std::string alternateDns;
  // From GetAdaptersAddresses: the operational status (1 up; 0 when the service did not list the
  // adapter) and the addresses another host of the segment holds (network byte order).
  uint32_t operStatus = 0;
  std::vector<uint32_t> duplicateAddresses;
};

struct AddressRow {
  std::string address;
  std::string mask;
  uint32_t context = 0;
  uintptr_t next = 0;  // nonzero unless the last node of the adapter's list
  uint32_t adapterIndex = 0;
};

// The kinds of address, in the order the address list shows them.
enum class AddressKind { Ip = 0, Gateway, DhcpServer, PrimaryWins, SecondaryWins };
inline constexpr size_t kAddressKindCount = 5;

// The kind text the address list writes into its "类型" column.
const char* KindText(AddressKind kind);

using AdapterTable = AssocTable<uint32_t, AdapterRecord>;
using AddressTable = AssocTable<std::string, AddressRow>;

struct AdapterSnapshot {
  AdapterTable adapters;
  std::array<AddressTable, kAddressKindCount> addresses;
  // Each adapter's own IP addresses, in the order the service listed them. The tables above hold
  // one row per address text, so an address bound to two adapters is in one table row but in
  // both adapters' lists here; whatever is written for one adapter comes from its list.
  std::map<uint32_t, std::vector<AddressRow>> adapterIps;

  const AddressTable& table(AddressKind kind) const { return addresses[static_cast<size_t>(kind)]; }
  AddressTable& table(AddressKind kind) { return addresses[static_cast<size_t>(kind)]; }
  const std::vector<AddressRow>& IpAddressesOf(uint32_t adapterIndex) const {
    static const std::vector<AddressRow> kNone;
    auto it = adapterIps.find(adapterIndex);
    return it == adapterIps.end() ? kNone : it->second;
  }
};

// The adapter an addition or deletion works on, fixed when the operation starts: its index and
// its GUID name (an index can name another adapter after the next enumeration).
struct ChangeTarget {
  int32_t index = -1;
  std::string adapterName;
};

// Holds the current snapshot. Readers take a reference-counted copy and keep a consistent view
// for as long as they hold it; an enumeration replaces the whole snapshot in one step.
class SnapshotHolder {
 public:
  SnapshotHolder() : current_(std::make_shared<const AdapterSnapshot>()) {}
  std::shared_ptr<const AdapterSnapshot> Load() const {
    std::lock_guard lock(mutex_);
    return current_;
  }
  void Publish(std::shared_ptr<const AdapterSnapshot> snapshot) {
    std::lock_guard lock(mutex_);
    current_ = std::move(snapshot);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const AdapterSnapshot> current_;
};

}  // namespace corvane::app
