// Internet functions (wininet): connectivity probe and reading a whole page.
#pragma once

#include <string>

namespace corvane::platform {

class Internet {
 public:
  virtual ~Internet() = default;
  // InternetCheckConnectionA with FLAG_ICC_FORCE_CONNECTION.
  virtual bool CheckConnection(const std::string& url) = 0;
  // InternetOpenA + InternetOpenUrlA + InternetReadFile until the end; the raw bytes of the page.
  virtual bool ReadUrl(const std::string& agent, const std::string& url, std::string* bytes) = 0;
};

}  // namespace corvane::platform
