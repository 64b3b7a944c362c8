#include "info/update_check.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/app_context.h"
#include "common/text.h"
#include "app/update_info.h"

namespace corvane::info {

namespace {

unsigned char FoldCase(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c; }

}  // namespace

std::string DownloadPageText(platform::Internet& internet, const std::string& url) {
  std::unique_ptr<platform::InternetRequest> request = internet.OpenUrl(url, url);
  std::string page;
  if (!request) return page;
  char buffer[kReadChunkBytes];
  size_t total = 0;  // bytes read, kept or not: a page of NULs stops at the limit too
  while (total < kMaxPageBytes) {
    const size_t wanted = std::min(kReadChunkBytes, kMaxPageBytes - total);
    size_t read = request->Read(buffer, wanted);
    if (read == 0) break;
    if (read > wanted) read = wanted;
    total += read;
    page.append(buffer, strnlen(buffer, read));
  }
  return page;
}

std::string Utf8ToGbk(platform::Kernel& kernel, std::string_view bytes) {
  if (bytes.empty()) return {};
  const std::u16string wide = kernel.MultiByteToWide(bytes, platform::kCodePageUtf8);
  std::string gbk = kernel.WideToMultiByte(wide, platform::kCodePageGbk);
  const size_t nul = gbk.find('\0');
  if (nul != std::string::npos) gbk.resize(nul);
  return gbk;
}

std::string TextBetween(std::string_view text, std::string_view start, std::string_view end) {
  const int at = text::Find(text, start);
  if (at < 0) return {};
  const std::string_view rest = text.substr(static_cast<size_t>(at - 1) + start.size());
  const int stop = text::Find(rest, end);
  if (stop < 0) return {};
  return std::string(rest.substr(0, static_cast<size_t>(stop - 1)));
}

std::string TrimSpaces(std::string_view text) { return text::Trim(text); }

int CompareVersionTexts(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldCase(static_cast<unsigned char>(a[i]));
    const unsigned char y = FoldCase(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void ExtractUpdateFields(const std::string& pageText, UpdateInfo* info) {
  info->pageText = pageText;
  info->latestVersion = TrimSpaces(TextBetween(pageText, kLatestVersionMarker, kFieldEnd));
  info->releaseTime = TrimSpaces(TextBetween(pageText, kReleaseTimeMarker, kFieldEnd));
  info->fileSize = TrimSpaces(TextBetween(pageText, kFileSizeMarker, kFieldEnd));
  info->downloadAddress = TrimSpaces(TextBetween(pageText, kDownloadAddressMarker, kFieldEnd));
  // Only "the module's version sorts first" counts; equal or later leaves the flag as it is.
  if (CompareVersionTexts(TrimSpaces(info->moduleVersion), TrimSpaces(info->latestVersion)) == -1)
    info->updateAvailable = 1;
}

void UpdateCheck(app::AppContext& context) {
  if (!context.services.internet.CheckConnection(kProbeUrl)) return;  // offline: nothing is fetched
  UpdateInfo info = context.updateInfo();
  const std::string page = Utf8ToGbk(context.services.kernel, DownloadPageText(context.services.internet, kUpdatePageUrl));
  ExtractUpdateFields(page, &info);
  context.setUpdateInfo(std::move(info));
}

}  // namespace corvane::info
