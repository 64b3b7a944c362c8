// Thin wrappers over the messages of the standard and common controls. Every function sends its
// messages to the control directly; callers make sure they run on the control's thread when a
// sequence of messages has to stay together.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::win32::ui {

// A font of `points` for a window at `dpi`; `charset` GB2312_CHARSET lets the font mapper fall
// back to a Chinese face when the named one is missing.
HFONT CreatePointFont(const std::wstring& face, int points, BYTE charset, UINT dpi);

std::wstring WindowText(HWND hwnd);

// The drawing of a window switched off while the object lives: nothing of the window is drawn,
// not even its scroll bars, which a control otherwise redraws at once on every change of its
// content. At the end the whole window, frame and children included, is marked for one repaint.
// It is the window's own WM_SETREDRAW, asked of DefWindowProc since some controls keep the
// message to themselves; a hidden window is left as it is.
class DrawingPause {
 public:
  explicit DrawingPause(HWND hwnd);
  ~DrawingPause();
  DrawingPause(const DrawingPause&) = delete;
  DrawingPause& operator=(const DrawingPause&) = delete;

 private:
  HWND hwnd_;
  bool paused_;
};

namespace edit {
// Caret to the end, caret into view, then the (empty) selection replaced with `text`.
void Append(HWND edit, const std::wstring& text);
void RemoveTextLimit(HWND edit);
}  // namespace edit

namespace ipaddress {
// The field's text by the shared read rule (platform/ip_field.h): "" when blank.
std::string Text(HWND control);
// Shows what the shared write rule makes of a GBK text, or clears the field.
void SetText(HWND control, const std::string& text);
}  // namespace ipaddress

namespace combo {
int Add(HWND combo, const std::wstring& text, intptr_t data);
int Count(HWND combo);
int Current(HWND combo);
void SetCurrent(HWND combo, int position);
intptr_t Data(HWND combo, int position);
std::wstring ItemText(HWND combo, int position);
void Clear(HWND combo);
}  // namespace combo

namespace listview {
void InsertColumn(HWND list, int column, const std::wstring& title, int width);
int ColumnCount(HWND list);
int ColumnWidth(HWND list, int column);
void SetColumnWidth(HWND list, int column, int width);
void DeleteAll(HWND list);
// The rows the control has selected, ascending.
std::vector<int> Selected(HWND list);
}  // namespace listview

}  // namespace corvane::win32::ui
