// Component object library, management instrumentation (WMI over root\cimv2), the network
// connection manager and the script control. Texts crossing this boundary are GBK; the real
// implementation converts them to and from system strings.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace corvane::platform {

using HResult = int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154u);
inline constexpr HResult kWbemEFailed = static_cast<HResult>(0x80041001u);
inline constexpr HResult kWbemEInvalidQuery = static_cast<HResult>(0x80041017u);
inline constexpr HResult kWbemENotSupported = static_cast<HResult>(0x8004100Cu);
inline constexpr HResult kWbemEInvalidMethod = static_cast<HResult>(0x8004102Eu);
inline constexpr HResult kWbemEInvalidObjectPath = static_cast<HResult>(0x8004103Au);
inline constexpr HResult kWbemSFalse = 1;                                            // no more objects
inline constexpr HResult kCoENotInitialized = static_cast<HResult>(0x800401F0u);
inline constexpr HResult kRpcETooLate = static_cast<HResult>(0x80010119u);           // security set already
inline constexpr HResult kDispEException = static_cast<HResult>(0x80020009u);        // raised inside a script

inline bool Succeeded(HResult hr) { return hr >= 0; }

// One property value of an instrumentation object.
struct WmiValue {
  enum class Kind { Null, Text, Integer, Boolean, TextArray };
  Kind kind = Kind::Null;
  std::string text;
  int64_t integer = 0;
  bool boolean = false;
  std::vector<std::string> array;

  static WmiValue Null() { return {}; }
  static WmiValue FromText(std::string t) {
    WmiValue v;
    v.kind = Kind::Text;
    v.text = std::move(t);
    return v;
  }
  static WmiValue FromInteger(int64_t i) {
    WmiValue v;
    v.kind = Kind::Integer;
    v.integer = i;
    return v;
  }
  static WmiValue FromBoolean(bool b) {
    WmiValue v;
    v.kind = Kind::Boolean;
    v.boolean = b;
    return v;
  }
  static WmiValue FromArray(std::vector<std::string> a) {
    WmiValue v;
    v.kind = Kind::TextArray;
    v.array = std::move(a);
    return v;
  }
  // The value as the automation layer would convert it to text ("" for null and arrays).
  std::string AsText() const;
};

using WmiObject = std::map<std::string, WmiValue>;

// One connection of the network connection manager.
struct NetConnection {
  std::string name;  // GBK
  int32_t status = 0;
};

// What the script control's Error object tells about the last error: its number (the script
// language's own number for its errors, the HRESULT for others), description, source and the line
// of the added code it happened on. Number 0: no error.
struct ScriptError {
  int32_t number = 0;
  std::string description;
  std::string source;
  int32_t line = 0;
};

// The script control ("MSScriptControl.ScriptControl.1" / "ScriptControl") together with its
// Error object, which is read right after creation and held until the control is released.
// Releasing the object releases the error object first, then the control.
class ScriptControl {
 public:
  virtual ~ScriptControl() = default;
  virtual HResult SetLanguage(const std::string& language) = 0;
  // The property "Language" read back.
  virtual HResult GetLanguage(std::string* language) = 0;
  virtual HResult AddCode(const std::string& code) = 0;
  virtual HResult ExecuteStatement(const std::string& statement) = 0;
  // Runs a procedure with text arguments; `result` receives the returned value as text.
  virtual HResult Run(const std::string& procedure, const std::vector<std::string>& arguments,
                      std::string* result) = 0;
  // "Eval": the value of an expression; Empty and Null give a null value.
  virtual HResult Eval(const std::string& expression, WmiValue* value) = 0;
  // The Error object's Number, Description, Source and Line.
  virtual HResult ReadError(ScriptError* error) = 0;
  // The Error object's method "Clear" and the control's method "Reset".
  virtual HResult ClearError() = 0;
  virtual HResult Reset() = 0;
};

// The instrumentation service's objects, each owning its reference (released when destroyed).
// An enumerator over a query's results.
class WmiEnumerator {
 public:
  virtual ~WmiEnumerator() = default;
  // IEnumWbemClassObject::Next with an infinite time-out and a count of 1: kSOk with the object's
  // non-system properties in `object`, kWbemSFalse when there is none left, or a failure.
  virtual HResult Next(WmiObject* object) = 0;
};

// A connected namespace (IWbemServices).
class WmiServices {
 public:
  virtual ~WmiServices() = default;
  // CoSetProxyBlanket: RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, no principal, RPC_C_AUTHN_LEVEL_CALL,
  // RPC_C_IMP_LEVEL_IMPERSONATE, no identity, EOAC_NONE.
  virtual HResult SetProxyBlanket() = 0;
  // ExecQuery in "WQL" with WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY.
  virtual HResult ExecQuery(const std::string& wql, std::unique_ptr<WmiEnumerator>* results) = 0;
  // ExecMethod on an object path; `inParams` null: no input parameters; `outParams` null: the
  // output parameters are not asked for.
  virtual HResult ExecMethod(const std::string& objectPath, const std::string& method, const WmiObject* inParams,
                             WmiObject* outParams) = 0;
};

// The locator (IWbemLocator).
class WmiLocator {
 public:
  virtual ~WmiLocator() = default;
  // ConnectServer with no user, password, locale, authority or context, flags 0.
  virtual HResult ConnectServer(const std::string& nameSpace, std::unique_ptr<WmiServices>* services) = 0;
};

class Automation {
 public:
  virtual ~Automation() = default;
  // CoInitialize / CoUninitialize on the calling thread.
  virtual HResult Initialize() = 0;
  virtual void Uninitialize() = 0;
  // CoInitializeSecurity: no descriptor, -1 services, RPC_C_AUTHN_LEVEL_DEFAULT,
  // RPC_C_IMP_LEVEL_IMPERSONATE, EOAC_NONE. Fails with kRpcETooLate once the process has set it.
  virtual HResult InitializeSecurity() = 0;
  // CoCreateInstance of CLSID_WbemLocator (in-process server) for IID_IWbemLocator.
  virtual HResult CreateLocator(std::unique_ptr<WmiLocator>* locator) = 0;
  // WQL query in a namespace ("root\\cimv2"); each row holds the properties the query selects.
  virtual HResult ExecQuery(const std::string& nameSpace, const std::string& wql, std::vector<WmiObject>* rows) = 0;
  // Method call on an object path such as Win32_NetworkAdapterConfiguration.Index=7.
  virtual HResult ExecMethod(const std::string& nameSpace, const std::string& objectPath, const std::string& method,
                             const WmiObject& inParams, WmiObject* outParams) = 0;
  // Network connection manager: every connection with its name and status.
  virtual HResult EnumConnections(std::vector<NetConnection>* connections) = 0;
  virtual HResult CreateScriptControl(const std::string& progId, std::unique_ptr<ScriptControl>* control) = 0;
};

}  // namespace corvane::platform
