#include "address_ops/address_store.h"

#include <algorithm>
#include <vector>

#include "app/activity_log.h"
#include "app/app_context.h"
#include "common/ipv4.h"
#include "config/registry_access.h"

namespace corvane::address_ops {

namespace {

// The adapter shows no address (down, or without a lease): the stored lists stay.
constexpr char kNoAddressKept[] = "网卡当前没有可用的IP-地址(网线断开或未获得租约),保留原有的系统储存.";

}  // namespace

std::string InterfaceKeyPath(const std::string& adapterName) {
  return "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + adapterName;
}

void StoreAddressList(app::AppContext& context, const app::ChangeTarget& target) {
  app::AppendLog(context, "开始刷新系统储存...");
  auto snapshot = context.snapshot.Load();

  // Without the adapter in the last enumeration (it is gone, its index now names another adapter,
  // or the enumeration failed) there is nothing to write.
  const app::AdapterRecord* record =
      target.index >= 0 ? snapshot->adapters.Get(static_cast<uint32_t>(target.index)) : nullptr;
  if (record == nullptr || target.adapterName.empty() || record->adapterName != target.adapterName) {
    app::AppendLog(context, "储存IP地址失败！");
    app::AppendLog(context, "储存子网掩码失败！");
    return;
  }
  // With DHCP on, the system ignores the static lists: writing the leased address there would
  // claim a store that does not last.
  if (record->dhcpEnabled != 0) {
    app::AppendLog(context, "网卡已启用DHCP,添加的IP-地址只保留到下次重启,未写入系统储存.");
    return;
  }
  // Unplugged (or down for any reason): the system has released the addresses, while the
  // configuration is still in the key. An empty view is never written over it.
  const bool stateKnown = record->operStatus != 0;
  if (stateKnown && record->operStatus != platform::kIfOperStatusUp) {
    app::AppendLog(context, kNoAddressKept);
    return;
  }
  // The addresses the adapter really has: never the all-zero placeholder, never one another host
  // holds (listed with its context, as the all-zero address or as itself).
  std::vector<const app::AddressRow*> rows;
  for (const app::AddressRow& row : snapshot->IpAddressesOf(static_cast<uint32_t>(target.index))) {
    uint32_t value = 0;
    if (row.context == 0 || !ipv4::ParseDottedAddress(row.address, &value) || value == 0) continue;
    const auto& held = record->duplicateAddresses;
    if (std::find(held.begin(), held.end(), value) != held.end()) continue;
    rows.push_back(&row);
  }
  if (rows.empty()) {
    if (!stateKnown) {
      app::AppendLog(context, kNoAddressKept);
    } else {
      // Connected, static and without an address: there is no list that says so to the system, so
      // the stored one stays and comes back at the next start.
      app::AppendLog(context, "网卡已没有可用的IP-地址,保留原有的系统储存,本次删除只保留到下次重启.");
    }
    return;
  }

  std::string addresses;
  std::string masks;
  for (const app::AddressRow* row : rows) {
    if (!addresses.empty()) {
      addresses += "\r\n";
      masks += "\r\n";
    }
    addresses += row->address;
    masks += row->mask;
  }
  // Both values in one change: the n-th mask always belongs to the n-th address. Without registry
  // transactions they are written one after the other, and the close's watchdog waits for both.
  std::vector<std::string> leftChanged;
  const int written = config::RegistryAccess(context.services.registry)
                          .WriteMultiStringTexts(InterfaceKeyPath(target.adapterName),
                                                 {{"IPAddress", addresses}, {"SubnetMask", masks}}, &leftChanged,
                                                 &context.unbrokenWrites);
  if (written == 1) {
    app::AppendLog(context, "储存IP地址成功.");
    app::AppendLog(context, "储存子网掩码成功.");
    return;
  }
  if (leftChanged.empty()) {
    app::AppendLog(context, "储存IP地址失败！");
    app::AppendLog(context, "储存子网掩码失败！");
    return;
  }
  // The second value could not be written, nor the first put back: the key now holds the new
  // addresses with the old masks.
  app::AppendLog(context, "储存IP地址成功.");
  app::AppendLog(context, "储存子网掩码失败！");
  app::AppendLog(context, "注意:IPAddress已是新的地址列表且未能改回,SubnetMask仍是原有的掩码列表,两者不再一一对应！");
}

}  // namespace corvane::address_ops
