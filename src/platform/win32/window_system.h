// The Win32 window system: real windows built from the templates, wide APIs, GBK converted with
// code page 936 at this boundary.
#pragma once

#include <memory>

#include "platform/window.h"

namespace corvane::win32 {

std::unique_ptr<platform::WindowSystem> MakeWindowSystem();

}  // namespace corvane::win32
