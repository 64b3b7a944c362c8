// The simulated script control's VBScript: reading the literals and names of a line, and
// compiling a procedure body into the statements the control runs.
#include "platform/sim/vbscript_sim.h"

#include <cstring>

#include "platform/sim/automation_sim.h"

namespace corvane::sim::vb {

using platform::HResult;
using platform::WmiValue;


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
size_t FindIgnoreCase(const std::string& text, const std::string& word, size_t from) {
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

// --- VBScript: the statements a configuration procedure is made of ---

bool ReadName(const std::string& line, size_t* i, std::string* name) {
  SkipBlanks(line, i);
  if (*i >= line.size() || !IsIdentStart(line[*i])) return false;
  *name = FoldCase(ReadIdentifier(line, i));
  return true;
}

bool Expect(const std::string& line, size_t* i, char c) {
  SkipBlanks(line, i);
  if (*i >= line.size() || line[*i] != c) return false;
  ++*i;
  return true;
}

bool ExpectWord(const std::string& line, size_t* i, const char* word) {
  SkipBlanks(line, i);
  const size_t n = std::strlen(word);
  if (FindIgnoreCase(line, word, *i) != *i) return false;
  if (*i + n < line.size() && (IsIdentStart(line[*i + n]) || IsDigit(line[*i + n]))) return false;
  *i += n;
  return true;
}

bool AtEnd(const std::string& line, size_t i) {
  SkipBlanks(line, &i);
  return i == line.size() || line[i] == '\'';
}

// One line of a procedure; false when it is none of the forms the engine knows (a compile error).
bool CompileVbLine(const std::string& raw, VbStatement* st) {
  const std::string line = Trimmed(raw);
  size_t i = 0;
  if (AtEnd(line, 0)) return st->kind = VbStatement::Blank, true;
  if (ExpectWord(line, &i, "dim")) {
    st->kind = VbStatement::Dim;
    do {
      std::string name;
      if (!ReadName(line, &i, &name)) return false;
      st->names.push_back(name);
    } while (Expect(line, &i, ','));
    return AtEnd(line, i);
  }
  i = 0;
  if (ExpectWord(line, &i, "next")) return st->kind = VbStatement::Next, AtEnd(line, i);
  i = 0;
  if (ExpectWord(line, &i, "end")) return st->kind = VbStatement::EndIf, ExpectWord(line, &i, "if") && AtEnd(line, i);
  i = 0;
  if (ExpectWord(line, &i, "for")) {
    st->kind = VbStatement::ForEach;
    return ExpectWord(line, &i, "each") && ReadName(line, &i, &st->target) && ExpectWord(line, &i, "in") &&
           ReadName(line, &i, &st->object) && AtEnd(line, i);
  }
  i = 0;
  if (ExpectWord(line, &i, "if")) {
    st->kind = VbStatement::If;
    if (!ReadName(line, &i, &st->object) || !Expect(line, &i, '.') || !ExpectWord(line, &i, "index") ||
        !Expect(line, &i, '='))
      return false;
    SkipBlanks(line, &i);
    size_t start = i;
    if (i < line.size() && line[i] == '-') ++i;
    while (i < line.size() && IsDigit(line[i])) ++i;
    if (!ParseInteger(line.substr(start, i - start), &st->index)) return false;
    return ExpectWord(line, &i, "then") && AtEnd(line, i);
  }
  i = 0;
  const bool set = ExpectWord(line, &i, "set");
  if (!set) i = 0;
  if (!ReadName(line, &i, &st->target) || !Expect(line, &i, '=')) return false;
  SkipBlanks(line, &i);
  if (set) {
    size_t at = i;
    if (ExpectWord(line, &at, "getobject") && Expect(line, &at, '(')) {
      st->kind = VbStatement::SetGetObject;
      do {
        SkipBlanks(line, &at);
        std::string piece;
        if (at < line.size() && line[at] == '"') {
          if (!ReadVbString(line, &at, &piece)) return false;
          st->pieces.push_back("\"" + piece);
        } else if (ReadName(line, &at, &piece)) {
          st->pieces.push_back(piece);
        } else {
          return false;
        }
      } while (Expect(line, &at, '&'));
      return Expect(line, &at, ')') && AtEnd(line, at);
    }
    st->kind = VbStatement::SetExecQuery;
    return ReadName(line, &i, &st->object) && Expect(line, &i, '.') && ExpectWord(line, &i, "execquery") &&
           Expect(line, &i, '(') && (SkipBlanks(line, &i), ReadVbString(line, &i, &st->text)) &&
           Expect(line, &i, ')') && AtEnd(line, i);
  }
  std::string name;
  std::vector<std::string> items;
  bool isArray = false;
  if (!ParseArrayAssignment(line, &name, &items, &isArray)) return false;
  if (isArray) {
    st->kind = VbStatement::Assign;
    st->value = WmiValue::FromArray(items);
    return true;
  }
  st->kind = VbStatement::Assign;
  if (i < line.size() && line[i] == '"') {
    std::string value;
    if (!ReadVbString(line, &i, &value)) return false;
    st->value = WmiValue::FromText(value);
    return AtEnd(line, i);
  }
  if (i < line.size() && (IsDigit(line[i]) || line[i] == '-')) {
    size_t start = i++;
    while (i < line.size() && IsDigit(line[i])) ++i;
    int64_t n = 0;
    if (!ParseInteger(line.substr(start, i - start), &n)) return false;
    st->value = WmiValue::FromInteger(n);
    return AtEnd(line, i);
  }
  st->kind = VbStatement::MethodCall;
  if (!ReadName(line, &i, &st->object) || !Expect(line, &i, '.')) return false;
  std::string method;
  SkipBlanks(line, &i);
  method = ReadIdentifier(line, &i);
  for (const char* known : {"EnableStatic", "SetGateways", "SetDNSServerSearchOrder"})
    if (EqualsIgnoreCase(method, known)) st->method = known;
  if (st->method.empty()) return false;
  if (!Expect(line, &i, '(')) return false;
  SkipBlanks(line, &i);
  if (!(i < line.size() && line[i] == ')')) {
    do {
      std::string argument;
      if (!ReadName(line, &i, &argument)) return false;
      st->names.push_back(argument);
    } while (Expect(line, &i, ','));
  }
  return Expect(line, &i, ')') && AtEnd(line, i);
}

// The statements of a procedure body whose first line is line `firstLine` of the added code, with
// the If / End If and For Each / Next pairs joined. On a compile error, `*errorLine` is its line.
bool CompileVb(const std::string& body, int firstLine, std::vector<VbStatement>* out, int* errorLine,
               int32_t* errorNumber) {
  std::vector<size_t> open;
  int line = firstLine;
  std::vector<std::string> lines = Lines(body);
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (const std::string& raw : lines) {
    VbStatement st;
    st.line = line++;
    if (!CompileVbLine(raw, &st)) {
      *errorLine = st.line;
      *errorNumber = kVbSyntaxError;
      return false;
    }
    if (st.kind == VbStatement::If || st.kind == VbStatement::ForEach) {
      open.push_back(out->size());
    } else if (st.kind == VbStatement::EndIf || st.kind == VbStatement::Next) {
      const auto wanted = st.kind == VbStatement::EndIf ? VbStatement::If : VbStatement::ForEach;
      if (open.empty() || (*out)[open.back()].kind != wanted) {
        *errorLine = st.line;
        *errorNumber = kVbExpectedEndOfStatement;
        return false;
      }
      (*out)[open.back()].jump = out->size();
      st.jump = open.back();
      open.pop_back();
    }
    out->push_back(std::move(st));
  }
  if (!open.empty()) {
    *errorLine = line;
    *errorNumber = kVbSyntaxError;
    return false;
  }
  return true;
}

}  // namespace corvane::sim::vb
