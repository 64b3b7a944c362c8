#include "config/tcpip_dialog.h"

#include <utility>

#include "app/activity_log.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "app/program_end.h"
#include "app/window_layouts.h"
#include "config/addressing_state.h"
#include "config/management.h"
#include "config/static_configuration.h"

namespace corvane::config {

namespace td = app::tcpip_dialog;
namespace mw = app::main_window;

namespace {

constexpr char kFallbackAlternateDns[] = "114.114.114.114";

// Ends an apply whatever happens in it, as its last step: the dialog, if the user has not closed
// it already, gets OK back and closes; the busy state ends; the change is over, so that a close
// of the main window that waits for it goes on.
class ApplyEnd {
 public:
  ApplyEnd(app::AppContext& context, platform::Window& dialog, std::shared_ptr<DialogLife> life,
           app::OperationHold operation)
      : context_(context), dialog_(dialog), life_(std::move(life)), operation_(std::move(operation)) {}
  ~ApplyEnd() {
    try {
      context_.window->Invoke([&] {
        if (!life_->open) return;
        dialog_.SetEnabled(td::kOk, true);
        dialog_.Close();
      });
    } catch (...) {
    }
    // This holder lets go of the operation: the busy state ends with the last one.
    operation_.reset();
    try {
      app::EndChange(context_);
    } catch (...) {
    }
  }
  ApplyEnd(const ApplyEnd&) = delete;
  ApplyEnd& operator=(const ApplyEnd&) = delete;

