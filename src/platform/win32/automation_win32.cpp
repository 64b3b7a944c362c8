// Component object library, management instrumentation (WMI), the network connection manager and
// the script control. Every reference is held by an owner, so each path releases what it took.
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"

// clang-format off
#include <wbemcli.h>
#include <netcon.h>
// clang-format on

namespace corvane::win32 {

namespace {

using platform::HResult;
using platform::WmiObject;
using platform::WmiValue;

// The identifiers are spelled out here so that nothing depends on which of them the import
// libraries happen to carry.
constexpr CLSID kClsidWbemLocator = {0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
constexpr IID kIidWbemLocator = {0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
constexpr CLSID kClsidConnectionManager = {
    0xBA126AD1, 0x2166, 0x11D1, {0xB1, 0xD0, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr IID kIidNetConnectionManager = {
    0xC08956A2, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr IID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidNull = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// --- Values --------------------------------------------------------------------------------------

std::string VariantText(const VARIANT& value) {
  if (V_VT(&value) == VT_BSTR) return FromBstr(V_BSTR(&value));
  unique_variant text;
  if (FAILED(::VariantChangeType(text.get(), const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR))) return {};
  return FromBstr(V_BSTR(text.get()));
}

// The elements of a one-dimensional array, each as text.
std::vector<std::string> ArrayTexts(const VARIANT& value) {
  std::vector<std::string> texts;
  SAFEARRAY* array = (V_VT(&value) & VT_BYREF) ? *V_ARRAYREF(&value) : V_ARRAY(&value);
  if (!array || ::SafeArrayGetDim(array) != 1) return texts;
  LONG lower = 0;
  LONG upper = -1;
  if (FAILED(::SafeArrayGetLBound(array, 1, &lower)) || FAILED(::SafeArrayGetUBound(array, 1, &upper))) return texts;
  const VARTYPE elementType = static_cast<VARTYPE>(V_VT(&value) & VT_TYPEMASK);
  for (LONG i = lower; i <= upper; ++i) {
    unique_variant element;
    if (elementType == VT_VARIANT) {
      if (FAILED(::SafeArrayGetElement(array, &i, element.get()))) continue;
    } else {
      // Every scalar member of the VARIANT union starts at the same place.
      if (FAILED(::SafeArrayGetElement(array, &i, &V_UI1(element.get())))) continue;
      V_VT(element.get()) = elementType;
    }
    texts.push_back(VariantText(*element.get()));
  }
  return texts;
}

WmiValue FromVariant(const VARIANT& value) {
  const VARTYPE type = V_VT(&value);
  if (type & VT_ARRAY) return WmiValue::FromArray(ArrayTexts(value));
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
      return WmiValue::Null();
    case VT_BSTR:
      return WmiValue::FromText(FromBstr(V_BSTR(&value)));
    case VT_BOOL:
      return WmiValue::FromBoolean(V_BOOL(&value) != VARIANT_FALSE);
    case VT_I1:
      return WmiValue::FromInteger(V_I1(&value));
    case VT_UI1:
      return WmiValue::FromInteger(V_UI1(&value));
    case VT_I2:
      return WmiValue::FromInteger(V_I2(&value));
    case VT_UI2:
      return WmiValue::FromInteger(V_UI2(&value));
    case VT_I4:
      return WmiValue::FromInteger(V_I4(&value));
    case VT_UI4:
      return WmiValue::FromInteger(V_UI4(&value));
    case VT_INT:
      return WmiValue::FromInteger(V_INT(&value));
    case VT_UINT:
      return WmiValue::FromInteger(V_UINT(&value));
    case VT_I8:
      return WmiValue::FromInteger(V_I8(&value));
    case VT_UI8:
      return WmiValue::FromInteger(static_cast<int64_t>(V_UI8(&value)));
    default:
      // Reals, dates and the like: as the automation layer writes them.
      return WmiValue::FromText(VariantText(value));
  }
}

HRESULT ToVariant(const WmiValue& value, VARIANT* out) {
  ::VariantInit(out);
  switch (value.kind) {
    case WmiValue::Kind::Null:
      V_VT(out) = VT_NULL;
      return S_OK;
    case WmiValue::Kind::Text: {
      unique_bstr text = MakeBstr(value.text);
      if (!text) return E_OUTOFMEMORY;
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = text.release();
      return S_OK;
    }
    case WmiValue::Kind::Integer:
      V_VT(out) = VT_I4;
      V_I4(out) = static_cast<LONG>(value.integer);
      return S_OK;
    case WmiValue::Kind::Boolean:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = value.boolean ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case WmiValue::Kind::TextArray: {
      unique_safearray array(::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(value.array.size())));
      if (!array) return E_OUTOFMEMORY;
      for (LONG i = 0; i < static_cast<LONG>(value.array.size()); ++i) {
        unique_bstr element = MakeBstr(value.array[static_cast<size_t>(i)]);
        if (!element) return E_OUTOFMEMORY;
        HRESULT hr = ::SafeArrayPutElement(array.get(), &i, element.get());  // copies the string
        if (FAILED(hr)) return hr;
      }
      V_VT(out) = VT_ARRAY | VT_BSTR;
      V_ARRAY(out) = array.release();
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

// Every non-system property of an instrumentation object.
HRESULT ReadProperties(IWbemClassObject* object, WmiObject* properties) {
  HRESULT hr = object->BeginEnumeration(WBEM_FLAG_NONSYSTEM_ONLY);
  if (FAILED(hr)) return hr;
  for (;;) {
    unique_bstr name;
    unique_variant value;
    CIMTYPE type = 0;
    hr = object->Next(0, name.put(), value.put(), &type, nullptr);
    if (hr == WBEM_S_NO_MORE_DATA || FAILED(hr)) break;
    if (name) (*properties)[FromBstr(name.get())] = FromVariant(*value.get());
  }
  object->EndEnumeration();
  return FAILED(hr) ? hr : S_OK;
}

// --- Instrumentation -----------------------------------------------------------------------------

HRESULT ConnectNamespace(const std::string& nameSpace, com_ptr<IWbemServices>* services) {
  com_ptr<IWbemLocator> locator;
  HRESULT hr = ::CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator,
                                  locator.put_void());
  if (FAILED(hr)) return hr;
  unique_bstr path = MakeBstr(nameSpace);
  if (!path) return E_OUTOFMEMORY;
  hr = locator->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services->put());
  if (FAILED(hr)) return hr;
  // Calls on the namespace impersonate the caller. An in-process service has no proxy to set up,
  // which is not an error.
  ::CoSetProxyBlanket(services->get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  return S_OK;
}

// The class of an object path: "Win32_NetworkAdapterConfiguration.Index=7" names
// Win32_NetworkAdapterConfiguration; a path without keys names the class itself.
std::string ClassOfPath(const std::string& objectPath) {
  std::string path = objectPath;
  const size_t colon = path.find(':');
  if (colon != std::string::npos) path = path.substr(colon + 1);
  const size_t dot = path.find_first_of(".=");
  return dot == std::string::npos ? path : path.substr(0, dot);
}

// IWbemServices::ExecMethod with input parameters spawned from the method's definition when
// `inParams` is given (null: none), and the output parameters read when `outParams` is given.
HRESULT CallMethod(IWbemServices* services, const std::string& objectPath, const std::string& method,
                   const WmiObject* inParams, WmiObject* outParams) {
  if (outParams) outParams->clear();
  unique_bstr className = MakeBstr(ClassOfPath(objectPath));
  unique_bstr path = MakeBstr(objectPath);
  unique_bstr methodName = MakeBstr(method);
  if (!className || !path || !methodName) return E_OUTOFMEMORY;

  HRESULT hr = S_OK;
  com_ptr<IWbemClassObject> inInstance;
  if (inParams) {
    com_ptr<IWbemClassObject> classObject;
    hr = services->GetObject(className.get(), 0, nullptr, classObject.put(), nullptr);
    if (FAILED(hr)) return hr;
    // A method the class does not define has no parameter definition; the call itself then
    // gives the service's answer (WBEM_E_INVALID_METHOD).
    com_ptr<IWbemClassObject> inDefinition;
    hr = classObject->GetMethod(methodName.get(), 0, inDefinition.put(), nullptr);
    if (FAILED(hr) && hr != static_cast<HRESULT>(WBEM_E_NOT_FOUND)) return hr;
    const bool defined = SUCCEEDED(hr);
    if (defined && inDefinition) {
      hr = inDefinition->SpawnInstance(0, inInstance.put());
      if (FAILED(hr)) return hr;
      for (const auto& [name, value] : *inParams) {
        unique_variant argument;
        hr = ToVariant(value, argument.put());
        if (FAILED(hr)) return hr;
        std::wstring wideName = ToWide(name);
        hr = inInstance->Put(wideName.c_str(), 0, argument.get(), 0);
        if (FAILED(hr)) return hr;
      }
    } else if (defined && !inParams->empty()) {
      return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);  // the method takes no parameters
    }
  }
  com_ptr<IWbemClassObject> outInstance;
  hr = services->ExecMethod(path.get(), methodName.get(), 0, nullptr, inInstance.get(),
                            outParams ? outInstance.put() : nullptr, nullptr);
  if (FAILED(hr)) return hr;
  if (outInstance && outParams) {
    HRESULT read = ReadProperties(outInstance.get(), outParams);
    if (FAILED(read)) return read;
  }
  return hr;
}

// The instrumentation objects handed to the logic, each owning its reference.
class WmiEnumeratorWin32 final : public platform::WmiEnumerator {
 public:
  explicit WmiEnumeratorWin32(com_ptr<IEnumWbemClassObject> results) : results_(std::move(results)) {}
  HResult Next(WmiObject* object) override {
    if (object) object->clear();
    com_ptr<IWbemClassObject> item;
    ULONG returned = 0;
    HRESULT hr = results_->Next(static_cast<long>(WBEM_INFINITE), 1, item.put(), &returned);
    if (FAILED(hr)) return hr;
    if (returned == 0 || !item) return WBEM_S_FALSE;
    if (object) {
      HRESULT read = ReadProperties(item.get(), object);
      if (FAILED(read)) return read;
    }
    return S_OK;
  }

 private:
  com_ptr<IEnumWbemClassObject> results_;
};

class WmiServicesWin32 final : public platform::WmiServices {
 public:
  explicit WmiServicesWin32(com_ptr<IWbemServices> services) : services_(std::move(services)) {}
  HResult SetProxyBlanket() override {
    return ::CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  }
  HResult ExecQuery(const std::string& wql, std::unique_ptr<platform::WmiEnumerator>* results) override {
    if (results) results->reset();
    unique_bstr language(::SysAllocString(L"WQL"));
    unique_bstr query = MakeBstr(wql);
    if (!language || !query) return E_OUTOFMEMORY;
    com_ptr<IEnumWbemClassObject> found;
    HRESULT hr = services_->ExecQuery(language.get(), query.get(),
                                      WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, found.put());
    if (FAILED(hr)) return hr;
    if (results) *results = std::make_unique<WmiEnumeratorWin32>(std::move(found));
    return hr;
  }
  HResult ExecMethod(const std::string& objectPath, const std::string& method, const WmiObject* inParams,
                     WmiObject* outParams) override {
    return CallMethod(services_.get(), objectPath, method, inParams, outParams);
  }

 private:
  com_ptr<IWbemServices> services_;
};

class WmiLocatorWin32 final : public platform::WmiLocator {
 public:
  explicit WmiLocatorWin32(com_ptr<IWbemLocator> locator) : locator_(std::move(locator)) {}
  HResult ConnectServer(const std::string& nameSpace, std::unique_ptr<platform::WmiServices>* services) override {
    if (services) services->reset();
    unique_bstr path = MakeBstr(nameSpace);
    if (!path) return E_OUTOFMEMORY;
    com_ptr<IWbemServices> connected;
    HRESULT hr = locator_->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, connected.put());
    if (FAILED(hr)) return hr;
    if (services) *services = std::make_unique<WmiServicesWin32>(std::move(connected));
    return hr;
  }

 private:
  com_ptr<IWbemLocator> locator_;
};

// --- Network connection manager ------------------------------------------------------------------

void FreeConnectionProperties(NETCON_PROPERTIES* properties) {
  if (!properties) return;
  using FreeFunction = void(WINAPI*)(NETCON_PROPERTIES*);
  static const FreeFunction freeProperties = [] {
    HMODULE netshell = ::LoadLibraryW(L"netshell.dll");  // kept for the process
    if (!netshell) return FreeFunction{};
    return reinterpret_cast<FreeFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(netshell, "NcFreeNetconProperties")));
  }();
  if (freeProperties) {
    freeProperties(properties);
    return;
  }
  ::CoTaskMemFree(properties->pszwName);
  ::CoTaskMemFree(properties->pszwDeviceName);
  ::CoTaskMemFree(properties);
}

// --- Script control ------------------------------------------------------------------------------

// Arguments of one late-bound call, kept in the reverse order the call expects.
class DispatchArguments {
 public:
  DispatchArguments() = default;
  DispatchArguments(const DispatchArguments&) = delete;
  DispatchArguments& operator=(const DispatchArguments&) = delete;
  ~DispatchArguments() {
    for (VARIANT& argument : arguments_) ::VariantClear(&argument);
  }

  // Appends a text argument after those already added.
  bool AddText(const std::string& text) {
    unique_bstr value = MakeBstr(text);
    if (!value) return false;
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = value.release();
    arguments_.insert(arguments_.begin(), argument);
    return true;
  }

  VARIANT* data() { return arguments_.empty() ? nullptr : arguments_.data(); }
  UINT size() const { return static_cast<UINT>(arguments_.size()); }

 private:
  std::vector<VARIANT> arguments_;
};

HRESULT Invoke(IDispatch* object, DISPID member, WORD flags, DispatchArguments& arguments, VARIANT* result) {
  DISPID putName = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{arguments.data(), nullptr, arguments.size(), 0};
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    parameters.rgdispidNamedArgs = &putName;
    parameters.cNamedArgs = 1;
  }
  EXCEPINFO exception{};
  UINT argumentError = 0;
  HRESULT hr = object->Invoke(member, kIidNull, LOCALE_USER_DEFAULT, flags, &parameters, result, &exception,
                              &argumentError);
  if (hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    if (FAILED(exception.scode)) hr = exception.scode;
  }
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  return hr;
}

HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, DispatchArguments& arguments,
                     VARIANT* result) {
  DISPID member = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(kIidNull, names, 1, LOCALE_USER_DEFAULT, &member);
  if (FAILED(hr)) return hr;
  return Invoke(object, member, flags, arguments, result);
}

// A returned value as text; an object gives the text of its default value (for a script date,
// the engine's date text).
HRESULT ResultText(const VARIANT& value, std::string* text) {
  if (V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL) return S_OK;
  if (V_VT(&value) == VT_DISPATCH && V_DISPATCH(&value)) {
    unique_variant inner;
    DispatchArguments none;
    HRESULT hr = Invoke(V_DISPATCH(&value), DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, none, inner.get());
    if (SUCCEEDED(hr) && V_VT(inner.get()) != VT_DISPATCH) return ResultText(*inner.get(), text);
  }
  unique_variant converted;
  HRESULT hr = ::VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR);
  if (FAILED(hr)) return hr;
  *text = FromBstr(V_BSTR(converted.get()));
  return S_OK;
}

