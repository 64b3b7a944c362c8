// Clipboard, text format (CF_TEXT): GBK bytes as they are. The program's main window owns the
// clipboard while it is open (a clipboard emptied while open for no window may refuse the data).
#include <cstring>
#include <memory>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"
#include "platform/win32/window_system_native.h"

namespace corvane::win32 {

namespace {

// The clipboard is open for the life of one object, associated with `owner` (null: none).
class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  ~OpenedClipboard() {
    if (open_) ::CloseClipboard();
  }
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

class ClipboardWin32 final : public platform::Clipboard {
 public:
  explicit ClipboardWin32(platform::WindowSystem& windows) : windows_(windows) {}

  bool SetText(const std::string& text) override {
    unique_hglobal memory(::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (!memory) return false;
    void* bytes = ::GlobalLock(memory.get());
    if (!bytes) return false;
    std::memcpy(bytes, text.data(), text.size());
    static_cast<char*>(bytes)[text.size()] = '\0';
    ::GlobalUnlock(memory.get());

    // Emptied while open for the main window, which then owns what is stored.
    OpenedClipboard clipboard(NativeMainWindowHandle(windows_));
    if (!clipboard || !::EmptyClipboard()) return false;
    if (!::SetClipboardData(CF_TEXT, memory.get())) return false;  // still ours: freed here
    memory.release();                                              // the clipboard's now
    return true;
  }

  bool GetText(std::string* text) override {
    OpenedClipboard clipboard(NativeMainWindowHandle(windows_));
    if (!clipboard) return false;
    HANDLE data = ::GetClipboardData(CF_TEXT);
    if (!data) return false;
    const auto* bytes = static_cast<const char*>(::GlobalLock(data));
    if (!bytes) return false;
    const size_t capacity = ::GlobalSize(data);
    if (text) text->assign(bytes, strnlen(bytes, capacity));
    ::GlobalUnlock(data);
    return true;
  }

 private:
  platform::WindowSystem& windows_;
};

}  // namespace

std::unique_ptr<platform::Clipboard> MakeClipboard(platform::WindowSystem& windows) {
  return std::make_unique<ClipboardWin32>(windows);
}

}  // namespace corvane::win32
