// Registry values by full key path ("HKEY_LOCAL_MACHINE\SYSTEM\..."), as raw bytes or, for
// multi-string values, as one text with CR LF between the entries.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace corvane::config {

// Owns one open registry key and closes it when it goes out of scope.
class unique_hkey {
 public:
  unique_hkey() = default;
  unique_hkey(platform::Registry* registry, platform::RegKey key) : registry_(registry), key_(key) {}
  unique_hkey(unique_hkey&& other) noexcept : registry_(other.registry_), key_(other.release()) {}
  unique_hkey& operator=(unique_hkey&& other) noexcept {
    if (this != &other) {
      reset();
      registry_ = other.registry_;
      key_ = other.release();
    }
    return *this;
  }
  ~unique_hkey() { reset(); }
  unique_hkey(const unique_hkey&) = delete;
  unique_hkey& operator=(const unique_hkey&) = delete;

  platform::RegKey get() const { return key_; }
  explicit operator bool() const { return key_ != 0; }
  platform::RegKey release() {
    platform::RegKey key = key_;
    key_ = 0;
    return key;
  }
  void reset() {
    if (key_ != 0 && registry_ != nullptr) registry_->CloseKey(key_);
    key_ = 0;
  }

 private:
  platform::Registry* registry_ = nullptr;
  platform::RegKey key_ = 0;
};

// Owns one registry transaction and closes it when it goes out of scope: one not committed by then
// is rolled back.
class unique_transaction {
 public:
  unique_transaction() = default;
  unique_transaction(platform::Registry* registry, platform::RegTransaction transaction)
      : registry_(registry), transaction_(transaction) {}
  unique_transaction(unique_transaction&& other) noexcept
      : registry_(other.registry_), transaction_(other.release()) {}
  unique_transaction& operator=(unique_transaction&& other) noexcept {
    if (this != &other) {
      reset();
      registry_ = other.registry_;
      transaction_ = other.release();
    }
    return *this;
  }
  ~unique_transaction() { reset(); }
  unique_transaction(const unique_transaction&) = delete;
  unique_transaction& operator=(const unique_transaction&) = delete;

  platform::RegTransaction get() const { return transaction_; }
  explicit operator bool() const { return transaction_ != 0; }
  platform::RegTransaction release() {
    platform::RegTransaction transaction = transaction_;
    transaction_ = 0;
    return transaction;
  }
  void reset() {
    if (transaction_ != 0 && registry_ != nullptr) registry_->CloseTransaction(transaction_);
    transaction_ = 0;
  }

 private:
  platform::Registry* registry_ = nullptr;
  platform::RegTransaction transaction_ = 0;
};

class RegistryAccess {
 public:
  explicit RegistryAccess(platform::Registry& registry) : registry_(registry) {}

  // The key named by the path, opened (or created with all missing keys on the way); empty when
  // the root name is unknown or the key cannot be opened.
  unique_hkey OpenKeyByPath(const std::string& path, bool create);
  // The value's bytes; empty when it cannot be read. `type` receives the stored type.
  std::string ReadValueBytes(const std::string& path, const std::string& valueName, uint32_t* type);
  // 1 on success, 0 on failure.
  int WriteValueBytes(const std::string& path, const std::string& valueName, const std::string& bytes,
                      uint32_t type);
  // The value with CR LF in place of every zero byte; empty when it cannot be read.
  std::string ReadMultiStringText(const std::string& path, const std::string& valueName);
  // CR LF between entries; stored as REG_MULTI_SZ. 1 on success, 0 on failure.
  int WriteMultiStringText(const std::string& path, const std::string& valueName, const std::string& text);
  // Several multi-string values of one key (name, text with CR LF between entries) as one change:
  // 1 when all were written, 0 when none was (the key path may have been created). Written in a
  // registry transaction; where the system has none, one after another, a failure putting back
  // the values written before it.
  int WriteMultiStringTexts(const std::string& path,
                            const std::vector<std::pair<std::string, std::string>>& values);

 private:
  // The values one by one through the plain key, undone on a failure.
  int WriteValuesRestoringOnFailure(const std::string& path,
                                    const std::vector<std::pair<std::string, std::string>>& values);
  platform::Registry& registry_;
};

}  // namespace corvane::config