// The control lives in the apartment of the thread that created it: it is used there and released
// before that thread's last CoUninitialize.
class ScriptControlWin32 final : public platform::ScriptControl {
 public:
  ScriptControlWin32(com_ptr<IDispatch> control, com_ptr<IDispatch> error)
      : control_(std::move(control)), error_(std::move(error)) {}

  HResult SetLanguage(const std::string& language) override {
    DispatchArguments arguments;
    if (!arguments.AddText(language)) return E_OUTOFMEMORY;
    return InvokeByName(control_.get(), L"Language", DISPATCH_PROPERTYPUT, arguments, nullptr);
  }

  HResult GetLanguage(std::string* language) override {
    if (language) language->clear();
    DispatchArguments none;
    unique_variant value;
    HRESULT hr = InvokeByName(control_.get(), L"Language", DISPATCH_PROPERTYGET, none, value.get());
    if (FAILED(hr)) return hr;
    if (language) *language = VariantText(*value.get());
    return hr;
  }

  HResult AddCode(const std::string& code) override { return CallWithText(L"AddCode", code); }

  HResult Eval(const std::string& expression, WmiValue* value) override {
    if (value) *value = WmiValue::Null();
    DispatchArguments arguments;
    if (!arguments.AddText(expression)) return E_OUTOFMEMORY;
    unique_variant result;
    HRESULT hr = InvokeByName(control_.get(), L"Eval", DISPATCH_METHOD, arguments, result.get());
    if (SUCCEEDED(hr) && value) *value = FromVariant(*result.get());
    return hr;
  }

