#include "address_ops/address_store.h"

#include "app/activity_log.h"
#include "app/app_context.h"

namespace corvane::address_ops {

std::string InterfaceKeyPath(const std::string& adapterName) {
  return "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + adapterName;
}

void StoreAddressList(app::AppContext& context) {
  app::AppendLog(context, "开始刷新系统储存...");
  auto snapshot = context.snapshot.Load();
  const int32_t selected = context.selectedAdapterIndex;
  const std::string adapterName = context.adapterContext().adapterName;

  // Without the adapter in the last enumeration (it is gone, or the enumeration failed) the lists
  // would be empty: writing them would wipe the adapter's stored addresses.
  const app::AdapterRecord* record = selected >= 0 ? snapshot->adapters.Get(static_cast<uint32_t>(selected)) : nullptr;
  if (record == nullptr || adapterName.empty() || record->adapterName != adapterName) {
    app::AppendLog(context, "储存IP地址失败！");
    app::AppendLog(context, "储存子网掩码失败！");
    return;
  }

  std::string addresses;
  std::string masks;
  for (const auto& [address, row] : snapshot->table(app::AddressKind::Ip)) {
    if (static_cast<int64_t>(row.adapterIndex) != selected) continue;
    addresses += row.address + "\r\n";
    masks += row.mask + "\r\n";
  }
  if (addresses.size() >= 2) addresses.resize(addresses.size() - 2);
  if (masks.size() >= 2) masks.resize(masks.size() - 2);

  const std::string path = InterfaceKeyPath(adapterName);
  if (context.registry.WriteMultiStringText(path, "IPAddress", addresses) == 1) {
    app::AppendLog(context, "储存IP地址成功.");
  } else {
    app::AppendLog(context, "储存IP地址失败！");
  }
  if (context.registry.WriteMultiStringText(path, "SubnetMask", masks) == 1) {
    app::AppendLog(context, "储存子网掩码成功.");
  } else {
    app::AppendLog(context, "储存子网掩码失败！");
  }
}

}  // namespace corvane::address_ops
