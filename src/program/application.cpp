#include "program/application.h"

#include "address_ops/add_addresses.h"
#include "address_ops/copy_addresses.h"
#include "address_ops/delete_addresses.h"
#include "address_ops/sort_addresses.h"
#include "app/activity_log.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "app/program_end.h"
#include "app/stored_texts.h"
#include "app/window_layouts.h"
#include "config/tcpip_dialog.h"
#include "info/about_box.h"
#include "info/system_menu.h"
#include "info/update_check.h"

namespace corvane::program {

using namespace app;

namespace mw = main_window;

Application::Application(platform::Services services) : context_(std::make_unique<AppContext>(services)) {}

Application::~Application() = default;

void Application::Start() {
  // The module's items join the main window's system menu once the window is visible.
  app::UpdateInfo update = context_->updateInfo();
  update.moduleVersion = info::kModuleVersion;
  context_->setUpdateInfo(std::move(update));
  AppContext& c = *context_;
  c.services.kernel.StartThread([&c] { info::SystemMenuTask(c); });
  context_->services.windows.CreateMainWindow(
      MainWindowSpec(), [this](platform::Window& window, const platform::Event& event) {
        // Nothing may leave an event handler: a failure here must not take the window down.
        try {
          OnMainWindowEvent(window, event);
        } catch (...) {
        }
      });
}

int Application::Run() {
  Start();
  return context_->services.windows.RunMessageLoop();
}

void Application::OnCreated(platform::Window& window) {
  AppContext& c = *context_;
  c.window = &window;
  // Data execution prevention stays on: where the system leaves it to the program (opt-in or
  // opt-out policy), turn it on for this process.
  platform::Kernel& kernel = c.services.kernel;
  if (kernel.GetSystemDepPolicy() >= 2) kernel.SetProcessDepPolicy(platform::kProcessDepEnable);
  window.SetMenuItemEnabled(mw::kMenuProperties, false);
  AppendLog(c, Decipher(StoredText::Banner));
  // The first fill holds the busy state from here, before the window answers the user.
  StartInitialAdapterFill(c);
  window.SetTitle(Decipher(StoredText::WindowTitle));
  window.SetText(mw::kCommunityLink, Decipher(StoredText::CommunityCaption));
  window.SetText(mw::kIssueLink, Decipher(StoredText::IssueCaption));
}

void Application::OnMenuItem(const std::string& item) {
  AppContext& c = *context_;
  if (item == mw::kMenuAdd) {
    address_ops::OpenAddWindow(c);
  } else if (item == mw::kMenuDelete) {
    address_ops::DeleteSelectedAddresses(c);
  } else if (item == mw::kMenuProperties) {
    config::OpenTcpipDialog(c);
  } else if (item == mw::kMenuCopyAll) {
    address_ops::CopyAllAddresses(c);
  } else if (item == mw::kMenuAbout) {
    info::ShowAbout(c);
  }
}

void Application::OnMainWindowEvent(platform::Window& window, const platform::Event& event) {
  AppContext& c = *context_;
  switch (event.kind) {
    case platform::EventKind::Created:
      OnCreated(window);
      break;
    case platform::EventKind::CloseRequested:
      CloseMainWindow(c);
      break;
    case platform::EventKind::Destroying:
      c.services.kernel.TerminateOwnProcess(0);
      break;
    case platform::EventKind::Clicked:
      if (event.control == mw::kRefreshButton) StartRefresh(c);
      break;
    case platform::EventKind::ItemChosen:
      if (event.control == mw::kSelector) SelectAdapter(c);
      break;
    case platform::EventKind::RightClicked:
      if (event.control == mw::kAddressList) window.PopupMenu(mw::kListMenu);
      break;
    case platform::EventKind::ColumnClicked:
      // Refused while an operation holds the busy state.
      if (event.control == mw::kAddressList) address_ops::SortAddressList(c, event.argument);
      break;
    case platform::EventKind::MouseDown:
      // The browser is started by the desktop's shell, as the desktop's user; a failure is logged.
      if (event.control == mw::kIssueLink) info::StartWebPage(c, Decipher(StoredText::IssueAddress));
      if (event.control == mw::kCommunityLink) info::StartWebPage(c, Decipher(StoredText::CommunityAddress));
      break;
    case platform::EventKind::MenuChosen:
      OnMenuItem(event.control);
      break;
    case platform::EventKind::SystemCommand:
      break;  // the module's items are served by its message filter (info/system_menu)
  }
}

}  // namespace corvane::program
