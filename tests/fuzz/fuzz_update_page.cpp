// Fuzzes the update page's field extraction: the page as the server sends it, decoded from UTF-8
// and cut into the four fields. Every field must be a piece of the decoded page without spaces at
// its ends, and the flag can only be 0 or 1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/text.h"
#include "info/update_check.h"
#include "app/update_info.h"
#include "platform/sim/machine.h"

namespace {

// A space (ASCII or full-width) as the first or the last character; characters are walked from the
// start, so a space byte that is the second byte of a two-byte character is no space.
bool SpaceAtAnEnd(const std::string& s) {
  if (s.empty()) return false;
  const auto isSpace = [&](size_t at, size_t length) {
    return (length == 1 && s[at] == ' ') || (length == 2 && static_cast<unsigned char>(s[at]) == 0xA1 &&
                                             static_cast<unsigned char>(s[at + 1]) == 0xA1);
  };
  size_t i = 0;
  size_t last = 0;
  size_t lastLength = 0;
  while (i < s.size()) {
    const size_t length = corvane::text::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
    if (i == 0 && isSpace(0, length)) return true;
    last = i;
    lastLength = length;
    i += length;
  }
  return isSpace(last, lastLength);
}

// True when `c` starts a character of `s` (a lead byte and the byte after it are one character,
// whatever that byte is).
bool HasCharacter(const std::string& s, char c) {
  for (size_t i = 0; i < s.size(); i += corvane::text::IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1)
    if (s[i] == c) return true;
  return false;
}

void CheckField(const std::string& page, const std::string& field) {
  if (field.size() > page.size()) std::abort();
  if (!field.empty() && page.find(field) == std::string::npos) std::abort();
  if (SpaceAtAnEnd(field)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<corvane::sim::Machine> machine = std::make_unique<corvane::sim::Machine>();
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // The raw bytes as the extraction sees them, and decoded as the check decodes the page.
  for (const std::string& page : {bytes, corvane::info::Utf8ToGbk(machine->kernel(), bytes)}) {
    if (page.find('\0') != std::string::npos && page != bytes) std::abort();  // decoding ends at a NUL
    corvane::app::UpdateInfo info;
    info.moduleVersion = corvane::info::kModuleVersion;
    corvane::info::ExtractUpdateFields(page, &info);
    if (info.pageText != page) std::abort();
    CheckField(page, info.latestVersion);
    CheckField(page, info.releaseTime);
    CheckField(page, info.fileSize);
    CheckField(page, info.downloadAddress);
    if (info.updateAvailable != 0 && info.updateAvailable != 1) std::abort();
    if (info.updateAvailable == 1 && corvane::info::CompareVersionTexts("V3.63", info.latestVersion) != -1) std::abort();
    const std::string between = corvane::info::TextBetween(page, corvane::info::kFileSizeMarker, "<");
    if (HasCharacter(between, '<')) std::abort();
  }
  return 0;
}
