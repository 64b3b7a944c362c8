#include "app/application.h"

#include "address_ops/add_addresses.h"
#include "address_ops/delete_addresses.h"
#include "app/activity_log.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "app/stored_texts.h"
#include "app/window_layouts.h"
#include "config/tcpip_dialog.h"

namespace corvane::app {

namespace mw = main_window;

Application::Application(platform::Services services) : context_(std::make_unique<AppContext>(services)) {}

Application::~Application() = default;

void Application::Start() {
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
  kernel.StartThread([&c] { InitialAdapterFill(c); });
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
  }
}

void Application::OnMainWindowEvent(platform::Window& window, const platform::Event& event) {
  AppContext& c = *context_;
  switch (event.kind) {
    case platform::EventKind::Created:
      OnCreated(window);
      break;
    case platform::EventKind::Destroying:
      c.services.kernel.TerminateOwnProcess(0);
      break;
    case platform::EventKind::Clicked:
      if (event.control == mw::kRefreshButton) RefreshAdapters(c);
      break;
    case platform::EventKind::ItemChosen:
      if (event.control == mw::kSelector) SelectAdapter(c);
      break;
    case platform::EventKind::RightClicked:
      if (event.control == mw::kAddressList) window.PopupMenu(mw::kListMenu);
      break;
    case platform::EventKind::ColumnClicked:
      // Sorting is refused while an operation holds the busy state.
      if (!window.IsEnabled(mw::kRefreshButton)) break;
      break;
    case platform::EventKind::MouseDown:
      if (event.control == mw::kIssueLink) c.services.windows.OpenInBrowser(Decipher(StoredText::IssueAddress));
      if (event.control == mw::kCommunityLink)
        c.services.windows.OpenInBrowser(Decipher(StoredText::CommunityAddress));
      break;
    case platform::EventKind::MenuChosen:
      OnMenuItem(event.control);
      break;
    case platform::EventKind::SystemCommand:
      break;
  }
}

}  // namespace corvane::app
