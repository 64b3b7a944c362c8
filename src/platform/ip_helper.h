// IP helper service: adapter and interface tables, address binding, ICMP echo and the router
// administration configuration functions.
//
// The records below mirror the Windows layouts byte for byte (IP_ADAPTER_INFO, IP_ADDR_STRING,
// IP_INTERFACE_INFO, IP_PER_ADAPTER_INFO) so that the real service can write them directly and
// the simulated one produces the same chains, `Next` pointers included, inside the caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::platform {

// Result codes the callers rely on (winerror.h).
inline constexpr uint32_t kNoError = 0;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorNotSupported = 50;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorBufferOverflow = 111;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorNoData = 232;
inline constexpr uint32_t kErrorObjectAlreadyExists = 5010;

inline constexpr uint32_t kInAddrNone = 0xFFFFFFFFu;

// time_t as the 32-bit service writes it (32 bits) and as the 64-bit one does (64 bits).
#if UINTPTR_MAX == 0xFFFFFFFFu
using LeaseTime = int32_t;
#else
using LeaseTime = int64_t;
#endif

struct IpAddressText {
  char String[16];
};

struct IpAddrString {
  IpAddrString* Next;
  IpAddressText IpAddress;
  IpAddressText IpMask;
  uint32_t Context;
};

inline constexpr size_t kMaxAdapterNameLength = 256;
inline constexpr size_t kMaxAdapterDescriptionLength = 128;
inline constexpr size_t kMaxAdapterAddressLength = 8;

struct IpAdapterInfo {
  IpAdapterInfo* Next;
  uint32_t ComboIndex;
  char AdapterName[kMaxAdapterNameLength + 4];
  char Description[kMaxAdapterDescriptionLength + 4];
  uint32_t AddressLength;
  uint8_t Address[kMaxAdapterAddressLength];
  uint32_t Index;
  uint32_t Type;
  uint32_t DhcpEnabled;
  IpAddrString* CurrentIpAddress;
  IpAddrString IpAddressList;
  IpAddrString GatewayList;
  IpAddrString DhcpServer;
  int32_t HaveWins;
  IpAddrString PrimaryWinsServer;
  IpAddrString SecondaryWinsServer;
  LeaseTime LeaseObtained;
  LeaseTime LeaseExpires;
};

// MAX_ADAPTER_NAME: the interface name field of IP_ADAPTER_INDEX_MAP, in wide characters. A name
// that fills the field has no terminating NUL.
inline constexpr size_t kMaxInterfaceNameLength = 128;

struct IpAdapterIndexMap {
  uint32_t Index;
  char16_t Name[kMaxInterfaceNameLength];
};

// An interface name as it stands in its fixed field: up to the first NUL, at most the field.
inline std::u16string InterfaceNameText(const char16_t* field) {
  size_t n = 0;
  while (n < kMaxInterfaceNameLength && field[n] != 0) ++n;
  return std::u16string(field, n);
}

struct IpInterfaceInfo {
  int32_t NumAdapters;
  IpAdapterIndexMap Adapter[1];
};

struct IpPerAdapterInfo {
  uint32_t AutoconfigEnabled;
  uint32_t AutoconfigActive;
  IpAddrString* CurrentDnsServer;
  IpAddrString DnsServerList;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(IpAddrString) == 40, "IP_ADDR_STRING is 40 bytes on 32-bit Windows");
static_assert(sizeof(IpAdapterInfo) == 640, "IP_ADAPTER_INFO is 640 bytes on 32-bit Windows");
static_assert(sizeof(IpPerAdapterInfo) == 52, "IP_PER_ADAPTER_INFO is 52 bytes on 32-bit Windows");
#else
static_assert(sizeof(IpAddrString) == 48, "IP_ADDR_STRING is 48 bytes on 64-bit Windows");
static_assert(sizeof(IpAdapterInfo) == 704, "IP_ADAPTER_INFO is 704 bytes on 64-bit Windows");
static_assert(sizeof(IpPerAdapterInfo) == 64, "IP_PER_ADAPTER_INFO is 64 bytes on 64-bit Windows");
#endif
static_assert(sizeof(IpAdapterIndexMap) == 260, "IP_ADAPTER_INDEX_MAP is 260 bytes");
static_assert(offsetof(IpInterfaceInfo, Adapter) == 4, "IP_INTERFACE_INFO entries follow the count");

