// The real Windows services behind the platform interfaces.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace corvane::win32 {

std::unique_ptr<platform::IpHelper> MakeIpHelper();
std::unique_ptr<platform::RouterAdmin> MakeRouterAdmin();
std::unique_ptr<platform::Registry> MakeRegistry();
std::unique_ptr<platform::Automation> MakeAutomation();
std::unique_ptr<platform::Sockets> MakeSockets();
// Opened for the main window of `windows` (window_system.h) while it has one, so that the window
// owns what is copied; for no window before it is created, after it is gone, or when `windows` is
// another window system.
std::unique_ptr<platform::Clipboard> MakeClipboard(platform::WindowSystem& windows);
std::unique_ptr<platform::Internet> MakeInternet();
std::unique_ptr<platform::Kernel> MakeKernel();

}  // namespace corvane::win32
