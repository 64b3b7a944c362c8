// Clipboard, text format (CF_TEXT, GBK bytes).
#pragma once

#include <string>

namespace corvane::platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Opens, empties, stores the text and closes; false when any step fails.
  virtual bool SetText(const std::string& text) = 0;
  virtual bool GetText(std::string* text) = 0;
};

}  // namespace corvane::platform
