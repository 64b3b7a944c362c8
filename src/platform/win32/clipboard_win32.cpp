// Clipboard, text format (CF_TEXT): GBK bytes as they are.
#include <cstring>
#include <memory>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"

namespace corvane::win32 {

namespace {

// The clipboard is open for the life of one object.
class OpenedClipboard {
 public:
  OpenedClipboard() : open_(::OpenClipboard(nullptr) != FALSE) {}
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
  bool SetText(const std::string& text) override {
    unique_hglobal memory(::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (!memory) return false;
    void* bytes = ::GlobalLock(memory.get());
    if (!bytes) return false;
    std::memcpy(bytes, text.data(), text.size());
    static_cast<char*>(bytes)[text.size()] = '\0';
    ::GlobalUnlock(memory.get());

    OpenedClipboard clipboard;
    if (!clipboard || !::EmptyClipboard()) return false;
    if (!::SetClipboardData(CF_TEXT, memory.get())) return false;  // still ours: freed here
    memory.release();                                              // the clipboard's now
    return true;
  }

  bool GetText(std::string* text) override {
    OpenedClipboard clipboard;
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
};

}  // namespace

std::unique_ptr<platform::Clipboard> MakeClipboard() { return std::make_unique<ClipboardWin32>(); }

}  // namespace corvane::win32
