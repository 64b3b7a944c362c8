// Adding single addresses and numbered ranges such as "192.168.1.{10-20}" to the selected adapter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace corvane::app {
class AppContext;
struct AddRangeRequest;
}

namespace corvane::address_ops {

// The lines of the address box: split at every CR LF; a trailing line break adds no line.
std::vector<std::string> SplitAddressLines(const std::string& text);

// A line holding "{", "}" and "-" names a range.
bool IsRangeLine(const std::string& line);

struct RangeBounds {
  std::string prefix;  // text before the first "{"
  int32_t first = 0;
  int32_t last = 0;
  bool valid = false;  // 0 < first < last, neither bound past 32 bits
};
RangeBounds ParseRangeLine(const std::string& line);

// Four dotted decimal parts of 0-255, nothing else; the address in network byte order.
bool ParseDottedAddress(const std::string& text, uint32_t* address);

// Opens the add-address window over the main window.
void OpenAddWindow(app::AppContext& context);
// Default mask: the adapter's DhcpSubnetMask, else its SubnetMask list, else 255.255.255.0.
void InitAddWindow(app::AppContext& context, platform::Window& window);
// Takes the inputs, starts the worker and closes the window.
void ConfirmAddWindow(app::AppContext& context, platform::Window& window);
// The worker: adds every address of the request, refreshes, logs the summary, stores.
void AddAddressRange(app::AppContext& context, const app::AddRangeRequest& request);
// Result of the IP helper service (0 = added); 87 when a text is not a dotted address.
uint32_t AddOneAddress(app::AppContext& context, const std::string& address, const std::string& mask,
                       uint32_t ifIndex);
// One ICMP echo with a 30 ms wait; true when the address answered.
bool IsAddressInUse(app::AppContext& context, const std::string& address);

}  // namespace corvane::address_ops
