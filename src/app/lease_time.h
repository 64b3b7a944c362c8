// Display text of a DHCP lease time.
#pragma once

#include <string>

#include "platform/kernel.h"

namespace corvane::app {

// `value` is the decimal text of the lease field. Ten digits: seconds since 1970, shown as the
// machine's local date and time with the user's clock setting ("2019-01-17 22:39:16", or with the
// AM/PM marker on a 12-hour clock). Any other text is taken as milliseconds since 1970 and shown
// as "1970-1-1 08:00:00" (unpadded month and day, 24-hour time). Empty when not representable.
std::string FormatLeaseTime(const std::string& value, platform::Kernel& kernel);

}  // namespace corvane::app
