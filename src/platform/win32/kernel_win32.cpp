// Kernel services: clock and time zone, locale clock settings, threads and waiting, data execution
// prevention, process termination and code-page conversion.
#include <memory>
#include <thread>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"

namespace corvane::win32 {

namespace {

constexpr int64_t kUnixEpochAsFileTimeSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
constexpr int64_t kFileTimeTicksPerSecond = 10000000;

platform::DateTime FromSystemTime(const SYSTEMTIME& time) {
  platform::DateTime result;
  result.year = time.wYear;
  result.month = time.wMonth;
  result.day = time.wDay;
  result.hour = time.wHour;
  result.minute = time.wMinute;
  result.second = time.wSecond;
  return result;
}

std::string LocaleText(LCTYPE item) {
  wchar_t buffer[80] = {};
  int length = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, static_cast<int>(std::size(buffer)));
  if (length <= 0) return {};
  return FromWide(std::wstring_view(buffer, static_cast<size_t>(length) - 1));  // without the NUL
}

template <typename Function>
Function Kernel32Export(const char* name) {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (!kernel32) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(kernel32, name)));
}

class KernelWin32 final : public platform::Kernel {
 public:
  platform::DateTime LocalNow() override {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromSystemTime(now);
  }

  bool UnixToLocal(int64_t unixSeconds, platform::DateTime* local) override {
    // FILETIME counts 100 ns ticks from 1601 in 63 bits.
    if (unixSeconds < -kUnixEpochAsFileTimeSeconds ||
        unixSeconds > INT64_MAX / kFileTimeTicksPerSecond - kUnixEpochAsFileTimeSeconds)
      return false;
    const int64_t seconds = unixSeconds + kUnixEpochAsFileTimeSeconds;
    const auto ticks = static_cast<uint64_t>(seconds * kFileTimeTicksPerSecond);
    FILETIME fileTime{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME wallClock{};
    if (!::FileTimeToSystemTime(&fileTime, &utc)) return false;
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &wallClock)) return false;
    if (local) *local = FromSystemTime(wallClock);
    return true;
  }

  platform::ClockSettings Clock() override {
    platform::ClockSettings clock;
    // LOCALE_ITIME: "0" is the 12-hour clock, anything else the 24-hour clock.
    std::string format = LocaleText(LOCALE_ITIME);
    if (!format.empty()) clock.twentyFourHour = format != "0";
    clock.am = LocaleText(LOCALE_S1159);
    clock.pm = LocaleText(LOCALE_S2359);
    return clock;
  }

  bool StartThread(std::function<void()> body) override {
    try {
      std::thread([body = std::move(body)]() noexcept {
        try {
          if (body) body();
        } catch (...) {
          // A worker's failure ends that worker only.
        }
      }).detach();
      return true;
    } catch (...) {
      // No thread could be started: the work is not done, as when the system refuses a thread.
      return false;
    }
  }

  bool Sleep(uint32_t milliseconds) override {
    ::Sleep(milliseconds);
    return true;
  }

  int GetSystemDepPolicy() override {
    using Function = DEP_SYSTEM_POLICY_TYPE(WINAPI*)();
    const auto function = Kernel32Export<Function>("GetSystemDEPPolicy");
    if (!function) return platform::kDepPolicyUnavailable;
    return static_cast<int>(function());
  }

  bool SetProcessDepPolicy(uint32_t flags) override {
    // Exported by 32-bit kernel32 only on systems that know it; 64-bit processes are always
    // protected and the function refuses to change that.
    using Function = BOOL(WINAPI*)(DWORD);
    const auto function = Kernel32Export<Function>("SetProcessDEPPolicy");
    return function && function(flags) != FALSE;
  }

  void TerminateOwnProcess(uint32_t exitCode) override {
    unique_handle self(::OpenProcess(PROCESS_TERMINATE, FALSE, ::GetCurrentProcessId()));
    if (self && ::TerminateProcess(self.get(), exitCode)) return;  // not reached when it succeeds
    ::TerminateProcess(::GetCurrentProcess(), exitCode);
  }

  std::string WideToMultiByte(std::u16string_view text, uint32_t codePage) override {
    return FromWide(std::wstring_view(AsWide(text.data()), text.size()), codePage);
  }

  std::u16string MultiByteToWide(std::string_view text, uint32_t codePage) override {
    std::wstring wide = ToWide(text, codePage);
    return std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
  }
};

}  // namespace

std::unique_ptr<platform::Kernel> MakeKernel() { return std::make_unique<KernelWin32>(); }

}  // namespace corvane::win32