  HResult ReadError(platform::ScriptError* error) override {
    if (error) *error = platform::ScriptError{};
    if (!error_) return E_POINTER;
    WmiValue number;
    WmiValue line;
    WmiValue description;
    WmiValue source;
    HRESULT hr = ErrorProperty(L"Number", &number);
    if (SUCCEEDED(hr)) hr = ErrorProperty(L"Description", &description);
    if (SUCCEEDED(hr)) hr = ErrorProperty(L"Source", &source);
    if (SUCCEEDED(hr)) hr = ErrorProperty(L"Line", &line);
    if (FAILED(hr) || !error) return hr;
    error->number = static_cast<int32_t>(number.integer);
    error->description = description.AsText();
    error->source = source.AsText();
    error->line = static_cast<int32_t>(line.integer);
    return hr;
  }

  HResult ClearError() override {
    if (!error_) return E_POINTER;
    DispatchArguments none;
    unique_variant ignored;
    return InvokeByName(error_.get(), L"Clear", DISPATCH_METHOD, none, ignored.get());
  }

  HResult Reset() override {
    DispatchArguments none;
    unique_variant ignored;
    return InvokeByName(control_.get(), L"Reset", DISPATCH_METHOD, none, ignored.get());
  }

  HResult ExecuteStatement(const std::string& statement) override {
    return CallWithText(L"ExecuteStatement", statement);
  }

