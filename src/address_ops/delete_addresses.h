// Unbinding the selected IP-address rows of the address list from the adapter.
#pragma once

#include <cstdint>
#include <string>

#include "app/adapter_model.h"

namespace corvane::app {
class AppContext;
}

namespace corvane::address_ops {

// The NTE context shown in a "Context" cell: its leading decimal digits, 0 without digits. Contexts
// are 32-bit unsigned, so values above 2147483647 are read in full.
uint32_t ParseContextCell(const std::string& cell);

// The menu item: takes the busy state and the selected rows at once, then a worker deletes their
// addresses from the selected adapter, refreshes and stores.
void DeleteSelectedAddresses(app::AppContext& context);
// The whole deletion on the calling thread, for an adapter fixed beforehand; the caller has
// registered the change.
void DeleteSelectedAddresses(app::AppContext& context, const app::ChangeTarget& target);

}  // namespace corvane::address_ops
