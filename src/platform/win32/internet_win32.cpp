// Internet functions (wininet, ANSI forms): connectivity probe and reading a page piece by piece.
#include <memory>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"

namespace corvane::win32 {

namespace {

class InternetRequestWin32 final : public platform::InternetRequest {
 public:
  InternetRequestWin32(unique_hinternet session, unique_hinternet request)
      : session_(std::move(session)), request_(std::move(request)) {}

  size_t Read(char* buffer, size_t capacity) override {
    if (buffer == nullptr || capacity == 0) return 0;
    const DWORD wanted = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(capacity);
    DWORD read = 0;
    if (!::InternetReadFile(request_.get(), buffer, wanted, &read)) return 0;
    return read > wanted ? wanted : read;
  }

 private:
  // The request goes before the session it was opened in.
  unique_hinternet session_;
  unique_hinternet request_;
};

class InternetWin32 final : public platform::Internet {
 public:
  bool CheckConnection(const std::string& url) override {
    return ::InternetCheckConnectionA(url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
  }

  std::unique_ptr<platform::InternetRequest> OpenUrl(const std::string& agent, const std::string& url) override {
    unique_hinternet session(::InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) return nullptr;
    unique_hinternet request(::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    if (!request) return nullptr;
    return std::make_unique<InternetRequestWin32>(std::move(session), std::move(request));
  }
};

}  // namespace

std::unique_ptr<platform::Internet> MakeInternet() { return std::make_unique<InternetWin32>(); }

}  // namespace corvane::win32
