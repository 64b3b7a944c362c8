// IPv4 address and mask texts as the program accepts them from the user.
#pragma once

#include <cstdint>
#include <string>

namespace corvane::ipv4 {

// Four dotted decimal parts of 0-255 without leading zeros, nothing else; the address in network
// byte order.
bool ParseDottedAddress(const std::string& text, uint32_t* address);

// A subnet mask that can be given to an address: contiguous leading ones, at least one of them
// (0.0.0.0 would make the address's network the whole Internet). Network byte order.
bool IsUsableMask(uint32_t networkOrder);
// The same for a dotted text.
bool IsUsableMaskText(const std::string& text);

// An address an adapter can be given: not 0.0.0.0/8, not loopback (127/8), not multicast or
// reserved (224 and up). Network byte order.
bool IsUnicastAddress(uint32_t networkOrder);

}  // namespace corvane::ipv4
