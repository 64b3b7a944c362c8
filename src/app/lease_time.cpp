#include "app/lease_time.h"

#include <cstdio>

#include "common/text.h"

namespace corvane::app {

namespace {

std::string TwoDigits(int v) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", v);
  return buffer;
}

bool AllDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Milliseconds since 1970 from a decimal text, as the script engine's date arithmetic reads it.
bool ReadMilliseconds(const std::string& value, int64_t* ms) {
  size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  if (i == value.size()) return false;
  int64_t magnitude = 0;
  for (; i < value.size(); ++i) {
    if (value[i] < '0' || value[i] > '9') return false;
    // Dates stay within 8.64e15 ms of 1970; anything further is no date at all.
    magnitude = magnitude * 10 + (value[i] - '0');
    if (magnitude > 8640000000000000LL) return false;
  }
  *ms = negative ? -magnitude : magnitude;
  return true;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

}  // namespace

std::string FormatLeaseTime(const std::string& value, platform::Kernel& kernel) {
  platform::DateTime t;
  if (value.size() == 10 && AllDigits(value)) {
    if (!kernel.UnixToLocal(std::stoll(value), &t)) return {};
    std::string date = std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " ";
    platform::ClockSettings clock = kernel.Clock();
    if (clock.twentyFourHour) return date + TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
    int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    std::string marker = t.hour < 12 ? clock.am : clock.pm;
    std::string time = TwoDigits(hour12) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
    return marker.empty() ? date + time : date + time + " " + marker;
  }

  int64_t ms = 0;
  if (!ReadMilliseconds(value, &ms)) return {};
  if (!kernel.UnixToLocal(FloorDiv(ms, 1000), &t)) return {};
  return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" + std::to_string(t.day) + " " +
         TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

}  // namespace corvane::app
