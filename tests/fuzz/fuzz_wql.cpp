// Fuzzes the simulated instrumentation service's query reader with any query text: rows or an
// error code, never a crash, and never rows for a text the reader refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvane::sim::Machine* machine = corvane::sim::MakeDemoMachine().release();
  machine->ClearCalls();
  const std::string query(reinterpret_cast<const char*>(data), size);
  corvane::platform::Automation& automation = machine->automation();
  automation.Initialize();
  std::vector<corvane::platform::WmiObject> rows;
  const corvane::platform::HResult result = automation.ExecQuery("root\\cimv2", query, &rows);
  if (result != 0 && !rows.empty()) std::abort();
  automation.Uninitialize();
  return 0;
}
