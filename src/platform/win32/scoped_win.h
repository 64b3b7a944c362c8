// Small owners for Windows handles and automation values, and the text conversions used where
// GBK texts cross into the wide system functions. Only the Windows service sources include this.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <wininet.h>
#include <ole2.h>
#include <oleauto.h>
// clang-format on

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace corvane::win32 {

// One owner for every handle kind: `Traits` names the handle type, its invalid value and how it is
// closed. Move-only; closes on destruction and on reset.
template <typename Traits>
class unique_any {
 public:
  using pointer = typename Traits::type;

  unique_any() noexcept = default;
  explicit unique_any(pointer value) noexcept : value_(value) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_any() { reset(); }

  pointer get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

  void reset(pointer value = Traits::invalid()) noexcept {
    if (value_ != Traits::invalid()) Traits::close(value_);
    value_ = value;
  }
  pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }
  // Closes what is held and hands out the storage for an out parameter.
  pointer* put() noexcept {
    reset();
    return &value_;
  }

 private:
  pointer value_ = Traits::invalid();
};

namespace detail {

template <typename T, auto Close>
struct null_traits {
  using type = T;
  static constexpr T invalid() noexcept { return nullptr; }
  static void close(T value) noexcept { Close(value); }
};

struct icmp_traits {
  using type = HANDLE;
  static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE value) noexcept { ::IcmpCloseHandle(value); }
};

}  // namespace detail

using unique_hkey = unique_any<detail::null_traits<HKEY, ::RegCloseKey>>;
using unique_handle = unique_any<detail::null_traits<HANDLE, ::CloseHandle>>;
using unique_hinternet = unique_any<detail::null_traits<HINTERNET, ::InternetCloseHandle>>;
using unique_icmp = unique_any<detail::icmp_traits>;
using unique_hglobal = unique_any<detail::null_traits<HGLOBAL, ::GlobalFree>>;
using unique_bstr = unique_any<detail::null_traits<BSTR, ::SysFreeString>>;
using unique_safearray = unique_any<detail::null_traits<SAFEARRAY*, ::SafeArrayDestroy>>;
using unique_cotaskmem = unique_any<detail::null_traits<void*, ::CoTaskMemFree>>;

// One reference to a component object; released on destruction and on reset.
template <typename T>
class com_ptr {
 public:
  com_ptr() noexcept = default;
  com_ptr(const com_ptr& other) noexcept : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  com_ptr& operator=(com_ptr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~com_ptr() { reset(); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  void reset() noexcept {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

// The calling thread's COM apartment for the life of one object: entered (single-threaded) on
// construction and left on destruction when this object entered it. A thread already in the
// multithreaded apartment (RPC_E_CHANGED_MODE) uses COM where it is, and stays there. Declare it
// before the objects obtained in it, so that they are released before it is left.
class com_apartment {
 public:
  com_apartment() noexcept : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  com_apartment(const com_apartment&) = delete;
  com_apartment& operator=(const com_apartment&) = delete;
  ~com_apartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

  HRESULT result() const noexcept { return hr_; }
  bool usable() const noexcept { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT hr_;
};

// A VARIANT that is cleared on destruction.
class unique_variant {
 public:
  unique_variant() noexcept { ::VariantInit(&v_); }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  ~unique_variant() { ::VariantClear(&v_); }

  VARIANT* get() noexcept { return &v_; }
  const VARIANT* get() const noexcept { return &v_; }
  VARIANT* operator->() noexcept { return &v_; }
  const VARIANT* operator->() const noexcept { return &v_; }
  // Clears what is held and hands out the storage for an out parameter.
  VARIANT* put() noexcept {
    ::VariantClear(&v_);
    return &v_;
  }

 private:
  VARIANT v_;
};

// Text conversions at the system boundary (services.cpp). Lengths are explicit, so embedded NUL
// characters pass through; a failed conversion gives the empty text.
std::wstring ToWide(std::string_view text, UINT codePage = 936);
std::string FromWide(std::wstring_view text, UINT codePage = 936);
inline std::string FromWide(const wchar_t* text, UINT codePage = 936) {
  return text ? FromWide(std::wstring_view(text), codePage) : std::string();
}
// A system string holding the GBK text; null only when the allocation fails.
unique_bstr MakeBstr(std::string_view text);
std::string FromBstr(BSTR text);

inline const wchar_t* AsWide(const char16_t* text) noexcept { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) noexcept { return reinterpret_cast<wchar_t*>(text); }
inline std::u16string ToU16(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

}  // namespace corvane::win32
