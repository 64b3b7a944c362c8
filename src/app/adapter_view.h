// The adapter view of the main window: the selector, the refresh cycle, the busy state, the
// address list and the information report of the chosen adapter.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/adapter_model.h"
#include "platform/kernel.h"

namespace corvane::app {

class AppContext;

// The first enumeration at start-up, under the busy state, on a worker: fills the selector and
// selects its last item.
void StartInitialAdapterFill(AppContext& context);
// The first enumeration's steps.
void InitialAdapterFill(AppContext& context);
// Enumerates again and keeps the selector's position where it still exists. Runs within the
// operation that calls it (the refresh button's, an addition's, a deletion's).
void RefreshAdapters(AppContext& context);
// The refresh button: the busy state at once, the refresh on a worker.
void StartRefresh(AppContext& context);
// The user chose another adapter: the busy state at once, then a worker shows the adapter without
// enumerating again. Refused while another operation runs: the selector goes back to the adapter
// shown.
void SelectAdapter(AppContext& context);

// Which kinds of address the list shows: the five check boxes, in the list's order.
using ShownKinds = std::array<bool, kAddressKindCount>;
// Read from the window (one call).
ShownKinds ReadShownKinds(AppContext& context);

// What the window shows of the selected adapter, worked out away from the window thread (the
// report asks the management service and the IP helper) and applied in one call to the window.
struct AdapterView {
  std::vector<std::vector<std::string>> rows;
  std::string report;
  std::vector<std::string> logLines;  // the address count, then the adapter's lines
  bool propertiesEnabled = false;
};
// The rows of the selected adapter, of the kinds shown, in table order, numbered from one.
std::vector<std::vector<std::string>> AddressListRows(const AdapterSnapshot& snapshot, int32_t selected,
                                                      const ShownKinds& shown);
// The view of adapter `selected` (-1: none), shown in the selector as `selectorText`; sets the
// adapter context.
AdapterView BuildAdapterView(AppContext& context, const AdapterSnapshot& snapshot, int32_t selected,
                             const std::string& selectorText, const ShownKinds& shown);
// Applies it, on the window thread: list, report, properties item, log lines.
void ApplyAdapterView(AppContext& context, const AdapterView& view);

// Report texts.
std::string StatusText(int32_t status);
std::string AdapterTypeText(uint32_t type);
std::string YesNoText(int64_t value);
// Bits per second as megabits, plain decimal without trailing zeros: 1500000 → "1.5".
std::string MegabitsText(int64_t bitsPerSecond);
// The 17-line report of one adapter.
std::string BuildReport(const AdapterRecord& record, int32_t status, platform::Kernel& kernel);

}  // namespace corvane::app
