// Starting a document or program as the desktop's user: the desktop's own shell (the process that
// draws the desktop, running with the user's ordinary rights) is asked to start it, so nothing
// this elevated process starts inherits its administrator rights.
#pragma once

#include <windows.h>

#include <string>

namespace corvane::win32 {

// The steps, in order: each asks the previous one's object for the next.
enum class DesktopShellStep {
  Apartment,        // CoInitializeEx on the calling thread
  ShellWindows,     // CoCreateInstance(CLSID_ShellWindows)
  DesktopWindow,    // IShellWindows::FindWindowSW(CSIDL_DESKTOP, SWC_DESKTOP, SWFO_NEEDDISPATCH)
  ServiceProvider,  // the desktop's IServiceProvider
  TopLevelBrowser,  // QueryService(SID_STopLevelBrowser, IShellBrowser)
  ActiveView,       // IShellBrowser::QueryActiveShellView
  Background,       // IShellView::GetItemObject(SVGIO_BACKGROUND, IDispatch)
  FolderView,       // the background's IShellFolderViewDual
  Application,      // IShellFolderViewDual::get_Application
  ShellDispatch,    // the application's IShellDispatch2
  Execute,          // IShellDispatch2::ShellExecute
  Started,          // the shell took it
};

struct DesktopShellOutcome {
  DesktopShellStep step = DesktopShellStep::Apartment;  // Started, or the step that failed
  // S_OK when started; otherwise the failed step's HRESULT, or S_FALSE / E_NOINTERFACE when the
  // step answered success without an object (FindWindowSW gives S_FALSE when it knows no desktop).
  HRESULT code = E_FAIL;
};

// Asks the desktop's shell to run `operation` ("open", "print", ...; empty for the default) on
// `file` with `parameters` and `directory` (empty: none) and a ShowWindow command. Runs COM in
// the calling thread's apartment (entered and left here) and releases every object it was given.
DesktopShellOutcome ShellExecuteAsDesktopUser(const std::wstring& file, const std::wstring& parameters,
                                              const std::wstring& directory, const std::wstring& operation,
                                              int showCommand);

}  // namespace corvane::win32
