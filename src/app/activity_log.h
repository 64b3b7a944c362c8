// The activity log: time-stamped lines appended to the log box of the main window.
#pragma once

#include <string>

#include "platform/kernel.h"

namespace corvane::app {

class AppContext;

// "HH:MM:SS：message\r\n" on the 24-hour clock.
std::string FormatLogLine(const platform::DateTime& now, const std::string& message);

// Appends one line at the end of the log box; callable from any thread.
void AppendLog(AppContext& context, const std::string& message);

}  // namespace corvane::app
