// What the module's update check found; kept for the whole run.
#pragma once

#include <cstdint>
#include <string>

namespace corvane::app {

struct UpdateInfo {
  std::string moduleVersion;    // "V3.63", set at start-up
  std::string pageText;         // the update page, as GBK
  std::string latestVersion;    // after "最新版本:"
  std::string releaseTime;      // after "发布时间:"
  std::string fileSize;         // after "文件大小:"
  std::string downloadAddress;  // after "下载地址:"; only stored, never opened or fetched
  int32_t updateAvailable = 0;  // 1 when latestVersion sorts after moduleVersion; never reset
};

}  // namespace corvane::app
