// IP helper service (iphlpapi, ICMP echo) and router administration (mprapi).
#include <cstddef>
#include <memory>
#include <vector>

#include "platform/win32/scoped_win.h"
#include "platform/win32/services.h"

namespace corvane::win32 {

// --- The record mirrors against the system layouts ---------------------------------------------
//
// GetAdaptersInfo, GetInterfaceInfo and GetPerAdapterInfo write into the caller's buffer, which the
// program reads through the mirrors of platform/ip_helper.h; every field must sit where the system
// puts it.
//
// The lease fields are the exception. The headers declare them as time_t, which MinGW makes 64 bits
// wide on i686 as well (unless _USE_32BIT_TIME_T), so the header's IP_ADAPTER_INFO is 648 bytes
// there. The 32-bit iphlpapi.dll, however, writes two 32-bit values and 640-byte records: that is
// what the mirror holds. The offsets are therefore compared up to LeaseObtained, and the record
// size against the header only where both agree (64-bit).

namespace {

using platform::IpAdapterIndexMap;
using platform::IpAdapterInfo;
using platform::IpAddrString;
using platform::IpAddressText;
using platform::IpInterfaceInfo;
using platform::IpPerAdapterInfo;

#define CORVANE_SAME_OFFSET(mirror, system, field) \
  static_assert(offsetof(mirror, field) == offsetof(system, field), #system "::" #field " offset")

static_assert(sizeof(IpAddressText) == sizeof(IP_ADDRESS_STRING));
static_assert(sizeof(IpAddrString) == sizeof(IP_ADDR_STRING));
CORVANE_SAME_OFFSET(IpAddrString, IP_ADDR_STRING, Next);
CORVANE_SAME_OFFSET(IpAddrString, IP_ADDR_STRING, IpAddress);
CORVANE_SAME_OFFSET(IpAddrString, IP_ADDR_STRING, IpMask);
CORVANE_SAME_OFFSET(IpAddrString, IP_ADDR_STRING, Context);

CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, Next);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, ComboIndex);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, AdapterName);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, Description);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, AddressLength);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, Address);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, Index);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, Type);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, DhcpEnabled);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, CurrentIpAddress);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, IpAddressList);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, GatewayList);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, DhcpServer);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, HaveWins);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, PrimaryWinsServer);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, SecondaryWinsServer);
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, LeaseObtained);
static_assert(sizeof(IpAdapterInfo::AdapterName) == sizeof(IP_ADAPTER_INFO::AdapterName));
static_assert(sizeof(IpAdapterInfo::Description) == sizeof(IP_ADAPTER_INFO::Description));
static_assert(sizeof(IpAdapterInfo::Address) == sizeof(IP_ADAPTER_INFO::Address));
#if UINTPTR_MAX == 0xFFFFFFFFu
// 32-bit: two 32-bit lease fields end the record, as the 32-bit service writes it.
static_assert(sizeof(IpAdapterInfo) == offsetof(IP_ADAPTER_INFO, LeaseObtained) + 2 * sizeof(int32_t));
static_assert(sizeof(IpAdapterInfo) == 640);
#else
CORVANE_SAME_OFFSET(IpAdapterInfo, IP_ADAPTER_INFO, LeaseExpires);
static_assert(sizeof(IpAdapterInfo) == sizeof(IP_ADAPTER_INFO));
#endif

static_assert(sizeof(IpAdapterIndexMap) == sizeof(IP_ADAPTER_INDEX_MAP));
CORVANE_SAME_OFFSET(IpAdapterIndexMap, IP_ADAPTER_INDEX_MAP, Index);
CORVANE_SAME_OFFSET(IpAdapterIndexMap, IP_ADAPTER_INDEX_MAP, Name);
static_assert(sizeof(IpInterfaceInfo) == sizeof(IP_INTERFACE_INFO));
CORVANE_SAME_OFFSET(IpInterfaceInfo, IP_INTERFACE_INFO, NumAdapters);
CORVANE_SAME_OFFSET(IpInterfaceInfo, IP_INTERFACE_INFO, Adapter);

static_assert(sizeof(IpPerAdapterInfo) == sizeof(IP_PER_ADAPTER_INFO));
CORVANE_SAME_OFFSET(IpPerAdapterInfo, IP_PER_ADAPTER_INFO, AutoconfigEnabled);
CORVANE_SAME_OFFSET(IpPerAdapterInfo, IP_PER_ADAPTER_INFO, AutoconfigActive);
CORVANE_SAME_OFFSET(IpPerAdapterInfo, IP_PER_ADAPTER_INFO, CurrentDnsServer);
CORVANE_SAME_OFFSET(IpPerAdapterInfo, IP_PER_ADAPTER_INFO, DnsServerList);

#undef CORVANE_SAME_OFFSET

// --- Adapter addresses ---------------------------------------------------------------------------

