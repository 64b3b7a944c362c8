// Owners of GDI objects and menus: each deletes its handle when it goes out of scope.
#pragma once

#include <windows.h>

#include <utility>

namespace corvane::win32::ui {

template <typename Handle>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(Handle handle) : handle_(handle) {}
  ~ScopedGdiObject() { Reset(); }
  ScopedGdiObject(ScopedGdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(Handle handle = nullptr) {
    if (handle_ != nullptr) DeleteObject(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedBrush = ScopedGdiObject<HBRUSH>;

// A menu that belongs to no window (a pop-up menu); a menu attached to a window goes with it.
class ScopedMenu {
 public:
  ScopedMenu() = default;
  explicit ScopedMenu(HMENU menu) : menu_(menu) {}
  ~ScopedMenu() {
    if (menu_ != nullptr) DestroyMenu(menu_);
  }
  ScopedMenu(ScopedMenu&& other) noexcept : menu_(std::exchange(other.menu_, nullptr)) {}
  ScopedMenu& operator=(ScopedMenu&& other) noexcept {
    if (this != &other) {
      if (menu_ != nullptr) DestroyMenu(menu_);
      menu_ = std::exchange(other.menu_, nullptr);
    }
    return *this;
  }
  ScopedMenu(const ScopedMenu&) = delete;
  ScopedMenu& operator=(const ScopedMenu&) = delete;

  HMENU Get() const { return menu_; }

 private:
  HMENU menu_ = nullptr;
};

}  // namespace corvane::win32::ui
