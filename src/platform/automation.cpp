#include "platform/automation.h"

namespace corvane::platform {

std::string WmiValue::AsText() const {
  switch (kind) {
    case Kind::Text:
      return text;
    case Kind::Integer:
      return std::to_string(integer);
    case Kind::Boolean:
      return boolean ? "True" : "False";
    case Kind::Null:
    case Kind::TextArray:
      break;
  }
  return {};
}

}  // namespace corvane::platform
