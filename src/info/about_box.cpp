#include "info/about_box.h"

#include "app/activity_log.h"
#include "app/app_context.h"
#include "app/stored_texts.h"
#include "common/text.h"

namespace corvane::info {

namespace {

constexpr size_t kUrlBufferBytes = 260;

constexpr int kSwHide = 0;
constexpr int kSwShowMinimized = 2;
constexpr int kSwShowMaximized = 3;
constexpr int kSwShow = 5;

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void ShowAbout(app::AppContext& context) {
  context.services.windows.ShowMessageBox(context.window, app::Decipher(app::StoredText::AboutText), kAboutCaption,
                                          kMbOk | kMbIconInformation | kMbTaskModal);
}

int ShowInfoBox(app::AppContext& context, const std::string& text, uint32_t style, const std::string& caption) {
  return context.services.windows.ShowMessageBox(nullptr, text, caption, style) - 1;
}

std::string AgreementText() {
  return "                 Pelmora模块使用协议\r\n"
         "\r\n"
         "一、本模块没有捆绑任何第三方插件,也没有封装其他模块,可以放心使用.\r\n"
         "二、用本模块编写的软件因自身缺陷或错误造成的损失,由使用者自行承担.\r\n"
         "三、使用本模块编写恶意插件、病毒、木马等程序的,其法律责任由编写者\r\n"
         "承担,与本模块无关.";
}

bool IsWebAddress(std::string_view target) {
  size_t host = 0;
  if (StartsWithIgnoringCase(target, "https://"))
    host = 8;
  else if (StartsWithIgnoringCase(target, "http://"))
    host = 7;
  else
    return false;
  if (target.size() <= host || target[host] == '/') return false;
  for (char ch : target) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '"') return false;
  }
  return true;
}

int32_t OpenDocument(app::AppContext& context, int operation, const std::string& target,
                     const std::string& parameters, const std::string& directory, int showMode) {
  // Only a web page is ever opened, and a browser is handed nothing but its address.
  if (!IsWebAddress(target) || !parameters.empty()) return kDocumentRefused;
  const char* verb = operation == 2 ? "print" : (operation == 3 ? "explore" : "Open");
  int show = kSwShow;
  if (showMode == 1) show = kSwHide;
  if (showMode == 3) show = kSwShowMinimized;
  if (showMode == 4) show = kSwShowMaximized;
  return context.services.windows.ShellOpen(verb, target, parameters, directory, show);
}

bool OpenWebPage(app::AppContext& context, const std::string& url) {
  const int32_t result = context.services.windows.OpenInBrowser(url);
  if (result != 0) app::AppendLog(context, OpenFailedLogLine(result));
  return result == 0;
}

void StartWebPage(app::AppContext& context, const std::string& url) {
  app::RunInBackground(context, [&context, url] { OpenWebPage(context, url); });
}

std::string OpenFailedLogLine(int32_t code) { return "打开网址失败,返回代码" + text::Decimal(code) + "."; }

std::string UnescapeUrl(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  if (out.size() >= kUrlBufferBytes || out.find('\0') != std::string::npos) return {};
  return out;
}

}  // namespace corvane::info
