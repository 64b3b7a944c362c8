// What the simulated component object library's three parts share: the WQL reader
// (wql_sim.cpp), the instrumentation classes and methods with the library's own calls
// (instrumentation_sim.cpp) and the script control (script_control_sim.cpp). Only these include it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/sim_state.h"

namespace corvane::sim {

inline constexpr char kConfigurationClass[] = "Win32_NetworkAdapterConfiguration";
inline constexpr char kAdapterClass[] = "Win32_NetworkAdapter";

// "0" or the code as 0x%08X, for the call records.
inline std::string HrText(platform::HResult hr) {
  if (hr == 0) return "0";
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<uint32_t>(hr));
  return buffer;
}

inline bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
inline bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks, tabs and line breaks removed at both ends.
inline std::string Trimmed(const std::string& text) {
  size_t a = 0;
  size_t b = text.size();
  while (a < b && (text[a] == ' ' || text[a] == '\t' || text[a] == '\r' || text[a] == '\n')) ++a;
  while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t' || text[b - 1] == '\r' || text[b - 1] == '\n'))
    --b;
  return text.substr(a, b - a);
}

// A whole text of decimal digits with an optional sign.
inline bool ParseInteger(const std::string& text, int64_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == nullptr || *end != '\0') return false;
  *value = v;
  return true;
}

// --- instrumentation objects (instrumentation_sim.cpp) ---

// The properties of a class, canonically spelled.
const std::vector<std::string>& ClassProperties(const std::string& canonicalClass);
platform::WmiObject AdapterObject(const SimAdapter& a);
platform::WmiObject ConfigurationObject(const SimAdapter& a);

// --- WQL (wql_sim.cpp) ---

struct Token {
  enum Kind { Identifier, String, Number, Punct, End } kind = End;
  std::string text;
};

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

// The subset the program and the tests use: SELECT * or a property list FROM one of the two
// adapter classes, WHERE conditions joined by AND (=, <>, !=, IS [NOT] NULL).
platform::HResult ParseQuery(const std::string& wql, Query* q);
bool Matches(const platform::WmiObject& o, const Condition& c);

// --- script control (script_control_sim.cpp) ---

std::unique_ptr<platform::ScriptControl> MakeScriptControl(Machine::State& s, AutomationSim& automation);

}  // namespace corvane::sim
