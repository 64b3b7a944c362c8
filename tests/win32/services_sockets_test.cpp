// Windows Sockets: address text conversion and the resolver.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sockets.h"
#include "platform/win32/services.h"

namespace corvane {
namespace {

uint32_t NetworkOrder(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return uint32_t{a} | uint32_t{b} << 8 | uint32_t{c} << 16 | uint32_t{d} << 24;
}

TEST(WineSockets, InetAddrAcceptsDottedAndShortForms) {
  auto sockets = win32::MakeSockets();
  EXPECT_EQ(sockets->InetAddr("192.168.1.10"), NetworkOrder(192, 168, 1, 10));
  EXPECT_EQ(sockets->InetAddr("1.2.3"), NetworkOrder(1, 2, 0, 3));
  EXPECT_EQ(sockets->InetAddr("10"), NetworkOrder(0, 0, 0, 10));
  EXPECT_EQ(sockets->InetAddr("255.255.255.255"), platform::kInAddrNone);
  EXPECT_EQ(sockets->InetAddr("1.2.3.256"), platform::kInAddrNone);
  EXPECT_EQ(sockets->InetAddr("abc"), platform::kInAddrNone);
}

TEST(WineSockets, HostNameResolvesToAddresses) {
  auto sockets = win32::MakeSockets();
  std::string name;
  ASSERT_TRUE(sockets->GetHostName(&name));
  EXPECT_FALSE(name.empty());
  std::vector<uint32_t> addresses;
  ASSERT_TRUE(sockets->GetHostByName(name, &addresses));
  EXPECT_FALSE(addresses.empty());
}

TEST(WineSockets, LocalhostResolvesToLoopback) {
  auto sockets = win32::MakeSockets();
  std::vector<uint32_t> addresses;
  ASSERT_TRUE(sockets->GetHostByName("localhost", &addresses));
  ASSERT_FALSE(addresses.empty());
  EXPECT_EQ(addresses.front(), NetworkOrder(127, 0, 0, 1));
}

TEST(WineSockets, UnknownNameDoesNotResolve) {
  auto sockets = win32::MakeSockets();
  std::vector<uint32_t> addresses{1};
  EXPECT_FALSE(sockets->GetHostByName("no-such-host.invalid", &addresses));
  EXPECT_TRUE(addresses.empty());
}

}  // namespace
}  // namespace corvane