  HResult Run(const std::string& procedure, const std::vector<std::string>& arguments,
              std::string* result) override {
    if (result) result->clear();
    DispatchArguments list;
    if (!list.AddText(procedure)) return E_OUTOFMEMORY;
    for (const std::string& argument : arguments) {
      if (!list.AddText(argument)) return E_OUTOFMEMORY;
    }
    unique_variant value;
    HRESULT hr = InvokeByName(control_.get(), L"Run", DISPATCH_METHOD, list, value.get());
    if (hr == DISP_E_BADPARAMCOUNT) {
      // Some automation layers cannot gather a variable argument list for "Run": the procedure
      // is then called directly on the script's global object ("CodeObject").
      hr = RunThroughCodeObject(procedure, arguments, value.put());
    }
    if (FAILED(hr) || !result) return hr;
    HRESULT converted = ResultText(*value.get(), result);
    return FAILED(converted) ? converted : hr;
  }

 private:
  HResult CallWithText(const wchar_t* method, const std::string& text) {
    DispatchArguments arguments;
    if (!arguments.AddText(text)) return E_OUTOFMEMORY;
    unique_variant ignored;
    return InvokeByName(control_.get(), method, DISPATCH_METHOD, arguments, ignored.get());
  }

  HResult RunThroughCodeObject(const std::string& procedure, const std::vector<std::string>& arguments,
                               VARIANT* value) {
    DispatchArguments none;
    unique_variant codeObject;
    HRESULT hr = InvokeByName(control_.get(), L"CodeObject", DISPATCH_PROPERTYGET, none, codeObject.get());
    if (FAILED(hr)) return hr;
    if (V_VT(codeObject.get()) != VT_DISPATCH || !V_DISPATCH(codeObject.get())) return DISP_E_TYPEMISMATCH;
    DispatchArguments list;
    for (const std::string& argument : arguments) {
      if (!list.AddText(argument)) return E_OUTOFMEMORY;
    }
    std::wstring name = ToWide(procedure);
    return InvokeByName(V_DISPATCH(codeObject.get()), name.c_str(), DISPATCH_METHOD, list, value);
  }

