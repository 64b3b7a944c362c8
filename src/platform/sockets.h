// Windows Sockets: address text conversion and the host-name resolver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::platform {

class Sockets {
 public:
  virtual ~Sockets() = default;
  // inet_addr: network byte order, 0xFFFFFFFF (INADDR_NONE) when the text is not an address.
  // Like the real function it accepts the short forms ("1.2.3" is 1.2.0.3, "10" is 0.0.0.10).
  virtual uint32_t InetAddr(const std::string& text) = 0;
  // gethostname; false on failure.
  virtual bool GetHostName(std::string* name) = 0;
  // gethostbyname: the host entry's IPv4 addresses (network byte order) in resolver order; false
  // when the name does not resolve.
  virtual bool GetHostByName(const std::string& name, std::vector<uint32_t>* addresses) = 0;
};

}  // namespace corvane::platform
