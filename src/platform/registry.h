// Registry functions of the system (the ANSI forms: RegCreateKeyA, RegOpenKeyA, RegQueryValueExA,
// RegSetValueExA, RegDeleteValueA, RegCloseKey) and the transacted registry of the Kernel
// Transaction Manager (Vista and later). Result codes are the Win32 error codes (0 = success,
// 2 = not found).
#pragma once

#include <cstdint>
#include <string>

namespace corvane::platform {

using RegKey = uintptr_t;
using RegTransaction = uintptr_t;

inline constexpr RegKey kHkeyClassesRoot = 0x80000000u;
inline constexpr RegKey kHkeyCurrentUser = 0x80000001u;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002u;
inline constexpr RegKey kHkeyUsers = 0x80000003u;
inline constexpr RegKey kHkeyCurrentConfig = 0x80000005u;

inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

inline constexpr int32_t kRegSuccess = 0;
inline constexpr int32_t kRegFileNotFound = 2;
inline constexpr int32_t kRegAccessDenied = 5;
inline constexpr int32_t kRegInvalidHandle = 6;
inline constexpr int32_t kRegCallNotImplemented = 120;
inline constexpr int32_t kRegProcNotFound = 127;
inline constexpr int32_t kRegMoreData = 234;

class Registry {
 public:
  virtual ~Registry() = default;
  // Subkey paths may hold backslashes; an empty subkey opens `parent` itself (a new handle to it).
  virtual int32_t CreateKey(RegKey parent, const std::string& subkey, RegKey* result) = 0;
  virtual int32_t OpenKey(RegKey parent, const std::string& subkey, RegKey* result) = 0;
  // RegQueryValueExA: `data` may be null to learn the size; a short buffer answers 234 and the size.
  virtual int32_t QueryValue(RegKey key, const std::string& valueName, uint32_t* type, uint8_t* data,
                             uint32_t* size) = 0;
  virtual int32_t SetValue(RegKey key, const std::string& valueName, uint32_t type, const uint8_t* data,
                           uint32_t size) = 0;
  virtual int32_t DeleteValue(RegKey key, const std::string& valueName) = 0;
  virtual int32_t CloseKey(RegKey key) = 0;

  // CreateTransaction (ktmw32): 0 and the handle, or the system's error code and 0. Where the
  // system has no transactions (no ktmw32, or the function missing) the code of the failed load
  // or lookup (126, 127).
  virtual int32_t CreateTransaction(RegTransaction* transaction) = 0;
  // RegCreateKeyTransactedA: as CreateKey; every change made through the key, or through keys
  // opened below it, belongs to the transaction. 127 where the function is missing, 120 where it
  // is there but not implemented (Wine).
  virtual int32_t CreateKeyTransacted(RegKey parent, const std::string& subkey, RegTransaction transaction,
                                      RegKey* result) = 0;
  // CommitTransaction: 0, or the error code (GetLastError).
  virtual int32_t CommitTransaction(RegTransaction transaction) = 0;
  // CloseHandle: a transaction that was not committed is rolled back.
  virtual void CloseTransaction(RegTransaction transaction) = 0;

  // ExpandEnvironmentStringsA for REG_EXPAND_SZ values.
  virtual std::string ExpandEnvironment(const std::string& text) = 0;
};

}  // namespace corvane::platform
