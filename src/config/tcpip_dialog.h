// The TCP/IPv4 properties dialog: DHCP, or one static address, mask, gateway and two DNS servers
// for the adapter chosen in the main window.
#pragma once

#include <atomic>
#include <memory>

#include "platform/window.h"

namespace corvane::app {
class AppContext;
}

namespace corvane::config {

// Whether a dialog is still open: cleared as its window is destroyed. A worker acts on the
// dialog only on the window thread and only while this holds, since a destroyed dialog's window
// is gone.
struct DialogLife {
  std::atomic<bool> open{true};
};

// Opens the dialog modally over the main window, only while the menu item "网卡属性设置" is
// enabled (a connected adapter is shown).
void OpenTcpipDialog(app::AppContext& context);
// The dialog's events: start-up, the radio buttons, OK. Nothing escapes.
void OnTcpipDialogEvent(app::AppContext& context, platform::Window& dialog, const platform::Event& event,
                        const std::shared_ptr<DialogLife>& life);
// Fills the fields from the adapter context, the address table and the adapter's present state,
// read by a worker; OK is disabled until they are all filled.
void InitTcpipDialog(app::AppContext& context, platform::Window& dialog, const std::shared_ptr<DialogLife>& life);
// The eight controls automatic addressing switches off (the DNS labels are not among them).
void SetStaticGroupEnabled(platform::Window& dialog, bool enabled);
// Applies the choice on a worker under the busy state, logs the outcome and closes the dialog; OK
// stays disabled meanwhile. Does nothing while OK is disabled. A static address or mask that is
// refused is logged, nothing runs and the dialog stays open.
void ConfirmTcpipDialog(app::AppContext& context, platform::Window& dialog, const std::shared_ptr<DialogLife>& life);

}  // namespace corvane::config
