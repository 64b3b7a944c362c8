#include "platform/win32/win_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cwctype>

#include "platform/ip_field.h"

namespace corvane::win32::ui {

HFONT CreatePointFont(const std::wstring& face, int points, BYTE charset, UINT dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(points, static_cast<int>(dpi), 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = charset;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

DrawingPause::DrawingPause(HWND hwnd)
    : hwnd_(hwnd), paused_((GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0) {
  if (paused_) DefWindowProcW(hwnd_, WM_SETREDRAW, FALSE, 0);
}

DrawingPause::~DrawingPause() {
  if (!paused_) return;
  DefWindowProcW(hwnd_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

namespace edit {

void Append(HWND edit, const std::wstring& text) {
  const DrawingPause pause(edit);
  const int end = GetWindowTextLengthW(edit);
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void RemoveTextLimit(HWND edit) {
  // The default limit of a multi-line edit is 32K characters; a log must never stop growing.
  SendMessageW(edit, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
}

}  // namespace edit

namespace ipaddress {

std::string Text(HWND control) {
  const bool blank = SendMessageW(control, IPM_ISBLANK, 0, 0) != 0;
  DWORD address = 0;
  if (!blank) SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  // The control reads a blank part as 0.
  const platform::ipfield::Parts parts{static_cast<uint8_t>(FIRST_IPADDRESS(address)),
                                       static_cast<uint8_t>(SECOND_IPADDRESS(address)),
                                       static_cast<uint8_t>(THIRD_IPADDRESS(address)),
                                       static_cast<uint8_t>(FOURTH_IPADDRESS(address))};
  return platform::ipfield::FormatForRead(parts, {blank, blank, blank, blank});
}

void SetText(HWND control, const std::string& text) {
  if (const auto parts = platform::ipfield::ParseForWrite(text))
    SendMessageW(control, IPM_SETADDRESS, 0,
                 static_cast<LPARAM>(MAKEIPADDRESS((*parts)[0], (*parts)[1], (*parts)[2], (*parts)[3])));
  else
    SendMessageW(control, IPM_CLEARADDRESS, 0, 0);
}

}  // namespace ipaddress

namespace combo {

int Add(HWND combo, const std::wstring& text, intptr_t data) {
  const LRESULT position = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (position < 0) return -1;
  SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(position), static_cast<LPARAM>(data));
  return static_cast<int>(position);
}

int Count(HWND combo) {
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  return count < 0 ? 0 : static_cast<int>(count);
}

int Current(HWND combo) {
  const LRESULT current = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return current < 0 ? -1 : static_cast<int>(current);
}

void SetCurrent(HWND combo, int position) { SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0); }

intptr_t Data(HWND combo, int position) {
  return static_cast<intptr_t>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(position), 0));
}

std::wstring ItemText(HWND combo, int position) {
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(position), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

void Clear(HWND combo) { SendMessageW(combo, CB_RESETCONTENT, 0, 0); }

}  // namespace combo

namespace listview {

void InsertColumn(HWND list, int column, const std::wstring& title, int width) {
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
  col.fmt = LVCFMT_LEFT;
  col.cx = width;
  col.iSubItem = column;
  col.pszText = const_cast<wchar_t*>(title.c_str());
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
}

int ColumnCount(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  return header == nullptr ? 0 : static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

int ColumnWidth(HWND list, int column) {
  return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void SetColumnWidth(HWND list, int column, int width) {
  SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void DeleteAll(HWND list) { SendMessageW(list, LVM_DELETEALLITEMS, 0, 0); }

std::vector<int> Selected(HWND list) {
  std::vector<int> rows;
  int row = -1;
  for (;;) {
    const LRESULT next = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), MAKELPARAM(LVNI_SELECTED, 0));
    if (next < 0 || next <= row) break;
    row = static_cast<int>(next);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace listview

}  // namespace corvane::win32::ui
