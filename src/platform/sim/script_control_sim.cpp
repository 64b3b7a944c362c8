// The simulated script control: VBScript procedures and JScript functions as the program writes
// them, run against the simulated machine's instrumentation service.
#include <cmath>
#include <map>

#include "platform/sim/automation_sim.h"

namespace corvane::sim {

using platform::HResult;
using platform::WmiObject;
using platform::WmiValue;

namespace {

// A VBScript string literal at `i` ("..." with "" for a quote); false when there is none.
bool ReadVbString(const std::string& text, size_t* i, std::string* value) {
  if (*i >= text.size() || text[*i] != '"') return false;
  size_t k = *i + 1;
  value->clear();
  while (k < text.size()) {
    auto b = static_cast<unsigned char>(text[k]);
    if (IsLead(b) && k + 1 < text.size()) {
      value->append(text, k, 2);
      k += 2;
    } else if (text[k] == '"') {
      if (k + 1 < text.size() && text[k + 1] == '"') {
        *value += '"';
        k += 2;
      } else {
        *i = k + 1;
        return true;
      }
    } else if (text[k] == '\r' || text[k] == '\n') {
      return false;
    } else {
      *value += text[k++];
    }
  }
  return false;
}

void SkipBlanks(const std::string& text, size_t* i) {
  while (*i < text.size() && (text[*i] == ' ' || text[*i] == '\t')) ++*i;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Finds `word` (ASCII, any letter case) in `text` from `from`; npos when absent.
size_t FindIgnoreCase(const std::string& text, const std::string& word, size_t from = 0) {
  if (word.size() > text.size()) return std::string::npos;
  for (size_t i = from; i + word.size() <= text.size(); ++i)
    if (EqualsIgnoreCase(std::string_view(text).substr(i, word.size()), word)) return i;
  return std::string::npos;
}

std::string ReadIdentifier(const std::string& text, size_t* i) {
  size_t start = *i;
  while (*i < text.size() && (IsIdentStart(text[*i]) || IsDigit(text[*i]))) ++*i;
  return text.substr(start, *i - start);
}

// "name = Array(item, ...)" with string or number items. Returns false when the line assigns an
// Array but its items do not parse (a compile error of the script).
bool ParseArrayAssignment(const std::string& line, std::string* name, std::vector<std::string>* items,
                          bool* isArray) {
  *isArray = false;
  size_t i = 0;
  SkipBlanks(line, &i);
  if (i >= line.size() || !IsIdentStart(line[i])) return true;
  *name = ReadIdentifier(line, &i);
  SkipBlanks(line, &i);
  if (i >= line.size() || line[i] != '=') return true;
  ++i;
  SkipBlanks(line, &i);
  if (FindIgnoreCase(line, "array", i) != i) return true;
  i += 5;
  SkipBlanks(line, &i);
  if (i >= line.size() || line[i] != '(') return true;
  *isArray = true;
  ++i;
  items->clear();
  SkipBlanks(line, &i);
  if (i < line.size() && line[i] == ')') {
    ++i;
  } else {
    while (true) {
      SkipBlanks(line, &i);
      std::string item;
      if (i < line.size() && line[i] == '"') {
        if (!ReadVbString(line, &i, &item)) return false;
      } else {
        size_t start = i;
        if (i < line.size() && line[i] == '-') ++i;
        while (i < line.size() && (IsDigit(line[i]) || line[i] == '.')) ++i;
        if (i == start) return false;
        item = line.substr(start, i - start);
      }
      items->push_back(item);
      SkipBlanks(line, &i);
      if (i < line.size() && line[i] == ',') {
        ++i;
        continue;
      }
      if (i < line.size() && line[i] == ')') {
        ++i;
        break;
      }
      return false;
    }
  }
  SkipBlanks(line, &i);
  return i == line.size() || line[i] == '\'';
}

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
    std::lock_guard lock(s_.mutex);
    HResult hr = platform::kSOk;
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
      }
    }
    s_.Record("ScriptControl.ExecuteStatement(" + Trimmed(statement).substr(0, 40) + ") -> " + HrText(hr));
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

 private:
  const ScriptProcedure* Find(const std::string& name) const {
    for (const auto& p : procedures_)
      if (vbscript_ ? EqualsIgnoreCase(p.name, name) : p.name == name) return &p;
    return nullptr;
  }

