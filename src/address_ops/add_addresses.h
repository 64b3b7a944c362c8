// Adding single addresses and numbered ranges such as "192.168.1.{10-20}" to the selected adapter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/adapter_model.h"
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

// The most numbers one range may name. Every number past 255 only yields a failure line, so a
// slip such as "{1-99999999}" would keep the busy state on for hours and grow the log until the
// process runs out of memory; a longer range is a range error, before anything is added.
inline constexpr int64_t kMaxRangeCount = 65536;

struct RangeBounds {
  std::string prefix;  // text before the first "{"
  int32_t first = 0;
  int32_t last = 0;
  // 0 < first < last, neither bound past 32 bits, at most kMaxRangeCount numbers, and a "}" after
  // the "-" that follows the "{".
  bool valid = false;
};
RangeBounds ParseRangeLine(const std::string& line);

// Four dotted decimal parts of 0-255 without leading zeros, nothing else; the address in network
// byte order.
bool ParseDottedAddress(const std::string& text, uint32_t* address);

// Opens the add-address window over the main window.
void OpenAddWindow(app::AppContext& context);
// Default mask: the adapter's DhcpSubnetMask, else its SubnetMask list, else 255.255.255.0.
void InitAddWindow(app::AppContext& context, platform::Window& window);
// Takes the inputs, starts the worker and closes the window.
void ConfirmAddWindow(app::AppContext& context, platform::Window& window);
// The worker: adds every address of the request, refreshes, logs the summary, stores.
void AddAddressRange(app::AppContext& context, const app::AddRangeRequest& request);
// Result of the IP helper service (0 = added, `nteContext` then naming the new address); 87 when a
// text is not a dotted address.
uint32_t AddOneAddress(app::AppContext& context, const std::string& address, const std::string& mask,
                       uint32_t ifIndex, uint32_t* nteContext = nullptr);

// After an addition's binds, Windows asks the segment whether another host holds each new address
// (ARP probes, three by default) and meanwhile lists it as tentative; one that another host holds
// ends duplicate and is never used. The addition waits once for the whole batch, polling every
// kDetectionPollMs, for at most kDetectionLimitMs: twice the "about three seconds" Microsoft gives
// for IPv4 (CreateUnicastIpAddressEntry). An address still tentative then counts as added.
inline constexpr uint32_t kDetectionPollMs = 250;
inline constexpr uint32_t kDetectionLimitMs = 6000;
// The addresses of `added` (network byte order) that ended duplicate on the adapter (its GUID name,
// or its index where the name is not known). None when the service cannot tell.
std::vector<uint32_t> DetectDuplicates(app::AppContext& context, const app::ChangeTarget& target,
                                       const std::vector<uint32_t>& added);
// One ICMP echo with a 30 ms wait; true when the address answered.
bool IsAddressInUse(app::AppContext& context, const std::string& address);
// The occupancy query of a whole addition: one echo per address, at most kEchoesInFlight at a
// time on threads of their own, each with its own wait; result[i] is whether addresses[i]
// answered. Returns when every echo has ended (a close leaves the rest unasked, as not in use).
inline constexpr size_t kEchoesInFlight = 64;
std::vector<bool> QueryOccupancy(app::AppContext& context, const std::vector<std::string>& addresses);

}  // namespace corvane::address_ops
