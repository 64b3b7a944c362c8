// The IP-field write rule and the check of what may become script text, on any bytes: each gives
// a clear result and never crashes, and the two agree where they meet.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/static_configuration.h"
#include "platform/ip_field.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  namespace ipfield = corvane::platform::ipfield;

  const auto parts = ipfield::ParseForWrite(input);
  const std::string shown = ipfield::FormatForRead(parts);
  // What a field shows is empty or an address that reads back as itself and may go into a script.
  if (!corvane::config::IsScriptValue(shown)) std::abort();
  if (parts.has_value() == shown.empty()) std::abort();
  if (ipfield::ParseForWrite(shown) != parts) std::abort();

  // A value that passes the check can neither end the string it stands in nor start a line.
  if (corvane::config::IsScriptValue(input)) {
    for (char c : input)
      if (c == '"' || c == '\r' || c == '\n' || c == ':' || c == '\'') std::abort();
    if (ipfield::FormatForRead(ipfield::ParseForWrite(input)).empty() != input.empty()) std::abort();
  }
  return 0;
}
