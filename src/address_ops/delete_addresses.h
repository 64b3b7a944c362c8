// Unbinding the selected IP-address rows of the address list from the adapter.
#pragma once

#include <cstdint>
#include <string>

namespace corvane::app {
class AppContext;
}

namespace corvane::address_ops {

// The NTE context shown in a "Context" cell: its leading decimal digits, 0 without digits. Contexts
// are 32-bit unsigned, so values above 2147483647 are read in full.
uint32_t ParseContextCell(const std::string& cell);

void DeleteSelectedAddresses(app::AppContext& context);

}  // namespace corvane::address_ops
