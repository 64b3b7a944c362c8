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

// A walk only builds rows in memory (a microsecond or two each); the window is busy with them only
// during the one batch insert that follows. A round of pending events costs a call into the window
// system and, on the window thread, whatever painting is pending (which a later round would redo),
// so a walk lets the window process its events only every 4096 entries: a few milliseconds of
// work apart, however large the tables grow.
constexpr size_t kEntriesPerEventRound = 4096;

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

void InitialAdapterFill(AppContext& context) {
  auto snapshot = context.Enumerate();
  FillSelector(context, *snapshot);
  int count = context.window->ItemCount(mw::kSelector);
  if (count > 0) context.window->SetCurrentItem(mw::kSelector, count - 1);
  context.selectedAdapterIndex = CurrentAdapterIndex(context);
  ShowSelectedAdapter(context);
}

void StartInitialAdapterFill(AppContext& context) {
  OperationHold operation = context.busy.TryBegin(context);
  if (!operation) return;
  RunInBackground(context, [&context, operation] { InitialAdapterFill(context); });
}

void RefreshAdapters(AppContext& context) {
  platform::Window& w = *context.window;
  int position = w.CurrentItem(mw::kSelector);
  w.ClearItems(mw::kSelector);
  auto snapshot = context.Enumerate();
  FillSelector(context, *snapshot);
  int count = w.ItemCount(mw::kSelector);
  w.SetCurrentItem(mw::kSelector, position >= count ? 0 : position);
  context.selectedAdapterIndex = CurrentAdapterIndex(context);
  w.SetTitle(Decipher(StoredText::WindowTitle));
  AppendLog(context, Decipher(StoredText::Banner));
  ShowSelectedAdapter(context);
  AppendLog(context, "刷新显示完成.");
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
  RunInBackground(context, [&context, operation] { ShowSelectedAdapter(context); });
}

void FillAddressList(AppContext& context, const AdapterSnapshot& snapshot) {
  platform::Window& w = *context.window;
  platform::WindowSystem& windows = context.services.windows;
  const int32_t selected = context.selectedAdapterIndex;
  // The rows are decided here and handed to the list in one batch: one call to the window, which
  // inserts them with drawing off and draws the list once.
  std::vector<std::vector<std::string>> rows;
  size_t sinceEvents = 0;
  for (const KindFilter& filter : kKindFilters) {
    if (!w.IsChecked(filter.checkBox)) continue;
    const std::string kindText = KindText(filter.kind);
    for (const auto& [address, row] : snapshot.table(filter.kind)) {
      if (static_cast<int64_t>(row.adapterIndex) == selected) {
        rows.push_back({text::Decimal(static_cast<uint64_t>(rows.size()) + 1), row.address, row.mask,
                        text::Decimal(row.context), text::Decimal(static_cast<uint64_t>(row.next)),
                        text::Decimal(row.adapterIndex), kindText});
      }
      if (++sinceEvents == kEntriesPerEventRound) {
        windows.ProcessPendingEvents();
        sinceEvents = 0;
      }
    }
    if (filter.kind == AddressKind::Ip) {
      AppendLog(context, w.Text(mw::kSelector) + " 共计" +
                             text::Decimal(static_cast<uint64_t>(snapshot.table(AddressKind::Ip).Size())) +
                             "个IP-地址.");
    }
  }
  w.ReplaceRows(mw::kAddressList, rows);
}

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

void ShowSelectedAdapter(AppContext& context) {
  platform::Window& w = *context.window;
  auto snapshot = context.snapshot.Load();
  FillAddressList(context, *snapshot);

  const AdapterRecord* found = snapshot->adapters.Get(static_cast<uint32_t>(context.selectedAdapterIndex.load()));
  AdapterRecord empty;
  const AdapterRecord& record = (context.selectedAdapterIndex >= 0 && found != nullptr) ? *found : empty;

  const std::string selectorText = w.Text(mw::kSelector);
  int32_t status = context.connections.ConnectionStatus(selectorText);
  w.SetText(mw::kReport, BuildReport(record, status, context.services.kernel));
  context.setAdapterContext(AdapterContext{record.adapterName, record.preferredDns, record.alternateDns});

  // The adapter's lines go to the log in one change: the log box is drawn once for all of them.
  std::vector<std::string> lines{"-------------------------------------"};
  uint32_t mediaResult = platform::kNoError;
  const uint32_t media = context.connections.MediaState(selectorText, &mediaResult);
  if (mediaResult != platform::kNoError) {
    // The adapters could not be listed: that says nothing about the cable.
    lines.push_back(selectorText + " 查询媒体状态 失败,返回代码" + text::Decimal(mediaResult) + ".");
  } else if (media == platform::kIfOperStatusUp) {
    lines.push_back(selectorText + " 媒体状态状态-已连接.");
  } else {
    lines.push_back(selectorText + " 媒体状态状态-已断开.");
  }
  if (status == 2) {
    w.SetMenuItemEnabled(mw::kMenuProperties, true);
    lines.push_back(selectorText + " 最大传输速度" + MegabitsText(context.connections.LinkSpeed(selectorText)) + "Mbps");
  } else {
    w.SetMenuItemEnabled(mw::kMenuProperties, false);
  }
  lines.push_back(selectorText + " 最大传输单元" + text::Decimal(context.connections.LinkMtu(selectorText)) + ".");
  AppendLogLines(context, lines);
}

}  // namespace corvane::app
