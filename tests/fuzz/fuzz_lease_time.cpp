// Fuzzes the lease-time formatting with any field text, in zones east and west of UTC and on
// both clocks: a short text or none, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/lease_time.h"
#include "platform/sim/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvane::sim::Machine* machine = new corvane::sim::Machine();
  if (size < 1) return 0;
  const int zone = (static_cast<int>(data[0] & 0x1F) - 16) * 60;
  machine->SetUtcOffsetMinutes(zone);
  const std::string value(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string shown = corvane::app::FormatLeaseTime(value, machine->kernel());
  if (shown.size() > 64) std::abort();
  return 0;
}