 private:
  app::AppContext& context_;
  platform::Window& dialog_;
  std::shared_ptr<DialogLife> life_;
  app::OperationHold operation_;
};

// The texts of the static path, taken from the dialog as OK is pressed.
struct StaticFields {
  std::string address;
  std::string mask;
  std::string gateway;
  std::string preferredDns;
  std::string alternateDns;
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

// What the start-up reads for the fields, away from the window thread.
struct DialogFields {
  std::string preferredDns;
  std::string alternateDns;
  std::string address;  // the adapter's last address and its mask; empty when it has none
  std::string mask;
  bool dhcp = false;
  std::string gateway;
};

DialogFields ReadDialogFields(app::AppContext& context, const std::string& connectionName) {
  DialogFields fields;
  const app::AdapterContext adapter = context.adapterContext();
  fields.preferredDns = adapter.preferredDns;
  fields.alternateDns = adapter.alternateDns.empty() ? kFallbackAlternateDns : adapter.alternateDns;
  // The adapter's last address: the entry of its list that has no successor.
  const auto snapshot = context.snapshot.Load();
  const int32_t selected = context.selectedAdapterIndex.load();
  for (const auto& [address, row] : snapshot->table(app::AddressKind::Ip)) {
    if (static_cast<int64_t>(row.adapterIndex) == selected && row.next == 0) {
      fields.address = address;
      fields.mask = row.mask;
      break;
    }
  }
  fields.dhcp = IsDhcpEnabledForConnection(context.services.ipHelper, context.services.kernel, connectionName) == 1;
  RegistryAccess registry(context.services.registry);
  fields.gateway =
      ReadInterfaceGateway(registry, adapter.adapterName, fields.dhcp ? "DhcpDefaultGateway" : "DefaultGateway");
  return fields;
}

void FillDialog(platform::Window& dialog, const DialogFields& fields) {
  dialog.SetText(td::kPreferredDns, fields.preferredDns);
  dialog.SetText(td::kAlternateDns, fields.alternateDns);
  if (!fields.address.empty()) {
    dialog.SetText(td::kIp, fields.address);
    dialog.SetText(td::kMask, fields.mask);
  }
  dialog.SetChecked(td::kAutomatic, fields.dhcp);
  dialog.SetChecked(td::kStatic, !fields.dhcp);
  dialog.SetText(td::kGateway, fields.gateway);
  SetStaticGroupEnabled(dialog, !fields.dhcp);
  dialog.SetEnabled(td::kOk, true);
}

}  // namespace

void OpenTcpipDialog(app::AppContext& context) {
  platform::Window* owner = context.window;
  if (owner == nullptr || !owner->IsMenuItemEnabled(mw::kMenuProperties)) return;
  // While another operation holds the busy state the adapter shown may be changing under it (a
  // choice of adapter, a refresh): the dialog waits until it has ended.
  if (context.busy.busy()) return;
  auto life = std::make_shared<DialogLife>();
  context.services.windows.OpenModal(app::TcpipDialogSpec(), owner,
                                     [&context, life](platform::Window& dialog, const platform::Event& event) {
                                       OnTcpipDialogEvent(context, dialog, event, life);
                                     });
}

void OnTcpipDialogEvent(app::AppContext& context, platform::Window& dialog, const platform::Event& event,
                        const std::shared_ptr<DialogLife>& life) {
  try {
    switch (event.kind) {
      case platform::EventKind::Created:
        InitTcpipDialog(context, dialog, life);
        break;
      case platform::EventKind::Destroying:
        life->open = false;
        break;
      case platform::EventKind::Clicked:
        if (event.control == td::kAutomatic) SetStaticGroupEnabled(dialog, false);
        if (event.control == td::kStatic) SetStaticGroupEnabled(dialog, true);
        if (event.control == td::kOk) ConfirmTcpipDialog(context, dialog, life);
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

void InitTcpipDialog(app::AppContext& context, platform::Window& dialog, const std::shared_ptr<DialogLife>& life) {
  // OK stays disabled until every field holds the adapter's values, so that an Enter typed ahead
  // cannot confirm half-filled fields. The values come from the IP helper and the registry, read
  // by a worker; the window thread answers the user meanwhile. Should the start-up fail, OK stays
  // disabled and the dialog can only be cancelled.
  dialog.SetEnabled(td::kOk, false);
  const std::string name = context.window != nullptr ? context.window->Text(mw::kSelector) : std::string();
  platform::Window* main = context.window;
  app::RunInBackground(context, [&context, &dialog, life, name, main] {
    const DialogFields fields = ReadDialogFields(context, name);
    // On the window thread, where the dialog is destroyed: filled only while it is open.
    if (main != nullptr) main->Invoke([&] {
      if (life->open) FillDialog(dialog, fields);
    });
  });
}

void ConfirmTcpipDialog(app::AppContext& context, platform::Window& dialog, const std::shared_ptr<DialogLife>& life) {
  // OK is disabled while the start-up fills the fields and while a choice is applied; a press
  // that reaches the handler all the same (a command sent to the dialog) does nothing.
  if (!dialog.IsEnabled(td::kOk)) return;
  platform::Window& main = *context.window;
  const std::string name = main.Text(mw::kSelector);
  const bool dhcp = dialog.IsChecked(td::kAutomatic);
  if (!dhcp && !dialog.IsChecked(td::kStatic)) return;
  StaticFields values;
  if (!dhcp) {
    values.address = dialog.Text(td::kIp);
    values.mask = dialog.Text(td::kMask);
    values.gateway = dialog.Text(td::kGateway);
    values.preferredDns = dialog.Text(td::kPreferredDns);
    values.alternateDns = dialog.Text(td::kAlternateDns);
    // The script sets the address, the gateway and the DNS servers one after the other, and a
    // refused value would leave the others changed: every field is checked first.
    const std::string refused =
        RefusedStaticFields(values.address, values.mask, values.gateway, values.preferredDns, values.alternateDns);
    if (!refused.empty()) {
      // The dialog stays open with what was typed, to be corrected: closed, the typed values would
      // be lost, and reopened it shows the adapter's present ones. Nothing was changed.
      app::AppendLog(context, RefusedValuesLogLine(name, refused));
      return;
    }
  }
  // A configuration change: nothing else that changes the adapter runs meanwhile, and a close of
  // the main window waits for it. OK stays disabled until it has ended.
  app::OperationHold operation = context.busy.TryBegin(context);
  if (!operation) return;
  if (!app::BeginChange(context)) return;
  dialog.SetEnabled(td::kOk, false);
  app::RunInBackground(context, [&context, &dialog, life, name, dhcp, values, operation]() mutable {
    const ApplyEnd end(context, dialog, life, std::move(operation));
    platform::Automation& automation = context.services.automation;
    std::string line;
    {
      // The script control wants an apartment-threaded one: this thread's own.
      Apartment apartment(automation);
      if (dhcp) {
        DhcpOutcome outcome;
        const int result = EnableDhcpOnConnection(automation, name, &outcome);
        line = DhcpLogLine(name, result, outcome);
      } else {
        line = StaticLogLine(name, ApplyStaticConfiguration(automation, name, values.address, values.mask,
                                                            values.gateway, values.preferredDns,
                                                            values.alternateDns));
      }
    }
    app::AppendLog(context, line);
  });
}

}  // namespace corvane::config
