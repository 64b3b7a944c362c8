// The simulated script control: VBScript procedures and JScript functions as the program writes
// them, run against the simulated machine's instrumentation service.
#include <cmath>
#include <cstring>
#include <map>

#include "platform/sim/automation_sim.h"
#include "platform/sim/vbscript_sim.h"

namespace corvane::sim {

using platform::HResult;
using platform::WmiObject;
using platform::WmiValue;

namespace {

using namespace vb;

class ScriptControlSim final : public platform::ScriptControl {
 public:
  ScriptControlSim(Machine::State& s, AutomationSim& automation) : s_(s), automation_(automation) {}

  HResult SetLanguage(const std::string& language) override {
    std::lock_guard lock(s_.mutex);
    HResult hr = platform::kSOk;
    if (auto f = s_.TakeFailure("ScriptControl.Language")) {
      hr = static_cast<HResult>(*f);
    } else if (EqualsIgnoreCase(language, "VBScript") || EqualsIgnoreCase(language, "JScript")) {
      vbscript_ = EqualsIgnoreCase(language, "VBScript");
      language_ = vbscript_ ? "VBScript" : "JScript";
      procedures_.clear();
      globals_.clear();
    } else {
      hr = kScriptEInvalidCall;
    }
    s_.Record("ScriptControl.Language(" + language + ") -> " + HrText(hr));
    return hr;
  }

  HResult AddCode(const std::string& code) override {
    std::lock_guard lock(s_.mutex);
    HResult hr = platform::kSOk;
    if (auto f = s_.TakeFailure("ScriptControl.AddCode"))
      hr = static_cast<HResult>(*f);
    else
      hr = Define(code);
    s_.Record("ScriptControl.AddCode(" + std::to_string(code.size()) + " bytes) -> " + HrText(hr));
    return hr;
  }

  HResult ExecuteStatement(const std::string& statement) override {
    s_.Delay("ScriptControl.ExecuteStatement");
    HResult hr = platform::kSOk;
    {
      std::lock_guard lock(s_.mutex);
      callsTake_ = 0;
      if (auto f = s_.TakeFailure("ScriptControl.ExecuteStatement")) {
        hr = static_cast<HResult>(*f);
      } else if (language_.empty()) {
        hr = platform::kEFail;
      } else {
        std::string name = Trimmed(statement);
        if (name.size() > 2 && name.compare(name.size() - 2, 2, "()") == 0) name.resize(name.size() - 2);
        std::string result;
        if (const ScriptProcedure* p = Find(name)) {
          hr = Execute(*p, &result);
        } else if (FindIgnoreCase(statement, vbscript_ ? "sub " : "function ") != std::string::npos) {
          hr = Define(statement);  // a statement that defines procedures defines them
        } else {
          hr = static_cast<HResult>(vbscript_ ? 0x800A01F4u : 0x800A1391u);  // undefined name
          error_ = platform::ScriptError{static_cast<int32_t>(hr & 0xFFFF), "Variable is undefined",
                                         "Microsoft VBScript runtime error", 1};
        }
      }
      s_.Record("ScriptControl.ExecuteStatement(" + Trimmed(statement).substr(0, 40) + ") -> " + HrText(hr));
    }
    // What the statement did took as long as the calls it made (waited here, without the lock).
    if (callsTake_ > 0) s_.WaitUnlessEnded(callsTake_);
    return hr;
  }

  HResult Run(const std::string& procedure, const std::vector<std::string>& arguments,
              std::string* result) override {
    std::lock_guard lock(s_.mutex);
    (void)arguments;
    HResult hr = platform::kSOk;
    std::string value;
    if (auto f = s_.TakeFailure("ScriptControl.Run")) {
      hr = static_cast<HResult>(*f);
    } else if (const ScriptProcedure* p = Find(procedure)) {
      hr = Execute(*p, &value);
    } else {
      hr = kDispEUnknownName;
    }
    if (result != nullptr) *result = platform::Succeeded(hr) ? value : std::string();
    s_.Record("ScriptControl.Run(" + procedure + ") -> " + HrText(hr));
    return hr;
  }

