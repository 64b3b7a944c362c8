#include "app/activity_log.h"

#include <cstdio>

#include "app/app_context.h"
#include "app/window_layouts.h"

namespace corvane::app {

std::string FormatLogLine(const platform::DateTime& now, const std::string& message) {
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour % 100, now.minute % 100, now.second % 100);
  return std::string(time) + "：" + message + "\r\n";
}

void AppendLog(AppContext& context, const std::string& message) {
  if (context.window == nullptr) return;
  context.window->AppendText(main_window::kLog, FormatLogLine(context.services.kernel.LocalNow(), message));
}

void AppendLogLines(AppContext& context, const std::vector<std::string>& messages) {
  if (context.window == nullptr || messages.empty()) return;
  std::string lines;
  for (const std::string& message : messages) lines += FormatLogLine(context.services.kernel.LocalNow(), message);
  context.window->AppendText(main_window::kLog, lines);
}

}  // namespace corvane::app
