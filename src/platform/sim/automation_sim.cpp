// The simulated component object library: instrumentation (a WQL subset over the two adapter
// classes and their configuration methods), the network connection manager and a script control
// that knows the two procedures the program runs.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/sim/sim_state.h"

namespace corvane::sim {

using platform::HResult;
using platform::WmiObject;
using platform::WmiValue;

namespace {

constexpr char kConfigurationClass[] = "Win32_NetworkAdapterConfiguration";
constexpr char kAdapterClass[] = "Win32_NetworkAdapter";

std::string HrText(HResult hr) {
  if (hr == 0) return "0";
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<uint32_t>(hr));
  return buffer;
}

bool IsLead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// Equality without regard to ASCII letter case, walking GBK characters so that a trail byte is
// never folded.
bool TextEqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (IsLead(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

uint32_t WmiIndex(const SimAdapter& a) {
  return a.wmiIndex >= 0 ? static_cast<uint32_t>(a.wmiIndex) : a.index;
}

std::string MacText(const std::vector<uint8_t>& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < 8; ++i) {
    char part[4];
    std::snprintf(part, sizeof part, "%02X", bytes[i]);
    if (i > 0) out += ':';
    out += part;
  }
  return out;
}

WmiValue TextOrNull(const std::string& text) {
  return text.empty() ? WmiValue::Null() : WmiValue::FromText(text);
}
WmiValue ArrayOrNull(std::vector<std::string> items) {
  return items.empty() ? WmiValue::Null() : WmiValue::FromArray(std::move(items));
}

const std::vector<std::string>& ClassProperties(const std::string& canonicalClass) {
  static const std::vector<std::string> adapter = {"AdapterType",
                                                   "Description",
                                                   "DeviceID",
                                                   "GUID",
                                                   "Index",
                                                   "InterfaceIndex",
                                                   "MACAddress",
                                                   "Name",
                                                   "NetConnectionID",
                                                   "NetConnectionStatus",
                                                   "NetEnabled",
                                                   "PhysicalAdapter",
                                                   "Speed"};
  static const std::vector<std::string> configuration = {
      "DefaultIPGateway", "Description", "DHCPEnabled", "DHCPServer", "DNSServerSearchOrder", "Index",
      "InterfaceIndex",   "IPAddress",   "IPEnabled",   "IPSubnet",   "MACAddress",           "SettingID"};
  return canonicalClass == kAdapterClass ? adapter : configuration;
}

WmiObject AdapterObject(const SimAdapter& a) {
  WmiObject o;
  const bool named = !a.connectionName.empty();
  o["AdapterType"] = (a.type == 6 || a.type == 71) ? WmiValue::FromText("Ethernet 802.3") : WmiValue::Null();
  o["Description"] = WmiValue::FromText(a.description);
  o["DeviceID"] = WmiValue::FromText(std::to_string(WmiIndex(a)));
  o["GUID"] = TextOrNull(a.guid);
  o["Index"] = WmiValue::FromInteger(WmiIndex(a));
  o["InterfaceIndex"] = WmiValue::FromInteger(a.index);
  o["MACAddress"] = TextOrNull(MacText(a.physicalAddress));
  o["Name"] = WmiValue::FromText(a.description);
  o["NetConnectionID"] =
      named ? WmiValue::FromText(WideToCodePage(a.connectionName, platform::kCodePageGbk)) : WmiValue::Null();
  o["NetConnectionStatus"] = named ? WmiValue::FromInteger(a.netConnectionStatus) : WmiValue::Null();
  o["NetEnabled"] = WmiValue::FromBoolean(a.netConnectionStatus == 2);
  o["PhysicalAdapter"] = WmiValue::FromBoolean(!a.physicalAddress.empty());
  o["Speed"] = WmiValue::FromText(std::to_string(a.speed));
  return o;
}

WmiObject ConfigurationObject(const SimAdapter& a) {
  WmiObject o;
  std::vector<std::string> addresses;
  std::vector<std::string> masks;
  UsableAddresses(a, &addresses, &masks);
  std::vector<std::string> gateways;
  for (const auto& g : a.gateways)
    if (!g.address.empty()) gateways.push_back(g.address);
  o["DefaultIPGateway"] = a.ipEnabled ? ArrayOrNull(gateways) : WmiValue::Null();
  o["Description"] = WmiValue::FromText(a.description);
  o["DHCPEnabled"] = WmiValue::FromBoolean(a.dhcpEnabled != 0);
  o["DHCPServer"] = (a.dhcpEnabled != 0 && !a.dhcpServers.empty())
                        ? WmiValue::FromText(a.dhcpServers[0].address)
                        : WmiValue::Null();
  o["DNSServerSearchOrder"] = a.ipEnabled ? ArrayOrNull(a.dnsServers) : WmiValue::Null();
  o["Index"] = WmiValue::FromInteger(WmiIndex(a));
  o["InterfaceIndex"] = WmiValue::FromInteger(a.index);
  o["IPAddress"] = a.ipEnabled ? ArrayOrNull(addresses) : WmiValue::Null();
  o["IPEnabled"] = WmiValue::FromBoolean(a.ipEnabled);
  o["IPSubnet"] = a.ipEnabled ? ArrayOrNull(masks) : WmiValue::Null();
  o["MACAddress"] = TextOrNull(MacText(a.physicalAddress));
  o["SettingID"] = TextOrNull(a.guid);
  return o;
}

// --- WQL ---

struct Token {
  enum Kind { Identifier, String, Number, Punct, End } kind = End;
  std::string text;
};

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// String literals take single or double quotes; a backslash escapes a quote or a backslash and
// nothing else. GBK characters are taken whole.
bool Tokenize(const std::string& wql, std::vector<Token>* tokens) {
  size_t i = 0;
  while (i < wql.size()) {
    char c = wql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (IsIdentStart(c)) {
      size_t start = i;
      while (i < wql.size() && (IsIdentStart(wql[i]) || IsDigit(wql[i]))) ++i;
      tokens->push_back({Token::Identifier, wql.substr(start, i - start)});
    } else if (IsDigit(c) || (c == '-' && i + 1 < wql.size() && IsDigit(wql[i + 1]))) {
      size_t start = i++;
      while (i < wql.size() && IsDigit(wql[i])) ++i;
      tokens->push_back({Token::Number, wql.substr(start, i - start)});
    } else if (c == '\'' || c == '"') {
      std::string value;
      ++i;
      bool closed = false;
      while (i < wql.size()) {
        auto b = static_cast<unsigned char>(wql[i]);
        if (IsLead(b) && i + 1 < wql.size()) {
          value.append(wql, i, 2);
          i += 2;
        } else if (wql[i] == '\\') {
          if (i + 1 >= wql.size()) return false;
          char e = wql[i + 1];
          if (e != '\'' && e != '"' && e != '\\') return false;
          value += e;
          i += 2;
        } else if (wql[i] == c) {
          ++i;
          closed = true;
          break;
        } else {
          value += wql[i++];
        }
      }
      if (!closed) return false;
      tokens->push_back({Token::String, value});
    } else if (c == '<' && i + 1 < wql.size() && wql[i + 1] == '>') {
      tokens->push_back({Token::Punct, "<>"});
      i += 2;
    } else if (c == '!' && i + 1 < wql.size() && wql[i + 1] == '=') {
      tokens->push_back({Token::Punct, "<>"});
      i += 2;
    } else if (c == '=' || c == ',' || c == '*') {
      tokens->push_back({Token::Punct, std::string(1, c)});
      ++i;
    } else {
      return false;
    }
  }
  tokens->push_back({Token::End, ""});
  return true;
}

struct Condition {
  std::string property;  // canonical
  enum Op { Equal, NotEqual, IsNull, IsNotNull } op = Equal;
  Token literal;
};

struct Query {
  std::string className;                // canonical
  std::vector<std::string> properties;  // canonical; empty for *
  std::vector<Condition> conditions;
};

bool Keyword(const Token& t, const char* word) {
  return t.kind == Token::Identifier && EqualsIgnoreCase(t.text, word);
}

bool CanonicalProperty(const std::string& className, const std::string& name, std::string* canonical) {
  for (const auto& p : ClassProperties(className)) {
    if (EqualsIgnoreCase(p, name)) {
      *canonical = p;
      return true;
    }
  }
  return false;
}

HResult ParseQuery(const std::string& wql, Query* q) {
  std::vector<Token> t;
  if (!Tokenize(wql, &t)) return platform::kWbemEInvalidQuery;
  size_t i = 0;
  if (!Keyword(t[i++], "select")) return platform::kWbemEInvalidQuery;
  std::vector<std::string> selected;
  bool all = false;
  if (t[i].kind == Token::Punct && t[i].text == "*") {
    all = true;
    ++i;
  } else {
    while (true) {
      if (t[i].kind != Token::Identifier) return platform::kWbemEInvalidQuery;
      selected.push_back(t[i++].text);
      if (t[i].kind == Token::Punct && t[i].text == ",") {
        ++i;
        continue;
      }
      break;
    }
  }
  if (!Keyword(t[i++], "from")) return platform::kWbemEInvalidQuery;
  if (t[i].kind != Token::Identifier) return platform::kWbemEInvalidQuery;
  const std::string className = t[i++].text;
  if (EqualsIgnoreCase(className, kAdapterClass))
    q->className = kAdapterClass;
  else if (EqualsIgnoreCase(className, kConfigurationClass))
    q->className = kConfigurationClass;
  else
    return sim::kWbemEInvalidClass;
  if (!all) {
    for (const auto& name : selected) {
      std::string canonical;
      if (!CanonicalProperty(q->className, name, &canonical)) return platform::kWbemEInvalidQuery;
      q->properties.push_back(canonical);
    }
  }
  if (Keyword(t[i], "where")) {
    ++i;
    while (true) {
      Condition c;
      if (t[i].kind != Token::Identifier || !CanonicalProperty(q->className, t[i].text, &c.property))
        return platform::kWbemEInvalidQuery;
      ++i;
      if (Keyword(t[i], "is")) {
        ++i;
        c.op = Condition::IsNull;
        if (Keyword(t[i], "not")) {
          c.op = Condition::IsNotNull;
          ++i;
        }
        if (!Keyword(t[i++], "null")) return platform::kWbemEInvalidQuery;
      } else {
        if (t[i].kind != Token::Punct || (t[i].text != "=" && t[i].text != "<>"))
          return platform::kWbemEInvalidQuery;
        c.op = t[i].text == "=" ? Condition::Equal : Condition::NotEqual;
        ++i;
        const Token& lit = t[i++];
        const bool word = Keyword(lit, "true") || Keyword(lit, "false") || Keyword(lit, "null");
        if (lit.kind != Token::String && lit.kind != Token::Number && !word)
          return platform::kWbemEInvalidQuery;
        c.literal = lit;
      }
      q->conditions.push_back(std::move(c));
      if (Keyword(t[i], "and")) {
        ++i;
        continue;
      }
      break;
    }
  }
  if (t[i].kind != Token::End) return platform::kWbemEInvalidQuery;
  return platform::kSOk;
}

bool ParseInteger(const std::string& text, int64_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == nullptr || *end != '\0') return false;
  *value = v;
  return true;
}

bool Matches(const WmiObject& o, const Condition& c) {
  const WmiValue& v = o.at(c.property);
  const bool isNull = v.kind == WmiValue::Kind::Null;
  if (c.op == Condition::IsNull) return isNull;
  if (c.op == Condition::IsNotNull) return !isNull;
  if (isNull || Keyword(c.literal, "null")) return false;
  bool equal = false;
  switch (v.kind) {
    case WmiValue::Kind::Text:
      equal = c.literal.kind != Token::Identifier && TextEqualsIgnoreCase(v.text, c.literal.text);
      break;
    case WmiValue::Kind::Integer: {
      int64_t n = 0;
      equal = c.literal.kind != Token::Identifier && ParseInteger(c.literal.text, &n) && n == v.integer;
      break;
    }
    case WmiValue::Kind::Boolean:
      if (Keyword(c.literal, "true"))
        equal = v.boolean;
      else if (Keyword(c.literal, "false"))
        equal = !v.boolean;
      else if (c.literal.kind == Token::Number)
        equal = (c.literal.text != "0") == v.boolean;
      break;
    default:
      return false;  // arrays take no part in comparisons
  }
  return c.op == Condition::Equal ? equal : !equal;
}

const WmiValue* FindParam(const WmiObject& params, const char* name) {
  for (const auto& [key, value] : params)
    if (EqualsIgnoreCase(key, name)) return &value;
  return nullptr;
}

std::vector<std::string> ArrayParam(const WmiObject& params, const char* name, bool* present) {
  const WmiValue* v = FindParam(params, name);
  *present = v != nullptr && v->kind != WmiValue::Kind::Null;
  if (!*present) return {};
  if (v->kind == WmiValue::Kind::TextArray) return v->array;
  return {v->AsText()};
}

// The methods' own results (the ReturnValue of the Win32_NetworkAdapterConfiguration methods).
constexpr int64_t kMethodOk = 0;
constexpr int64_t kMethodInvalidMask = 66;
constexpr int64_t kMethodInvalidGateway = 67;
constexpr int64_t kMethodInvalidInput = 68;
constexpr int64_t kMethodInvalidAddress = 70;
constexpr int64_t kMethodIpNotEnabled = 84;

int64_t EnableStatic(Machine::State& s, SimAdapter& a, const WmiObject& in) {
  bool haveAddresses = false;
  bool haveMasks = false;
  auto addresses = ArrayParam(in, "IPAddress", &haveAddresses);
  auto masks = ArrayParam(in, "SubnetMask", &haveMasks);
  if (addresses.empty() || addresses.size() != masks.size()) return kMethodInvalidInput;
  for (size_t i = 0; i < addresses.size(); ++i) {
    uint32_t h = 0;
    uint32_t m = 0;
    if (!ParseDotted(addresses[i], &h) || h == 0) return kMethodInvalidAddress;
    if (!ParseDotted(masks[i], &m) || m == 0 || !IsContiguousMask(m)) return kMethodInvalidMask;
  }
  a.ipAddresses.clear();
  for (size_t i = 0; i < addresses.size(); ++i) {
    uint32_t h = 0;
    uint32_t m = 0;
    ParseDotted(addresses[i], &h);
    ParseDotted(masks[i], &m);
    a.ipAddresses.push_back(SimAddress{FormatDotted(h), FormatDotted(m), s.FreshContext()});
  }
  a.dhcpEnabled = 0;
  a.dhcpServers.clear();
  a.leaseObtained = 0;
  a.leaseExpires = 0;
  return kMethodOk;
}

int64_t SetGateways(Machine::State& s, SimAdapter& a, const WmiObject& in) {
  bool present = false;
  auto gateways = ArrayParam(in, "DefaultIPGateway", &present);
  std::vector<SimAddress> list;
  for (const auto& g : gateways) {
    if (g.empty()) continue;
    uint32_t h = 0;
    if (!ParseDotted(g, &h) || h == 0) return kMethodInvalidGateway;
    list.push_back(SimAddress{FormatDotted(h), "255.255.255.255", 0});
  }
  for (auto& g : list) g.context = s.FreshContext();
  a.gateways = std::move(list);
  return kMethodOk;
}

int64_t SetDnsServers(SimAdapter& a, const WmiObject& in) {
  bool present = false;
  auto servers = ArrayParam(in, "DNSServerSearchOrder", &present);
  std::vector<std::string> list;
  for (const auto& d : servers) {
    if (d.empty()) continue;
    uint32_t h = 0;
    if (!ParseDotted(d, &h) || h == 0) return kMethodInvalidAddress;
    list.push_back(FormatDotted(h));
  }
  a.dnsServers = std::move(list);
  return kMethodOk;
}

// --- script control ---

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

std::string Trimmed(const std::string& text) {
  size_t a = 0;
  size_t b = text.size();
  while (a < b && (text[a] == ' ' || text[a] == '\t' || text[a] == '\r' || text[a] == '\n')) ++a;
  while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t' || text[b - 1] == '\r' || text[b - 1] == '\n'))
    --b;
  return text.substr(a, b - a);
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

HResult AutomationSim::Initialize() {
  std::lock_guard lock(s_.mutex);
  HResult hr = platform::kSOk;
  if (auto f = s_.TakeFailure("CoInitialize")) {
    hr = static_cast<HResult>(*f);
  } else {
    int& count = s_.comInitializations[std::this_thread::get_id()];
    hr = count > 0 ? platform::kSFalse : platform::kSOk;
    ++count;
  }
  s_.Record("CoInitialize() -> " + HrText(hr));
  return hr;
}

void AutomationSim::Uninitialize() {
  std::lock_guard lock(s_.mutex);
  auto it = s_.comInitializations.find(std::this_thread::get_id());
  if (it != s_.comInitializations.end() && --it->second <= 0) s_.comInitializations.erase(it);
  s_.Record("CoUninitialize()");
}

HResult AutomationSim::ExecQuery(const std::string& nameSpace, const std::string& wql,
                                 std::vector<WmiObject>* rows) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("ExecQuery(" + nameSpace + ", " + wql + ") -> " + HrText(hr));
    return hr;
  };
  if (rows != nullptr) rows->clear();
  if (auto f = s_.TakeFailure("ExecQuery")) return finish(static_cast<HResult>(*f));
  if (!s_.instrumentationAvailable) return finish(platform::kClassNotRegistered);
  if (!EqualsIgnoreCase(nameSpace, "root\\cimv2")) return finish(kWbemEInvalidNamespace);
  if (rows == nullptr) return finish(platform::kEFail);
  Query q;
  HResult hr = ParseQuery(wql, &q);
  if (!platform::Succeeded(hr)) return finish(hr);
  for (const auto& a : s_.adapters) {
    WmiObject o = q.className == kAdapterClass ? AdapterObject(a) : ConfigurationObject(a);
    bool match = true;
    for (const auto& c : q.conditions) match = match && Matches(o, c);
    if (!match) continue;
    if (q.properties.empty()) {
      rows->push_back(std::move(o));
    } else {
      WmiObject selected;
      for (const auto& p : q.properties) selected[p] = o[p];
      rows->push_back(std::move(selected));
    }
  }
  return finish(platform::kSOk);
}

