// corvane.exe: the program on the real machine; every service comes from Windows.
#include <exception>
#include <memory>

#include "program/application.h"
#include "platform/platform.h"
#include "platform/win32/services.h"
#include "platform/win32/window_system.h"

int main() {
  try {
    std::unique_ptr<corvane::platform::IpHelper> ipHelper = corvane::win32::MakeIpHelper();
    std::unique_ptr<corvane::platform::RouterAdmin> router = corvane::win32::MakeRouterAdmin();
    std::unique_ptr<corvane::platform::Registry> registry = corvane::win32::MakeRegistry();
    std::unique_ptr<corvane::platform::Automation> automation = corvane::win32::MakeAutomation();
    std::unique_ptr<corvane::platform::Sockets> sockets = corvane::win32::MakeSockets();
    std::unique_ptr<corvane::platform::WindowSystem> windows = corvane::win32::MakeWindowSystem();
    std::unique_ptr<corvane::platform::Clipboard> clipboard = corvane::win32::MakeClipboard(*windows);
    std::unique_ptr<corvane::platform::Internet> internet = corvane::win32::MakeInternet();
    std::unique_ptr<corvane::platform::Kernel> kernel = corvane::win32::MakeKernel();

    corvane::platform::Services services{*ipHelper, *router,    *registry, *automation, *sockets,
                                         *clipboard, *internet, *windows,  *kernel};
    corvane::program::Application app(services);
    return app.Run();
  } catch (const std::exception&) {
    return 1;
  } catch (...) {
    return 1;
  }
}
