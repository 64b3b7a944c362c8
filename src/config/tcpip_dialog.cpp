#include "config/tcpip_dialog.h"

#include "app/activity_log.h"
#include "app/app_context.h"
#include "app/window_layouts.h"
#include "config/addressing_state.h"
#include "config/management.h"
#include "config/static_configuration.h"

namespace corvane::config {

namespace td = app::tcpip_dialog;
namespace mw = app::main_window;

namespace {

constexpr char kFallbackAlternateDns[] = "114.114.114.114";

// Keeps OK disabled while the choice is applied, and closes the dialog whatever happens.
class OkSequence {
 public:
  explicit OkSequence(platform::Window& dialog) : dialog_(dialog) { dialog_.SetEnabled(td::kOk, false); }
  ~OkSequence() {
    try {
      dialog_.SetEnabled(td::kOk, true);
    } catch (...) {
    }
    try {
      dialog_.Close();
    } catch (...) {
    }
  }
  OkSequence(const OkSequence&) = delete;
  OkSequence& operator=(const OkSequence&) = delete;

 private:
  platform::Window& dialog_;
};

// One initialisation of the component object library on this thread for the span of an operation.
class Apartment {
 public:
  explicit Apartment(platform::Automation& automation)
      : automation_(automation), initialized_(platform::Succeeded(automation.Initialize())) {}
  ~Apartment() {
    if (initialized_) automation_.Uninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

 private:
  platform::Automation& automation_;
  bool initialized_;
};

}  // namespace

void OpenTcpipDialog(app::AppContext& context) {
  platform::Window* owner = context.window;
  if (owner == nullptr || !owner->IsMenuItemEnabled(mw::kMenuProperties)) return;
  context.services.windows.OpenModal(app::TcpipDialogSpec(), owner,
                                     [&context](platform::Window& dialog, const platform::Event& event) {
                                       OnTcpipDialogEvent(context, dialog, event);
                                     });
}

void OnTcpipDialogEvent(app::AppContext& context, platform::Window& dialog, const platform::Event& event) {
  try {
    switch (event.kind) {
      case platform::EventKind::Created:
        InitTcpipDialog(context, dialog);
        break;
      case platform::EventKind::Clicked:
        if (event.control == td::kAutomatic) SetStaticGroupEnabled(dialog, false);
        if (event.control == td::kStatic) SetStaticGroupEnabled(dialog, true);
        if (event.control == td::kOk) ConfirmTcpipDialog(context, dialog);
        break;
      default:
        break;
    }
  } catch (...) {
  }
}

void SetStaticGroupEnabled(platform::Window& dialog, bool enabled) {
  for (const char* control : {td::kIp, td::kMask, td::kGateway, td::kAlternateDns, td::kPreferredDns, td::kIpLabel,
                              td::kMaskLabel, td::kGatewayLabel})
    dialog.SetEnabled(control, enabled);
}

void InitTcpipDialog(app::AppContext& context, platform::Window& dialog) {
  // The walk of the address table below lets the window process its events: OK stays disabled
  // until every field holds the adapter's values, so that an Enter typed ahead cannot confirm
  // half-filled fields. Should the start-up fail, it stays disabled and the dialog can only be
  // cancelled.
  dialog.SetEnabled(td::kOk, false);
  const app::AdapterContext adapter = context.adapterContext();
  dialog.SetText(td::kPreferredDns, adapter.preferredDns);
  dialog.SetText(td::kAlternateDns, adapter.alternateDns.empty() ? kFallbackAlternateDns : adapter.alternateDns);

  // The adapter's last address: the entry of its list that has no successor.
  const auto snapshot = context.snapshot.Load();
  const int32_t selected = context.selectedAdapterIndex.load();
  for (const auto& [address, row] : snapshot->table(app::AddressKind::Ip)) {
    if (static_cast<int64_t>(row.adapterIndex) == selected && row.next == 0) {
      dialog.SetText(td::kIp, address);
      dialog.SetText(td::kMask, row.mask);
      break;
    }
    context.services.windows.ProcessPendingEvents();
  }

  const std::string name = context.window != nullptr ? context.window->Text(mw::kSelector) : std::string();
  const bool dhcp = IsDhcpEnabledForConnection(context.services.ipHelper, context.services.kernel, name) == 1;
  dialog.SetChecked(td::kAutomatic, dhcp);
  dialog.SetChecked(td::kStatic, !dhcp);
  RegistryAccess registry(context.services.registry);
  dialog.SetText(td::kGateway,
                 ReadInterfaceGateway(registry, adapter.adapterName, dhcp ? "DhcpDefaultGateway" : "DefaultGateway"));
  SetStaticGroupEnabled(dialog, !dhcp);
  dialog.SetEnabled(td::kOk, true);
}

void ConfirmTcpipDialog(app::AppContext& context, platform::Window& dialog) {
  // OK is disabled while the start-up fills the fields and while a choice is applied; a press
  // that reaches the handler all the same (a command sent to the dialog) does nothing.
  if (!dialog.IsEnabled(td::kOk)) return;
  platform::Automation& automation = context.services.automation;
  platform::WindowSystem& windows = context.services.windows;
  platform::Window& main = *context.window;
  if (dialog.IsChecked(td::kAutomatic)) {
    OkSequence sequence(dialog);
    DhcpOutcome outcome;
    int result = 0;
    {
      Apartment apartment(automation);
      result = EnableDhcpOnConnection(automation, windows, main.Text(mw::kSelector), &outcome);
    }
    app::AppendLog(context, DhcpLogLine(main.Text(mw::kSelector), result, outcome));
  } else if (dialog.IsChecked(td::kStatic)) {
    const std::string name = main.Text(mw::kSelector);
    const std::string address = dialog.Text(td::kIp);
    const std::string mask = dialog.Text(td::kMask);
    const std::string gateway = dialog.Text(td::kGateway);
    const std::string preferredDns = dialog.Text(td::kPreferredDns);
    const std::string alternateDns = dialog.Text(td::kAlternateDns);
    // The script sets the address, the gateway and the DNS servers one after the other, and a
    // refused value would leave the others changed: every field is checked first.
    const std::string refused = RefusedStaticFields(address, mask, gateway, preferredDns, alternateDns);
    if (!refused.empty()) {
      // The dialog stays open with what was typed, to be corrected: closed, the typed values would
      // be lost, and reopened it shows the adapter's present ones. Nothing was changed.
      app::AppendLog(context, RefusedValuesLogLine(name, refused));
      return;
    }
    OkSequence sequence(dialog);
    StaticOutcome outcome;
    {
      Apartment apartment(automation);
      outcome = ApplyStaticConfiguration(automation, windows, name, address, mask, gateway, preferredDns,
                                         alternateDns);
    }
    app::AppendLog(context, StaticLogLine(name, outcome));
  }
}

}  // namespace corvane::config
