// corvane-demo.exe: the real window system, clipboard and kernel over a simulated machine, so the
// program can be shown and tried without administrator rights and without touching any adapter.
// The machine's adapters, addresses, registry, instrumentation, resolver and web pages are the
// demo machine's.
#include <exception>
#include <memory>

#include "program/application.h"
#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "platform/win32/services.h"
#include "platform/win32/window_system.h"

int main() {
  try {
    std::unique_ptr<corvane::sim::Machine> machine = corvane::sim::MakeDemoMachine();
    // The demo takes as long as the real program would.
    machine->UseWindowsTimings(true);
    std::unique_ptr<corvane::platform::WindowSystem> windows = corvane::win32::MakeWindowSystem();
    std::unique_ptr<corvane::platform::Clipboard> clipboard = corvane::win32::MakeClipboard(*windows);
    std::unique_ptr<corvane::platform::Kernel> kernel = corvane::win32::MakeKernel();

    corvane::platform::Services services{machine->ipHelper(),   machine->router(),
                                         machine->registry(),   machine->automation(),
                                         machine->sockets(),    *clipboard,
                                         machine->internet(),   *windows,
                                         *kernel};
    corvane::program::Application app(services);
    return app.Run();
  } catch (const std::exception&) {
    return 1;
  } catch (...) {
    return 1;
  }
}
