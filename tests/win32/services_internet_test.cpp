// The Internet functions against a small HTTP server on the loopback interface of this process.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/internet.h"
#include "platform/win32/services.h"

#include <winsock2.h>

namespace corvane {
namespace {

// Answers every request with one fixed page until it is destroyed.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::string body) : body_(std::move(body)) {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof(address);
    if (listener_ == INVALID_SOCKET || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }

  ~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
    if (started_) ::WSACleanup();
  }

  uint16_t port() const { return port_; }
  int requests() const { return requests_; }
  const std::string& lastRequest() const { return lastRequest_; }

 private:
  void Serve() {
    while (!stop_) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener_, &ready);
      timeval wait{0, 50000};
      if (::select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
      SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) continue;
      std::string request;
      char chunk[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        int read = ::recv(client, chunk, sizeof(chunk), 0);
        if (read <= 0) break;
        request.append(chunk, static_cast<size_t>(read));
      }
      if (!request.empty()) {
        ++requests_;
        lastRequest_ = request;
        std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                            std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
        size_t sent = 0;
        while (sent < reply.size()) {
          int n = ::send(client, reply.data() + sent, static_cast<int>(reply.size() - sent), 0);
          if (n <= 0) break;
          sent += static_cast<size_t>(n);
        }
      }
      ::shutdown(client, SD_SEND);
      ::closesocket(client);
    }
  }

  std::string body_;
  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::string lastRequest_;
};

std::string LargePage() {
  // More than one read's worth, with UTF-8 bytes ("网卡") that must arrive unchanged.
  std::string page = "<html>\xE7\xBD\x91\xE5\x8D\xA1";
  while (page.size() < 20000) page += "0123456789abcdef";
  return page + "</html>";
}

// Everything a request hands out until it reads 0 bytes, asking for `chunk` bytes at a time.
std::string ReadAll(platform::InternetRequest& request, size_t chunk, int* reads) {
  std::string page;
  std::vector<char> buffer(chunk);
  *reads = 0;
  for (;;) {
    const size_t n = request.Read(buffer.data(), buffer.size());
    ++*reads;
    if (n == 0) break;
    EXPECT_LE(n, chunk);
    page.append(buffer.data(), n);
  }
  return page;
}

TEST(WineInternet, OpenUrlReadsTheWholePageInPieces) {
  const std::string page = LargePage();
  LoopbackServer server(page);
  ASSERT_NE(server.port(), 0);
  auto internet = win32::MakeInternet();
  auto request = internet->OpenUrl("CorvaneAgent", "http://127.0.0.1:" + std::to_string(server.port()) + "/u.html");
  ASSERT_NE(request, nullptr);
  int reads = 0;
  EXPECT_EQ(ReadAll(*request, 1000, &reads), page);
  EXPECT_GE(reads, 21);  // 20,000 bytes and more, 1000 at most per read, and the final empty read
  EXPECT_NE(server.lastRequest().find("GET /u.html"), std::string::npos);
  EXPECT_NE(server.lastRequest().find("User-Agent: CorvaneAgent"), std::string::npos);
}

TEST(WineInternet, OpenUrlFailsWhenNothingListens) {
  uint16_t port = 0;
  {
    LoopbackServer closed("x");
    port = closed.port();
  }
  auto internet = win32::MakeInternet();
  EXPECT_EQ(internet->OpenUrl("CorvaneAgent", "http://127.0.0.1:" + std::to_string(port) + "/"), nullptr);
}

TEST(WineInternet, CheckConnectionConnectsToTheServer) {
  LoopbackServer server("ok");
  ASSERT_NE(server.port(), 0);
  auto internet = win32::MakeInternet();
  EXPECT_TRUE(internet->CheckConnection("http://127.0.0.1:" + std::to_string(server.port()) + "/"));
}

TEST(WineInternet, CheckConnectionFailsWhenNothingListens) {
  uint16_t port = 0;
  {
    LoopbackServer closed("x");
    port = closed.port();
  }
  auto internet = win32::MakeInternet();
  EXPECT_FALSE(internet->CheckConnection("http://127.0.0.1:" + std::to_string(port) + "/"));
}

}  // namespace
}  // namespace corvane
