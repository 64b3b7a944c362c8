#include "address_ops/address_store.h"

#include "app/activity_log.h"
#include "app/app_context.h"
#include "config/registry_access.h"

namespace corvane::address_ops {

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
  // An unplugged cable or a missing lease shows no address while the configuration is still in the
  // key: an empty view is never written over it.
  const std::vector<app::AddressRow>& rows = snapshot->IpAddressesOf(static_cast<uint32_t>(target.index));
  if (rows.empty()) {
    app::AppendLog(context, "网卡当前没有可用的IP-地址(网线断开或未获得租约),保留原有的系统储存.");
    return;
  }

  std::string addresses;
  std::string masks;
  for (const app::AddressRow& row : rows) {
    if (!addresses.empty()) {
      addresses += "\r\n";
      masks += "\r\n";
    }
    addresses += row.address;
    masks += row.mask;
  }
  // Both values in one change: the n-th mask always belongs to the n-th address.
  const int written = config::RegistryAccess(context.services.registry).WriteMultiStringTexts(
      InterfaceKeyPath(target.adapterName), {{"IPAddress", addresses}, {"SubnetMask", masks}});
  if (written == 1) {
    app::AppendLog(context, "储存IP地址成功.");
    app::AppendLog(context, "储存子网掩码成功.");
  } else {
    app::AppendLog(context, "储存IP地址失败！");
    app::AppendLog(context, "储存子网掩码失败！");
  }
}

}  // namespace corvane::address_ops
