// The VBScript the simulated script control understands: the few statement forms a configuration
// procedure is made of, compiled line by line, and the reading of a line's literals and names
// that the control's other parts share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation.h"

namespace corvane::sim::vb {

// VBScript's own error numbers and the HRESULTs they travel in.
constexpr int32_t kVbSyntaxError = 1002;
constexpr int32_t kVbExpectedEndOfStatement = 1025;
constexpr int32_t kVbObjectRequired = 424;
constexpr int32_t kVbTypeMismatch = 13;
inline platform::HResult VbHResult(int32_t number) { return static_cast<platform::HResult>(0x800A0000u | static_cast<uint32_t>(number)); }

struct VbStatement {
  enum Kind { Blank, Dim, Assign, SetGetObject, SetExecQuery, ForEach, Next, If, EndIf, MethodCall } kind = Blank;
  int line = 0;                     // in the added code, from 1
  std::string target;               // variable assigned (folded)
  std::string object;               // variable the statement works on (folded)
  std::string method;               // canonical method name
  std::vector<std::string> names;   // Dim: variables; MethodCall: argument variables (folded)
  platform::WmiValue value;                   // Assign: the literal (text, integer or array)
  std::vector<std::string> pieces;  // GetObject: the concatenated parts; a quoted part starts with '"'
  std::string text;                 // ExecQuery: the query
  int64_t index = 0;                // If: the compared index
  size_t jump = 0;                  // If: its End If; ForEach: its Next; Next: its For Each
};

// A VBScript string literal at `i` ("..." with "" for a quote); false when there is none.
bool ReadVbString(const std::string& text, size_t* i, std::string* value);
void SkipBlanks(const std::string& text, size_t* i);
// The lines of `text`, split at each LF, a CR before it dropped.
std::vector<std::string> Lines(const std::string& text);
// Finds `word` (ASCII, any letter case) in `text` from `from`; npos when absent.
size_t FindIgnoreCase(const std::string& text, const std::string& word, size_t from = 0);
std::string ReadIdentifier(const std::string& text, size_t* i);
// "name = Array(item, ...)" with string or number items. Returns false when the line assigns an
// Array but its items do not parse (a compile error of the script).
bool ParseArrayAssignment(const std::string& line, std::string* name, std::vector<std::string>* items, bool* isArray);
// A name at `i`, folded to one letter case.
bool ReadName(const std::string& line, size_t* i, std::string* name);
// The character `c` or the word `word` (any letter case, whole) after blanks at `i`, stepped over.
bool Expect(const std::string& line, size_t* i, char c);
bool ExpectWord(const std::string& line, size_t* i, const char* word);
// Nothing but blanks or a comment from `i` on.
bool AtEnd(const std::string& line, size_t i);
// One line of a procedure; false when it is none of the forms the engine knows (a compile error).
bool CompileVbLine(const std::string& raw, VbStatement* st);
// The statements of a procedure body whose first line is line `firstLine` of the added code, with
// the If / End If and For Each / Next pairs joined. On a compile error, `*errorLine` is its line
// and `*errorNumber` VBScript's error number.
bool CompileVb(const std::string& body, int firstLine, std::vector<VbStatement>* out, int* errorLine,
               int32_t* errorNumber);

}  // namespace corvane::sim::vb
