// The program's logic over the real Windows services as Wine provides them; the windows are the
// headless ones so the test can read every control.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "address_ops/add_addresses.h"
#include "address_ops/address_store.h"
#include "app/program_end.h"
#include "app/app_context.h"
#include "program/application.h"
#include "app/window_layouts.h"
#include "common/text.h"
#include "config/registry_access.h"
#include "platform/headless/headless_window_system.h"
#include "platform/win32/services.h"
#include "wine_program.h"

namespace corvane {
namespace {

namespace mw = app::main_window;
using Strings = std::vector<std::string>;

class WineProgram : public testing_wine::WineProgramTest {};

TEST_F(WineProgram, ReportOfWinesLastAdapterWithStatusMediaAndMtuAsWineAnswers) {
  // Wine lists its interfaces; the selector ends on the last one, named by the interface's
  // friendly name since the router administration service is missing.
  ASSERT_GT(Main().ItemCount(mw::kSelector), 0);
  const int last = Main().ItemCount(mw::kSelector) - 1;
  EXPECT_EQ(Main().CurrentItem(mw::kSelector), last);
  const std::string name = Main().Text(mw::kSelector);
  EXPECT_FALSE(name.empty());

  Strings report = text::Split(Main().Text(mw::kReport), "\r\n");
  ASSERT_EQ(report.size(), 17u);
  EXPECT_EQ(report[0], "连接名称：" + name);
  // No NetConnectionID in Wine's instrumentation and no connection manager: no status is found.
  EXPECT_EQ(report[1], "网卡状态：-1");
  EXPECT_EQ(report[6], "已启用DHCP：是");
  // Every address context reads 0 under Wine, so no address is listed or counted.
  EXPECT_EQ(report[7], "IPv4地址链表：0");
  EXPECT_TRUE(Main().Rows(mw::kAddressList).empty());
  EXPECT_FALSE(Main().IsMenuItemEnabled(mw::kMenuProperties));

  // The media state and the MTU come from the IP helper service.
  std::vector<platform::AdapterAddresses> entries;
  ASSERT_EQ(ipHelper->GetAdaptersAddresses(0, platform::kGaaFlagIncludePrefix, &entries), 0u);
  uint32_t operStatus = 0;
  uint32_t mtu = 0;
  for (const auto& e : entries) {
    if (kernel->WideToMultiByte(e.FriendlyName, platform::kCodePageGbk) == name) {
      operStatus = e.OperStatus;
      platform::IfRow row;
      ASSERT_EQ(ipHelper->GetIfEntry(e.IfIndex, &row), 0u);
      mtu = row.Mtu;
    }
  }
  ASSERT_GT(mtu, 0u);
  Strings log = Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[log.size() - 4], name + " 共计0个IP-地址.");
  EXPECT_EQ(log[log.size() - 3], "-------------------------------------");
  EXPECT_EQ(log[log.size() - 2],
            name + (operStatus == 1 ? " 媒体状态状态-已连接." : " 媒体状态状态-已断开."));
  // Status -1 writes no speed line.
  EXPECT_EQ(log.back(), name + " 最大传输单元" + std::to_string(mtu) + ".");
}

TEST_F(WineProgram, AddingAnAddressLogsWinesResultCodeFiftyAndWritesNothingForItsDhcpAdapter) {
  config::RegistryAccess access(*registry);
  const std::string path = address_ops::InterfaceKeyPath(program->context().adapterContext().adapterName);
  uint32_t type = 0;
  const std::string stored = access.ReadValueBytes(path, "IPAddress", &type);
  app::AddRangeRequest request;
  request.addresses = "192.0.2.{10-11}";
  request.mask = "255.255.255.0";
  request.target = app::SelectedTarget(program->context());
  ASSERT_GE(request.target.index, 0);
  address_ops::AddAddressRange(program->context(), request);
  Strings log = Log();
  auto find = [&](const std::string& line) { return std::find(log.begin(), log.end(), line) != log.end(); };
  EXPECT_TRUE(find("添加IP-地址 192.0.2.10 失败,返回代码50."));
  EXPECT_TRUE(find("添加IP-地址 192.0.2.11 失败,返回代码50."));
  EXPECT_TRUE(find("添加IP完成，添加成功0，添加失败2。"));
  // Wine lists the adapter with DHCP on (and no IPv4 address): its interface key is not written.
  const app::AdapterRecord* record =
      program->context().snapshot.Load()->adapters.Get(static_cast<uint32_t>(request.target.index));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->dhcpEnabled, 1u);
  EXPECT_EQ(log.back(), "网卡已启用DHCP,添加的IP-地址只保留到下次重启,未写入系统储存.");
  EXPECT_EQ(access.ReadValueBytes(path, "IPAddress", &type), stored);
}

TEST_F(WineProgram, TheAddWindowTakesItsDefaultMaskFromWinesRegistry) {
  config::RegistryAccess access(*registry);
  const std::string path = address_ops::InterfaceKeyPath(program->context().adapterContext().adapterName);
  ASSERT_EQ(access.WriteMultiStringText(path, "SubnetMask", "255.255.0.0"), 1);
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuAdd));
  headless::HeadlessWindow* add = windows.topModal();
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add->Text(app::add_window::kMask), "255.255.0.0");
  add->CloseByUser();
}

TEST(WineRegistryAccess, WritesReadsBackTypesAndMissingKeysInWinesRegistry) {
  std::unique_ptr<platform::Registry> registry = win32::MakeRegistry();
  config::RegistryAccess access(*registry);
  const std::string path = "hkey_current_user\\Software\\CorvaneAccessTest";
  ASSERT_EQ(access.WriteMultiStringText(path, "list", "10.0.0.1\r\n10.0.0.2"), 1);
  uint32_t type = 0;
  EXPECT_EQ(access.ReadValueBytes("HKEY_CURRENT_USER\\Software\\CorvaneAccessTest", "list", &type),
            std::string("10.0.0.1\0" "10.0.0.2\0\0", 19));
  EXPECT_EQ(type, platform::kRegMultiSz);
  EXPECT_EQ(access.ReadMultiStringText(path, "list"), "10.0.0.1\r\n10.0.0.2\r\n\r\n");
  ASSERT_EQ(access.WriteValueBytes(path, "sz", std::string("网卡\0", 5), platform::kRegSz), 1);
  EXPECT_EQ(access.ReadMultiStringText(path, "sz"), "网卡\r\n");
  EXPECT_EQ(access.ReadValueBytes(path + "\\Missing", "list", &type), "");
  EXPECT_EQ(access.ReadValueBytes(path, "missing", &type), "");
  EXPECT_FALSE(access.OpenKeyByPath("HKCU\\Software", false));
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CorvaneAccessTest");
}

}  // namespace
}  // namespace corvane
