// The machine the demo runs on.
#include "platform/sim/machine.h"
#include "platform/sim/sim_state.h"

namespace corvane::sim {

namespace {

SimAdapter DisconnectedEthernet() {
  SimAdapter a;
  a.index = 14;
  a.wmiIndex = 12;
  a.guid = "{9C1F0E7A-52B4-4D61-A8E3-2F6B1D4C7E90}";
  a.description = "Realtek PCIe GbE Family Controller #2";
  a.connectionName = u"本地连接 2";
  a.physicalAddress = {0x00, 0xE0, 0x4C, 0x68, 0x0F, 0x10};
  a.type = 6;
  // A static adapter with its cable unplugged: the system lists no address for it, while its
  // interface key keeps the configured address, mask and gateway.
  a.dhcpEnabled = 0;
  a.ipAddresses = {SimAddress{"172.16.40.8", "255.255.240.0", 7}};
  a.gateways = {SimAddress{"172.16.32.1", "255.255.255.255", 0x301}};
  a.dnsServers = {"172.16.32.1"};
  a.netConnectionStatus = 7;
  a.operStatus = 2;
  a.speed = 0;
  a.mtu = 1500;
  return a;
}

SimAdapter Wireless() {
  SimAdapter a;
  a.index = 12;
  a.wmiIndex = 9;
  a.guid = "{3B7D2A41-8E65-4F0C-9D1B-C4A5E6F70812}";
  a.description = "Realtek RTL8188EU Wireless LAN 802.11n USB 2.0 Network Adapter";
  a.connectionName = u"无线网络连接";
  a.physicalAddress = {0x74, 0xDA, 0x38, 0x0A, 0x5B, 0xC1};
  a.type = 71;
  a.dhcpEnabled = 1;
  a.ipAddresses = {SimAddress{"192.168.31.105", "255.255.255.0", 6}};
  a.gateways = {SimAddress{"192.168.31.1", "255.255.255.255", 0x101}};
  a.dhcpServers = {SimAddress{"192.168.31.1", "255.255.255.255", 0x102}};
  a.haveWins = 1;
  a.primaryWins = {SimAddress{"192.168.31.2", "255.255.255.255", 0x103}};
  a.secondaryWins = {SimAddress{"192.168.31.3", "255.255.255.255", 0x104}};
  a.leaseObtained = 1764986400;
  a.leaseExpires = 1765072800;
  a.dnsServers = {"192.168.31.1"};
  a.netConnectionStatus = 2;
  a.operStatus = 1;
  a.speed = 54000000;
  a.mtu = 1500;
  return a;
}

SimAdapter ConnectedEthernet() {
  SimAdapter a;
  a.index = 11;
  a.wmiIndex = 7;
  a.guid = "{6A2E9F14-0D3C-4B8A-B57E-81F2C3D4A5B6}";
  a.description = "Intel(R) Ethernet Connection I219-V";
  a.connectionName = u"本地连接";
  a.physicalAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  a.type = 6;
  a.dhcpEnabled = 0;
  a.ipAddresses = {SimAddress{"192.168.1.10", "255.255.255.0", 2},
                   SimAddress{"192.168.1.11", "255.255.255.0", 3},
                   SimAddress{"192.168.1.12", "255.255.255.0", 4}, SimAddress{"10.0.0.5", "255.0.0.0", 5}};
  a.gateways = {SimAddress{"192.168.1.1", "255.255.255.255", 0x201}};
  a.dnsServers = {"192.168.1.1", "223.5.5.5"};
  a.netConnectionStatus = 2;
  a.operStatus = 1;
  a.speed = 1000000000;
  a.mtu = 1500;
  return a;
}

}  // namespace

std::unique_ptr<Machine> MakeDemoMachine() {
  auto machine = std::make_unique<Machine>();
  // The program shows the last adapter at start-up: the connected Ethernet adapter comes last.
  for (SimAdapter a : {DisconnectedEthernet(), Wireless(), ConnectedEthernet()}) {
    const uint32_t index = a.index;
    machine->AddAdapter(std::move(a));
    machine->WriteInterfaceKey(index);
  }
  // The other hosts of each segment: the gateways and a file server answer echoes; on the wired
  // segment a host behind a firewall that drops them holds 192.168.1.21, which an addition finds
  // only through the system's duplicate address detection.
  machine->AddNeighbour(11, "192.168.1.1", true);
  machine->AddNeighbour(11, "192.168.1.20", true);
  machine->AddNeighbour(11, "192.168.1.21", false);
  machine->AddNeighbour(12, "192.168.31.1", true);
  machine->SetHostName("CORVANE-DEMO");
  machine->AddHost("fileserver", {"192.168.1.20"});
  return machine;
}

}  // namespace corvane::sim
