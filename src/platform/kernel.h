// Kernel services: clock, time zone and locale, threads and waiting, data execution prevention,
// process exit, and code-page conversion.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace corvane::platform {

struct DateTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The user's clock settings (LOCALE_ITIME, LOCALE_S1159, LOCALE_S2359).
struct ClockSettings {
  bool twentyFourHour = true;
  std::string am;  // GBK, e.g. "上午"
  std::string pm;
};

inline constexpr uint32_t kCodePageOem = 1;
inline constexpr uint32_t kCodePageGbk = 936;
inline constexpr uint32_t kCodePageUtf8 = 65001;

inline constexpr int kDepPolicyUnavailable = -1;
inline constexpr uint32_t kProcessDepEnable = 1;

class Kernel {
 public:
  virtual ~Kernel() = default;

  // The current local wall-clock time.
  virtual DateTime LocalNow() = 0;
  // Seconds since 1970-01-01 00:00 UTC as the machine's local wall-clock time (its time zone,
  // daylight saving included). False when the value cannot be represented.
  virtual bool UnixToLocal(int64_t unixSeconds, DateTime* local) = 0;
  virtual ClockSettings Clock() = 0;

  // Starts a detached thread; nothing waits for it. False when the system refused the thread (the
  // body then never runs).
  virtual bool StartThread(std::function<void()> body) = 0;

  // Sleep: the calling thread waits `milliseconds`. False once the process has ended, a wait then
  // being cut short, so that a thread waiting in a loop for something stops there. On Windows the
  // end of the process ends its threads, and the answer is always true.
  virtual bool Sleep(uint32_t milliseconds) = 0;

  // GetSystemDEPPolicy (kDepPolicyUnavailable when the function is missing), SetProcessDEPPolicy.
  virtual int GetSystemDepPolicy() = 0;
  virtual bool SetProcessDepPolicy(uint32_t flags) = 0;

  // OpenProcess(PROCESS_TERMINATE) on the own process, TerminateProcess, CloseHandle.
  virtual void TerminateOwnProcess(uint32_t exitCode) = 0;

  // WideCharToMultiByte / MultiByteToWideChar.
  virtual std::string WideToMultiByte(std::u16string_view text, uint32_t codePage) = 0;
  virtual std::u16string MultiByteToWide(std::string_view text, uint32_t codePage) = 0;
};

}  // namespace corvane::platform
