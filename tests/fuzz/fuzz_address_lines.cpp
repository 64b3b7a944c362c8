// Fuzzes what the add-address window hands to the worker: line splitting, range recognition,
// bound reading and address conversion.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "address_ops/add_addresses.h"
#include "common/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : corvane::address_ops::SplitAddressLines(input)) {
    uint32_t address = 0;
    if (!corvane::address_ops::IsRangeLine(line)) {
      corvane::address_ops::ParseDottedAddress(line, &address);
      continue;
    }
    corvane::address_ops::RangeBounds range = corvane::address_ops::ParseRangeLine(line);
    if (!range.valid) continue;
    if (range.first <= 0 || range.first >= range.last) std::abort();
    // Expand small ranges the way the worker does.
    if (static_cast<int64_t>(range.last) - range.first > 512) continue;
    for (int64_t n = range.first; n <= range.last; ++n) {
      std::string text = range.prefix + corvane::text::Decimal(n);
      if (corvane::address_ops::ParseDottedAddress(text, &address) && n > 255) std::abort();
    }
  }
  return 0;
}