  HResult GetLanguage(std::string* language) override {
    std::lock_guard lock(s_.mutex);
    if (language != nullptr) *language = language_;
    return platform::kSOk;
  }

  // A module variable's value, or a number; any other expression is a syntax error here.
  HResult Eval(const std::string& expression, WmiValue* value) override {
    s_.Delay("ScriptControl.Eval");
    std::lock_guard lock(s_.mutex);
    HResult hr = platform::kSOk;
    WmiValue result;
    const std::string e = Trimmed(expression);
    int64_t n = 0;
    if (auto f = s_.TakeFailure("ScriptControl.Eval")) {
      hr = static_cast<HResult>(*f);
    } else if (language_.empty()) {
      hr = platform::kEFail;
    } else if (ParseInteger(e, &n)) {
      result = WmiValue::FromInteger(n);
    } else if (!e.empty() && IsIdentStart(e[0]) && ReadIdentifierWhole(e)) {
      auto it = globals_.find(FoldCase(e));
      if (it != globals_.end()) result = it->second;  // an unknown name is Empty
    } else {
      hr = CompileError(kVbSyntaxError, 1);
    }
    if (value != nullptr) *value = result;
    s_.Record("ScriptControl.Eval(" + e.substr(0, 40) + ") -> " + HrText(hr));
    return hr;
  }

  HResult ReadError(platform::ScriptError* error) override {
    std::lock_guard lock(s_.mutex);
    if (error != nullptr) *error = error_;
    return platform::kSOk;
  }

  HResult ClearError() override {
    std::lock_guard lock(s_.mutex);
    error_ = platform::ScriptError{};
    s_.Record("ScriptControl.Error.Clear() -> 0");
    return platform::kSOk;
  }

  HResult Reset() override {
    std::lock_guard lock(s_.mutex);
    procedures_.clear();
    globals_.clear();
    s_.Record("ScriptControl.Reset() -> 0");
    return platform::kSOk;
  }

 private:
  static bool ReadIdentifierWhole(const std::string& text) {
    size_t i = 0;
    return ReadIdentifier(text, &i).size() == text.size();
  }

  const ScriptProcedure* Find(const std::string& name) const {
    for (const auto& p : procedures_)
      if (vbscript_ ? EqualsIgnoreCase(p.name, name) : p.name == name) return &p;
    return nullptr;
  }

  HResult Define(const std::string& code) {
    if (language_.empty()) return platform::kEFail;
    std::vector<ScriptProcedure> found;
    if (vbscript_) {
      HResult hr = DefineVb(code, &found);
      if (!platform::Succeeded(hr)) return hr;
    } else if (!DefineJs(code, &found)) {
      return kScriptESyntax;
    }
    for (auto& p : found) {
      bool replaced = false;
      for (auto& existing : procedures_) {
        if (vbscript_ ? EqualsIgnoreCase(existing.name, p.name) : existing.name == p.name) {
          existing = p;
          replaced = true;
        }
      }
      if (!replaced) procedures_.push_back(std::move(p));
    }
    return platform::kSOk;
  }

  // "function name(...) { ... }" blocks; braces inside string literals do not count.
  static bool DefineJs(const std::string& code, std::vector<ScriptProcedure>* out) {
    size_t at = 0;
    while ((at = code.find("function", at)) != std::string::npos) {
      size_t i = at + 8;
      SkipBlanks(code, &i);
      std::string name = ReadIdentifier(code, &i);
      size_t open = code.find('{', i);
      if (name.empty() || open == std::string::npos) return false;
      int depth = 0;
      char quote = 0;
      size_t k = open;
      for (; k < code.size(); ++k) {
        char c = code[k];
        if (quote != 0) {
          if (c == '\\')
            ++k;
          else if (c == quote)
            quote = 0;
        } else if (c == '\'' || c == '"') {
          quote = c;
        } else if (c == '{') {
          ++depth;
        } else if (c == '}' && --depth == 0) {
          break;
        }
      }
      if (k >= code.size()) return false;
      out->push_back(ScriptProcedure{name, code.substr(open, k - open + 1), false});
      at = k + 1;
    }
    return true;
  }

