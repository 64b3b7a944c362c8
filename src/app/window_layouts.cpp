#include "app/window_layouts.h"

namespace corvane::app {

using platform::ControlKind;
using platform::ControlSpec;
using platform::ListColumn;
using platform::MenuItemSpec;
using platform::MenuSpec;
using platform::WindowSpec;

namespace {

ControlSpec Control(const char* name, ControlKind kind, int x, int y, int w, int h, const char* text = "") {
  ControlSpec c;
  c.name = name;
  c.kind = kind;
  c.x = x;
  c.y = y;
  c.width = w;
  c.height = h;
  c.text = text;
  return c;
}

MenuItemSpec Item(const char* name) { return MenuItemSpec{name, false}; }
MenuItemSpec Separator() { return MenuItemSpec{"", true}; }

}  // namespace

WindowSpec MainWindowSpec() {
  using namespace main_window;
  WindowSpec w;
  w.name = "主窗口";
  w.caption = kInitialTitle;
  w.x = 50;
  w.y = 50;
  w.width = 772;
  w.height = 480;

  ControlSpec list = Control(kAddressList, ControlKind::ListView, 8, 9, 400, 419);
  list.columns = {ListColumn{"ID", 40},      ListColumn{"IP地址", 120}, ListColumn{"子网掩码", 120},
                  ListColumn{"Context", 0},  ListColumn{"Next", 0},     ListColumn{"网卡索引", 0},
                  ListColumn{"类型", 60}};
  w.controls.push_back(list);
  w.controls.push_back(Control(kSelectorLabel, ControlKind::Label, 421, 8, 32, 24, "网卡:"));
  w.controls.push_back(Control(kSelector, ControlKind::ComboBox, 452, 10, 206, 20));
  w.controls.push_back(Control(kRefreshButton, ControlKind::Button, 664, 9, 48, 22, "刷新"));
  ControlSpec showIp = Control(kShowIp, ControlKind::CheckBox, 424, 40, 72, 24, "IP-地址");
  showIp.checked = true;
  w.controls.push_back(showIp);
  w.controls.push_back(Control(kShowGateway, ControlKind::CheckBox, 505, 40, 72, 24, "IP-网关"));
  w.controls.push_back(Control(kShowDhcp, ControlKind::CheckBox, 586, 40, 72, 24, "DHCP-IP"));
  w.controls.push_back(Control(kShowPrimaryWins, ControlKind::CheckBox, 659, 40, 88, 24, "主-WINS-IP"));
  w.controls.push_back(Control(kShowSecondaryWins, ControlKind::CheckBox, 424, 65, 96, 23, "辅-WINS-IP"));
  ControlSpec report = Control(kReport, ControlKind::MultiLineEdit, 416, 94, 345, 191);
  report.font = "黑体";
  report.verticalScroll = true;
  w.controls.push_back(report);
  ControlSpec log = Control(kLog, ControlKind::MultiLineEdit, 407, 289, 358, 139);
  log.font = "微软雅黑";
  log.background = 0x00ECECEC;
  log.verticalScroll = true;
  // An edit box slows with every line it holds: the log keeps the last 10,000 lines.
  log.maxLines = kLogMaxLines;
  log.trimNotice = "……较早的{}行日志已移除……";
  w.controls.push_back(log);
  w.controls.push_back(Control(kCommunityLink, ControlKind::LinkLabel, 655, 428, 50, 24, "用户交流"));
  w.controls.push_back(Control(kIssueLink, ControlKind::LinkLabel, 712, 428, 50, 24, "提交问题"));

  MenuSpec menu;
  menu.name = kListMenu;
  menu.items = {Item(kMenuProperties), Separator(), Item(kMenuAdd), Item(kMenuDelete), Separator(),
                Item(kMenuCopyAll),    Separator(), Item(kMenuAbout)};
  w.menus.push_back(menu);
  return w;
}

WindowSpec AddWindowSpec() {
  using namespace add_window;
  WindowSpec w;
  w.name = "添加窗口";
  w.caption = kCaption;
  w.x = 50;
  w.y = 50;
  w.width = 315;
  w.height = 368;
  w.controls.push_back(Control(kAddressLabel, ControlKind::Label, 10, 12, 29, 24, "IP:"));
  ControlSpec addresses = Control(kAddresses, ControlKind::MultiLineEdit, 44, 16, 228, 224);
  addresses.verticalScroll = true;
  w.controls.push_back(addresses);
  w.controls.push_back(Control(kMaskLabel, ControlKind::Label, 2, 262, 40, 24, "掩码:"));
  w.controls.push_back(Control(kMask, ControlKind::IpAddress, 44, 261, 156, 24));
  w.controls.push_back(Control(kOccupancyQuery, ControlKind::CheckBox, 218, 262, 78, 24, "占用查询"));
  ControlSpec confirm = Control(kConfirm, ControlKind::Button, 221, 298, 78, 32, "确定");
  confirm.defaultButton = true;
  w.controls.push_back(confirm);
  return w;
}

WindowSpec TcpipDialogSpec() {
  using namespace tcpip_dialog;
  WindowSpec w;
  w.name = "属性窗口";
  w.caption = kCaption;
  w.x = 50;
  w.y = 50;
  w.width = 386;
  w.height = 352;
  auto inside = [](ControlSpec c, const char* group) {
    c.parent = group;
    return c;
  };
  w.controls.push_back(Control(kAutomatic, ControlKind::RadioButton, 16, 19, 184, 13, "自动获得 IP 地址(&O)"));
  ControlSpec useStatic = Control(kStatic, ControlKind::RadioButton, 16, 49, 152, 13, "使用下面的 IP 地址(&S):");
  useStatic.checked = true;
  w.controls.push_back(useStatic);
  w.controls.push_back(Control(kStaticGroup, ControlKind::GroupBox, 12, 70, 356, 112));
  w.controls.push_back(inside(Control(kIpLabel, ControlKind::Label, 71, 25, 72, 13, "IP 地址(&I):"), kStaticGroup));
  w.controls.push_back(inside(Control(kIp, ControlKind::IpAddress, 139, 20, 176, 24), kStaticGroup));
  w.controls.push_back(inside(Control(kMaskLabel, ControlKind::Label, 65, 57, 72, 13, "子网掩码(&U):"), kStaticGroup));
  w.controls.push_back(inside(Control(kMask, ControlKind::IpAddress, 139, 52, 176, 24), kStaticGroup));
  w.controls.push_back(
      inside(Control(kGatewayLabel, ControlKind::Label, 65, 86, 72, 13, "默认网关(&D):"), kStaticGroup));
  w.controls.push_back(inside(Control(kGateway, ControlKind::IpAddress, 139, 81, 176, 24), kStaticGroup));
  w.controls.push_back(Control(kDnsGroup, ControlKind::GroupBox, 12, 185, 356, 96));
  w.controls.push_back(
      inside(Control(kPreferredDnsLabel, ControlKind::Label, 24, 27, 128, 16, "首选 DNS 服务器(&P):"), kDnsGroup));
  w.controls.push_back(inside(Control(kPreferredDns, ControlKind::IpAddress, 139, 24, 176, 24), kDnsGroup));
  w.controls.push_back(
      inside(Control(kAlternateDnsLabel, ControlKind::Label, 24, 60, 128, 16, "备用 DNS 服务器(&A):"), kDnsGroup));
  w.controls.push_back(inside(Control(kAlternateDns, ControlKind::IpAddress, 139, 56, 176, 24), kDnsGroup));
  ControlSpec ok = Control(kOk, ControlKind::Button, 280, 289, 87, 28, "确定");
  ok.defaultButton = true;
  w.controls.push_back(ok);
  return w;
}

}  // namespace corvane::app
