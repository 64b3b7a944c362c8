// Internet functions (wininet, ANSI forms): connectivity probe and reading a whole page.
#include <memory>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"

namespace corvane::win32 {

namespace {

class InternetWin32 final : public platform::Internet {
 public:
  bool CheckConnection(const std::string& url) override {
    return ::InternetCheckConnectionA(url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
  }

  bool ReadUrl(const std::string& agent, const std::string& url, std::string* bytes) override {
    if (bytes) bytes->clear();
    unique_hinternet session(::InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    unique_hinternet request(::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0,
                                                INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) return false;

    std::string page;
    char chunk[4096];
    for (;;) {
      DWORD read = 0;
      if (!::InternetReadFile(request.get(), chunk, sizeof(chunk), &read)) return false;
      if (read == 0) break;
      page.append(chunk, read);
    }
    if (bytes) *bytes = std::move(page);
    return true;
  }
};

}  // namespace

std::unique_ptr<platform::Internet> MakeInternet() { return std::make_unique<InternetWin32>(); }

}  // namespace corvane::win32
