// The simulated sockets, clipboard, Internet functions and kernel.
#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/sim/sim_state.h"

namespace corvane::sim {

// --- sockets ---

uint32_t SocketsSim::InetAddr(const std::string& text) {
  std::lock_guard lock(s_.mutex);
  uint32_t result = 0;
  if (auto f = s_.TakeFailure("inet_addr"))
    result = *f;
  else
    result = InetAddrNetworkOrder(text);
  s_.Record("inet_addr(" + text + ") -> " + FormatDotted(NetworkToHost(result)));
  return result;
}

bool SocketsSim::GetHostName(std::string* name) {
  std::lock_guard lock(s_.mutex);
  bool ok = !s_.TakeFailure("gethostname") && name != nullptr;
  if (ok) *name = s_.hostName;
  s_.Record("gethostname() -> " + (ok ? s_.hostName : std::string("SOCKET_ERROR")));
  return ok;
}

// Names resolve without regard to letter case: an address text to itself, "localhost" to the
// loopback address, the machine's own name (or the empty name, as the Windows function treats
// it) to the addresses of its adapters in adapter order followed by the addresses added for it,
// and every name added with AddHost to its addresses.
bool SocketsSim::GetHostByName(const std::string& name, std::vector<uint32_t>* addresses) {
  s_.Delay("gethostbyname");
  std::lock_guard lock(s_.mutex);
  std::vector<uint32_t> found;
  bool ok = false;
  if (!s_.TakeFailure("gethostbyname")) {
    const uint32_t numeric = InetAddrNetworkOrder(name);
    if (!name.empty() && (numeric != platform::kInAddrNone || name == "255.255.255.255")) {
      found.push_back(numeric);
      ok = true;
    } else if (EqualsIgnoreCase(name, "localhost")) {
      found.push_back(HostToNetwork(0x7F000001u));
      ok = true;
    } else {
      if (name.empty() || EqualsIgnoreCase(name, s_.hostName)) {
        ok = true;
        for (const auto& a : s_.adapters) {
          if (!MediaConnected(a)) continue;
          for (const auto& address : a.ipAddresses) {
            uint32_t h = 0;
            if (address.context != 0 && ParseDotted(address.address, &h) && h != 0)
              found.push_back(HostToNetwork(h));
          }
        }
      }
      const std::string& wanted = name.empty() ? s_.hostName : name;
      for (const auto& [host, list] : s_.hosts) {
        if (!EqualsIgnoreCase(host, wanted)) continue;
        ok = true;
        for (const auto& text : list) {
          uint32_t h = 0;
          if (ParseDotted(text, &h)) found.push_back(HostToNetwork(h));
        }
      }
    }
  }
  if (ok && addresses != nullptr) *addresses = found;
  s_.Record("gethostbyname(" + name + ") -> " + (ok ? std::to_string(found.size()) : std::string("null")));
  return ok;
}

// --- clipboard ---

bool ClipboardSim::SetText(const std::string& text) {
  std::lock_guard lock(s_.mutex);
  if (s_.TakeFailure("OpenClipboard")) {
    s_.Record("OpenClipboard() -> 0");
    return false;
  }
  bool ok = !s_.TakeFailure("EmptyClipboard") && !s_.TakeFailure("SetClipboardData");
  if (ok) s_.clipboard = text;
  s_.Record("SetClipboardData(CF_TEXT, " + std::to_string(text.size() + 1) + ") -> " + (ok ? "1" : "0"));
  return ok;
}

bool ClipboardSim::GetText(std::string* text) {
  std::lock_guard lock(s_.mutex);
  bool ok = !s_.TakeFailure("OpenClipboard") && !s_.TakeFailure("GetClipboardData") &&
            s_.clipboard.has_value() && text != nullptr;
  if (ok) *text = *s_.clipboard;
  s_.Record(std::string("GetClipboardData(CF_TEXT) -> ") + (ok ? "1" : "0"));
  return ok;
}

// --- Internet functions ---

bool InternetSim::CheckConnection(const std::string& url) {
  std::lock_guard lock(s_.mutex);
  bool ok = !s_.TakeFailure("InternetCheckConnectionA") && s_.online;
  s_.Record("InternetCheckConnectionA(" + url + ", 1) -> " + (ok ? "1" : "0"));
  return ok;
}

namespace {

// One opened page: reads hand out its bytes from where the last read stopped.
class InternetRequestSim final : public platform::InternetRequest {
 public:
  InternetRequestSim(Machine::State& s, std::string bytes, size_t chunk)
      : s_(s), bytes_(std::move(bytes)), chunk_(chunk) {}

