// The activity log: time-stamped lines appended to the log box of the main window.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel.h"

namespace corvane::app {

class AppContext;

// "HH:MM:SS：message\r\n" on the 24-hour clock.
std::string FormatLogLine(const platform::DateTime& now, const std::string& message);

// Appends one line at the end of the log box; callable from any thread.
void AppendLog(AppContext& context, const std::string& message);

// Appends several lines, in order, in one change of the log box (drawn once instead of once per
// line); each line is stamped as AppendLog would. Callable from any thread.
void AppendLogLines(AppContext& context, const std::vector<std::string>& messages);

}  // namespace corvane::app