  HResult Execute(const ScriptProcedure& p, std::string* result) {
    return p.vbscript ? ExecuteVb(p) : ExecuteJs(p, result);
  }

  // The date function: d.setTime(value) on a new Date, the date returned. The value goes through
  // the script's number conversion; a value that is no time gives the engine's "NaN".
  HResult ExecuteJs(const ScriptProcedure& p, std::string* result) {
    result->clear();
    size_t at = p.body.find("setTime(");
    if (at == std::string::npos) return platform::kSOk;
    size_t i = at + 8;
    SkipBlanks(p.body, &i);
    std::string argument;
    if (i < p.body.size() && (p.body[i] == '\'' || p.body[i] == '"')) {
      char quote = p.body[i];
      size_t end = p.body.find(quote, i + 1);
      if (end == std::string::npos) return kScriptESyntax;
      argument = p.body.substr(i + 1, end - i - 1);
    } else {
      size_t end = p.body.find(')', i);
      if (end == std::string::npos) return kScriptESyntax;
      argument = p.body.substr(i, end - i);
    }
    double value = ToNumber(argument);
    if (!std::isfinite(value) || std::fabs(value) > 8.64e15) {
      *result = "NaN";
      return platform::kSOk;
    }
    *result = ScriptDateText(static_cast<int64_t>(std::trunc(value)), s_.utcOffsetMinutes);
    return platform::kSOk;
  }

  // The script's conversion of a text to a number: blanks around it ignored, the empty text is
  // 0, decimal with fraction and exponent, hexadecimal with 0x, Infinity; anything else NaN.
  static double ToNumber(const std::string& text) {
    std::string t = Trimmed(text);
    if (t.empty()) return 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
      double v = 0;
      for (size_t i = 2; i < t.size(); ++i) {
        char c = t[i];
        int d = IsDigit(c)               ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
        if (d < 0) return NAN;
        v = v * 16 + d;
      }
      return v;
    }
    size_t i = 0;
    bool negative = false;
    if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
    if (t.compare(i, std::string::npos, "Infinity") == 0) return negative ? -INFINITY : INFINITY;
    size_t digits = 0;
    size_t start = i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
      ++i;
      while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return NAN;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
      size_t e = i + 1;
      if (e < t.size() && (t[e] == '+' || t[e] == '-')) ++e;
      size_t expDigits = 0;
      while (e < t.size() && IsDigit(t[e])) ++e, ++expDigits;
      if (expDigits == 0) return NAN;
      i = e;
    }
    if (i != t.size()) return NAN;
    double v = std::strtod(t.substr(start, i - start).c_str(), nullptr);
    return negative ? -v : v;
  }

  // "[Private|Public] Sub name() ... End Sub" blocks, each body compiled; module-level Dim
  // statements declare variables of the module, other module-level statements are compiled only.
  // A compile error fills the Error object and answers the syntax error's HRESULT.
  HResult DefineVb(const std::string& code, std::vector<ScriptProcedure>* out) {
    bool inSub = false;
    ScriptProcedure current;
    int lineNumber = 0;
    std::vector<std::string> declared;
    for (const std::string& raw : Lines(code)) {
      ++lineNumber;
      std::string line = Trimmed(raw);
      size_t i = 0;
      if (!inSub) {
        if (FindIgnoreCase(line, "private ") == 0)
          i = 8;
        else if (FindIgnoreCase(line, "public ") == 0)
          i = 7;
        if (ExpectWord(line, &i, "sub")) {
          SkipBlanks(line, &i);
          current = ScriptProcedure{ReadIdentifier(line, &i), "", true, lineNumber + 1};
          SkipBlanks(line, &i);
          if (i < line.size() && line[i] == '(') {
            ++i;
            if (!Expect(line, &i, ')')) return CompileError(kVbSyntaxError, lineNumber);
          }
          if (current.name.empty() || !AtEnd(line, i)) return CompileError(kVbSyntaxError, lineNumber);
          inSub = true;
          continue;
        }
        VbStatement st;
        if (!CompileVbLine(raw, &st)) return CompileError(kVbSyntaxError, lineNumber);
        if (st.kind == VbStatement::Dim) declared.insert(declared.end(), st.names.begin(), st.names.end());
        continue;
      }
      i = 0;
      if (ExpectWord(line, &i, "end") && ExpectWord(line, &i, "sub")) {
        if (!AtEnd(line, i)) return CompileError(kVbSyntaxError, lineNumber);
        std::vector<VbStatement> statements;
        int errorLine = 0;
        int32_t number = 0;
        if (!CompileVb(current.body, current.firstLine, &statements, &errorLine, &number))
          return CompileError(number, errorLine);
        out->push_back(current);
        inSub = false;
        continue;
      }
      current.body += raw;
      current.body += '\n';
    }
    if (inSub) return CompileError(kVbSyntaxError, lineNumber);
    for (const std::string& name : declared) globals_.emplace(name, WmiValue::Null());
    return platform::kSOk;
  }

