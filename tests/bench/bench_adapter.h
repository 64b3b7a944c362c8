// The adapter every benchmark measures on: index 4, "本地连接", with n addresses 10.a.b.c (mask
// 255.255.0.0), each with its own context from 1000 on. An adapter without addresses holds the
// placeholder 0.0.0.0, as Windows lists one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sim/machine.h"

namespace corvane::bench {

inline sim::SimAdapter AdapterWithAddresses(size_t addresses) {
  sim::SimAdapter a;
  a.index = 4;
  a.guid = "{00000004-1111-2222-3333-444455556666}";
  a.description = "Simulated Ethernet Adapter";
  a.connectionName = u"本地连接";
  a.physicalAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x04};
  for (size_t i = 0; i < addresses; ++i) {
    const std::string address = "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) +
                                "." + std::to_string(i % 256);
    a.ipAddresses.push_back(sim::SimAddress{address, "255.255.0.0", static_cast<uint32_t>(1000 + i)});
  }
  if (a.ipAddresses.empty()) a.ipAddresses.push_back(sim::SimAddress{"0.0.0.0", "0.0.0.0", 0});
  return a;
}

}  // namespace corvane::bench
