// The simulated instrumentation service's WQL reader: tokens, the query and its conditions.
#include "platform/sim/automation_sim.h"

namespace corvane::sim {

using platform::HResult;
using platform::WmiObject;
using platform::WmiValue;

namespace {

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

}  // namespace

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

}  // namespace corvane::sim