  HResult CompileError(int32_t number, int line) {
    error_ = platform::ScriptError{number, number == kVbSyntaxError ? "Syntax error" : "Expected end of statement",
                                   "Microsoft VBScript compilation error", line};
    return VbHResult(number);
  }

  HResult RuntimeError(int32_t number, HResult hr, int line, const std::string& description) {
    error_ = platform::ScriptError{number, description, "Microsoft VBScript runtime error", line};
    return hr;
  }

  // A value while a procedure runs: a plain value, the instrumentation service, a query's result
  // or one object of it.
  struct VbValue {
    enum Kind { Plain, Service, Collection, Object } kind = Plain;
    WmiValue plain;
    std::vector<WmiObject> rows;
    WmiObject object;
  };

  // Runs a procedure: the values it works with come from its own statements. A method's
  // ReturnValue goes to the assigned variable, the module's when it declared one by that name.
  HResult ExecuteVb(const ScriptProcedure& p) {
    std::vector<VbStatement> code;
    int errorLine = 0;
    int32_t number = 0;
    if (!CompileVb(p.body, p.firstLine, &code, &errorLine, &number)) return CompileError(number, errorLine);
    std::map<std::string, VbValue> locals;
    auto lookup = [&](const std::string& name) -> VbValue {
      auto it = locals.find(name);
      if (it != locals.end()) return it->second;
      auto g = globals_.find(name);
      VbValue v;
      if (g != globals_.end()) v.plain = g->second;
      return v;
    };
    auto assign = [&](const std::string& name, VbValue value) {
      auto g = globals_.find(name);
      if (g != globals_.end() && value.kind == VbValue::Plain && locals.count(name) == 0)
        g->second = value.plain;
      else
        locals[name] = std::move(value);
    };
    struct Loop {
      size_t statement;
      size_t next;
    };
    std::vector<Loop> loops;
    for (size_t pc = 0; pc < code.size(); ++pc) {
      const VbStatement& st = code[pc];
      switch (st.kind) {
        case VbStatement::Blank:
        case VbStatement::EndIf:
          break;
        case VbStatement::Dim:
          for (const auto& name : st.names) locals[name] = VbValue{};
          break;
        case VbStatement::Assign: {
          VbValue v;
          v.plain = st.value;
          assign(st.target, v);
          break;
        }
        case VbStatement::SetGetObject: {
          std::string moniker;
          for (const auto& piece : st.pieces)
            moniker += piece[0] == '"' ? piece.substr(1) : lookup(piece).plain.AsText();
          if (!EqualsIgnoreCase(moniker, "winmgmts:\\\\.\\root\\cimv2"))
            return RuntimeError(kWbemEInvalidNamespace, kWbemEInvalidNamespace, st.line, "Invalid namespace");
          callsTake_ += s_.TakeLatency("ConnectServer");
          VbValue v;
          v.kind = VbValue::Service;
          locals[st.target] = v;
          break;
        }
        case VbStatement::SetExecQuery: {
          if (lookup(st.object).kind != VbValue::Service)
            return RuntimeError(kVbObjectRequired, VbHResult(kVbObjectRequired), st.line, "Object required");
          VbValue v;
          v.kind = VbValue::Collection;
          callsTake_ += s_.TakeLatency("ExecQuery");
          HResult hr = automation_.RunQuery("root\\cimv2", st.text, &v.rows);
          if (!platform::Succeeded(hr)) return RuntimeError(hr, hr, st.line, "Query failed");
          locals[st.target] = std::move(v);
          break;
        }
        case VbStatement::ForEach: {
          VbValue collection = lookup(st.object);
          if (collection.kind != VbValue::Collection)
            return RuntimeError(kVbObjectRequired, VbHResult(kVbObjectRequired), st.line, "Object required");
          if (collection.rows.empty()) {
            pc = st.jump;  // past its Next
            break;
          }
          VbValue item;
          item.kind = VbValue::Object;
          item.object = collection.rows[0];
          locals[st.target] = item;
          loops.push_back(Loop{pc, 1});
          break;
        }
        case VbStatement::Next: {
          Loop& loop = loops.back();
          const VbStatement& head = code[loop.statement];
          VbValue collection = lookup(head.object);
          if (loop.next < collection.rows.size()) {
            VbValue item;
            item.kind = VbValue::Object;
            item.object = collection.rows[loop.next++];
            locals[head.target] = item;
            pc = loop.statement;
          } else {
            loops.pop_back();
          }
          break;
        }
        case VbStatement::If: {
          VbValue object = lookup(st.object);
          if (object.kind != VbValue::Object)
            return RuntimeError(kVbObjectRequired, VbHResult(kVbObjectRequired), st.line, "Object required");
          auto index = object.object.find("Index");
          if (index == object.object.end() || index->second.kind != WmiValue::Kind::Integer)
            return RuntimeError(kVbTypeMismatch, VbHResult(kVbTypeMismatch), st.line, "Type mismatch");
          if (index->second.integer != st.index) pc = st.jump;
          break;
        }
        case VbStatement::MethodCall: {
          VbValue object = lookup(st.object);
          if (object.kind != VbValue::Object)
            return RuntimeError(kVbObjectRequired, VbHResult(kVbObjectRequired), st.line, "Object required");
          auto argument = [&](size_t k) {
            return k < st.names.size() ? lookup(st.names[k]).plain : WmiValue::Null();
          };
          WmiObject in;
          if (st.method == "EnableStatic") {
            in["IPAddress"] = argument(0);
            in["SubnetMask"] = argument(1);
          } else if (st.method == "SetGateways") {
            in["DefaultIPGateway"] = argument(0);
            in["GatewayCostMetric"] = argument(1);
          } else {
            in["DNSServerSearchOrder"] = argument(0);
          }
          const std::string path =
              std::string(kConfigurationClass) + ".Index=" + std::to_string(object.object.at("Index").integer);
          WmiObject out;
          callsTake_ += s_.TakeLatency(s_.MethodLatencyName(st.method));
          HResult hr = automation_.RunMethod("root\\cimv2", path, st.method, in, &out);
          if (!platform::Succeeded(hr)) return RuntimeError(hr, hr, st.line, "Method failed");
          VbValue result;
          auto rv = out.find("ReturnValue");
          if (rv != out.end()) result.plain = rv->second;
          assign(st.target, result);
          break;
        }
      }
    }
    return platform::kSOk;
  }

  Machine::State& s_;
  AutomationSim& automation_;
  std::string language_;
  bool vbscript_ = false;
  std::vector<ScriptProcedure> procedures_;
  std::map<std::string, WmiValue> globals_;  // folded name; declared by module-level Dim
  platform::ScriptError error_;
  uint32_t callsTake_ = 0;  // the milliseconds the running statement's calls take
};

}  // namespace

std::unique_ptr<platform::ScriptControl> MakeScriptControl(Machine::State& s, AutomationSim& automation) {
  return std::make_unique<ScriptControlSim>(s, automation);
}

}  // namespace corvane::sim