HResult AutomationSim::ExecMethod(const std::string& nameSpace, const std::string& objectPath,
                                  const std::string& method, const WmiObject& inParams,
                                  WmiObject* outParams) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("ExecMethod(" + objectPath + ", " + method + ") -> " + HrText(hr));
    return hr;
  };
  if (outParams != nullptr) outParams->clear();
  if (auto f = s_.TakeFailure("ExecMethod")) return finish(static_cast<HResult>(*f));
  if (!s_.instrumentationAvailable) return finish(platform::kClassNotRegistered);
  if (!EqualsIgnoreCase(nameSpace, "root\\cimv2")) return finish(kWbemEInvalidNamespace);

  // Class.Index=n (the value may stand in double quotes).
  const size_t dot = objectPath.find('.');
  if (dot == std::string::npos) return finish(platform::kWbemEInvalidObjectPath);
  const std::string className = objectPath.substr(0, dot);
  const std::string keys = objectPath.substr(dot + 1);
  const size_t eq = keys.find('=');
  if (eq == std::string::npos || !EqualsIgnoreCase(Trimmed(keys.substr(0, eq)), "Index"))
    return finish(platform::kWbemEInvalidObjectPath);
  std::string value = Trimmed(keys.substr(eq + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  int64_t index = 0;
  if (value.empty() || value[0] == '-' || !ParseInteger(value, &index))
    return finish(platform::kWbemEInvalidObjectPath);
  if (EqualsIgnoreCase(className, kAdapterClass)) return finish(platform::kWbemEInvalidMethod);
  if (!EqualsIgnoreCase(className, kConfigurationClass)) return finish(kWbemEInvalidClass);

  SimAdapter* a = nullptr;
  for (auto& candidate : s_.adapters)
    if (WmiIndex(candidate) == index) a = &candidate;
  if (a == nullptr) return finish(kWbemENotFound);

  int64_t result = kMethodOk;
  if (EqualsIgnoreCase(method, "EnableDHCP")) {
    if (!a->ipEnabled)
      result = kMethodIpNotEnabled;
    else
      a->dhcpEnabled = 1;
  } else if (EqualsIgnoreCase(method, "EnableStatic")) {
    result = a->ipEnabled ? EnableStatic(s_, *a, inParams) : kMethodIpNotEnabled;
  } else if (EqualsIgnoreCase(method, "SetGateways")) {
    result = a->ipEnabled ? SetGateways(s_, *a, inParams) : kMethodIpNotEnabled;
  } else if (EqualsIgnoreCase(method, "SetDNSServerSearchOrder")) {
    result = a->ipEnabled ? SetDnsServers(*a, inParams) : kMethodIpNotEnabled;
  } else {
    return finish(platform::kWbemEInvalidMethod);
  }
  if (result == kMethodOk) s_.WriteInterfaceKey(*a);
  if (outParams != nullptr) (*outParams)["ReturnValue"] = WmiValue::FromInteger(result);
  return finish(platform::kSOk);
}

HResult AutomationSim::EnumConnections(std::vector<platform::NetConnection>* connections) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("EnumConnections() -> " + HrText(hr));
    return hr;
  };
  if (connections != nullptr) connections->clear();
  if (auto f = s_.TakeFailure("EnumConnections")) return finish(static_cast<HResult>(*f));
  if (!s_.connectionManagerAvailable) return finish(platform::kClassNotRegistered);
  if (connections == nullptr) return finish(platform::kEFail);
  for (const auto& a : s_.adapters) {
    if (a.connectionName.empty()) continue;
    connections->push_back(platform::NetConnection{WideToCodePage(a.connectionName, platform::kCodePageGbk),
                                                   a.netConnectionStatus});
  }
  return finish(platform::kSOk);
}

HResult AutomationSim::CreateScriptControl(const std::string& progId,
                                           std::unique_ptr<platform::ScriptControl>* control) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](HResult hr) {
    s_.Record("CoCreateInstance(" + progId + ") -> " + HrText(hr));
    return hr;
  };
  if (control != nullptr) control->reset();
  if (auto f = s_.TakeFailure("CoCreateInstance")) return finish(static_cast<HResult>(*f));
  if (!EqualsIgnoreCase(progId, "MSScriptControl.ScriptControl.1") &&
      !EqualsIgnoreCase(progId, "ScriptControl") &&
      !EqualsIgnoreCase(progId, "MSScriptControl.ScriptControl"))
    return finish(kCoEClassString);
  if (!s_.scriptControlAvailable) return finish(platform::kClassNotRegistered);
  if (control == nullptr) return finish(platform::kEFail);
  *control = std::make_unique<ScriptControlSim>(s_, *this);
  return finish(platform::kSOk);
}

}  // namespace corvane::sim