// GetAdaptersAddresses: size first, then a zero-filled buffer of that size; the list may grow in
// between, so an overflow on the second call starts over with the new size (a few times).
uint32_t QueryAdaptersAddresses(uint32_t family, uint32_t flags, std::vector<platform::AdapterAddresses>* out) {
  if (out) out->clear();
  ULONG size = 0;
  ULONG result = ::GetAdaptersAddresses(family, flags, nullptr, nullptr, &size);
  std::vector<ULONGLONG> storage;  // 8-byte aligned, as the records need
  for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    storage.assign(size / sizeof(ULONGLONG) + 1, 0);
    size = static_cast<ULONG>(storage.size() * sizeof(ULONGLONG));
    result = ::GetAdaptersAddresses(family, flags, nullptr,
                                    reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()), &size);
  }
  if (result != NO_ERROR || storage.empty()) return result == NO_ERROR ? ERROR_NO_DATA : result;
  if (!out) return result;

  for (auto* entry = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(storage.data()); entry; entry = entry->Next) {
    platform::AdapterAddresses item;
    item.IfIndex = entry->IfIndex;
    if (entry->AdapterName) item.AdapterName = entry->AdapterName;
    item.FriendlyName = ToU16(entry->FriendlyName);
    item.Description = ToU16(entry->Description);
    item.Flags = entry->Flags;
    item.OperStatus = static_cast<uint32_t>(entry->OperStatus);
    item.Mtu = entry->Mtu;
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = entry->FirstUnicastAddress; unicast; unicast = unicast->Next) {
      const SOCKADDR* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET ||
          unicast->Address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in)))
        continue;
      platform::UnicastAddress ipv4;
      ipv4.Address = reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr;
      ipv4.DadState = static_cast<uint32_t>(unicast->DadState);
      item.Unicast.push_back(ipv4);
    }
    out->push_back(std::move(item));
  }
  return result;
}

// --- IpHelper ------------------------------------------------------------------------------------

class IpHelperWin32 final : public platform::IpHelper {
 public:
  uint32_t GetAdaptersInfo(void* buffer, uint32_t* size) override {
    if (!size) return ERROR_INVALID_PARAMETER;
    ULONG length = buffer ? *size : 0;  // no buffer: nothing may be written, whatever *size says
    ULONG result = ::GetAdaptersInfo(static_cast<IP_ADAPTER_INFO*>(buffer), &length);
    *size = length;
    return result;
  }

  uint32_t GetInterfaceInfo(void* buffer, uint32_t* size) override {
    if (!size) return ERROR_INVALID_PARAMETER;
    ULONG length = buffer ? *size : 0;
    ULONG result = ::GetInterfaceInfo(static_cast<IP_INTERFACE_INFO*>(buffer), &length);
    *size = length;
    return result;
  }

  uint32_t GetPerAdapterInfo(uint32_t ifIndex, void* buffer, uint32_t* size) override {
    if (!size) return ERROR_INVALID_PARAMETER;
    ULONG length = buffer ? *size : 0;
    ULONG result = ::GetPerAdapterInfo(ifIndex, static_cast<IP_PER_ADAPTER_INFO*>(buffer), &length);
    *size = length;
    return result;
  }

  uint32_t GetAdaptersAddresses(uint32_t family, uint32_t flags,
                                std::vector<platform::AdapterAddresses>* out) override {
    return QueryAdaptersAddresses(family, flags, out);
  }

  uint32_t GetAdapterIndex(const std::u16string& adapterName, uint32_t* ifIndex) override {
    std::wstring name(AsWide(adapterName.c_str()), adapterName.size());  // the function wants a writable name
    ULONG index = 0;
    DWORD result = ::GetAdapterIndex(name.data(), &index);
    if (result == NO_ERROR && ifIndex) *ifIndex = index;
    return result;
  }

  uint32_t GetIfEntry(uint32_t ifIndex, platform::IfRow* row) override {
    MIB_IFROW entry{};
    entry.dwIndex = ifIndex;
    DWORD result = ::GetIfEntry(&entry);
    if (result != NO_ERROR || !row) return result;
    row->Index = entry.dwIndex;
    row->Type = entry.dwType;
    row->Mtu = entry.dwMtu;
    row->Speed = entry.dwSpeed;
    row->OperStatus = static_cast<uint32_t>(entry.dwOperStatus);
    return result;
  }

  uint32_t AddIPAddress(uint32_t address, uint32_t mask, uint32_t ifIndex, uint32_t* nteContext,
                        uint32_t* nteInstance) override {
    ULONG context = 0;
    ULONG instance = 0;
    DWORD result = ::AddIPAddress(address, mask, ifIndex, &context, &instance);
    if (nteContext) *nteContext = context;
    if (nteInstance) *nteInstance = instance;
    return result;
  }

  uint32_t DeleteIPAddress(uint32_t nteContext) override { return ::DeleteIPAddress(nteContext); }

