// The about box, the usage agreement, information boxes and opening web pages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::app {
class AppContext;
}

namespace corvane::info {

inline constexpr uint32_t kMbOk = 0x0;
inline constexpr uint32_t kMbIconInformation = 0x40;
inline constexpr uint32_t kMbTaskModal = 0x2000;

inline constexpr char kAboutCaption[] = "关于";
inline constexpr char kAgreementCaption[] = "使用协议";
inline constexpr char kDefaultInfoCaption[] = "信息：";

// "关于软件": the stored about text in a box owned by the main window; waits until it is closed.
void ShowAbout(app::AppContext& context);

// A message box owned by the foreground window; the pressed button's id minus 1.
int ShowInfoBox(app::AppContext& context, const std::string& text, uint32_t style,
                const std::string& caption = kDefaultInfoCaption);

// The six lines of the module's usage agreement, CR LF between them.
std::string AgreementText();

// True for an http or https address with a host and nothing a shell could take for more than an
// address (no blanks, quotes, control or non-ASCII bytes).
bool IsWebAddress(std::string_view target);

// What OpenDocument answers for a target or parameters it does not hand to the shell.
inline constexpr int32_t kDocumentRefused = -1;

// Operation 2 prints, 3 explores, anything else opens; show mode 1 hides, 3 minimizes, 4
// maximizes, anything else shows. Only web addresses (IsWebAddress) are handed to the shell, and
// without parameters; kDocumentRefused for anything else. 0 when the shell started it, otherwise
// the shell's failure code.
int32_t OpenDocument(app::AppContext& context, int operation, const std::string& target,
                     const std::string& parameters = "", const std::string& directory = "", int showMode = 0);

// The default browser on `url`, started by the desktop's shell; when it could not be started, the
// log says so with the code. True when it started.
bool OpenWebPage(app::AppContext& context, const std::string& url);
// OpenWebPage on a worker: asking the desktop's shell takes several calls into its process.
void StartWebPage(app::AppContext& context, const std::string& url);

// The log line of a web page that could not be opened, with the window system's code.
std::string OpenFailedLogLine(int32_t code);

// %XX sequences decoded (as URL_UNESCAPE does); empty when the result would not fit the 260-byte
// buffer of the platform call or holds a NUL.
std::string UnescapeUrl(std::string_view text);

}  // namespace corvane::info
