// The adapter view of the main window: the selector, the refresh cycle, the busy state, the
// address list and the information report of the chosen adapter.
#pragma once

#include <cstdint>
#include <string>

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

// Refills the address list for the selected adapter from the kinds whose boxes are checked: the
// rows are built from the snapshot and replace the list's rows in one batch. The walks of the
// tables let the window process its pending events after every 4096 entries.
void FillAddressList(AppContext& context, const AdapterSnapshot& snapshot);
// Address list, report, adapter context, log lines and the properties menu item.
void ShowSelectedAdapter(AppContext& context);

// Report texts.
std::string StatusText(int32_t status);
std::string AdapterTypeText(uint32_t type);
std::string YesNoText(int64_t value);
// Bits per second as megabits, plain decimal without trailing zeros: 1500000 → "1.5".
std::string MegabitsText(int64_t bitsPerSecond);
// The 17-line report of one adapter.
std::string BuildReport(const AdapterRecord& record, int32_t status, platform::Kernel& kernel);

}  // namespace corvane::app
