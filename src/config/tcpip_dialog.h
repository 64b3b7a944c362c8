// The TCP/IPv4 properties dialog: DHCP, or one static address, mask, gateway and two DNS servers
// for the adapter chosen in the main window.
#pragma once

#include "platform/window.h"

namespace corvane::app {
class AppContext;
}

namespace corvane::config {

// Opens the dialog modally over the main window, only while the menu item "网卡属性设置" is
// enabled (a connected adapter is shown).
void OpenTcpipDialog(app::AppContext& context);
// The dialog's events: start-up, the radio buttons, OK. Nothing escapes.
void OnTcpipDialogEvent(app::AppContext& context, platform::Window& dialog, const platform::Event& event);
// Fills the fields from the adapter context, the address table and the adapter's present state;
// OK is disabled until they are all filled.
void InitTcpipDialog(app::AppContext& context, platform::Window& dialog);
// The eight controls automatic addressing switches off (the DNS labels are not among them).
void SetStaticGroupEnabled(platform::Window& dialog, bool enabled);
// Applies the choice, logs the outcome and closes the dialog; OK stays disabled meanwhile. Does
// nothing while OK is disabled. A static address or mask that is refused is logged, nothing runs
// and the dialog stays open.
void ConfirmTcpipDialog(app::AppContext& context, platform::Window& dialog);

}  // namespace corvane::config
