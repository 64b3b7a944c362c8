// Internet functions (wininet): connectivity probe and reading a page piece by piece.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace corvane::platform {

// An opened URL: the Internet handle and the request handle, closed with the object.
class InternetRequest {
 public:
  virtual ~InternetRequest() = default;
  // InternetReadFile: reads up to `capacity` bytes into `buffer`; the number of bytes read, 0 at
  // the end of the page and on a failed read.
  virtual size_t Read(char* buffer, size_t capacity) = 0;
};

class Internet {
 public:
  virtual ~Internet() = default;
  // InternetCheckConnectionA with FLAG_ICC_FORCE_CONNECTION.
  virtual bool CheckConnection(const std::string& url) = 0;
  // InternetOpenA (`agent` as the agent text, direct access, no proxy) and InternetOpenUrlA (no
  // extra headers, INTERNET_FLAG_RELOAD: always from the server, never from the cache); null when
  // either fails.
  virtual std::unique_ptr<InternetRequest> OpenUrl(const std::string& agent, const std::string& url) = 0;
};

}  // namespace corvane::platform
