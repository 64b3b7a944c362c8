#include "config/registry_access.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

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

// The simulated registry with one value write (the n-th through it, from 1) refused with 5
// (access denied) and not made.
class RefusingNthWrite final : public platform::Registry {
 public:
  RefusingNthWrite(platform::Registry& inner, int n) : inner_(inner), n_(n) {}
  int32_t CreateKey(platform::RegKey p, const std::string& s, platform::RegKey* r) override {
    return inner_.CreateKey(p, s, r);
  }
  int32_t OpenKey(platform::RegKey p, const std::string& s, platform::RegKey* r) override {
    return inner_.OpenKey(p, s, r);
  }
  int32_t QueryValue(platform::RegKey k, const std::string& v, uint32_t* t, uint8_t* d,
                     uint32_t* n) override {
    return inner_.QueryValue(k, v, t, d, n);
  }
  int32_t SetValue(platform::RegKey k, const std::string& v, uint32_t t, const uint8_t* d,
                   uint32_t n) override {
    return ++writes_ == n_ ? platform::kRegAccessDenied : inner_.SetValue(k, v, t, d, n);
  }
  int32_t DeleteValue(platform::RegKey k, const std::string& v) override { return inner_.DeleteValue(k, v); }
  int32_t CloseKey(platform::RegKey k) override { return inner_.CloseKey(k); }
  int32_t CreateTransaction(platform::RegTransaction* t) override { return inner_.CreateTransaction(t); }
  int32_t CreateKeyTransacted(platform::RegKey p, const std::string& s, platform::RegTransaction t,
                              platform::RegKey* r) override {
    return inner_.CreateKeyTransacted(p, s, t, r);
  }
  int32_t CommitTransaction(platform::RegTransaction t) override { return inner_.CommitTransaction(t); }
  void CloseTransaction(platform::RegTransaction t) override { inner_.CloseTransaction(t); }
  std::string ExpandEnvironment(const std::string& text) override { return inner_.ExpandEnvironment(text); }

 private:
  platform::Registry& inner_;
  int n_;
  int writes_ = 0;
};

using Texts = std::vector<std::pair<std::string, std::string>>;

class RegistryTextsTest : public RegistryAccessTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(registry.WriteMultiStringText(kPath, "IPAddress", "10.0.0.1"), 1);
    ASSERT_EQ(registry.WriteMultiStringText(kPath, "SubnetMask", "255.0.0.0"), 1);
  }
  std::string Stored(const std::string& name) { return registry.ReadMultiStringText(kPath, name); }
  bool BothOld() {
    return Stored("IPAddress") == "10.0.0.1\r\n\r\n" && Stored("SubnetMask") == "255.0.0.0\r\n\r\n";
  }
  int WriteRefusingWrite(int n, const Texts& values) {
    RefusingNthWrite refusing(machine.registry(), n);
    return config::RegistryAccess(refusing).WriteMultiStringTexts(kPath, values);
  }
  // Every key and every transaction opened was closed again.
  void ExpectAllClosed() {
    int keys = 0;
    int transactions = 0;
    for (const auto& call : machine.Calls()) {
      const bool ok = call.find("-> 0") != std::string::npos;
      if (ok && (call.rfind("RegCreateKey", 0) == 0 || call.rfind("RegOpenKeyA", 0) == 0)) ++keys;
      if (ok && call.rfind("RegCloseKey", 0) == 0) --keys;
      if (ok && call.rfind("CreateTransaction", 0) == 0) ++transactions;
      if (ok && call.rfind("CloseHandle", 0) == 0) --transactions;
    }
    EXPECT_EQ(keys, 0);
    EXPECT_EQ(transactions, 0);
  }
  const Texts kNew = {{"IPAddress", "10.0.0.1\r\n10.0.0.2"}, {"SubnetMask", "255.0.0.0\r\n255.255.0.0"}};
};