  size_t Read(char* buffer, size_t capacity) override {
    std::lock_guard lock(s_.mutex);
    size_t n = 0;
    if (!s_.TakeFailure("InternetReadFile") && buffer != nullptr) {
      n = std::min(capacity, bytes_.size() - offset_);
      if (chunk_ > 0) n = std::min(n, chunk_);
      std::memcpy(buffer, bytes_.data() + offset_, n);
      offset_ += n;
    }
    s_.Record("InternetReadFile(" + std::to_string(capacity) + ") -> " + std::to_string(n));
    return n;
  }

 private:
  Machine::State& s_;
  const std::string bytes_;
  const size_t chunk_;
  size_t offset_ = 0;
};

}  // namespace

std::unique_ptr<platform::InternetRequest> InternetSim::OpenUrl(const std::string& agent, const std::string& url) {
  std::lock_guard lock(s_.mutex);
  if (s_.TakeFailure("InternetOpenA")) {
    s_.Record("InternetOpenA(" + agent + ", 1) -> 0");
    return nullptr;
  }
  s_.Record("InternetOpenA(" + agent + ", 1) -> 1");
  auto page = s_.pages.find(url);
  const bool ok = !s_.TakeFailure("InternetOpenUrlA") && s_.online && page != s_.pages.end();
  s_.Record("InternetOpenUrlA(" + url + ", 0x80000000) -> " + (ok ? "1" : "0"));
  if (!ok) return nullptr;
  return std::make_unique<InternetRequestSim>(s_, page->second.bytes, page->second.chunk);
}

// --- kernel ---

platform::DateTime KernelSim::LocalNow() {
  std::lock_guard lock(s_.mutex);
  return s_.localNow;
}

bool KernelSim::UnixToLocal(int64_t unixSeconds, platform::DateTime* local) {
  std::lock_guard lock(s_.mutex);
  const int64_t limit = INT64_MAX / 2;
  if (unixSeconds > limit || unixSeconds < -limit || local == nullptr) return false;
  return CivilFromSeconds(unixSeconds + static_cast<int64_t>(s_.utcOffsetMinutes) * 60, local);
}

platform::ClockSettings KernelSim::Clock() {
  std::lock_guard lock(s_.mutex);
  return s_.clock;
}

namespace {
thread_local bool t_machineThread = false;
}  // namespace

thread_local int t_observerDepth = 0;

bool Machine::InsideMachine() { return t_machineThread || t_observerDepth > 0; }

bool KernelSim::StartThread(std::function<void()> body) {
  {
    std::lock_guard lock(s_.mutex);
    if (s_.TakeFailure("CreateThread")) {
      s_.Record("CreateThread() -> 0");
      return false;
    }
    s_.Record("CreateThread() -> 1");
  }
  {
    std::lock_guard lock(s_.threadMutex);
    ++s_.runningThreads;
  }
  Machine::State* state = &s_;
  std::thread([state, body = std::move(body)]() mutable {
    t_machineThread = true;
    {
      // The body and everything it holds are gone before the machine learns that the thread ended.
      std::function<void()> run = std::move(body);
      try {
        if (run) run();
      } catch (...) {
        // A thread routine has no one to report to; the thread just ends.
      }
    }
    std::lock_guard lock(state->threadMutex);
    --state->runningThreads;
    state->threadsDone.notify_all();
  }).detach();
  return true;
}

// Neither recorded nor failed, as Windows' Sleep cannot fail; the end of the process cuts it short.
bool KernelSim::Sleep(uint32_t milliseconds) { return s_.WaitUnlessEnded(milliseconds); }

int KernelSim::GetSystemDepPolicy() {
  std::lock_guard lock(s_.mutex);
  int policy = s_.systemDepPolicy;
  if (auto f = s_.TakeFailure("GetSystemDEPPolicy")) policy = static_cast<int>(*f);
  s_.Record("GetSystemDEPPolicy() -> " + std::to_string(policy));
  return policy;
}

bool KernelSim::SetProcessDepPolicy(uint32_t flags) {
  std::lock_guard lock(s_.mutex);
  bool ok = !s_.TakeFailure("SetProcessDEPPolicy");
  if (ok) s_.processDepPolicy = flags;
  s_.Record("SetProcessDEPPolicy(" + std::to_string(flags) + ") -> " + (ok ? "1" : "0"));
  return ok;
}

void KernelSim::TerminateOwnProcess(uint32_t exitCode) {
  std::lock_guard lock(s_.mutex);
  if (s_.ended) return;
  const bool ends = !s_.TakeFailure("TerminateProcess");
  if (ends) s_.terminatedWith = exitCode;
  s_.Record("TerminateProcess(" + std::to_string(exitCode) + ")");
  if (ends) s_.End();
}

std::string KernelSim::WideToMultiByte(std::u16string_view text, uint32_t codePage) {
  return WideToCodePage(text, codePage);
}

std::u16string KernelSim::MultiByteToWide(std::string_view text, uint32_t codePage) {
  return CodePageToWide(text, codePage);
}

}  // namespace corvane::sim
