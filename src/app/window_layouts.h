// Templates of the program's windows: every control with its name, kind, position, size, font
// and initial text, and the menus. Positions inside a group box are relative to the box.
#pragma once

#include <cstddef>

#include "platform/window.h"

namespace corvane::app {

// Control and menu-item names of the main window.
namespace main_window {
inline constexpr char kAddressList[] = "超级列表框1";
inline constexpr char kSelectorLabel[] = "透明标签1";
inline constexpr char kSelector[] = "组合框1";
inline constexpr char kRefreshButton[] = "按钮_刷新";
inline constexpr char kShowIp[] = "选择框_IP地址";
inline constexpr char kShowGateway[] = "选择框_IP网关";
inline constexpr char kShowDhcp[] = "选择框_DHCPIP";
inline constexpr char kShowPrimaryWins[] = "选择框_主WINSIP";
inline constexpr char kShowSecondaryWins[] = "选择框_辅WINSIP";
inline constexpr char kReport[] = "编辑框_网卡信息";
inline constexpr char kLog[] = "编_日志";
// The most lines the log keeps; the oldest go in steps of a quarter of that.
inline constexpr size_t kLogMaxLines = 10000;
inline constexpr char kCommunityLink[] = "透明标签3";
inline constexpr char kIssueLink[] = "透明标签2";

inline constexpr char kListMenu[] = "列表菜单";
inline constexpr char kMenuProperties[] = "网卡属性设置";
inline constexpr char kMenuAdd[] = "添加 IP-地址";
inline constexpr char kMenuDelete[] = "删除 IP-地址";
inline constexpr char kMenuCopyAll[] = "复制所有网卡IP";
inline constexpr char kMenuAbout[] = "关于软件";

inline constexpr char kInitialTitle[] = "Corvane网卡操作 v4.0";
}  // namespace main_window

// Control names of the add-address window.
namespace add_window {
inline constexpr char kCaption[] = "添加IP-地址";
inline constexpr char kAddressLabel[] = "透明标签1";
inline constexpr char kAddresses[] = "编辑框1";
inline constexpr char kMaskLabel[] = "透明标签2";
inline constexpr char kMask[] = "IP编辑框_掩码";
inline constexpr char kOccupancyQuery[] = "选择框1";
inline constexpr char kConfirm[] = "按钮1";
}  // namespace add_window

// Control names of the TCP/IPv4 properties dialog.
namespace tcpip_dialog {
inline constexpr char kCaption[] = "Intemet 协议版本(TCP/IPv4)属性设置";
inline constexpr char kAutomatic[] = "单选框1";
inline constexpr char kStatic[] = "单选框2";
inline constexpr char kStaticGroup[] = "分组框1";
inline constexpr char kIpLabel[] = "标签2";
inline constexpr char kIp[] = "IP编辑框_ip";
inline constexpr char kMaskLabel[] = "标签3";
inline constexpr char kMask[] = "IP编辑框_mask";
inline constexpr char kGatewayLabel[] = "标签4";
inline constexpr char kGateway[] = "IP编辑框_网关";
inline constexpr char kDnsGroup[] = "分组框2";
inline constexpr char kPreferredDnsLabel[] = "标签5";
inline constexpr char kPreferredDns[] = "IP编辑框_首选DNS";
inline constexpr char kAlternateDnsLabel[] = "标签6";
inline constexpr char kAlternateDns[] = "IP编辑框_备用DNS";
inline constexpr char kOk[] = "按钮2";
}  // namespace tcpip_dialog

platform::WindowSpec MainWindowSpec();
platform::WindowSpec AddWindowSpec();
platform::WindowSpec TcpipDialogSpec();

}  // namespace corvane::app
