// Starting through the desktop's shell: its window in the shell windows collection, the browser
// behind it, the view it shows, that view's automation object and the shell application object
// it belongs to, whose ShellExecute runs in the desktop's process.
// clang-format off
#include "platform/win32/scoped_win.h"  // first: the socket headers go before <windows.h>
#include "platform/win32/desktop_shell.h"
#include <servprov.h>
#include <shlobj.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
// clang-format on

namespace corvane::win32 {

namespace {

// Whether a step handed out its object. When it did not, `hr` is left as its failure, or, for a
// success without an object, its own code (S_FALSE: nothing found) or E_NOINTERFACE.
template <typename T>
bool Got(HRESULT& hr, const com_ptr<T>& object) {
  if (SUCCEEDED(hr) && object) {
    hr = S_OK;
    return true;
  }
  if (hr == S_OK) hr = E_NOINTERFACE;
  return false;
}

// A text argument of the shell's ShellExecute; false when it cannot be allocated.
bool SetText(unique_variant& argument, const std::wstring& text) {
  BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (value == nullptr) return false;
  V_VT(argument.put()) = VT_BSTR;
  V_BSTR(argument.get()) = value;
  return true;
}

}  // namespace

DesktopShellOutcome ShellExecuteAsDesktopUser(const std::wstring& file, const std::wstring& parameters,
                                              const std::wstring& directory, const std::wstring& operation,
                                              int showCommand) {
  using Step = DesktopShellStep;
  // The apartment first: every object below is released before it is left.
  com_apartment apartment;
  if (!apartment.usable()) return {Step::Apartment, apartment.result()};

  com_ptr<IShellWindows> windows;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.put_void());
  if (!Got(hr, windows)) return {Step::ShellWindows, hr};

  unique_variant location;
  V_VT(location.get()) = VT_I4;
  V_I4(location.get()) = CSIDL_DESKTOP;
  unique_variant root;  // VT_EMPTY
  LONG desktopWindow = 0;
  com_ptr<IDispatch> desktop;
  hr = windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                             desktop.put());
  if (!Got(hr, desktop)) return {Step::DesktopWindow, hr};

  com_ptr<IServiceProvider> provider;
  hr = desktop->QueryInterface(IID_IServiceProvider, provider.put_void());
  if (!Got(hr, provider)) return {Step::ServiceProvider, hr};

  com_ptr<IShellBrowser> browser;
  hr = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void());
  if (!Got(hr, browser)) return {Step::TopLevelBrowser, hr};

  com_ptr<IShellView> view;
  hr = browser->QueryActiveShellView(view.put());
  if (!Got(hr, view)) return {Step::ActiveView, hr};

  com_ptr<IDispatch> background;
  hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void());
  if (!Got(hr, background)) return {Step::Background, hr};

  com_ptr<IShellFolderViewDual> folderView;
  hr = background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void());
  if (!Got(hr, folderView)) return {Step::FolderView, hr};

  com_ptr<IDispatch> application;
  hr = folderView->get_Application(application.put());
  if (!Got(hr, application)) return {Step::Application, hr};

  com_ptr<IShellDispatch2> shell;
  hr = application->QueryInterface(IID_IShellDispatch2, shell.put_void());
  if (!Got(hr, shell)) return {Step::ShellDispatch, hr};

  unique_bstr target(::SysAllocStringLen(file.data(), static_cast<UINT>(file.size())));
  unique_variant arguments, folder, verb, show;
  if (!target || !SetText(arguments, parameters) || !SetText(folder, directory) || !SetText(verb, operation))
    return {Step::Execute, E_OUTOFMEMORY};
  V_VT(show.get()) = VT_I4;
  V_I4(show.get()) = showCommand;
  hr = shell->ShellExecute(target.get(), *arguments.get(), *folder.get(), *verb.get(), *show.get());
  if (FAILED(hr)) return {Step::Execute, hr};
  return {Step::Started, S_OK};
}

}  // namespace corvane::win32
