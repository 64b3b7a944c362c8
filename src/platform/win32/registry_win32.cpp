// Registry functions (the ANSI forms) and environment-string expansion.
#include <cstring>
#include <memory>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"

namespace corvane::win32 {

namespace {

// The predefined keys are 32-bit values that the system sign-extends in a 64-bit process
// (HKEY_CURRENT_USER is 0xFFFFFFFF80000001 there); RegKey carries them as 0x8000000x everywhere.
constexpr uintptr_t kPredefinedFirst = 0x80000000u;
constexpr uintptr_t kPredefinedLast = 0x80000006u;

HKEY ToHkey(platform::RegKey key) {
  if (key >= kPredefinedFirst && key <= kPredefinedLast)
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(static_cast<uint32_t>(key))));
  return reinterpret_cast<HKEY>(key);
}

platform::RegKey FromHkey(HKEY key) {
  const auto value = reinterpret_cast<uintptr_t>(key);
  const auto low = static_cast<uint32_t>(value);
  if (reinterpret_cast<uintptr_t>(ToHkey(low)) == value && low >= kPredefinedFirst && low <= kPredefinedLast)
    return low;
  return value;
}

class RegistryWin32 final : public platform::Registry {
 public:
  int32_t CreateKey(platform::RegKey parent, const std::string& subkey, platform::RegKey* result) override {
    HKEY key = nullptr;
    LONG status = ::RegCreateKeyA(ToHkey(parent), subkey.c_str(), &key);
    if (result) *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
    return status;
  }

  int32_t OpenKey(platform::RegKey parent, const std::string& subkey, platform::RegKey* result) override {
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyA(ToHkey(parent), subkey.c_str(), &key);
    if (result) *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
    return status;
  }

  int32_t QueryValue(platform::RegKey key, const std::string& valueName, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    DWORD valueType = 0;
    DWORD length = size ? *size : 0;
    LONG status = ::RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, &valueType, data,
                                     size ? &length : nullptr);
    if (type) *type = valueType;
    if (size) *size = length;
    return status;
  }

  int32_t SetValue(platform::RegKey key, const std::string& valueName, uint32_t type, const uint8_t* data,
                   uint32_t size) override {
    return ::RegSetValueExA(ToHkey(key), valueName.c_str(), 0, type, data, size);
  }

  int32_t CloseKey(platform::RegKey key) override { return ::RegCloseKey(ToHkey(key)); }

  std::string ExpandEnvironment(const std::string& text) override {
    // The ANSI form counts characters rather than bytes on some systems, so a double-byte text
    // may not fit the size it reports: the buffer gets room for two bytes per character, and a
    // result that fills it is taken again with a larger one.
    DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    DWORD capacity = needed * 2 + 2;
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::string expanded(capacity, '\0');
      DWORD reported = ::ExpandEnvironmentStringsA(text.c_str(), expanded.data(), capacity);
      if (reported == 0) return text;
      const size_t length = strnlen(expanded.data(), capacity);
      if (reported <= capacity && length + 1 < capacity) {
        expanded.resize(length);
        return expanded;
      }
      capacity = (reported > capacity ? reported : capacity) * 2;  // the environment grew in between
    }
    return text;
  }
};

}  // namespace

std::unique_ptr<platform::Registry> MakeRegistry() { return std::make_unique<RegistryWin32>(); }

}  // namespace corvane::win32
