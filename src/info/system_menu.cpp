#include "info/system_menu.h"

#include "app/activity_log.h"
#include "app/app_context.h"
#include "app/program_end.h"
#include "info/about_box.h"
#include "info/update_check.h"

namespace corvane::info {

void SystemMenuTask(app::AppContext& context) {
  // The main window is created right after this task starts; until it is visible, look again a
  // moment later. A window that never shows costs a lookup per pause, not a core, and the task
  // ends with the process.
  for (;;) {
    if (platform::Window* window = FindOwnMainWindow(context)) {
      ExtendSystemMenu(context, *window);
      return;
    }
    if (!context.services.kernel.Sleep(kMainWindowPollMilliseconds)) return;
  }
}

platform::Window* FindOwnMainWindow(app::AppContext& context) { return context.services.windows.FindOwnMainWindow(); }

void ExtendSystemMenu(app::AppContext& context, platform::Window& window) {
  const int count = window.SystemMenuItemCount();
  if (count >= 0) {
    // The separator above the close item goes: the items below land right under it.
    if (count >= 2) window.RemoveSystemMenuItem(count - 2);
    window.AppendSystemMenuItem(kSeparatorAboveAuthorId, "", false);
    window.AppendSystemMenuItem(kAuthorItemId, kAuthorItemCaption, true);
    window.AppendSystemMenuItem(kSeparatorAboveAgreementId, "", false);
    window.AppendSystemMenuItem(kAgreementItemId, kAgreementItemCaption, true);
  }
  window.InstallMessageFilter([&context](platform::Window& w, const platform::WindowMessage& message) {
    return MenuFilterProc(context, w, message);
  });
  context.services.kernel.StartThread([&context] { UpdateCheck(context); });
}

bool MenuFilterProc(app::AppContext& context, platform::Window& window, const platform::WindowMessage& message) {
  if (message.message == platform::kWmSysCommand) {
    // The whole wParam: system commands of Windows' own carry their low four bits for itself.
    if (message.wParam == static_cast<uintptr_t>(kAuthorItemId)) {
      // The desktop's shell takes several calls into its process: a worker waits for them.
      app::RunInBackground(context, [&context] {
        const int32_t result = OpenDocument(context, 1, UnescapeUrl(kEncodedContactAddress), "", "", 0);
        if (result != 0 && result != kDocumentRefused) app::AppendLog(context, OpenFailedLogLine(result));
      });
    } else if (message.wParam == static_cast<uintptr_t>(kAgreementItemId)) {
      ShowInfoBox(context, AgreementText(), kMbOk | kMbIconInformation, kAgreementCaption);
    }
    context.services.windows.ProcessPendingEvents();
  } else if (message.message == platform::kWmCommand) {
    if (message.wParam == kEndProgramCommand) {
      // The program's end of run, as when its window is closed: a running change finishes first.
      app::CloseMainWindow(context);
      return false;
    }
    if (message.wParam == kForwardedCommand || message.wParam == platform::kScMove ||
        message.wParam == platform::kScClose)
      window.SendSystemCommand(message.wParam, message.lParam);
  }
  return true;
}

}  // namespace corvane::info
