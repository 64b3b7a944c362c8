// Windows Sockets: address text conversion and the host-name resolver.
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"

namespace corvane::win32 {

namespace {

// Windows Sockets 2.2, started once for the process and left running until it ends.
bool StartWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

class SocketsWin32 final : public platform::Sockets {
 public:
  SocketsWin32() { StartWinsock(); }

  uint32_t InetAddr(const std::string& text) override { return ::inet_addr(text.c_str()); }

  bool GetHostName(std::string* name) override {
    if (!StartWinsock()) return false;
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof(buffer)) != 0) return false;
    if (name) name->assign(buffer, strnlen(buffer, sizeof(buffer)));
    return true;
  }

  bool GetHostByName(const std::string& name, std::vector<uint32_t>* addresses) override {
    if (addresses) addresses->clear();
    if (!StartWinsock()) return false;
    // The entry lives in storage of the calling thread until its next resolver call: copy at once.
    const hostent* host = ::gethostbyname(name.c_str());
    if (!host || host->h_addrtype != AF_INET || host->h_length != sizeof(uint32_t)) return false;
    for (char** entry = host->h_addr_list; entry && *entry; ++entry) {
      uint32_t address = 0;
      std::memcpy(&address, *entry, sizeof(address));
      if (addresses) addresses->push_back(address);
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<platform::Sockets> MakeSockets() { return std::make_unique<SocketsWin32>(); }

}  // namespace corvane::win32
