// The services one program instance runs on. The real program takes them all from the Windows
// implementation, the demo takes the machine's services from the simulated one, and the tests
// take the simulated machine and the headless window system.
#pragma once

#include "platform/automation.h"
#include "platform/clipboard.h"
#include "platform/internet.h"
#include "platform/ip_helper.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/sockets.h"
#include "platform/window.h"

namespace corvane::platform {

struct Services {
  IpHelper& ipHelper;
  RouterAdmin& router;
  Registry& registry;
  Automation& automation;
  Sockets& sockets;
  Clipboard& clipboard;
  Internet& internet;
  WindowSystem& windows;
  Kernel& kernel;
};

}  // namespace corvane::platform