  HResult Define(const std::string& code) {
    if (language_.empty()) return platform::kEFail;
    std::vector<ScriptProcedure> found;
    if (vbscript_ ? !DefineVb(code, &found) : !DefineJs(code, &found)) return kScriptESyntax;
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

  // "[Private|Public] Sub name() ... End Sub" blocks; Array assignments inside must parse.
  static bool DefineVb(const std::string& code, std::vector<ScriptProcedure>* out) {
    ScriptProcedure* open = nullptr;
    ScriptProcedure current;
    for (const std::string& raw : Lines(code)) {
      std::string line = Trimmed(raw);
      size_t i = 0;
      if (open == nullptr) {
        if (FindIgnoreCase(line, "private ") == 0)
          i = 8;
        else if (FindIgnoreCase(line, "public ") == 0)
          i = 7;
        if (FindIgnoreCase(line, "sub ", i) == i) {
          i += 4;
          SkipBlanks(line, &i);
          current = ScriptProcedure{ReadIdentifier(line, &i), "", true};
          if (current.name.empty()) return false;
          open = &current;
        }
        continue;
      }
      if (FindIgnoreCase(line, "end sub") == 0) {
        out->push_back(current);
        open = nullptr;
        continue;
      }
      std::string name;
      std::vector<std::string> items;
      bool isArray = false;
      if (!ParseArrayAssignment(line, &name, &items, &isArray)) return false;
      current.body += raw;
      current.body += '\n';
    }
    return open == nullptr;
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

  // The static configuration procedure: Array assignments give the lists, the ExecQuery text
  // selects the configurations, "If <object>.Index=<n> Then" picks one, and the EnableStatic,
  // SetGateways and SetDNSServerSearchOrder calls inside run on it in their order. The methods'
  // results stay inside the script, as in the program's procedure.
  HResult ExecuteVb(const ScriptProcedure& p) {
    std::map<std::string, std::vector<std::string>> arrays;
    std::string wql;
    bool haveIndex = false;
    int64_t index = 0;
    struct Call {
      std::string method;
      std::vector<std::string> arguments;
    };
    std::vector<Call> calls;
    for (const std::string& line : Lines(p.body)) {
      std::string name;
      std::vector<std::string> items;
      bool isArray = false;
      ParseArrayAssignment(line, &name, &items, &isArray);
      if (isArray) {
        arrays[FoldCase(name)] = items;
        continue;
      }
      size_t q = FindIgnoreCase(line, "ExecQuery");
      if (q != std::string::npos) {
        size_t i = q + 9;
        SkipBlanks(line, &i);
        if (i < line.size() && line[i] == '(') ++i;
        SkipBlanks(line, &i);
        if (!ReadVbString(line, &i, &wql)) return kScriptESyntax;
        continue;
      }
      std::string trimmed = Trimmed(line);
      if (FindIgnoreCase(trimmed, "if ") == 0) {
        size_t dot = FindIgnoreCase(trimmed, ".index");
        size_t eq = trimmed.find('=', dot == std::string::npos ? 0 : dot);
        size_t then = FindIgnoreCase(trimmed, " then");
        if (dot == std::string::npos || eq == std::string::npos || then == std::string::npos || then < eq)
          return kScriptESyntax;
        if (!ParseInteger(Trimmed(trimmed.substr(eq + 1, then - eq - 1)), &index)) return kScriptESyntax;
        haveIndex = true;
        continue;
      }
      for (const char* method : {"EnableStatic", "SetGateways", "SetDNSServerSearchOrder"}) {
        size_t at = FindIgnoreCase(line, std::string(".") + method + "(");
        if (at == std::string::npos) continue;
        size_t open = line.find('(', at);
        size_t close = line.find(')', open);
        if (close == std::string::npos) return kScriptESyntax;
        Call call{method, {}};
        std::string args = line.substr(open + 1, close - open - 1);
        size_t start = 0;
        while (start <= args.size()) {
          size_t comma = args.find(',', start);
          if (comma == std::string::npos) comma = args.size();
          call.arguments.push_back(FoldCase(Trimmed(args.substr(start, comma - start))));
          start = comma + 1;
        }
        calls.push_back(std::move(call));
      }
    }
    if (wql.empty()) return platform::kSOk;

    std::vector<WmiObject> rows;
    HResult hr = automation_.ExecQuery("root\\cimv2", wql, &rows);
    if (!platform::Succeeded(hr)) return hr;
    auto arrayValue = [&](const std::vector<std::string>& args, size_t k) {
      if (k >= args.size()) return WmiValue::Null();
      auto it = arrays.find(args[k]);
      return it == arrays.end() ? WmiValue::Null() : WmiValue::FromArray(it->second);
    };
    for (const WmiObject& row : rows) {
      auto idx = row.find("Index");
      if (idx == row.end() || idx->second.kind != WmiValue::Kind::Integer) continue;
      if (haveIndex && idx->second.integer != index) continue;
      const std::string path =
          std::string(kConfigurationClass) + ".Index=" + std::to_string(idx->second.integer);
      for (const Call& call : calls) {
        WmiObject in;
        WmiObject out;
        if (call.method == "EnableStatic") {
          in["IPAddress"] = arrayValue(call.arguments, 0);
          in["SubnetMask"] = arrayValue(call.arguments, 1);
        } else if (call.method == "SetGateways") {
          in["DefaultIPGateway"] = arrayValue(call.arguments, 0);
          in["GatewayCostMetric"] = arrayValue(call.arguments, 1);
        } else {
          in["DNSServerSearchOrder"] = arrayValue(call.arguments, 0);
        }
        automation_.ExecMethod("root\\cimv2", path, call.method, in, &out);
      }
    }
    return platform::kSOk;
  }

  Machine::State& s_;
  AutomationSim& automation_;
  std::string language_;
  bool vbscript_ = false;
  std::vector<ScriptProcedure> procedures_;
};

}  // namespace

std::unique_ptr<platform::ScriptControl> MakeScriptControl(Machine::State& s, AutomationSim& automation) {
  return std::make_unique<ScriptControlSim>(s, automation);
}

}  // namespace corvane::sim
