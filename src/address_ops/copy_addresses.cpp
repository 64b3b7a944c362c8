#include "address_ops/copy_addresses.h"

#include <cstdint>
#include <cstring>

#include "app/activity_log.h"
#include "app/app_context.h"
#include "common/text.h"

namespace corvane::address_ops {

namespace {

// An address in network byte order: its four bytes as they lie in memory, in plain decimal.
std::string DottedText(uint32_t networkOrder) {
  unsigned char bytes[4];
  std::memcpy(bytes, &networkOrder, 4);
  return text::Decimal(uint32_t{bytes[0]}) + "." + text::Decimal(uint32_t{bytes[1]}) + "." +
         text::Decimal(uint32_t{bytes[2]}) + "." + text::Decimal(uint32_t{bytes[3]});
}

}  // namespace

bool CollectLocalAddresses(platform::Sockets& sockets, std::vector<std::string>* addresses) {
  std::string host;
  if (!sockets.GetHostName(&host)) return false;
  std::vector<uint32_t> resolved;
  if (!sockets.GetHostByName(host, &resolved)) return false;
  if (addresses != nullptr) {
    addresses->clear();
    for (uint32_t address : resolved) addresses->push_back(DottedText(address));
  }
  return true;
}

std::string ClipboardTextOf(const std::vector<std::string>& addresses) {
  std::string text;
  for (auto it = addresses.rbegin(); it != addresses.rend(); ++it) {
    if (it != addresses.rbegin()) text += "\r\n";
    text += *it;
  }
  return text;
}

namespace {

void CopyAllAddressesNow(app::AppContext& context) {
  std::vector<std::string> addresses;
  if (!CollectLocalAddresses(context.services.sockets, &addresses)) {
    app::AppendLog(context, "复制失败,因取所有网卡IP失败！");
    return;
  }
  const std::string count = text::Decimal(static_cast<uint64_t>(addresses.size()));
  if (context.services.clipboard.SetText(ClipboardTextOf(addresses)))
    app::AppendLog(context, "复制所有网卡IP完成,共计复制" + count + "个IP.");
  else
    app::AppendLog(context, "共计复制" + count + "个IP,复制到剪辑版失败！");
}

}  // namespace

void CopyAllAddresses(app::AppContext& context) {
  // The host name's lookup may wait for the resolver: a worker waits for it.
  app::RunInBackground(context, [&context] { CopyAllAddressesNow(context); });
}

}  // namespace corvane::address_ops
