// Registry functions (the ANSI forms), the transacted registry and environment-string expansion.
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

// The transaction functions are bound at run time, so the program still starts on a system
// without them (before Vista): creating a transaction then answers the code of the failed load or
// lookup, and the caller writes without one.
struct TransactionFunctions {
  using Create = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPGUID, DWORD, DWORD, DWORD, DWORD, LPWSTR);
  using Commit = BOOL(WINAPI*)(HANDLE);
  using CreateKey = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                  LPDWORD, HANDLE, PVOID);
  Create create = nullptr;
  Commit commit = nullptr;
  CreateKey createKey = nullptr;
  DWORD createMissing = ERROR_PROC_NOT_FOUND;  // what CreateTransaction answers without `create`
};

DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : fallback;
}

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

const TransactionFunctions& Transactions() {
  static const TransactionFunctions functions = [] {
    TransactionFunctions f;
    if (HMODULE advapi32 = ::GetModuleHandleW(L"advapi32.dll"))
      f.createKey = Export<TransactionFunctions::CreateKey>(advapi32, "RegCreateKeyTransactedA");
    // From the system directory only; kept loaded for the life of the process.
    wchar_t directory[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
    HMODULE ktmw32 = nullptr;
    if (length > 0 && length < MAX_PATH)
      ktmw32 = ::LoadLibraryW((std::wstring(directory, length) + L"\\ktmw32.dll").c_str());
    if (!ktmw32) {
      f.createMissing = LastErrorOr(ERROR_MOD_NOT_FOUND);
      return f;
    }
    f.create = Export<TransactionFunctions::Create>(ktmw32, "CreateTransaction");
    f.commit = Export<TransactionFunctions::Commit>(ktmw32, "CommitTransaction");
    if (!f.create || !f.commit) f.create = nullptr;  // one without the other is no use
    return f;
  }();
  return functions;
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

  int32_t DeleteValue(platform::RegKey key, const std::string& valueName) override {
    return ::RegDeleteValueA(ToHkey(key), valueName.c_str());
  }

  int32_t CloseKey(platform::RegKey key) override { return ::RegCloseKey(ToHkey(key)); }

  int32_t CreateTransaction(platform::RegTransaction* transaction) override {
    if (transaction) *transaction = 0;
    const auto& f = Transactions();
    if (!f.create) return static_cast<int32_t>(f.createMissing);
    if (!transaction) return ERROR_INVALID_PARAMETER;
    HANDLE handle = f.create(nullptr, nullptr, 0, 0, 0, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
      return static_cast<int32_t>(LastErrorOr(ERROR_GEN_FAILURE));
    *transaction = reinterpret_cast<platform::RegTransaction>(handle);
    return ERROR_SUCCESS;
  }

  int32_t CreateKeyTransacted(platform::RegKey parent, const std::string& subkey,
                              platform::RegTransaction transaction, platform::RegKey* result) override {
    if (result) *result = 0;
    const auto createKey = Transactions().createKey;
    if (!createKey) return ERROR_PROC_NOT_FOUND;
    HKEY key = nullptr;
    LONG status =
        createKey(ToHkey(parent), subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                  nullptr, &key, nullptr, reinterpret_cast<HANDLE>(transaction), nullptr);
    if (result) *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
    return status;
  }

  int32_t CommitTransaction(platform::RegTransaction transaction) override {
    const auto commit = Transactions().commit;
    if (!commit) return ERROR_PROC_NOT_FOUND;
    if (commit(reinterpret_cast<HANDLE>(transaction))) return ERROR_SUCCESS;
    return static_cast<int32_t>(LastErrorOr(ERROR_GEN_FAILURE));
  }

  void CloseTransaction(platform::RegTransaction transaction) override {
    if (transaction != 0) ::CloseHandle(reinterpret_cast<HANDLE>(transaction));
  }

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