TEST_F(RegistryTextsTest, TheValuesAreWrittenTogetherAsMultiStrings) {
  ASSERT_EQ(registry.WriteMultiStringTexts(kPath, kNew), 1);
  EXPECT_EQ(Stored("IPAddress"), "10.0.0.1\r\n10.0.0.2\r\n\r\n");
  uint32_t type = 0;
  EXPECT_EQ(registry.ReadValueBytes(kPath, "SubnetMask", &type), std::string("255.0.0.0\0"
                                                                             "255.255.0.0\0\0",
                                                                             23));
  EXPECT_EQ(type, platform::kRegMultiSz);

  // The missing keys of the path are made on the way.
  const std::string fresh = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Fresh\\Interface";
  ASSERT_EQ(registry.WriteMultiStringTexts(fresh, kNew), 1);
  EXPECT_EQ(registry.ReadMultiStringText(fresh, "SubnetMask"), "255.0.0.0\r\n255.255.0.0\r\n\r\n");
  EXPECT_EQ(registry.WriteMultiStringTexts("NOWHERE\\x", kNew), 0);
  ExpectAllClosed();
}

TEST_F(RegistryTextsTest, AFailureBeforeTheCommitLeavesBothOldValues) {
  EXPECT_EQ(WriteRefusingWrite(2, kNew), 0);
  EXPECT_TRUE(BothOld());
  machine.FailNext("CommitTransaction", 6701);
  EXPECT_EQ(registry.WriteMultiStringTexts(kPath, kNew), 0);
  EXPECT_TRUE(BothOld());
  machine.FailNext("RegCreateKeyTransactedA", 5);
  EXPECT_EQ(registry.WriteMultiStringTexts(kPath, kNew), 0);
  EXPECT_TRUE(BothOld());
  machine.FailNext("CreateTransaction", 1450);  // any failure of it: written without one
  EXPECT_EQ(registry.WriteMultiStringTexts(kPath, kNew), 1);
  EXPECT_EQ(Stored("SubnetMask"), "255.0.0.0\r\n255.255.0.0\r\n\r\n");
  ExpectAllClosed();
}

TEST_F(RegistryTextsTest, WithoutTransactionsAFailedWritePutsBackTheValuesWrittenBeforeIt) {
  machine.SetRegistryTransactionsAvailable(false);
  ASSERT_EQ(registry.WriteValueBytes(kPath, "IPAddress", std::string("keep\0", 5), platform::kRegSz), 1);
  // IPAddress is put back with its type, Extra (not there before) deleted.
  EXPECT_EQ(WriteRefusingWrite(3, {{"IPAddress", "1.1.1.1"}, {"Extra", "x"}, {"SubnetMask", "255.0.0.0"}}),
            0);
  uint32_t type = 0;
  EXPECT_EQ(registry.ReadValueBytes(kPath, "IPAddress", &type), std::string("keep\0", 5));
  EXPECT_EQ(type, platform::kRegSz);
  platform::RegKey key = 0;
  ASSERT_EQ(machine.registry().OpenKey(platform::kHkeyLocalMachine, "SOFTWARE\\Corvane\\Test", &key), 0);
  uint32_t size = 0;
  EXPECT_EQ(machine.registry().QueryValue(key, "Extra", &type, nullptr, &size), platform::kRegFileNotFound);
  machine.registry().CloseKey(key);

  // A value that cannot be read first could not be put back: nothing is written.
  machine.FailNext("RegQueryValueExA", 5);
  EXPECT_EQ(registry.WriteMultiStringTexts(kPath, kNew), 0);
  EXPECT_EQ(Stored("IPAddress"), "keep\r\n");

  EXPECT_EQ(registry.WriteMultiStringTexts(kPath, kNew), 1);
  EXPECT_EQ(Stored("IPAddress"), "10.0.0.1\r\n10.0.0.2\r\n\r\n");
  EXPECT_EQ(Stored("SubnetMask"), "255.0.0.0\r\n255.255.0.0\r\n\r\n");

  // Transactions without the transacted registry (missing, or not implemented as in Wine): the same.
  machine.SetRegistryTransactionsAvailable(true);
  for (const int32_t code : {platform::kRegProcNotFound, platform::kRegCallNotImplemented}) {
    const std::string address = "10.0.0." + std::to_string(code);
    machine.FailNext("RegCreateKeyTransactedA", static_cast<uint32_t>(code));
    EXPECT_EQ(
        registry.WriteMultiStringTexts(kPath, {{"IPAddress", address}, {"SubnetMask", "255.255.255.0"}}), 1);
    EXPECT_EQ(Stored("IPAddress"), address + "\r\n\r\n");
    EXPECT_EQ(Stored("SubnetMask"), "255.255.255.0\r\n\r\n");
  }
  ExpectAllClosed();
}

}  // namespace
}  // namespace corvane