  HRESULT ErrorProperty(const wchar_t* name, WmiValue* value) {
    DispatchArguments none;
    unique_variant result;
    HRESULT hr = InvokeByName(error_.get(), name, DISPATCH_PROPERTYGET, none, result.get());
    if (SUCCEEDED(hr)) *value = FromVariant(*result.get());
    return hr;
  }

  // Declared in this order so that the error object is released before the control.
  com_ptr<IDispatch> control_;
  com_ptr<IDispatch> error_;
};

// --- Automation ----------------------------------------------------------------------------------

class AutomationWin32 final : public platform::Automation {
 public:
  HResult Initialize() override {
    HRESULT hr = ::CoInitialize(nullptr);
    if (FAILED(hr)) return hr;
    // The process-wide security settings can be made once, before the first marshalled call;
    // a setting made earlier by someone else (RPC_E_TOO_LATE) is as good.
    static std::once_flag security;
    std::call_once(security, [] {
      ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                             nullptr, EOAC_NONE, nullptr);
    });
    return hr;
  }

  void Uninitialize() override { ::CoUninitialize(); }

  HResult InitializeSecurity() override {
    return ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  }

  HResult CreateLocator(std::unique_ptr<platform::WmiLocator>* locator) override {
    if (locator) locator->reset();
    // The identifiers go through their texts, as the service documents them.
    CLSID clsid{};
    IID iid{};
    HRESULT hr = ::CLSIDFromString(const_cast<LPOLESTR>(L"{4590f811-1d3a-11d0-891f-00aa004b2e24}"), &clsid);
    if (FAILED(hr)) return hr;
    hr = ::IIDFromString(const_cast<LPOLESTR>(L"{dc12a687-737f-11cf-884d-00aa004b2e24}"), &iid);
    if (FAILED(hr)) return hr;
    com_ptr<IWbemLocator> created;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, created.put_void());
    if (FAILED(hr)) return hr;
    if (locator) *locator = std::make_unique<WmiLocatorWin32>(std::move(created));
    return hr;
  }

  HResult ExecQuery(const std::string& nameSpace, const std::string& wql,
                    std::vector<WmiObject>* rows) override {
    if (rows) rows->clear();
    com_ptr<IWbemServices> services;
    HRESULT hr = ConnectNamespace(nameSpace, &services);
    if (FAILED(hr)) return hr;

    unique_bstr language(::SysAllocString(L"WQL"));
    unique_bstr query = MakeBstr(wql);
    if (!language || !query) return E_OUTOFMEMORY;
    com_ptr<IEnumWbemClassObject> results;
    hr = services->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                             nullptr, results.put());
    if (FAILED(hr)) return hr;

    for (;;) {
      com_ptr<IWbemClassObject> object;
      ULONG returned = 0;
      hr = results->Next(static_cast<long>(WBEM_INFINITE), 1, object.put(), &returned);
      if (FAILED(hr)) return hr;
      if (returned == 0 || !object) break;
      WmiObject row;
      hr = ReadProperties(object.get(), &row);
      if (FAILED(hr)) return hr;
      if (rows) rows->push_back(std::move(row));
    }
    return S_OK;
  }

  HResult ExecMethod(const std::string& nameSpace, const std::string& objectPath, const std::string& method,
                     const WmiObject& inParams, WmiObject* outParams) override {
    if (outParams) outParams->clear();
    com_ptr<IWbemServices> services;
    HRESULT hr = ConnectNamespace(nameSpace, &services);
    if (FAILED(hr)) return hr;

    return CallMethod(services.get(), objectPath, method, &inParams, outParams);
  }

  HResult EnumConnections(std::vector<platform::NetConnection>* connections) override {
    if (connections) connections->clear();
    com_ptr<INetConnectionManager> manager;
    HRESULT hr = ::CoCreateInstance(kClsidConnectionManager, nullptr, CLSCTX_ALL, kIidNetConnectionManager,
                                    manager.put_void());
    if (FAILED(hr)) return hr;
    com_ptr<IEnumNetConnection> list;
    hr = manager->EnumConnections(NCME_DEFAULT, list.put());
    if (FAILED(hr)) return hr;
    if (!list) return S_OK;

    for (;;) {
      com_ptr<INetConnection> connection;
      ULONG fetched = 0;
      hr = list->Next(1, connection.put(), &fetched);
      if (FAILED(hr)) return hr;
      if (hr != S_OK || fetched == 0 || !connection) break;
      NETCON_PROPERTIES* properties = nullptr;
      if (FAILED(connection->GetProperties(&properties)) || !properties) continue;
      platform::NetConnection entry;
      entry.name = FromWide(properties->pszwName);
      entry.status = static_cast<int32_t>(properties->Status);
      FreeConnectionProperties(properties);
      if (connections) connections->push_back(std::move(entry));
    }
    return S_OK;
  }

  HResult CreateScriptControl(const std::string& progId, std::unique_ptr<platform::ScriptControl>* control) override {
    if (control) control->reset();
    std::wstring name = ToWide(progId);
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    com_ptr<IDispatch> object;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, kIidDispatch,
                            object.put_void());
    if (FAILED(hr)) return hr;
    // The control's Error object, read once and held with it.
    com_ptr<IDispatch> error;
    DispatchArguments none;
    unique_variant value;
    if (SUCCEEDED(InvokeByName(object.get(), L"Error", DISPATCH_PROPERTYGET, none, value.get())) &&
        V_VT(value.get()) == VT_DISPATCH && V_DISPATCH(value.get())) {
      V_DISPATCH(value.get())->AddRef();
      *error.put() = V_DISPATCH(value.get());
    }
    if (control) *control = std::make_unique<ScriptControlWin32>(std::move(object), std::move(error));
    return S_OK;
  }
};

}  // namespace

std::unique_ptr<platform::Automation> MakeAutomation() { return std::make_unique<AutomationWin32>(); }

}  // namespace corvane::win32
