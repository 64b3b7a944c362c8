// Registry values by full key path ("HKEY_LOCAL_MACHINE\SYSTEM\..."), as raw bytes or, for
// multi-string values, as one text with CR LF between the entries.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace corvane::config {

// Owns one handle of the registry service and hands it back through `Close` when it goes out of
// scope: one owner for every kind of handle, an alias for each.
template <typename Handle, auto Close>
class unique_registry_handle {
 public:
  unique_registry_handle() = default;
  unique_registry_handle(platform::Registry* registry, Handle handle) : registry_(registry), handle_(handle) {}
  unique_registry_handle(unique_registry_handle&& other) noexcept
      : registry_(other.registry_), handle_(other.release()) {}
  unique_registry_handle& operator=(unique_registry_handle&& other) noexcept {
    if (this != &other) {
      reset();
      registry_ = other.registry_;
      handle_ = other.release();
    }
    return *this;
  }
  ~unique_registry_handle() { reset(); }
  unique_registry_handle(const unique_registry_handle&) = delete;
  unique_registry_handle& operator=(const unique_registry_handle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }
  Handle release() {
    Handle handle = handle_;
    handle_ = 0;
    return handle;
  }
  void reset() {
    if (handle_ != 0 && registry_ != nullptr) (registry_->*Close)(handle_);
    handle_ = 0;
  }

 private:
  platform::Registry* registry_ = nullptr;
  Handle handle_ = 0;
};

// An open registry key.
using unique_hkey = unique_registry_handle<platform::RegKey, &platform::Registry::CloseKey>;
// A registry transaction: one not committed when it goes out of scope is rolled back.
using unique_transaction = unique_registry_handle<platform::RegTransaction, &platform::Registry::CloseTransaction>;

// Holds no state of its own: one is made wherever the registry is read or written.
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
  // the values written before it, while `unbroken` (if given) is held: whoever ends the process
  // takes it first, so that no end falls between the writes. When a put-back fails as well, 0, and
  // `leftChanged` names the values that kept their new text (the others kept their old one).
  int WriteMultiStringTexts(const std::string& path, const std::vector<std::pair<std::string, std::string>>& values,
                            std::vector<std::string>* leftChanged = nullptr, std::mutex* unbroken = nullptr);

 private:
  // The values one by one through the plain key, undone on a failure.
  int WriteValuesRestoringOnFailure(const std::string& path,
                                    const std::vector<std::pair<std::string, std::string>>& values,
                                    std::vector<std::string>* leftChanged, std::mutex* unbroken);
  platform::Registry& registry_;
};

}  // namespace corvane::config
