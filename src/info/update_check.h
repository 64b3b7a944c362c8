// The module's update check: once per run, a fixed page is read, four fields are cut out of it
// and compared with the module's own version. Nothing it reads is ever run or opened, and it
// shows nothing: the results stay in the context's UpdateInfo.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/update_info.h"
#include "platform/internet.h"
#include "platform/kernel.h"

namespace corvane::app {
class AppContext;
}

namespace corvane::info {

using app::UpdateInfo;

inline constexpr char kModuleVersion[] = "V3.63";
inline constexpr char kProbeUrl[] = "https://corvane.example/";
inline constexpr char kUpdatePageUrl[] = "https://corvane.example/pelmora/update.html";
// Reads are this size; a page is read no further than kMaxPageBytes (its fields are a few bytes).
inline constexpr size_t kReadChunkBytes = 1000;
inline constexpr size_t kMaxPageBytes = 1024 * 1024;

inline constexpr char kLatestVersionMarker[] = "最新版本:";
inline constexpr char kReleaseTimeMarker[] = "发布时间:";
inline constexpr char kFileSizeMarker[] = "文件大小:";
inline constexpr char kDownloadAddressMarker[] = "下载地址:";
inline constexpr char kFieldEnd[] = "<";

// The worker thread's routine.
void UpdateCheck(app::AppContext& context);

// The page's bytes (with the update page's own address as the agent text), read 1000 bytes at a
// time until a read returns nothing or kMaxPageBytes have been read; a NUL ends a read's
// contribution. Empty when the page cannot be opened.
std::string DownloadPageText(platform::Internet& internet, const std::string& url);

// UTF-8 to GBK through UTF-16; the result ends at its first NUL.
std::string Utf8ToGbk(platform::Kernel& kernel, std::string_view bytes);

// The text between the first `start` and the first `end` after it (GBK-aware search); empty when
// either is missing.
std::string TextBetween(std::string_view text, std::string_view start, std::string_view end);

// ASCII spaces and full-width spaces removed at both ends; tabs and line breaks stay.
std::string TrimSpaces(std::string_view text);

// -1, 0 or 1 as `a` sorts before, with or after `b`, ignoring the case of ASCII letters.
int CompareVersionTexts(std::string_view a, std::string_view b);

// The four fields of a page and the update flag, as UpdateCheck stores them.
void ExtractUpdateFields(const std::string& pageText, UpdateInfo* info);

}  // namespace corvane::info
