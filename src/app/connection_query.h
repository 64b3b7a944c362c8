// Live facts of a network connection, looked up by its connection name: status, media state,
// link speed and maximum transmission unit.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace corvane::app {

// Escapes a text for a WQL string literal between single quotes.
std::string EscapeWqlString(const std::string& text);

class ConnectionQuery {
 public:
  ConnectionQuery(platform::Automation& automation, platform::IpHelper& ipHelper, platform::Kernel& kernel)
      : automation_(automation), ipHelper_(ipHelper), kernel_(kernel) {}

  // NetConnectionStatus (0-12 and beyond), -1 when no status is found.
  int32_t ConnectionStatus(const std::string& name);
  // Operational status of the adapter with that friendly name (1 = up), 0 when none matches or
  // when the adapters cannot be listed. `*result` receives GetAdaptersAddresses' code: kNoError
  // when it listed them (no adapter at all, ERROR_NO_DATA, is a list that matches none).
  uint32_t MediaState(const std::string& name, uint32_t* result = nullptr);
  // Bits per second, 0 when nothing is found.
  int64_t LinkSpeed(const std::string& name);
  // Bytes, -1 when the interface row cannot be read.
  int64_t LinkMtu(const std::string& name);

 private:
  // GetAdaptersAddresses' code (ERROR_NO_DATA taken as an empty list, kNoError); `*found` holds
  // the entry with that friendly name when `*matched`.
  uint32_t FindAdapterAddresses(const std::string& name, platform::AdapterAddresses* found, bool* matched);
  std::string QueryAdapterProperty(const std::string& property, const std::string& name, bool* found);

  platform::Automation& automation_;
  platform::IpHelper& ipHelper_;
  platform::Kernel& kernel_;
};

}  // namespace corvane::app
