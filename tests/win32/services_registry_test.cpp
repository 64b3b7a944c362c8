// The registry service over the ANSI registry functions, under a scratch key of the current user.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "config/registry_access.h"
#include "platform/registry.h"
#include "platform/win32/services.h"

namespace corvane {
namespace {

constexpr char kScratch[] = "Software\\CorvaneTest";

class WineRegistry : public ::testing::Test {
 protected:
  void TearDown() override {
    // Removes the scratch key and everything below it.
    RemoveTree(kScratch);
  }

  static void RemoveTree(const std::string& path);

  std::unique_ptr<platform::Registry> registry = win32::MakeRegistry();
};

}  // namespace
}  // namespace corvane

#include <windows.h>


namespace corvane {
namespace {

void WineRegistry::RemoveTree(const std::string& path) { ::RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str()); }

TEST_F(WineRegistry, CreateSetQueryRoundTripUnderCurrentUser) {
  platform::RegKey key = 0;
  ASSERT_EQ(registry->CreateKey(platform::kHkeyCurrentUser, std::string(kScratch) + "\\Interfaces\\{ABC}", &key),
            platform::kRegSuccess);
  ASSERT_NE(key, 0u);

  // REG_MULTI_SZ, as the address store writes it.
  const std::string addresses("192.168.1.10\0192.168.1.11\0\0", 27);
  ASSERT_EQ(registry->SetValue(key, "IPAddress", platform::kRegMultiSz,
                               reinterpret_cast<const uint8_t*>(addresses.data()),
                               static_cast<uint32_t>(addresses.size())),
            platform::kRegSuccess);
  // REG_SZ with GBK text.
  const std::string name = "本地连接";
  ASSERT_EQ(registry->SetValue(key, "Name", platform::kRegSz, reinterpret_cast<const uint8_t*>(name.c_str()),
                               static_cast<uint32_t>(name.size() + 1)),
            platform::kRegSuccess);
  const uint32_t number = 0x12345678;
  ASSERT_EQ(registry->SetValue(key, "Number", platform::kRegDword, reinterpret_cast<const uint8_t*>(&number), 4),
            platform::kRegSuccess);
  ASSERT_EQ(registry->CloseKey(key), platform::kRegSuccess);

  ASSERT_EQ(registry->OpenKey(platform::kHkeyCurrentUser, std::string(kScratch) + "\\Interfaces\\{ABC}", &key),
            platform::kRegSuccess);
  // Size first, then the value.
  uint32_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(registry->QueryValue(key, "IPAddress", &type, nullptr, &size), platform::kRegSuccess);
  EXPECT_EQ(type, platform::kRegMultiSz);
  ASSERT_EQ(size, addresses.size());
  std::string read(size, '\xFF');
  ASSERT_EQ(registry->QueryValue(key, "IPAddress", &type, reinterpret_cast<uint8_t*>(read.data()), &size),
            platform::kRegSuccess);
  EXPECT_EQ(read, addresses);

  // A short buffer answers ERROR_MORE_DATA and the size.
  char shortBuffer[4] = {};
  size = sizeof(shortBuffer);
  EXPECT_EQ(registry->QueryValue(key, "Name", &type, reinterpret_cast<uint8_t*>(shortBuffer), &size),
            platform::kRegMoreData);
  EXPECT_EQ(size, name.size() + 1);
  char text[64] = {};
  size = sizeof(text);
  ASSERT_EQ(registry->QueryValue(key, "Name", &type, reinterpret_cast<uint8_t*>(text), &size),
            platform::kRegSuccess);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(std::string(text), name);

  uint32_t readNumber = 0;
  size = sizeof(readNumber);
  ASSERT_EQ(registry->QueryValue(key, "Number", &type, reinterpret_cast<uint8_t*>(&readNumber), &size),
            platform::kRegSuccess);
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_EQ(readNumber, number);

  size = sizeof(text);
  EXPECT_EQ(registry->QueryValue(key, "Missing", &type, reinterpret_cast<uint8_t*>(text), &size),
            platform::kRegFileNotFound);
  EXPECT_EQ(registry->CloseKey(key), platform::kRegSuccess);
}

TEST_F(WineRegistry, OpenMissingKeyIsNotFound) {
  platform::RegKey key = 99;
  EXPECT_EQ(registry->OpenKey(platform::kHkeyCurrentUser, std::string(kScratch) + "\\Nothing\\Here", &key),
            platform::kRegFileNotFound);
  EXPECT_EQ(key, 0u);
}

TEST_F(WineRegistry, PredefinedKeysWorkInTheirThirtyTwoBitSpelling) {
  // HKEY_LOCAL_MACHINE is 0x80000002 as RegKey, whatever the width of the process.
  platform::RegKey key = 0;
  ASSERT_EQ(registry->OpenKey(platform::kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters",
                              &key),
            platform::kRegSuccess);
  EXPECT_EQ(registry->CloseKey(key), platform::kRegSuccess);

  // An empty subkey opens the parent itself; a predefined key comes back in the same spelling.
  ASSERT_EQ(registry->OpenKey(platform::kHkeyCurrentUser, "", &key), platform::kRegSuccess);
  EXPECT_EQ(key, platform::kHkeyCurrentUser);
  EXPECT_EQ(registry->CloseKey(key), platform::kRegSuccess);
}

TEST_F(WineRegistry, ClosedKeyIsInvalidHandle) {
  platform::RegKey key = 0;
  ASSERT_EQ(registry->CreateKey(platform::kHkeyCurrentUser, kScratch, &key), platform::kRegSuccess);
  ASSERT_EQ(registry->CloseKey(key), platform::kRegSuccess);
  const uint32_t value = 1;
  EXPECT_EQ(registry->SetValue(key, "After", platform::kRegDword, reinterpret_cast<const uint8_t*>(&value), 4),
            platform::kRegInvalidHandle);
}

TEST_F(WineRegistry, ExpandEnvironmentStringsReplacesVariables) {
  ::SetEnvironmentVariableA("CORVANE_TEST_DIR", "C:\\网卡");
  EXPECT_EQ(registry->ExpandEnvironment("%CORVANE_TEST_DIR%\\x"), "C:\\网卡\\x");
  EXPECT_EQ(registry->ExpandEnvironment("%CORVANE_NOT_SET%"), "%CORVANE_NOT_SET%");
  EXPECT_EQ(registry->ExpandEnvironment(""), "");
  ::SetEnvironmentVariableA("CORVANE_TEST_DIR", nullptr);
}

// Wine has the transaction functions as stubs: CreateTransaction hands out the handle 1 and
// CommitTransaction succeeds for any handle, but RegCreateKeyTransactedA answers 120
// (ERROR_CALL_NOT_IMPLEMENTED) and makes no key, so nothing can be written through a transaction
// and no write waits for a commit or a rollback. Windows gives a real transaction: a value set
// through the transacted key stays unseen by plain readers until the commit, closing the handle
// uncommitted drops it, and committing a closed, committed or made-up handle fails.
TEST_F(WineRegistry, TransactionsAreStubsAndTheTransactedRegistryIsNotImplemented) {
  const std::string path = std::string(kScratch) + "\\Transacted";
  platform::RegKey plain = 0;
  ASSERT_EQ(registry->CreateKey(platform::kHkeyCurrentUser, kScratch, &plain), platform::kRegSuccess);

  platform::RegTransaction transaction = 0;
  ASSERT_EQ(registry->CreateTransaction(&transaction), platform::kRegSuccess);
  EXPECT_EQ(transaction, 1u);
  platform::RegKey key = 99;
  EXPECT_EQ(registry->CreateKeyTransacted(platform::kHkeyCurrentUser, path, transaction, &key),
            platform::kRegCallNotImplemented);
  EXPECT_EQ(key, 0u);
  platform::RegKey missing = 0;
  EXPECT_EQ(registry->OpenKey(platform::kHkeyCurrentUser, path, &missing), platform::kRegFileNotFound);
  // Not even a key that is there opens transacted.
  EXPECT_EQ(registry->CreateKeyTransacted(platform::kHkeyCurrentUser, kScratch, transaction, &key),
            platform::kRegCallNotImplemented);
  EXPECT_EQ(registry->CreateKeyTransacted(plain, "", transaction, &key), platform::kRegCallNotImplemented);

  EXPECT_EQ(registry->CommitTransaction(transaction), platform::kRegSuccess);
  EXPECT_EQ(registry->CommitTransaction(transaction), platform::kRegSuccess);
  registry->CloseTransaction(transaction);
  EXPECT_EQ(registry->CommitTransaction(transaction), platform::kRegSuccess);
  EXPECT_EQ(registry->CommitTransaction(0x1234), platform::kRegSuccess);
  EXPECT_EQ(registry->CloseKey(plain), platform::kRegSuccess);
}

// So the values are written one after another (with the earlier ones put back should one fail).
TEST_F(WineRegistry, SeveralMultiStringsAreWrittenWithoutATransaction) {
  config::RegistryAccess access(*registry);
  const std::string path = "HKEY_CURRENT_USER\\" + std::string(kScratch) + "\\Interfaces\\{ABC}";
  ASSERT_EQ(access.WriteMultiStringText(path, "IPAddress", "10.0.0.1"), 1);
  ASSERT_EQ(access.WriteMultiStringTexts(path, {{"IPAddress", "192.168.1.10\r\n192.168.1.11"},
                                                {"SubnetMask", "255.255.255.0\r\n255.255.0.0"}}),
            1);
  EXPECT_EQ(access.ReadMultiStringText(path, "IPAddress"), "192.168.1.10\r\n192.168.1.11\r\n\r\n");
  uint32_t type = 0;
  EXPECT_EQ(access.ReadValueBytes(path, "SubnetMask", &type), std::string("255.255.255.0\0"
                                                                          "255.255.0.0\0\0",
                                                                          27));
  EXPECT_EQ(type, platform::kRegMultiSz);

  // What the putting back deletes with.
  config::unique_hkey key = access.OpenKeyByPath(path, false);
  ASSERT_TRUE(key);
  EXPECT_EQ(registry->DeleteValue(key.get(), "SubnetMask"), platform::kRegSuccess);
  EXPECT_EQ(registry->DeleteValue(key.get(), "SubnetMask"), platform::kRegFileNotFound);
  EXPECT_EQ(access.ReadMultiStringText(path, "SubnetMask"), "");
}

}  // namespace
}  // namespace corvane
