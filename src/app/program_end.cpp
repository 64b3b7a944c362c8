#include "app/program_end.h"

#include "app/activity_log.h"
#include "app/app_context.h"

namespace corvane::app {

void EndProcess(AppContext& context) {
  context.services.kernel.TerminateOwnProcess(0);
  // Not reached on Windows. Where the kernel lets the caller go on (a simulated one), the window
  // goes as the process would take it.
  if (context.window != nullptr) context.window->Close();
}

void CloseMainWindow(AppContext& context) {
  bool first = false;
  if (context.changes.RequestClose(&first)) {
    EndProcess(context);
    return;
  }
  if (!first) return;
  AppendLog(context, "正在退出,当前操作完成并储存后程序将关闭...");
  AppContext* c = &context;
  context.services.kernel.StartThread([c] {
    if (c->changes.WaitUntilIdle(c->closeTimeout)) return;
    // Not between the two writes of a store without registry transactions.
    std::lock_guard writes(c->unbrokenWrites);
    EndProcess(*c);
  });
}

ChangeTarget SelectedTarget(AppContext& context) {
  ChangeTarget target;
  target.index = context.selectedAdapterIndex;
  auto snapshot = context.snapshot.Load();
  const AdapterRecord* record =
      target.index >= 0 ? snapshot->adapters.Get(static_cast<uint32_t>(target.index)) : nullptr;
  if (record != nullptr) target.adapterName = record->adapterName;
  return target;
}

bool BeginChange(AppContext& context) { return context.changes.Enter(); }

void EndChange(AppContext& context) {
  if (context.changes.Leave()) EndProcess(context);
}

bool ChangeMustStop(AppContext& context) { return context.changes.closing(); }

}  // namespace corvane::app
