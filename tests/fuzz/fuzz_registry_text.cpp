// Fuzzes the multi-string conversion of registry values over the simulated registry: any text
// written comes back with CR LF for every zero byte and one CR LF per terminator; any bytes stored
// as a multi-string read back without a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/registry_access.h"
#include "platform/sim/machine.h"

namespace {

const char kPath[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{FUZZ}";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvane::sim::Machine* machine = new corvane::sim::Machine();
  machine->ClearCalls();
  corvane::config::RegistryAccess registry(machine->registry());
  const std::string input(reinterpret_cast<const char*>(data), size);

  if (registry.WriteMultiStringText(kPath, "IPAddress", input) == 1) {
    std::string expected;
    expected.reserve(input.size() * 2 + 4);
    for (char c : input) {
      if (c == '\0') expected.append("\r\n", 2);
      else expected.push_back(c);
    }
    expected += "\r\n\r\n";
    if (registry.ReadMultiStringText(kPath, "IPAddress") != expected) std::abort();
  }

  if (registry.WriteValueBytes(kPath, "SubnetMask", input, corvane::platform::kRegMultiSz) == 1) {
    const std::string text = registry.ReadMultiStringText(kPath, "SubnetMask");
    if (text.size() < input.size()) std::abort();
  }
  return 0;
}
