#pragma once
// Owners of Win32 handles: one owner per handle, closed exactly once.
#include <windows.h>

#include <utility>

namespace platform::win32 {

// Traits give the empty value and how to close: struct { using type = T;
// static bool valid(T); static void close(T); }.
template <typename Traits>
class UniqueHandle {
 public:
  using T = typename Traits::type;
  UniqueHandle() = default;
  explicit UniqueHandle(T h) : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, T{})) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, T{}));
    return *this;
  }
  ~UniqueHandle() { reset(); }
  T get() const { return h_; }
  T release() { return std::exchange(h_, T{}); }
  void reset(T h = T{}) {
    if (Traits::valid(h_)) Traits::close(h_);
    h_ = h;
  }
  explicit operator bool() const { return Traits::valid(h_); }

 private:
  T h_{};
};

// Kernel handles: files use INVALID_HANDLE_VALUE for "none", most other
// handles null; both count as empty.
struct KernelHandleTraits {
  using type = HANDLE;
  static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { CloseHandle(h); }
};
using Handle = UniqueHandle<KernelHandleTraits>;

struct RegistryKeyTraits {
  using type = HKEY;
  static bool valid(HKEY h) { return h != nullptr; }
  static void close(HKEY h) { RegCloseKey(h); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

}  // namespace platform::win32

#include <objbase.h>

namespace platform::win32 {

// Owner of one COM interface reference: released exactly once.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) reset(std::exchange(o.p_, nullptr));
    return *this;
  }
  ~ComPtr() { reset(); }
  I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters of creating calls: releases what is held first.
  I** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset(I* p = nullptr) {
    if (p_) p_->Release();
    p_ = p;
  }

 private:
  I* p_ = nullptr;
};

// Memory the shell hands out (item id lists and the like).
struct CoTaskMemTraits {
  using type = void*;
  static bool valid(void* p) { return p != nullptr; }
  static void close(void* p) { CoTaskMemFree(p); }
};
using CoTaskMem = UniqueHandle<CoTaskMemTraits>;

}  // namespace platform::win32
