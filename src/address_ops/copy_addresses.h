// Copying all IPv4 addresses of the machine to the clipboard.
#pragma once

#include <string>
#include <vector>

#include "platform/sockets.h"

namespace corvane::app {
class AppContext;
}

namespace corvane::address_ops {

// The machine's own host name resolved: its IPv4 addresses as dotted texts, in resolver order.
// False when the host name cannot be read or does not resolve.
bool CollectLocalAddresses(platform::Sockets& sockets, std::vector<std::string>* addresses);

// The last collected address first, one per line (CR LF between them, none after the last).
std::string ClipboardTextOf(const std::vector<std::string>& addresses);

// The context-menu item "复制所有网卡IP": clipboard text and a log line with the count, made by a
// worker; it is not an operation of the busy state.
void CopyAllAddresses(app::AppContext& context);

}  // namespace corvane::address_ops
