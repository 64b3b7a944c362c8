#include "app/adapter_view.h"

#include <cstdio>
#include <vector>

#include "app/activity_log.h"
#include "app/app_context.h"
#include "app/lease_time.h"
#include "app/stored_texts.h"
#include "app/window_layouts.h"
#include "common/text.h"

namespace corvane::app {

namespace mw = main_window;

namespace {

void FillSelector(AppContext& context, const AdapterSnapshot& snapshot) {
  for (const auto& [index, record] : snapshot.adapters) {
    context.window->AddItem(mw::kSelector, record.connectionName, static_cast<intptr_t>(index));
  }
}

int32_t CurrentAdapterIndex(AppContext& context) {
  int position = context.window->CurrentItem(mw::kSelector);
  if (position < 0) return -1;
  return static_cast<int32_t>(context.window->ItemData(mw::kSelector, position));
}

struct KindFilter {
  AddressKind kind;
  const char* checkBox;
};

constexpr KindFilter kKindFilters[] = {
    {AddressKind::Ip, mw::kShowIp},
    {AddressKind::Gateway, mw::kShowGateway},
    {AddressKind::DhcpServer, mw::kShowDhcp},
    {AddressKind::PrimaryWins, mw::kShowPrimaryWins},
    {AddressKind::SecondaryWins, mw::kShowSecondaryWins},
};

}  // namespace

namespace {

// Shows a fresh enumeration with the selector at `position` (none when -1 or past the end): the
// view is built here, on the worker, and the selector, the title and the view are put into the
// window in one call. A refresh says so in the log around the adapter's lines.
void ShowEnumeration(AppContext& context, const AdapterSnapshot& snapshot, int position, const ShownKinds& shown,
                     bool refresh) {
  platform::Window& w = *context.window;
  std::string name;
  int32_t selected = -1;
  if (position >= 0 && static_cast<size_t>(position) < snapshot.adapters.Size()) {
    const auto& [index, record] = *(snapshot.adapters.begin() + position);
    name = record.connectionName;
    selected = static_cast<int32_t>(index);
  }
  context.selectedAdapterIndex = selected;
  AdapterView view = BuildAdapterView(context, snapshot, selected, name, shown);
  if (refresh) {
    view.logLines.insert(view.logLines.begin(), Decipher(StoredText::Banner));
    view.logLines.push_back("刷新显示完成.");
  }
  w.Invoke([&] {
    w.ClearItems(mw::kSelector);
    FillSelector(context, snapshot);
    w.SetCurrentItem(mw::kSelector, position);
    if (refresh) w.SetTitle(Decipher(StoredText::WindowTitle));
    ApplyAdapterView(context, view);
  });
}

}  // namespace

void InitialAdapterFill(AppContext& context) {
  const ShownKinds shown = ReadShownKinds(context);
  auto snapshot = context.Enumerate();
  // The last adapter is selected.
  ShowEnumeration(context, *snapshot, static_cast<int>(snapshot->adapters.Size()) - 1, shown, false);
}

void StartInitialAdapterFill(AppContext& context) {
  OperationHold operation = context.busy.TryBegin(context);
  if (!operation) return;
  RunInBackground(context, [&context, operation] { InitialAdapterFill(context); });
}

void RefreshAdapters(AppContext& context) {
  platform::Window& w = *context.window;
  int position = -1;
  ShownKinds shown{};
  w.Invoke([&] {
    position = w.CurrentItem(mw::kSelector);
    shown = ReadShownKinds(context);
  });
  auto snapshot = context.Enumerate();
  // The selector keeps its position where it still exists, else goes to the first item; nothing
  // selected stays nothing selected.
  const int count = static_cast<int>(snapshot->adapters.Size());
  ShowEnumeration(context, *snapshot, position >= count ? 0 : position, shown, true);
}

void StartRefresh(AppContext& context) {
  // Accepted here, on the window thread, so that nothing else starts before the worker has; the
  // busy state lasts until the worker's refresh has ended.
  OperationHold operation = context.busy.TryBegin(context);
  if (!operation) return;
  RunInBackground(context, [&context, operation] { RefreshAdapters(context); });
}

void SelectAdapter(AppContext& context) {
  OperationHold operation = context.busy.TryBegin(context);
  if (!operation) {
    // The selector changed under an operation that relies on the adapter shown: back to it.
    platform::Window& w = *context.window;
    const int32_t shown = context.selectedAdapterIndex;
    for (int position = 0, count = w.ItemCount(mw::kSelector); position < count; ++position)
      if (w.ItemData(mw::kSelector, position) == shown) w.SetCurrentItem(mw::kSelector, position);
    return;
  }
  context.selectedAdapterIndex = CurrentAdapterIndex(context);
  // The report asks the management service and the IP helper: a worker waits for them.
  const std::string name = context.window->Text(mw::kSelector);
  const ShownKinds shown = ReadShownKinds(context);
  RunInBackground(context, [&context, operation, name, shown] {
    const auto snapshot = context.snapshot.Load();
    const AdapterView view = BuildAdapterView(context, *snapshot, context.selectedAdapterIndex, name, shown);
    context.window->Invoke([&] { ApplyAdapterView(context, view); });
  });
}

ShownKinds ReadShownKinds(AppContext& context) {
  platform::Window& w = *context.window;
  ShownKinds shown{};
  w.Invoke([&] {
    for (const KindFilter& filter : kKindFilters) shown[static_cast<size_t>(filter.kind)] = w.IsChecked(filter.checkBox);
  });
  return shown;
}

std::vector<std::vector<std::string>> AddressListRows(const AdapterSnapshot& snapshot, int32_t selected,
                                                      const ShownKinds& shown) {
  std::vector<std::vector<std::string>> rows;
  for (const KindFilter& filter : kKindFilters) {
    if (!shown[static_cast<size_t>(filter.kind)]) continue;
    const std::string kindText = KindText(filter.kind);
    for (const auto& [address, row] : snapshot.table(filter.kind)) {
      if (static_cast<int64_t>(row.adapterIndex) != selected) continue;
      rows.push_back({text::Decimal(static_cast<uint64_t>(rows.size()) + 1), row.address, row.mask,
                      text::Decimal(row.context), text::Decimal(static_cast<uint64_t>(row.next)),
                      text::Decimal(row.adapterIndex), kindText});
    }
  }
  return rows;
}

namespace {

std::string AddressCountLine(const AdapterSnapshot& snapshot, const std::string& selectorText) {
  return selectorText + " 共计" + text::Decimal(static_cast<uint64_t>(snapshot.table(AddressKind::Ip).Size())) +
         "个IP-地址.";
}

}  // namespace

std::string StatusText(int32_t status) {
  static const char* const kNames[] = {"已断开",   "连接中",   "已连接",   "断开中",   "硬件不存在",
                                       "硬件禁用", "硬件故障", "网线断开", "正在认证", "认证成功",
                                       "认证失败", "地址无效", "缺少证书"};
  if (status >= 0 && status <= 12) return kNames[status];
  return text::Decimal(status);
}

std::string AdapterTypeText(uint32_t type) {
  switch (type) {
    case 1:
      return "其他类型的适配器";
    case 6:
      return "以太网适配器";
    case 9:
      return "令牌环适配器";
    case 15:
      return "FDDI（光纤分布数据接口）适配器";
    case 23:
      return "PPP适配器";
    case 24:
      return "Loopback适配器";
    case 28:
      return "Slip适配器";
    case 71:
      return "IEEE80211";
    default:
      return text::Decimal(type);
  }
}

std::string YesNoText(int64_t value) {
  if (value == 0) return "否";
  if (value == 1) return "是";
  return text::Decimal(value);
}

std::string MegabitsText(int64_t bitsPerSecond) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6f", static_cast<double>(bitsPerSecond) / 1000000.0);
  std::string s = buffer;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string BuildReport(const AdapterRecord& r, int32_t status, platform::Kernel& kernel) {
  std::string report;
  report += "连接名称：" + r.connectionName;
  report += "\r\n网卡状态：" + StatusText(status);
  report += "\r\n适配器描述：" + r.description;
  report += "\r\n适配器名称：" + r.adapterName;
  report += "\r\n物理地址：" + r.physicalAddress;
  report += "\r\n适配器类型：" + AdapterTypeText(r.adapterType);
  report += "\r\n已启用DHCP：" + YesNoText(r.dhcpEnabled);
  report += "\r\nIPv4地址链表：" + text::Decimal(r.ipCount);
  report += "\r\nIPv4网关地址链表：" + text::Decimal(r.gatewayCount);
  report += "\r\nDHCP服务器的IPv4地址链表：" + text::Decimal(r.dhcpServerCount);
  report += "\r\n使用WINS服务器：" + YesNoText(r.haveWins);
  report += "\r\n主WINS服务器：" + text::Decimal(r.primaryWinsCount);
  report += "\r\n辅WINS服务器：" + text::Decimal(r.secondaryWinsCount);
  report += "\r\n首选DNS服务器：" + r.preferredDns;
  report += "\r\n备用DNS服务器：" + r.alternateDns;
  report += "\r\nDHCP获得租约时间：" + FormatLeaseTime(text::Decimal(r.leaseObtained), kernel);
  report += "\r\nDHCP租约过期时间：" + FormatLeaseTime(text::Decimal(r.leaseExpires), kernel);
  return report;
}

AdapterView BuildAdapterView(AppContext& context, const AdapterSnapshot& snapshot, int32_t selected,
                             const std::string& selectorText, const ShownKinds& shown) {
  AdapterView view;
  view.rows = AddressListRows(snapshot, selected, shown);
  if (shown[static_cast<size_t>(AddressKind::Ip)]) view.logLines.push_back(AddressCountLine(snapshot, selectorText));

  const AdapterRecord* found = selected >= 0 ? snapshot.adapters.Get(static_cast<uint32_t>(selected)) : nullptr;
  AdapterRecord empty;
  const AdapterRecord& record = found != nullptr ? *found : empty;
  const int32_t status = context.connections.ConnectionStatus(selectorText);
  view.report = BuildReport(record, status, context.services.kernel);
  context.setAdapterContext(AdapterContext{record.adapterName, record.preferredDns, record.alternateDns});

  view.logLines.push_back("-------------------------------------");
  uint32_t mediaResult = platform::kNoError;
  const uint32_t media = context.connections.MediaState(selectorText, &mediaResult);
  if (mediaResult != platform::kNoError) {
    // The adapters could not be listed: that says nothing about the cable.
    view.logLines.push_back(selectorText + " 查询媒体状态 失败,返回代码" + text::Decimal(mediaResult) + ".");
  } else if (media == platform::kIfOperStatusUp) {
    view.logLines.push_back(selectorText + " 媒体状态状态-已连接.");
  } else {
    view.logLines.push_back(selectorText + " 媒体状态状态-已断开.");
  }
  view.propertiesEnabled = status == 2;
  if (status == 2)
    view.logLines.push_back(selectorText + " 最大传输速度" + MegabitsText(context.connections.LinkSpeed(selectorText)) +
                            "Mbps");
  view.logLines.push_back(selectorText + " 最大传输单元" + text::Decimal(context.connections.LinkMtu(selectorText)) +
                          ".");
  return view;
}

void ApplyAdapterView(AppContext& context, const AdapterView& view) {
  platform::Window& w = *context.window;
  w.ReplaceRows(mw::kAddressList, view.rows);
  w.SetText(mw::kReport, view.report);
  w.SetMenuItemEnabled(mw::kMenuProperties, view.propertiesEnabled);
  // The lines go to the log in one change: the log box is drawn once for all of them.
  AppendLogLines(context, view.logLines);
}

}  // namespace corvane::app