// IP_DAD_STATE: where duplicate address detection stands for an address (nldef.h). Since Vista an
// IPv4 address that AddIPAddress added is tentative while the system asks the segment whether
// another host holds it (about three seconds), then preferred, or duplicate when one does.
inline constexpr uint32_t kIpDadStateInvalid = 0;
inline constexpr uint32_t kIpDadStateTentative = 1;
inline constexpr uint32_t kIpDadStateDuplicate = 2;
inline constexpr uint32_t kIpDadStateDeprecated = 3;
inline constexpr uint32_t kIpDadStatePreferred = 4;

// An IPv4 unicast address of an adapter (IP_ADAPTER_UNICAST_ADDRESS), reduced.
struct UnicastAddress {
  uint32_t Address = 0;  // network byte order
  uint32_t DadState = kIpDadStateInvalid;
};

// One entry of GetAdaptersAddresses, reduced to what the program reads. The service call itself
// follows the two-call protocol (size, then a zero-filled buffer); the result code is passed on.
struct AdapterAddresses {
  uint32_t IfIndex = 0;
  std::string AdapterName;     // GUID text, e.g. "{4D36E972-...}"
  std::u16string FriendlyName;  // the connection name
  std::u16string Description;
  uint32_t Flags = 0;       // 0x4: DHCP enabled
  uint32_t OperStatus = 0;  // 1: up
  uint32_t Mtu = 0;
  std::vector<UnicastAddress> Unicast;  // the IPv4 ones, in the service's order
};

inline constexpr uint32_t kAfUnspec = 0;
inline constexpr uint32_t kAfInet = 2;
inline constexpr uint32_t kGaaFlagSkipFriendlyName = 0x20;
inline constexpr uint32_t kGaaFlagIncludePrefix = 0x10;
inline constexpr uint32_t kIpAdapterDhcpEnabled = 0x4;
inline constexpr uint32_t kIfOperStatusUp = 1;

// MIB_IFROW, reduced to what the program reads.
struct IfRow {
  uint32_t Index = 0;
  uint32_t Type = 0;
  uint32_t Mtu = 0;
  uint32_t Speed = 0;
  uint32_t OperStatus = 0;
};

class IpHelper {
 public:
  virtual ~IpHelper() = default;

  // GetAdaptersInfo: with a null or short buffer answers 111 and the needed size; with a buffer of
  // that size writes a chain of IpAdapterInfo records and answers 0. No adapters: 232 (ERROR_NO_DATA).
  virtual uint32_t GetAdaptersInfo(void* buffer, uint32_t* size) = 0;
  // GetInterfaceInfo: null or short buffer → 122 and the size; then 0 and IpInterfaceInfo.
  virtual uint32_t GetInterfaceInfo(void* buffer, uint32_t* size) = 0;
  // GetPerAdapterInfo: null or short buffer → 111 and the size; then 0 and IpPerAdapterInfo.
  virtual uint32_t GetPerAdapterInfo(uint32_t ifIndex, void* buffer, uint32_t* size) = 0;
  virtual uint32_t GetAdaptersAddresses(uint32_t family, uint32_t flags, std::vector<AdapterAddresses>* out) = 0;
  virtual uint32_t GetAdapterIndex(const std::u16string& adapterName, uint32_t* ifIndex) = 0;
  virtual uint32_t GetIfEntry(uint32_t ifIndex, IfRow* row) = 0;

  // Addresses are in network byte order, as inet_addr returns them.
  virtual uint32_t AddIPAddress(uint32_t address, uint32_t mask, uint32_t ifIndex, uint32_t* nteContext,
                                uint32_t* nteInstance) = 0;
  virtual uint32_t DeleteIPAddress(uint32_t nteContext) = 0;

  // One ICMP echo request with an empty payload (IcmpCreateFile, IcmpSendEcho, IcmpCloseHandle);
  // true when a reply arrived within the timeout.
  virtual bool SendEcho(uint32_t address, uint32_t timeoutMs) = 0;
};

// Router administration (mprapi): connection names of the interfaces.
class RouterAdmin {
 public:
  virtual ~RouterAdmin() = default;
  // MprConfigServerConnect for the local machine. The handle is 0 when the service is unavailable.
  virtual uint32_t ConfigServerConnect(uintptr_t* handle) = 0;
  // MprConfigGetFriendlyName: `interfaceName` is the Name field of an interface entry, read as at
  // most kMaxInterfaceNameLength characters; `bufferBytes` is the size of `buffer` in bytes.
  virtual uint32_t ConfigGetFriendlyName(uintptr_t handle, const char16_t* interfaceName, char16_t* buffer,
                                         uint32_t bufferBytes) = 0;
};

}  // namespace corvane::platform
