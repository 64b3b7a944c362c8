#include "app/busy_state.h"

#include "app/app_context.h"
#include "app/window_layouts.h"

namespace corvane::app {

namespace mw = main_window;

void SetBusyControls(AppContext& context, bool on) {
  platform::Window& w = *context.window;
  w.SetEnabled(mw::kRefreshButton, !on);
  w.SetEnabled(mw::kSelector, !on);
  w.SetMenuItemEnabled(mw::kMenuAdd, !on);
  w.SetMenuItemEnabled(mw::kMenuDelete, !on);
}

OperationHold BusyState::TryBegin(AppContext& context) {
  if (context.window == nullptr || busy_.exchange(true)) return nullptr;
  SetBusyControls(context, true);
  return OperationHold(new Operation(context));
}

void BusyState::End(AppContext& context) {
  // Where the window is gone, the program is ending: nothing starts any more.
  context.window->Invoke([&] {
    SetBusyControls(context, false);
    busy_ = false;
  });
}

Operation::~Operation() {
  try {
    context_.busy.End(context_);
  } catch (...) {
    // The last holder may be a thread's routine ending: nothing may leave here.
  }
}

}  // namespace corvane::app
