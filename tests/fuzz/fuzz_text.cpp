// Fuzzes the GBK text operations with their invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text.h"

namespace {

bool OnCharacterBoundary(const std::string& s, size_t offset) {
  size_t i = 0;
  while (i < offset) i += corvane::text::IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
  return i == offset;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // First byte: length of the needle; the rest: needle then haystack.
  size_t needleLength = data[0] % 4;
  if (size - 1 < needleLength) return 0;
  const std::string needle(reinterpret_cast<const char*>(data + 1), needleLength);
  const std::string hay(reinterpret_cast<const char*>(data + 1 + needleLength), size - 1 - needleLength);

  int at = corvane::text::Find(hay, needle);
  if (at != -1) {
    if (at < 1 || static_cast<size_t>(at) > hay.size()) std::abort();
    if (hay.compare(static_cast<size_t>(at - 1), needle.size(), needle) != 0) std::abort();
    if (!OnCharacterBoundary(hay, static_cast<size_t>(at - 1))) std::abort();
  }

  if (!needle.empty()) {
    auto pieces = corvane::text::Split(hay, needle);
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) joined += (i ? needle : "") + pieces[i];
    // Joining gives the text back, less one trailing separator at most.
    if (joined != hay && joined + needle != hay) std::abort();
  }

  std::string trimmed = corvane::text::Trim(hay);
  if (trimmed.size() > hay.size() || hay.find(trimmed) == std::string::npos) std::abort();
  corvane::text::IntegerReading r = corvane::text::ReadIntegerDetailed(hay);
  if (!r.hadDigits && r.value != 0) std::abort();
  corvane::text::Middle(hay, data[0] - 128, static_cast<int>(needleLength) - 1);
  corvane::text::Left(hay, data[0] - 128);
  corvane::text::Right(hay, data[0] - 128);
  return 0;
}
