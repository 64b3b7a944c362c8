// The module's items in the main window's system menu (author contact, usage agreement), the
// filter in front of the window's procedure that serves them, and the start of the update check.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

namespace corvane::app {
class AppContext;
}

namespace corvane::info {

// Command ids of the appended items (WM_SYSCOMMAND's wParam).
inline constexpr int kSeparatorAboveAuthorId = 1;
inline constexpr int kAuthorItemId = 2;
inline constexpr int kSeparatorAboveAgreementId = 3;
inline constexpr int kAgreementItemId = 4;
inline constexpr char kAuthorItemCaption[] = "作者：Corvane项目组(&E)";
inline constexpr char kAgreementItemCaption[] = "使用协议(&F)";
// The author's contact page, kept percent-encoded and decoded before use.
inline constexpr char kEncodedContactAddress[] =
    "https%3A%2F%2Fcorvane.example%2Fcontact%3Ffrom%3Dpelmora%26version%3D3.63";

// WM_COMMAND ids the filter acts on.
inline constexpr uintptr_t kEndProgramCommand = 30001;
inline constexpr uintptr_t kForwardedCommand = 10001;

// The pause between two lookups of the main window while it is not visible yet.
inline constexpr uint32_t kMainWindowPollMilliseconds = 10;

// The thread routine started at start-up: waits for the main window, looking for it every
// kMainWindowPollMilliseconds, then extends its menu. Ends without a window when the process ends.
void SystemMenuTask(app::AppContext& context);

// This process's visible main window, or null while there is none.
platform::Window* FindOwnMainWindow(app::AppContext& context);

// Removes the separator above the close item, appends the four items under it, installs the
// filter and starts the update check on a thread of its own.
void ExtendSystemMenu(app::AppContext& context, platform::Window& window);

// The filter: WM_SYSCOMMAND 2 opens the contact page, 4 shows the agreement (both matched
// exactly); WM_COMMAND 30001 ends the program (and is dropped), 10001, SC_MOVE and SC_CLOSE are
// sent on as WM_SYSCOMMAND. True: pass the message on to the window.
bool MenuFilterProc(app::AppContext& context, platform::Window& window, const platform::WindowMessage& message);

}  // namespace corvane::info
