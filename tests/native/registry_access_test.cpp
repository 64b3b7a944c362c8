#include "config/registry_access.h"

#include <gtest/gtest.h>

#include "platform/sim/machine.h"

namespace corvane {
namespace {

const std::string kPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Test";

class RegistryAccessTest : public ::testing::Test {
 protected:
  sim::Machine machine;
  config::RegistryAccess registry{machine.registry()};
};

TEST_F(RegistryAccessTest, RootNamesAreCaseInsensitiveAndUnknownRootsOpenNothing) {
  ASSERT_EQ(registry.WriteValueBytes(kPath, "v", "abc", platform::kRegBinary), 1);
  uint32_t type = 0;
  EXPECT_EQ(registry.ReadValueBytes("hkey_local_machine\\SOFTWARE\\Corvane\\Test", "v", &type), "abc");
  EXPECT_EQ(type, platform::kRegBinary);
  EXPECT_EQ(registry.ReadValueBytes("Hkey_Local_Machine\\software\\corvane\\test", "V", &type), "abc");
  EXPECT_FALSE(registry.OpenKeyByPath("HKLM\\SOFTWARE", false));
  EXPECT_FALSE(registry.OpenKeyByPath("HKEY_LOCAL_MACHINE", false));
  EXPECT_EQ(registry.WriteValueBytes("NOWHERE\\x", "v", "abc", platform::kRegBinary), 0);
}

TEST_F(RegistryAccessTest, APathEndingAfterTheRootOpensTheRootItself) {
  ASSERT_EQ(registry.WriteValueBytes("HKEY_CURRENT_USER\\", "atRoot", "1", platform::kRegBinary), 1);
  uint32_t type = 0;
  EXPECT_EQ(registry.ReadValueBytes("hkey_current_user\\", "atRoot", &type), "1");
  EXPECT_TRUE(registry.OpenKeyByPath("HKEY_CURRENT_USER\\", false));
}

TEST_F(RegistryAccessTest, MissingKeysAndValuesReadAsEmpty) {
  uint32_t type = 0;
  EXPECT_EQ(registry.ReadValueBytes("HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing", "v", &type), "");
  EXPECT_EQ(registry.ReadMultiStringText("HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing", "v"), "");
  ASSERT_EQ(registry.WriteValueBytes(kPath, "v", "abc", platform::kRegBinary), 1);
  EXPECT_EQ(registry.ReadValueBytes(kPath, "other", &type), "");
}

TEST_F(RegistryAccessTest, MultiStringsRoundTripWithTheirZeroBytes) {
  uint32_t type = 0;
  ASSERT_EQ(registry.WriteMultiStringText(kPath, "list", "a\r\nbb"), 1);
  EXPECT_EQ(registry.ReadValueBytes(kPath, "list", &type), std::string("a\0bb\0\0", 6));
  EXPECT_EQ(type, platform::kRegMultiSz);
  EXPECT_EQ(registry.ReadMultiStringText(kPath, "list"), "a\r\nbb\r\n\r\n");

  ASSERT_EQ(registry.WriteMultiStringText(kPath, "empty", ""), 1);
  EXPECT_EQ(registry.ReadValueBytes(kPath, "empty", &type), std::string("\0\0", 2));
  EXPECT_EQ(registry.ReadMultiStringText(kPath, "empty"), "\r\n\r\n");

  ASSERT_EQ(registry.WriteMultiStringText(kPath, "trailing", "a\r\n"), 1);
  EXPECT_EQ(registry.ReadValueBytes(kPath, "trailing", &type), std::string("a\0\0\0", 4));
}

TEST_F(RegistryAccessTest, ASingleStringReadsAsItsTextAndOneLineBreak) {
  ASSERT_EQ(registry.WriteValueBytes(kPath, "sz", std::string("255.255.0.0\0", 12), platform::kRegSz), 1);
  EXPECT_EQ(registry.ReadMultiStringText(kPath, "sz"), "255.255.0.0\r\n");
}

TEST_F(RegistryAccessTest, AFailedWriteAnswersZeroAndKeysAreClosed) {
  machine.FailNext("RegSetValueExA", 5);
  EXPECT_EQ(registry.WriteMultiStringText(kPath, "list", "a"), 0);
  machine.FailNext("RegCreateKeyA", 5);
  EXPECT_EQ(registry.WriteMultiStringText(kPath, "list", "a"), 0);
  EXPECT_EQ(registry.WriteMultiStringText(kPath, "list", "a"), 1);
  // Every key opened was closed again.
  int opened = 0;
  int closed = 0;
  for (const auto& call : machine.Calls()) {
    if ((call.rfind("RegCreateKeyA", 0) == 0 || call.rfind("RegOpenKeyA", 0) == 0) && call.find("-> 0") != std::string::npos)
      ++opened;
    if (call.rfind("RegCloseKey", 0) == 0) ++closed;
  }
  EXPECT_GT(opened, 0);
  EXPECT_EQ(opened, closed);
}

}  // namespace
}  // namespace corvane