  bool SendEcho(uint32_t address, uint32_t timeoutMs) override {
    unique_icmp icmp(::IcmpCreateFile());
    if (!icmp) return false;
    // The reply buffer holds one reply and room for the ICMP error data (8 bytes) the function
    // asks for; the request itself carries no data.
    alignas(ICMP_ECHO_REPLY) unsigned char reply[sizeof(ICMP_ECHO_REPLY) + 8 + 32] = {};
    char payload = 0;
    DWORD replies = ::IcmpSendEcho(icmp.get(), address, &payload, 0, nullptr, reply, sizeof(reply), timeoutMs);
    if (replies == 0) return false;
    const auto* first = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
    return first->Status == IP_SUCCESS;
  }
};

// --- RouterAdmin ---------------------------------------------------------------------------------

// mprapi is bound at run time, so a system without the library, or without one of its exports,
// still starts: the affected call then answers ERROR_PROC_NOT_FOUND.
struct RouterFunctions {
  using ServerConnect = DWORD(WINAPI*)(LPWSTR, HANDLE*);
  using GetFriendlyName = DWORD(WINAPI*)(HANDLE, PWCHAR, PWCHAR, DWORD);
  ServerConnect serverConnect = nullptr;
  GetFriendlyName getFriendlyName = nullptr;
};

const RouterFunctions& Router() {
  static const RouterFunctions functions = [] {
    RouterFunctions f;
    // Kept loaded for the life of the process, like the configuration handle.
    HMODULE module = ::LoadLibraryW(L"mprapi.dll");
    if (!module) return f;
    f.serverConnect = reinterpret_cast<RouterFunctions::ServerConnect>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, "MprConfigServerConnect")));
    f.getFriendlyName = reinterpret_cast<RouterFunctions::GetFriendlyName>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, "MprConfigGetFriendlyName")));
    return f;
  }();
  return functions;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

class RouterAdminWin32 final : public platform::RouterAdmin {
 public:
  uint32_t ConfigServerConnect(uintptr_t* handle) override {
    if (handle) *handle = 0;
    const auto connect = Router().serverConnect;
    if (!connect) return ERROR_PROC_NOT_FOUND;
    HANDLE config = nullptr;
    DWORD result = connect(nullptr, &config);
    if (handle) *handle = result == NO_ERROR ? reinterpret_cast<uintptr_t>(config) : 0;
    return result;
  }

  uint32_t ConfigGetFriendlyName(uintptr_t handle, const char16_t* interfaceName, char16_t* buffer,
                                 uint32_t bufferBytes) override {
    if (!interfaceName || !buffer || bufferBytes < sizeof(char16_t)) return ERROR_INVALID_PARAMETER;
    const auto getName = Router().getFriendlyName;
    // The name is the fixed field of an interface entry: at most its length, NUL-terminated here.
    const std::u16string field = platform::InterfaceNameText(interfaceName);
    std::wstring name(AsWide(field.c_str()), field.size());
    if (handle != 0 && getName) {
      return getName(reinterpret_cast<HANDLE>(handle), name.data(), AsWide(buffer), bufferBytes);
    }
    // No configuration handle (the service is unavailable, as under some compatibility layers):
    // the adapter list of the IP helper service carries the same connection names.
    return FriendlyNameFromAdapters(name, buffer, bufferBytes);
  }

 private:
  // "\DEVICE\TCPIP_{GUID}" matches the entry whose AdapterName is that GUID text (in any case);
  // failing that, the entry with the interface index the name stands for.
  static uint32_t FriendlyNameFromAdapters(const std::wstring& wideName, char16_t* buffer, uint32_t bufferBytes) {
    std::vector<platform::AdapterAddresses> entries;
    if (QueryAdaptersAddresses(AF_UNSPEC, 0, &entries) != NO_ERROR) return ERROR_FILE_NOT_FOUND;

    const std::string name = FromWide(wideName);
    const size_t brace = name.find('{');
    const std::string guid = brace == std::string::npos ? name : name.substr(brace);

    const platform::AdapterAddresses* found = nullptr;
    for (const auto& entry : entries) {
      if (!entry.AdapterName.empty() && SameTextIgnoringCase(entry.AdapterName, guid)) {
        found = &entry;
        break;
      }
    }
    if (!found) {
      std::wstring writable = wideName;
      ULONG index = 0;
      if (::GetAdapterIndex(writable.data(), &index) == NO_ERROR) {
        for (const auto& entry : entries) {
          if (entry.IfIndex == index) {
            found = &entry;
            break;
          }
        }
      }
    }
    if (!found) return ERROR_FILE_NOT_FOUND;

    const size_t capacity = bufferBytes / sizeof(char16_t);
    if (found->FriendlyName.size() + 1 > capacity) return ERROR_INSUFFICIENT_BUFFER;
    found->FriendlyName.copy(buffer, found->FriendlyName.size());
    buffer[found->FriendlyName.size()] = u'\0';
    return NO_ERROR;
  }
};

}  // namespace

std::unique_ptr<platform::IpHelper> MakeIpHelper() { return std::make_unique<IpHelperWin32>(); }
std::unique_ptr<platform::RouterAdmin> MakeRouterAdmin() { return std::make_unique<RouterAdminWin32>(); }

}  // namespace corvane::win32
