// One static address, mask, gateway and two DNS servers for an adapter, through the VBScript
// procedure "SetIP" run in the script host.
#pragma once

#include <cstdint>
#include <string>

#include "config/management.h"
#include "platform/platform.h"

namespace corvane::config {

// The procedure before its values are put in: 18 lines joined by CR LF, no line end after the
// last one, with the placeholders "IP地址", "子网掩码", "网关", "DNS服务器", "备用DNS" and "索引".
extern const char kSetIpTemplate[];
// Declares the procedure's three result variables at module level, so that they can be read
// with Eval after it ran; added before the procedure.
extern const char kSetIpResultDeclarations[];

// The template with the five values put in, in order (address, mask, gateway, preferred DNS,
// alternate DNS); each replacement replaces every occurrence on character boundaries.
std::string FillSetIpValues(const std::string& address, const std::string& mask, const std::string& gateway,
                            const std::string& preferredDns, const std::string& alternateDns);
// The sixth replacement: the adapter index as decimal digits.
std::string FillSetIpIndex(const std::string& procedure, int32_t index);

// What may go into the procedure's text: the empty text or a dotted address of four decimal
// numbers 0-255 (one to three digits each) and nothing else.
bool IsScriptValue(const std::string& value);

// The fields of a static configuration that cannot be applied, by their names joined with "和"
// ("IP地址", "子网掩码", "默认网关", "首选DNS服务器", "备用DNS服务器"); empty when every one can.
// The address must be one an adapter can have (not 0/8, 127/8, 224 and up), the mask contiguous
// ones from the top and not 0.0.0.0; the gateway and the DNS servers may be empty, and otherwise
// must be such addresses too: the script sets the address, the gateway and the DNS servers one
// after the other, and a value the service refuses half-way would leave the rest changed.
std::string RefusedStaticFields(const std::string& address, const std::string& mask, const std::string& gateway,
                                const std::string& preferredDns, const std::string& alternateDns);
// The log line of values refused before anything ran (`fields` as RefusedStaticFields gives them).
std::string RefusedValuesLogLine(const std::string& name, const std::string& fields);

struct StaticOutcome {
  enum class Kind {
    Done,          // all three methods answered 0 or 1
    Refused,       // a value is no address, or the address or mask is refused: nothing ran
    NoScriptHost,  // the script control could not be created (hr)
    LookupFailed,  // the index lookup could not be carried out (failedStep, hr): nothing ran
    NotFound,      // the lookup ran and no adapter has the connection name: nothing ran
    ScriptError,   // the script failed (error)
    NotApplied,    // the script ran but configured nothing: the adapter is not IP-enabled
    Rejected,      // a method answered a failure (the three results)
  };
  Kind kind = Kind::Done;
  platform::HResult hr = platform::kSOk;
  platform::ScriptError error;
  std::string enableResult;  // ReturnValue of EnableStatic, SetGateways, SetDNSServerSearchOrder
  std::string gatewaysResult;
  std::string dnsResult;
  ManagementStep failedStep = ManagementStep::None;  // of the index lookup
};

// Refuses values that CheckStaticValues or IsScriptValue refuse; otherwise finds the adapter's
// index, fills the procedure and runs it. The thread's initialisation count is the same afterwards.
StaticOutcome ApplyStaticConfiguration(platform::Automation& automation,
                                       const std::string& name, const std::string& address, const std::string& mask,
                                       const std::string& gateway, const std::string& preferredDns = "",
                                       const std::string& alternateDns = "");

// The log line of a static configuration, in the style of the DHCP lines.
std::string StaticLogLine(const std::string& name, const StaticOutcome& outcome);

}  // namespace corvane::config
